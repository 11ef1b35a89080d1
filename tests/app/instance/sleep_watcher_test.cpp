#include "app/instance/sleep_watcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <functional>

namespace talvo::app {
namespace {

constexpr int kWaitMs = 20000;

bool WaitUntil(const std::function<bool()>& done) {
  const QDeadlineTimer deadline(kWaitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

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
    const QString daemonProgram = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemonProgram.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    daemon_.start(daemonProgram, {"--session", "--nofork", "--nopidfile", "--print-address"});
    ASSERT_TRUE(daemon_.waitForStarted(kWaitMs));
    const QDeadlineTimer deadline(kWaitMs);
    while (!daemon_.canReadLine() && !deadline.hasExpired()) daemon_.waitForReadyRead(100);
    address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
    ASSERT_FALSE(address_.isEmpty());
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
    QDBusConnection::disconnectFromBus(QStringLiteral("login1"));
    if (daemon_.state() != QProcess::NotRunning) {
      daemon_.terminate();
      if (!daemon_.waitForFinished(kWaitMs)) daemon_.kill();
    }
  }

  QDBusConnection Connect(const QString& name) { return QDBusConnection::connectToBus(address_, name); }

  static void Send(QDBusConnection& from, bool goingToSleep) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
    signal << goingToSleep;
    ASSERT_TRUE(from.send(signal));
  }

  QProcess daemon_;
  QString address_;
};

TEST_F(SleepWatcherOnBus, ReportsSuspendAndResumeOncePerChange) {
  QDBusConnection login1 = Connect(QStringLiteral("login1"));
  ASSERT_TRUE(login1.isConnected());
  ASSERT_TRUE(login1.registerService(QStringLiteral("org.freedesktop.login1")));

  SleepWatcher watcher(Connect(QStringLiteral("watcher")));
  ASSERT_TRUE(watcher.watching());
  int suspends = 0;
  int resumes = 0;
  QObject::connect(&watcher, &SleepWatcher::suspending, [&] { ++suspends; });
  QObject::connect(&watcher, &SleepWatcher::resumed, [&] { ++resumes; });

  Send(login1, true);
  ASSERT_TRUE(WaitUntil([&] { return suspends == 1; }));
  EXPECT_FALSE(watcher.awake());

  // A repeated notification changes nothing; the resume after it is the next
  // thing reported.
  Send(login1, true);
  Send(login1, false);
  ASSERT_TRUE(WaitUntil([&] { return resumes == 1; }));
  EXPECT_EQ(suspends, 1);
  EXPECT_TRUE(watcher.awake());
}

}  // namespace
}  // namespace talvo::app
