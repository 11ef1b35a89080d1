#include "app/instance/sleep_watcher.h"

#include <gtest/gtest.h>

#include "tests/support/event_wait.h"
#include "tests/support/private_bus.h"

namespace talvo::app {
namespace {

using test_support::ProcessEventsUntil;

TEST(SleepWatcher, WithoutABusItStaysAwakeAndWatchesNothing) {
  const QDBusConnection bus =
      QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/talvo-bus"), QStringLiteral("no-bus"));
  ASSERT_FALSE(bus.isConnected());
  SleepWatcher watcher(bus);
  EXPECT_FALSE(watcher.watching());
  EXPECT_TRUE(watcher.awake());
  QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

// A private bus daemon plays the system bus; a second connection takes the
// session manager's name and sends its notifications.
class SleepWatcherOnBus : public testing::Test {
 protected:
  void SetUp() override {
    if (!test_support::PrivateBus::Available()) GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(bus_.Start()) << qPrintable(bus_.Error());
  }
  void TearDown() override { QDBusConnection::disconnectFromBus(QStringLiteral("watcher")); }

  test_support::PrivateBus bus_;
};

TEST_F(SleepWatcherOnBus, ReportsSuspendAndResumeOncePerChange) {
  test_support::SleepNotifier login1(bus_.Address(), QStringLiteral("login1"));
  ASSERT_TRUE(login1.Ready());

  SleepWatcher watcher(QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("watcher")));
  ASSERT_TRUE(watcher.watching());
  int suspends = 0;
  int resumes = 0;
  QObject::connect(&watcher, &SleepWatcher::suspending, [&] { ++suspends; });
  QObject::connect(&watcher, &SleepWatcher::resumed, [&] { ++resumes; });

  ASSERT_TRUE(login1.Send(true));
  ASSERT_TRUE(ProcessEventsUntil([&] { return suspends == 1; }));
  EXPECT_FALSE(watcher.awake());

  // A repeated notification changes nothing; the resume after it is the next
  // thing reported.
  ASSERT_TRUE(login1.Send(true));
  ASSERT_TRUE(login1.Send(false));
  ASSERT_TRUE(ProcessEventsUntil([&] { return resumes == 1; }));
  EXPECT_EQ(suspends, 1);
  EXPECT_TRUE(watcher.awake());
}

}  // namespace
}  // namespace talvo::app
