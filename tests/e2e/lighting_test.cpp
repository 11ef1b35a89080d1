// Lighting seen from outside the program: the frames to the simulated mouse
// over a system suspend and resume, the keyboard and mousepad, which are
// never attached and whose lighting tabs the main window does not offer, and
// a program with nothing to animate, which does not wake for lighting.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>

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

QString MouseTint(TalvoRun& talvo) { return talvo.Get("ms_dkey_0").value("changer_colour").toString(); }

// How often each thread of the program has gone to sleep and been woken so
// far, by thread name; the main thread is "main".
std::map<std::string, long> Wakeups(qint64 pid) {
  std::map<std::string, long> out;
  const QString tasks = QStringLiteral("/proc/%1/task/").arg(pid);
  for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile comm(tasks + tid + "/comm");
    QFile status(tasks + tid + "/status");
    if (!comm.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly)) continue;
    const std::string name = tid == QString::number(pid) ? "main" : comm.readAll().trimmed().toStdString();
    for (const QByteArray& line : status.readAll().split('\n'))
      if (line.startsWith("voluntary_ctxt_switches:")) out[name] += line.mid(24).trimmed().toLong();
  }
  return out;
}

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

// The keyboard and the mousepad attached beside the mouse: their tabs, their
// full reads, a lighting change pushed, the mousepad's onboard switch and
// its reset followed a second later by a full read.
using AttachedDevicesTest = E2eTest;

TEST_F(AttachedDevicesTest, KeyboardAndMousepadAreReadPushedSwitchedAndReset) {
  TalvoRun& talvo = Launch(Variables{}, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] {
    return talvo.Get("kb_tab").value("visible").toBool() && talvo.Get("mp_tab").value("visible").toBool();
  }));
  // Each gets the records pushed at start-up, then its full read.
  const auto endsWith = [&](const char* device, const std::vector<int>& tail) {
    const std::vector<int> got = Collapsed(SequenceCommands(talvo, device));
    return got.size() >= tail.size() && std::equal(tail.begin(), tail.end(), got.end() - long(tail.size()));
  };
  ASSERT_TRUE(WaitFor(talvo, [&] { return endsWith("keyboard", {1, 3, 7, 8, 2}); }));
  ASSERT_TRUE(WaitFor(talvo, [&] { return endsWith("mousepad", {1, 3, 5, 2}); }));

  talvo.Request(QJsonObject{{"cmd", "check"}, {"name", "kb_tab"}, {"on", true}});
  talvo.Request(QJsonObject{{"cmd", "check"}, {"name", "kb_deng_Op_tab"}, {"on", true}});
  talvo.Request(Sim("clear", "keyboard"));
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "kb_deng_combo_modeSelect"}, {"index", 3}});
  EXPECT_TRUE(WaitFor(talvo, [&] {
    const auto commands = SequenceCommands(talvo, "keyboard");
    return std::find(commands.begin(), commands.end(), 6) != commands.end();
  })) << "the keyboard's lighting change was not pushed";

  talvo.Request(QJsonObject{{"cmd", "check"}, {"name", "mp_tab"}, {"on", true}});
  talvo.Request(Sim("clear", "mousepad"));
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "mp_deng_combo_profile"}, {"index", 1}});
  ASSERT_TRUE(WaitFor(talvo, [&] { return SequenceCommands(talvo, "mousepad").size() >= 3; }));
  EXPECT_EQ(SequenceCommands(talvo, "mousepad"), (std::vector<int>{5, 6, 5}));
  EXPECT_EQ(talvo.Get("mp_deng_combo_profile").value("index").toInt(), 1);

  talvo.Request(Sim("clear", "mousepad"));
  talvo.Request(QJsonObject{{"cmd", "click"}, {"name", "mp_one_profile_default"}});
  ASSERT_TRUE(WaitFor(talvo, [&] { return Collapsed(SequenceCommands(talvo, "mousepad")) == std::vector<int>{13, 1, 3, 5, 2}; }, 4000));
  // From the reset to the first read after it; a lighting frame may come
  // between the two.
  std::optional<int> resetMs, readMs;
  for (const QJsonValue& v : talvo.Request(Sim("traffic", "mousepad")).value("requests").toArray()) {
    const int command = QByteArray::fromHex(v.toObject().value("hex").toString().mid(6, 2).toLatin1()).at(0) & 0xFF;
    const int tMs = v.toObject().value("t_ms").toInt();
    if (command == 13 && !resetMs) resetMs = tMs;
    if (command == 1 && resetMs && !readMs) readMs = tMs;
  }
  ASSERT_TRUE(resetMs && readMs);
  EXPECT_GE(*readMs - *resetMs, 1000);

  // The keyboard leaving hands its tab back; the mouse's stays.
  talvo.Request(Sim("unplug", "keyboard"));
  ASSERT_TRUE(WaitFor(talvo, [&] { return !talvo.Get("kb_tab").value("visible").toBool(); }));
  EXPECT_TRUE(talvo.Get("ms_tab").value("visible").toBool());
}

// The keyboard's same-mode button: its static colour at full brightness on
// all three devices, in their own frame layouts.
TEST_F(AttachedDevicesTest, SameModePutsTheMouseAndTheMousepadInStepWithTheKeyboard) {
  TalvoRun& talvo = Launch(Variables{}, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("kb_tab").value("visible").toBool(); }));
  Pause(talvo, 1500);  // past the full reads
  for (const char* tab : {"kb_tab", "kb_deng_Op_tab"})
    talvo.Request(QJsonObject{{"cmd", "check"}, {"name", tab}, {"on", true}});
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "kb_deng_combo_modeSelect"}, {"index", 3}});
  talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "kb_deng_light_slider"}, {"value", 4}});
  const std::pair<const char*, const char*> colour[] = {{"kb_Deng_edit_R", "10"}, {"kb_Deng_edit_G", "20"},
                                                       {"kb_Deng_edit_B", "30"}};
  for (const auto& [edit, value] : colour)
    talvo.Request(QJsonObject{{"cmd", "type"}, {"name", edit}, {"text", value}});
  Pause(talvo, 300);  // the record's push goes out before the click
  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "click"}, {"name", "kb_deng_same_mode"}}).value("ok").toBool());
  const auto frame = [&](const char* device) { return SimMemory(talvo, "frame", device); };
  const QByteArray step = QByteArray::fromHex("0a141e");
  EXPECT_TRUE(WaitFor(talvo, [&] { return frame("mouse").left(60) == step.repeated(20); }))
      << frame("mouse").left(60).toHex().toStdString();
  EXPECT_TRUE(WaitFor(talvo, [&] { return frame("mousepad").left(45) == step.repeated(15); }))
      << frame("mousepad").left(45).toHex().toStdString();
}

// Every mode each device's page offers, chosen on the page: frames reach the
// device and the page's picture shows them, and the modes that move keep
// both moving. Still modes (a single colour, the custom keys) hold one
// picture; the mousepad's flash moves at the mouse's notifications; the
// modes a device runs itself get no frames.
TEST_F(AttachedDevicesTest, EveryModeOfEveryDeviceAnimatesOnTheDeviceAndItsPage) {
  struct Device {
    const char* name;
    std::vector<const char*> tabs;
    const char* combo;
    const char* preview;  // preview control names are this and a number
    int previews;
    int previewStep;  // every this many previews are compared
    const char* previewColour;
    const char* previewAlpha;
    int frameBytes;
    std::set<int> stillModes;
    std::set<int> ownModes;
    int flashMode = -1;  // moves when the mouse reports 0x403
  };
  const Device devices[] = {
      {"keyboard", {"kb_tab", "kb_deng_Op_tab"}, "kb_deng_combo_modeSelect", "kb_key_", 126, 5, "light_colour",
       "light_alpha", 378, {3, 8}, {}},
      {"mouse", {"ms_tab", "ms_deng_Op_tab"}, "ms_deng_combo_modeSelect2", "ms_dkey_", 20, 1, "changer_colour",
       "changer_alpha", 60, {2}, {3, 4, 5, 6}},
      {"mousepad", {"mp_tab"}, "mp_deng_combo_modeSelect", "mp_dkey_", 15, 1, "changer_colour", "changer_alpha", 45,
       {3}, {9}, 8},
  };
  TalvoRun& talvo = Launch(Variables{}, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
  Pause(talvo, 1500);  // past the full reads
  for (const Device& d : devices) {
    for (const char* tab : d.tabs) talvo.Request(QJsonObject{{"cmd", "check"}, {"name", tab}, {"on", true}});
    const int modes = talvo.Get(d.combo).value("count").toInt();
    EXPECT_GT(modes, 0) << d.combo;
    for (int mode = 0; mode < modes; ++mode) {
      SCOPED_TRACE(std::string(d.name) + " mode " + std::to_string(mode));
      talvo.Request(QJsonObject{{"cmd", "select"}, {"name", d.combo}, {"index", mode}});
      Pause(talvo, 150);
      talvo.Request(Sim("clear", d.name));
      std::set<QString> frames, pictures;
      for (int i = 0; i < 4; ++i) {
        if (mode == d.flashMode)
          talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "notify"}, {"device", "mouse"}, {"usage", 0x403}});
        frames.insert(talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", d.name}, {"area", "frame"}})
                          .value("hex")
                          .toString()
                          .left(2 * d.frameBytes));
        QString picture;
        for (int n = 0; n < d.previews; n += d.previewStep) {
          const QJsonObject c = talvo.Get((d.preview + std::to_string(n)).c_str());
          picture += c.value(d.previewColour).toString() + QString::number(c.value(d.previewAlpha).toInt());
        }
        pictures.insert(picture);
        Pause(talvo, 100);
      }
      if (d.ownModes.count(mode)) {
        EXPECT_EQ(FrameReports(talvo, d.name), 0) << "frames went to a mode the device runs itself";
        continue;
      }
      EXPECT_GT(FrameReports(talvo, d.name), 0) << "no frames reached the device";
      if (!d.stillModes.count(mode)) {
        EXPECT_GT(frames.size(), 1u) << "the device's lights stood still";
        EXPECT_GT(pictures.size(), 1u) << "the page's picture stood still";
      }
    }
  }
}

// With nothing to animate the lighting threads sleep on their gates and the
// repaint tick is off: over three seconds each wakes at most for its gates'
// recheck (and the main thread for the device watcher's news), where a
// polling thread wakes about ninety times.
// Up with all three devices read and the mouse's lighting page shown.
TalvoRun& ThreeDevicesRead(TalvoRun& talvo) {
  EXPECT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
  OpenMouseTab(talvo, "ms_deng_Op_tab");
  Pause(talvo, 1000);  // past the keyboard's and the mousepad's reads
  return talvo;
}

// The mouse's same-mode button is offered only for a mode the synchronized
// lighting animates: in a mode the mouse runs itself, a click would leave all
// three devices without frames.
TEST_F(AttachedDevicesTest, TheMousesSameModeIsOfferedOnlyWhereItAnimates) {
  TalvoRun& talvo = ThreeDevicesRead(Launch(Variables{}, "mouse,keyboard,mousepad"));
  for (int mode : {4, 1}) {
    talvo.Request(Choose("ms_deng_combo_modeSelect2", mode));
    Pause(talvo, 1200);  // a device watcher's pass
    EXPECT_EQ(talvo.Get("ms_deng_same_mode").value("visible").toBool(), mode == 1) << mode;
  }
}

// A push pending from a slider and an onboard switch chosen at once: the
// switch's first request goes unanswered once, so the push is built while
// the switch is under way.
TEST_F(AttachedDevicesTest, APendingPushNeverUndoesAnOnboardSwitch) {
  TalvoRun& talvo = ThreeDevicesRead(Launch(Variables{}, "mouse,keyboard,mousepad"));
  talvo.Do({Check("mp_tab"), QJsonObject{{"cmd", "sim"}, {"op", "fault"}, {"device", "mousepad"},
                                        {"fault", "no_reply"}, {"count", 1}},
            QJsonObject{{"cmd", "set_value"}, {"name", "mp_deng_light_slider"}, {"value", 1}},
            Choose("mp_deng_combo_profile", 2)});
  Pause(talvo, 2000);
  EXPECT_EQ(SimMemory(talvo, "settings", "mousepad").at(0), 2);
  EXPECT_EQ(talvo.Get("mp_deng_combo_profile").value("index").toInt(), 2);
}

// The keyboard's full read has no lighting of its own: a mode chosen just
// before it stays on the page, in the push and in the file.
TEST_F(AttachedDevicesTest, AKeyboardReadRightAfterAChangeKeepsTheChange) {
  TalvoRun& talvo = ThreeDevicesRead(Launch(Variables{}, "mouse,keyboard,mousepad"));
  talvo.Do({Check("kb_tab"), Check("kb_deng_Op_tab"), Choose("kb_deng_combo_modeSelect", 3),
            QJsonObject{{"cmd", "sim"}, {"op", "notify"}, {"device", "keyboard"}, {"usage", 0x402}}});
  Pause(talvo, 1000);
  EXPECT_EQ(talvo.Get("kb_deng_combo_modeSelect").value("index").toInt(), 3);
  EXPECT_EQ(SimMemory(talvo, "settings", "keyboard").at(1), 3);
}

using IdleLightingTest = E2eTest;

TEST_F(IdleLightingTest, WithNothingToAnimateTheLightingThreadsAndTheWindowSleep) {
  struct Case {
    const char* name;
    const char* simulated;
    std::function<void(TalvoRun&)> settle;
  };
  const Case cases[] = {
      {"no device", "none", [](TalvoRun&) {}},
      {"a mouse running its own mode, the window hidden", "mouse",
       [](TalvoRun& talvo) {
         talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_deng_combo_modeSelect2"}, {"index", 3}});
         if (talvo.Request("window").value("visible").toBool())
           talvo.Request(QJsonObject{{"cmd", "tray"}, {"button", "left"}});
         ASSERT_FALSE(talvo.Request("window").value("visible").toBool());
         Pause(talvo, 500);
       }},
  };
  for (const Case& c : cases) {
    TalvoRun& talvo = Launch(Variables{{"TALVO_TRAY", "1"}}, c.simulated);
    ASSERT_TRUE(talvo.Request("ready").value("ok").toBool()) << c.name;
    // Past the lighting threads' start delays.
    Pause(talvo, 3500);
    c.settle(talvo);
    const auto before = Wakeups(talvo.Pid());
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto after = Wakeups(talvo.Pid());
    for (const char* thread : {"main", "KeyboardLightin", "MouseLighting", "MousepadLightin"}) {
      ASSERT_TRUE(after.count(thread)) << thread;
      EXPECT_LT(after.at(thread) - before.at(thread), 6) << c.name << ": " << thread;
    }
    talvo.Request("quit");
    EXPECT_TRUE(talvo.WaitForExit(kWaitTimeoutMs));
  }
}

}  // namespace
}  // namespace talvo::e2e
