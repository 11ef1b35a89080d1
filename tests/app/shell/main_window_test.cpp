// The main window on the real skin: start-up order, language, window buttons,
// activation and tray, the periodic record push, skin changes and the end.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <memory>

#include "app/shell/main_window.h"
#include "app/toolkit/qt/qt_control.h"
#include "device/device_report.h"
#include "pages/profiles/profile_lists.h"
#include "platform/ini_file.h"
#include "platform/system_settings.h"
#include "profiles/main_settings.h"
#include "profiles/profile_index.h"
#include "shell_test_util.h"
#include "sim/simulated_backend.h"
#include "tests/support/fifo_guard.h"

namespace talvo::app {
namespace {

using profiles::Language;

// Private user folders for one test: main.ini, the system settings file and
// the documents folder all live under a temporary folder.
class PrivateFolders {
 public:
  PrivateFolders() {
    saved_ = {qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_CONFIG_DIRS")};
    qputenv("HOME", dir_.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toUtf8());
    qputenv("XDG_CONFIG_DIRS", (dir_.path() + "/etc").toUtf8());
  }
  ~PrivateFolders() {
    qputenv("HOME", saved_[0]);
    qputenv("XDG_CONFIG_HOME", saved_[1]);
    qputenv("XDG_CONFIG_DIRS", saved_[2]);
  }
  QString Path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
  std::array<QByteArray, 3> saved_;
};

// Records messages like the automation's dialogs, and lets a test act while
// a message is "showing".
class RecordingDialogs final : public toolkit::Dialogs {
 public:
  std::vector<std::string> shown;
  std::function<void()> whileShowing;
  int answer = 1;

  int ShowMessage(toolkit::Window*, const std::string& text, bool) override {
    shown.push_back(text);
    if (whileShowing) std::exchange(whileShowing, nullptr)();
    return answer;
  }
  std::optional<std::string> OpenFile(toolkit::Window*, const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(toolkit::Window*, const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

using test::WaitForStop;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_.Plug(sim::DeviceKind::Mouse);
    backend_.SetLatency(std::chrono::microseconds(0));
    toolkit_.SetDialogs(&dialogs_);
  }

  // Creates the window and waits until start-up is done.
  CMainWnd& Start(bool tray = true, std::vector<std::string> workerNames = {}) {
    CMainWnd::Options options;
    options.tray = tray;
    options.watchSleep = false;
    options.pointerSettings = pointer_;
    options.foreground = foreground_;
    if (!ownWorkers_) {
      options.workers = [this, workerNames](CMainWnd&) {
        std::vector<WorkerSpec> specs;
        for (const std::string& name : workerNames) {
          specs.push_back({name, [this](std::stop_token stop) {
                             ++workersRunning_;
                             WaitForStop(stop);
                             --workersRunning_;
                           }});
        }
        return specs;
      };
    }
    window_ = std::make_unique<CMainWnd>(toolkit_, backend_, std::move(options));
    EXPECT_TRUE(window_->Create());
    EXPECT_TRUE(QTest::qWaitFor([this] { return window_->Initialised(); }, 5000));
    return *window_;
  }

  toolkit::Control& Find(const char* name) {
    toolkit::Control* c = window_->Window().FindControl(name);
    EXPECT_NE(c, nullptr) << name;
    return *c;
  }
  void Click(const char* name) {
    auto* button = qobject_cast<QAbstractButton*>(dynamic_cast<QtControl&>(Find(name)).Widget());
    ASSERT_NE(button, nullptr) << name;
    button->click();
  }
  std::string MainIni(const char* key) {
    return platform::ReadIniString(profiles::MainIniPath(), "SKINIMAGE", key, "<none>");
  }
  QWidget* Widget() { return window_->Widget(); }

  PrivateFolders folders_;
  QtToolkit toolkit_{QStringLiteral(TALVO_SKIN_DIR)};
  RecordingDialogs dialogs_;
  sim::SimulatedBackend backend_;
  std::shared_ptr<platform::RecordingPointerSettings> pointer_ = std::make_shared<platform::RecordingPointerSettings>();
  // The desktop's own source when null.
  std::shared_ptr<platform::ForegroundProgram> foreground_;
  std::unique_ptr<CMainWnd> window_;
  std::atomic<int> workersRunning_{0};
  // Start() runs the program's own worker threads instead of stand-ins.
  bool ownWorkers_ = false;
};

TEST_F(MainWindowTest, TheRepaintTickRunsOnlyWhileAShownWindowHasNewPreviews) {
  ownWorkers_ = true;
  CMainWnd& w = Start();
  const auto ticking = [&] { return w.Window().IsTimerActive(CMainWnd::kRepaintTimer); };
  const auto framesSent = [&] {
    for (const auto& r : backend_.Device(sim::DeviceKind::Mouse).Requests())
      if (r.bytes[device::report::kCommand] == static_cast<uint8_t>(device::Command::SendLightFrame)) return true;
    return false;
  };
  ASSERT_TRUE(QTest::qWaitFor(framesSent, 10000));
  ASSERT_TRUE(Widget()->isVisible());
  lighting::MouseSettingsRecord& record = w.Live().mouseLight.record;
  const uint8_t animated = record.mode();
  record.SetMode(3);
  w.PushFlags().Mark(device::Peripheral::Mouse);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ticking(); }, 5000)) << "a mode the mouse runs itself has no preview";
  record.SetMode(animated);
  w.PushFlags().Mark(device::Peripheral::Mouse);
  ASSERT_TRUE(QTest::qWaitFor(ticking, 5000)) << "frames arm the tick";
  Widget()->hide();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ticking(); }, 5000)) << "a hidden window stops it";
  QTest::qWait(300);
  EXPECT_FALSE(ticking()) << "frames for a hidden window do not arm it";
  Widget()->showNormal();
  EXPECT_TRUE(ticking()) << "showing the window arms it";
}

TEST_F(MainWindowTest, StartUpSetsIdentitiesStartsThreadsAndTimersAndPutsTheWindowAway) {
  CMainWnd& w = Start(true, {"DeviceWatcher", "MouseListener", "KeyboardListener"});

  EXPECT_EQ(w.RunningWorkers(), (std::vector<std::string>{"DeviceWatcher", "MouseListener", "KeyboardListener"}));
  EXPECT_TRUE(QTest::qWaitFor([this] { return workersRunning_.load() == 3; }, 5000));
  for (device::Peripheral p : {device::Peripheral::Keyboard, device::Peripheral::Mousepad})
    EXPECT_TRUE(w.Room(p).FullReadWaiting()) << w.Room(p).Traits().name;
  // Nothing to push, save or repaint once the watchers' first answers have
  // selected the user's choices (which pushes them): those ticks wait for
  // work.
  for (int id : {CMainWnd::kHideProgressTimer, CMainWnd::kPushTimer, CMainWnd::kRepaintTimer})
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Window().IsTimerActive(id); }, 3000)) << "timer " << id;
  // The one-shot read-backs end themselves.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Room(device::Peripheral::Keyboard).FullReadWaiting(); }, 3000));
  // A change starts the push tick, which stops once the change is pushed
  // and saved.
  w.PushFlags().Mark(device::Peripheral::Mousepad);
  EXPECT_TRUE(w.Window().IsTimerActive(CMainWnd::kPushTimer));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !w.Window().IsTimerActive(CMainWnd::kPushTimer); }, 3000));
  EXPECT_FALSE(w.PushFlags().IsPending(device::Peripheral::Mousepad));

  EXPECT_EQ(w.MouseLink().ProductId(), device::kMouseProductId);
  EXPECT_EQ(w.KeyboardLink().ProductId(), device::kKeyboardProductId);
  EXPECT_EQ(w.MousepadLink().ProductId(), device::kMousepadProductId);
  EXPECT_EQ(w.MouseLink().UsagePage(), device::kCommandUsagePage);

  EXPECT_FALSE(Widget()->isVisible()) << "with a tray the window waits hidden for a device";
  EXPECT_EQ(Widget()->windowTitle(), QStringLiteral("Talvo"));
  EXPECT_EQ(Widget()->size(), QSize(CMainWnd::kWidth, CMainWnd::kHeight));
  EXPECT_TRUE(Widget()->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(MainWindowTest, WithoutATrayTheWindowIsMinimizedNotHiddenAndTheMenuOffersExit) {
  CMainWnd& w = Start(false);
  EXPECT_TRUE(Widget()->isVisible());
  EXPECT_TRUE(Widget()->isMinimized());
  const auto items = w.MainMenuItems();
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.front().name, "exit");

  w.ActivateRequest();  // no device connected
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_1"}));
  EXPECT_TRUE(Widget()->isVisible()) << "never put out of reach without a tray";
}

TEST_F(MainWindowTest, TrayMenuStartsWithExitAndMainMenuHasNoneWhenATrayExists) {
  CMainWnd& w = Start(true);
  const auto tray = w.TrayMenuItems();
  ASSERT_FALSE(tray.empty());
  EXPECT_EQ(tray.front().name, "exit");
  EXPECT_EQ(tray.front().text, "关闭");
  for (const MenuItem& item : w.MainMenuItems()) EXPECT_NE(item.name, "exit");
}

TEST_F(MainWindowTest, SystemLanguage2020StoresChineseAndTheMenuSwitchesAndStores) {
  ASSERT_TRUE(platform::WriteSystemSetting("LANGUAGE", "2020"));
  CMainWnd& w = Start();
  EXPECT_EQ(MainIni("LANGUAGE"), "1");
  EXPECT_EQ(w.CurrentLanguage(), Language::Chinese);
  const std::string chinese = Find("waiting_title").Text();
  EXPECT_EQ(chinese, *toolkit_.LanguageText("waiting_title_text"));

  w.OnMenuItem({"lan_en", "menu_lan_en_text", "en"});
  EXPECT_EQ(MainIni("LANGUAGE"), "0");
  EXPECT_EQ(platform::ReadSystemSetting("LANGUAGE"), "1010");
  EXPECT_NE(Find("waiting_title").Text(), chinese);
  EXPECT_EQ(Find("waiting_title").Text(), *toolkit_.LanguageText("waiting_title_text"));

  w.OnMenuItem({"lan_cn", "menu_lan_cn_text", "cn_zh"});
  EXPECT_EQ(MainIni("LANGUAGE"), "1");
  EXPECT_EQ(platform::ReadSystemSetting("LANGUAGE"), "2020");
  EXPECT_EQ(Find("waiting_title").Text(), chinese);
}

TEST_F(MainWindowTest, OtherSystemLanguageStoresEnglishAndNoneKeepsTheStoredChoice) {
  ASSERT_TRUE(platform::WriteSystemSetting("LANGUAGE", "abc"));
  Start();
  EXPECT_EQ(MainIni("LANGUAGE"), "0");
  EXPECT_EQ(window_->CurrentLanguage(), Language::English);
}

TEST_F(MainWindowTest, UnreadableSystemLanguageLeavesMainIniAsItIs) {
  ASSERT_TRUE(profiles::StoreLanguage(Language::Chinese));
  Start();
  EXPECT_EQ(MainIni("LANGUAGE"), "1");
  EXPECT_EQ(window_->CurrentLanguage(), Language::Chinese);
}

TEST_F(MainWindowTest, WindowButtonsMinimizeMaximizeAndRestore) {
  CMainWnd& w = Start();
  QSignalSpy closed(&w, &CMainWnd::closed);
  Widget()->showNormal();

  Click("closebtn");
  EXPECT_TRUE(Widget()->isMinimized()) << "the close button only minimizes";
  Widget()->showNormal();
  Click("minbtn");
  EXPECT_TRUE(Widget()->isMinimized());

  Widget()->showNormal();
  Click("maxbtn");
  EXPECT_TRUE(Widget()->isMaximized());
  EXPECT_TRUE(Find("restorebtn").IsVisible());
  EXPECT_FALSE(Find("maxbtn").IsVisible());
  Click("restorebtn");
  EXPECT_FALSE(Widget()->isMaximized());
  EXPECT_TRUE(Find("maxbtn").IsVisible());

  // The window manager's close acts like the close button.
  Widget()->showNormal();
  EXPECT_FALSE(Widget()->close());
  EXPECT_TRUE(Widget()->isMinimized());
  EXPECT_EQ(closed.count(), 0);
}

TEST_F(MainWindowTest, ActivationAndTrayWithoutADeviceSayNoneIsConnectedOnceAtATime) {
  CMainWnd& w = Start();
  Widget()->show();
  // A second activation arriving while the message shows is dropped.
  dialogs_.whileShowing = [&w] { w.ActivateRequest(); };
  w.ActivateRequest();
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_1"}));
  EXPECT_FALSE(Widget()->isVisible());

  dialogs_.shown.clear();
  dialogs_.whileShowing = [&w] { w.TrayClick(); };
  w.TrayClick();
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_1"}));
  EXPECT_FALSE(Widget()->isVisible());
}

TEST_F(MainWindowTest, WithADeviceActivationShowsAndTrayClicksToggle) {
  CMainWnd& w = Start();
  ASSERT_TRUE(w.MouseLink().Attach());

  w.ActivateRequest();
  EXPECT_TRUE(Widget()->isVisible());
  EXPECT_FALSE(Widget()->isMinimized());

  w.TrayClick();
  EXPECT_FALSE(Widget()->isVisible());
  w.TrayClick();
  EXPECT_TRUE(Widget()->isVisible());
  EXPECT_TRUE(w.Window().IsTimerActive(CMainWnd::kRepaintAfterShowTimer));

  // A minimized window is brought back rather than hidden.
  Widget()->showMinimized();
  w.TrayClick();
  EXPECT_TRUE(Widget()->isVisible());
  EXPECT_FALSE(Widget()->isMinimized());
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(MainWindowTest, PendingRecordPushGoesToTheDeviceOnceAndClearsTheFlag) {
  CMainWnd& w = Start();
  ASSERT_TRUE(w.MouseLink().Attach());
  sim::SimDevice& mouse = backend_.Device(sim::DeviceKind::Mouse);
  mouse.ClearRequests();

  w.PushFlags().Mark(device::Peripheral::Mouse);
  auto writes = [&] {
    int n = 0;
    for (const auto& r : mouse.Requests())
      n += r.bytes[device::report::kCommand] == uint8_t(device::Command::WriteSettings);
    return n;
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return writes() > 0; }, 3000));
  EXPECT_FALSE(w.PushFlags().IsPending(device::Peripheral::Mouse));
  const int afterPush = writes();
  QTest::qWait(300);
  EXPECT_EQ(writes(), afterPush) << "a push is sent once per mark";
}

// A streamed set is news for its own device's lighting thread alone; a
// change every thread watches (a push marked) still reaches all three.
TEST_F(MainWindowTest, AStreamedSetWakesOnlyItsDevicesLightingThread) {
  using device::Peripheral;
  CMainWnd& w = Start();
  const auto wakes = [&](Peripheral p) { return w.Room(p).LightingWake().Notifications(); };
  const uint64_t keyboard = wakes(Peripheral::Keyboard), mouse = wakes(Peripheral::Mouse),
                 mousepad = wakes(Peripheral::Mousepad);
  w.Room(Peripheral::Mouse).Direct().SetOn(true);
  w.Room(Peripheral::Mouse).Direct().Set(0, std::vector<lighting::Rgb>(4, lighting::Rgb{1, 2, 3}));
  // The set may ride on the wake of switching Direct on, if the thread has
  // not taken that yet.
  const uint64_t mouseAfterSet = wakes(Peripheral::Mouse);
  EXPECT_GT(mouseAfterSet, mouse);
  EXPECT_EQ(wakes(Peripheral::Keyboard), keyboard);
  EXPECT_EQ(wakes(Peripheral::Mousepad), mousepad);
  w.PushFlags().Mark(Peripheral::Keyboard);
  EXPECT_GT(wakes(Peripheral::Mouse), mouseAfterSet);
  EXPECT_GT(wakes(Peripheral::Keyboard), keyboard);
  EXPECT_GT(wakes(Peripheral::Mousepad), mousepad);
}

TEST_F(MainWindowTest, StoredBackgroundAppliesAtStartAndSkinChangesReachTheRoot) {
  ASSERT_TRUE(profiles::StoreSkinImage("common/skin_2.png"));
  Start();
  EXPECT_EQ(Find("root").BkImage(), "common/skin_2.png");

  SkinObserver::Instance().Broadcast(SkinChange{true, 0xFF203040u, {}});
  EXPECT_EQ(Find("root").BkColor(), 0xFF203040u);
  EXPECT_EQ(Find("root").BkImage(), "");

  SkinObserver::Instance().Broadcast(SkinChange{false, 0, "common/skin_1.png"});
  EXPECT_EQ(Find("root").BkColor(), 0u);
  EXPECT_EQ(Find("root").BkImage(), "common/skin_1.png");
}

// Whatever main.ini's IMAGE holds, start-up neither blocks on it nor lets it
// into any style sheet: a value the skin chooser could not have written shows
// the default background and stays in main.ini as it was.
TEST_F(MainWindowTest, StoredBackgroundThatIsNoSkinImageShowsTheDefaultWithoutBlockingOrRestyling) {
  test_support::FifoGuard fifo(folders_.Path().toStdString() + "/fifo.png");
  ASSERT_TRUE(fifo.Created());
  const std::string hostile = "x.png\"); } * { background: red; } #root { x: url(\"";
  for (const std::string& image : {fifo.Path().string(), hostile}) {
    ASSERT_TRUE(profiles::StoreSkinImage(image));
    Start();
    EXPECT_EQ(Find("root").BkImage(), kDefaultBackground) << image;
    QString sheets = qApp->styleSheet() + Widget()->styleSheet();
    for (const QWidget* w : Widget()->findChildren<QWidget*>()) sheets += w->styleSheet();
    EXPECT_FALSE(sheets.contains("fifo.png")) << image;
    EXPECT_FALSE(sheets.contains("x.png")) << image;
    EXPECT_FALSE(sheets.contains("background: red")) << image;
    EXPECT_EQ(MainIni("IMAGE"), image);
    window_.reset();
  }
  EXPECT_FALSE(fifo.Released()) << "start-up blocked on a FIFO";
}

TEST_F(MainWindowTest, ProgressShowsAndHidesASecondAfterTheEnd) {
  CMainWnd& w = Start();
  w.ShowProgress();
  EXPECT_TRUE(Find("setting_progress").IsVisible());
  w.EndProgress();
  EXPECT_TRUE(Find("setting_progress").IsVisible());
  EXPECT_TRUE(QTest::qWaitFor([this] { return !Find("setting_progress").IsVisible(); }, 3000));
}

TEST_F(MainWindowTest, LastDeviceGoneSaysSoAndPutsTheWindowAway) {
  CMainWnd& w = Start();
  Widget()->show();
  w.OnLastDeviceGone();
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_20"}));
  EXPECT_FALSE(Widget()->isVisible());
}

TEST_F(MainWindowTest, ExitItemStopsEveryThreadAndEndsOnce) {
  CMainWnd& w = Start(true, {"DeviceWatcher", "MouseListener"});
  ASSERT_TRUE(QTest::qWaitFor([this] { return workersRunning_.load() == 2; }, 5000));
  QSignalSpy closed(&w, &CMainWnd::closed);

  w.OnMenuItem({"exit", "关闭", "", false});
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(workersRunning_.load(), 0);
  EXPECT_TRUE(w.RunningWorkers().empty());
  EXPECT_FALSE(w.TrayShown());
  w.Close();
  EXPECT_EQ(closed.count(), 1) << "the end runs once";
}

TEST_F(MainWindowTest, UnknownMenuItemShowsItsTextAndQuietItemsDoNothing) {
  CMainWnd& w = Start();
  w.OnMenuItem({"Menu_Import", "menu_about_text", ""});
  EXPECT_TRUE(dialogs_.shown.empty());
  w.OnMenuItem({"something", "message_text_8", ""});
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_8"}));
}

TEST_F(MainWindowTest, FirstRunCreatesOneProfilePerListAndTheNextStartReadsThemBack) {
  Start();
  for (const profiles::ProfileCombo& combo : profiles::kProfileCombos) {
    const std::string name(pages::profiles::ProfileListControl(combo));
    toolkit::Control& list = Find(name.c_str());
    ASSERT_EQ(list.Count(), 1) << name;
    EXPECT_EQ(list.ItemText(0), combo.firstRunName);
    EXPECT_EQ(list.ItemUserData(0), combo.firstRunName);
    EXPECT_EQ(list.CurrentIndex(), -1) << "no list is selected at start-up";
    const auto file = profiles::ProfilePath(combo, combo.firstRunName);
    ASSERT_TRUE(file);
    EXPECT_TRUE(std::filesystem::exists(*file)) << file->string();
  }
  EXPECT_TRUE(dialogs_.shown.empty());

  // A profile added by hand to the mouse device index shows at the next start.
  profiles::ProfileIndex index(*profiles::FindCombo(device::Peripheral::Mouse, profiles::ProfileKind::Device));
  ASSERT_TRUE(platform::WriteIniString(index.File(), "PROFILEDEVICENAME", "1", "race"));
  ASSERT_TRUE(platform::WriteIniString(index.File(), "PROFILEDEVICECOUNT", "count", "2"));
  window_.reset();
  Start();
  toolkit::Control& devices = Find("ms_device_profile_combo");
  ASSERT_EQ(devices.Count(), 2);
  EXPECT_EQ(devices.ItemText(1), "race");
}

// A source whose availability the test sets, telling each change as the
// desktops' sources do.
class SwitchedForeground final : public platform::ForegroundProgram {
 public:
  std::string_view Name() const override { return "switched"; }
  platform::ForegroundAvailability Availability() const override { return availability_; }
  platform::ForegroundAnswer Current() override { return {}; }
  bool TellsChanges() const override { return true; }
  void Set(platform::ForegroundAvailability availability) {
    availability_ = availability;
    TellChanged();
  }

 private:
  std::atomic<platform::ForegroundAvailability> availability_{platform::ForegroundAvailability::Available};
};

TEST_F(MainWindowTest, TheLinkRowFollowsTheSourcesAvailabilityBothWays) {
  auto source = std::make_shared<SwitchedForeground>();
  foreground_ = source;
  Start();
  using platform::ForegroundAvailability;
  const struct {
    ForegroundAvailability availability;
    const char* textId;  // nothing while links are followed
  } kCases[] = {
      {ForegroundAvailability::Unreachable, "profile_link_unreachable_text"},
      {ForegroundAvailability::Available, nullptr},
      {ForegroundAvailability::GnomeExtensionOff, "profile_link_gnome_extension_text"},
      {ForegroundAvailability::UnsupportedDesktop, "profile_link_unsupported_text"},
      {ForegroundAvailability::Available, nullptr},
  };
  for (const auto& c : kCases) {
    source->Set(c.availability);
    const std::string tip = c.textId ? toolkit_.LanguageText(c.textId).value_or("<missing>") : "";
    const std::string field = c.textId ? tip : " ";
    EXPECT_TRUE(QTest::qWaitFor([&] {
      return Find("kb_key_profile_link_btn").ToolTip() == tip && Find("ms_device_profile_link_check").ToolTip() == tip &&
             Find("ms_device_profile_link_edit").Text() == field;
    })) << (c.textId ? c.textId : "available") << ": " << Find("ms_device_profile_link_check").ToolTip();
  }
}

TEST(MainWindowLayout, MissingLayoutFailsCreation) {
  PrivateFolders folders;
  QTemporaryDir emptySkin;
  QtToolkit toolkit(emptySkin.path());
  sim::SimulatedBackend backend;
  CMainWnd w(toolkit, backend,
             {.tray = false,
              .workers = {},
              .watchSleep = false,
              .pointerSettings = std::make_shared<platform::RecordingPointerSettings>(),
              .foreground = {}});
  EXPECT_FALSE(w.Create());
}

}  // namespace
}  // namespace talvo::app
