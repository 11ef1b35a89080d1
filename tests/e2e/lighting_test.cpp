// Lighting seen from outside the program: the frames to the simulated mouse
// over a system suspend and resume, and the keyboard and mousepad, which are
// never attached and whose lighting tabs the main window does not offer.
#include <set>

#include "tests/e2e/talvo_run.h"
#include "tests/support/private_bus.h"

namespace talvo::e2e {
namespace {

// Mouse frames start a few seconds after start-up.
constexpr int kFirstFramesTimeoutMs = 10000;

// Lighting frame reports (command 18) the device received since the last
// clear; a mouse frame is two of them.
int FrameReports(TalvoRun& talvo, const char* device) {
  int n = 0;
  for (const QJsonValue& v : talvo.Request(Sim("traffic", device)).value("requests").toArray()) {
    const QByteArray b = QByteArray::fromHex(v.toObject().value("hex").toString().toLatin1());
    n += b.size() > 3 && uint8_t(b[3]) == 18;
  }
  return n;
}

int Requests(TalvoRun& talvo, const char* device) {
  return int(talvo.Request(Sim("traffic", device)).value("requests").toArray().size());
}

QString MouseTint(TalvoRun& talvo) { return talvo.Get("ms_dkey_0").value("changer_colour").toString(); }

// A private bus plays the system bus, where logind announces suspend and
// resume.
class LightingSleepTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    if (HasFatalFailure()) return;
    if (!test_support::PrivateBus::Available()) GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(bus_.Start()) << qPrintable(bus_.Error());
  }

  test_support::PrivateBus bus_;
};

TEST_F(LightingSleepTest, NoFramesReachTheMouseWhileTheSystemSleeps) {
  // logind is on the bus before the program subscribes, as on a real system.
  test_support::SleepNotifier login1(bus_.Address(), QStringLiteral("login1"));
  ASSERT_TRUE(login1.Ready());
  TalvoRun& talvo = Launch(Variables{{"DBUS_SYSTEM_BUS_ADDRESS", bus_.Address()}});
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return FrameReports(talvo, "mouse") >= 2; }, kFirstFramesTimeoutMs))
      << "no lighting frames before the suspend";

  ASSERT_TRUE(login1.Send(true));
  // The notification crosses the bus to the UI thread; a frame already on its
  // way to the mouse may still land meanwhile.
  Pause(talvo, 300);
  talvo.Request(Sim("clear", "mouse"));
  // Half a second asleep, the page's picture sampled along the way: it keeps
  // moving, only the mouse is left alone.
  std::set<QString> tints;
  for (int i = 0; i < 5; ++i) {
    tints.insert(MouseTint(talvo));
    Pause(talvo, 100);
  }
  EXPECT_EQ(FrameReports(talvo, "mouse"), 0) << "frames went out while the system slept";
  EXPECT_GT(tints.size(), 1u) << "the preview stopped too";

  ASSERT_TRUE(login1.Send(false));
  EXPECT_TRUE(WaitFor(talvo, [&] { return FrameReports(talvo, "mouse") >= 2; }, 2000))
      << "no lighting frames after the resume";
}

// Only the mouse's command link is ever attached, and the main layout keeps
// the keyboard and mousepad tabs hidden, so their lighting pages cannot be
// reached by a user, with or without the device plugged in; a plugged
// keyboard or mousepad hears nothing, not even lighting frames.
using UnattachedDevicesTest = E2eTest;

TEST_F(UnattachedDevicesTest, PluggedKeyboardAndMousepadGetNoTabNoPageAndNoRequests) {
  TalvoRun& talvo = Launch(Variables{}, "mouse,keyboard,mousepad");
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  // By the mouse's first frame the keyboard's and the mousepad's lighting
  // threads are past their start delays too.
  ASSERT_TRUE(WaitFor(talvo, [&] { return FrameReports(talvo, "mouse") >= 2; }, kFirstFramesTimeoutMs))
      << "no lighting frames to the mouse";

  EXPECT_FALSE(talvo.Get("kb_tab").value("visible").toBool());
  EXPECT_FALSE(talvo.Get("mp_tab").value("visible").toBool());
  for (const char* combo : {"kb_deng_combo_modeSelect", "mp_deng_combo_modeSelect"}) {
    const QJsonObject reply = talvo.Request(QJsonObject{{"cmd", "select"}, {"name", combo}, {"index", 3}});
    EXPECT_EQ(reply.value("error").toString(), "not visible") << combo;
  }
  EXPECT_EQ(Requests(talvo, "keyboard"), 0);
  EXPECT_EQ(Requests(talvo, "mousepad"), 0);
}

}  // namespace
}  // namespace talvo::e2e
