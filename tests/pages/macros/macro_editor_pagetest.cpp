// The mouse's macro editor over its real layout on Qt's offscreen platform,
// with private folders, scripted message boxes and a capture that records
// what the page asks of it.
#include "pages/macros/macro_editor_page.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../../profiles/profile_test_env.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "keys/function_tables.h"
#include "macros/macro_files.h"
#include "device/device_report.h"
#include "pages/macros/macro_store.h"
#include "pages/message_text.h"
#include "profiles/profile_index.h"
#include "sim/simulated_backend.h"

namespace talvo::macros::pages {
namespace {

using Strings = std::vector<std::string>;

class NoHandler final : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

class ScriptedDialogs final : public toolkit::Dialogs {
 public:
  int ShowMessage(toolkit::Window*, const std::string& text, bool) override {
    shown.push_back(text);
    if (answers.empty()) return 0;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  std::optional<std::string> OpenFile(toolkit::Window*, const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(toolkit::Window*, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  Strings shown;
  std::vector<int> answers;
};

class CaptureLog final : public platform::InputCapture {
 public:
  void Install(platform::CaptureMode mode, platform::CaptureSink& s, bool keyboard, bool mouse) override {
    installed = {int(mode), keyboard, mouse};
    sink = &s;
  }
  void Remove() override { sink = nullptr; }
  struct Installed {
    int mode = 0;
    bool keyboard = false, mouse = false;
    bool operator==(const Installed&) const = default;
  } installed;
  platform::CaptureSink* sink = nullptr;
};

class MacroEditorTest : public profiles::test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    folder = profiles::DeviceFolder(device::Peripheral::Mouse);
    std::filesystem::create_directories(folder);
    toolkit.SetDialogs(&dialogs);
    ASSERT_TRUE(window.Create("Mouse_macro.xml"));
  }
  void TearDown() override {
    page.reset();
    ProfileFolders::TearDown();
  }

  // Macros named in list order, each with its action strings.
  void Start(const std::vector<std::pair<std::string, Strings>>& macros) {
    std::ofstream index(folder / "msMacro.ini");
    index << "[MACROCOUNT]\ncount=" << macros.size() << "\n[CURSORCOUNT]\ncount=4\n[MACRONAME]\n";
    for (size_t i = 0; i < macros.size(); ++i) index << i << "=" << macros[i].first << "\n";
    index.close();
    for (const auto& [name, steps] : macros) {
      std::ofstream mac(folder / (name + ".mac"));
      mac << "[MACROACTIONCOUNT]\ncount=" << steps.size() << "\n[MACROACTION]\n";
      for (size_t i = 0; i < steps.size(); ++i) mac << i << "=" << steps[i] << "\n";
    }
    page = std::make_unique<MacroEditorPage>(
        window, MacroEditorPage::Setup{.peripheral = device::Peripheral::Mouse,
                                       .folder = folder,
                                       .programFolder = Program(),
                                       .keyMaps = maps,
                                       .keyCount = keys::kMouseKeyCount,
                                       .saver = saver,
                                       .capture = capture,
                                       .clock = [this] { return now; },
                                       .keysChanged = {}});
    page->Load(views);
  }

  toolkit::Control* Find(const std::string& name) {
    toolkit::Control* c = window.FindControl(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void Notify(const std::string& type, const std::string& sender, int64_t wParam = 0, int64_t lParam = -1) {
    ::talvo::pages::Dispatch(*page, MacroEditorPage::Bindings(device::Peripheral::Mouse),
                             {.type = type, .sender = sender, .wParam = wParam, .lParam = lParam});
  }
  void Click(const std::string& name) { Notify("click", name); }
  void Select(const std::string& name, int item) {
    const int previous = Find(name)->CurrentIndex();
    Find(name)->SelectItem(item, false);
    Notify("itemselect", name, item, previous);
  }
  void Type(const std::string& name, const std::string& text) {
    Find(name)->SetText(text);
    Notify("textchanged", name);
  }
  bool Editing() { return Find("ms_macro_tab_saveorcancel")->IsVisible(); }

  NoHandler handler;
  ScriptedDialogs dialogs;
  app::QtToolkit toolkit{TALVO_SKIN_DIR};
  app::QtWindow window{toolkit, handler};
  ::talvo::pages::DeferredViews views{window};
  std::filesystem::path folder;
  keys::DeviceKeyMaps maps = keys::NewDeviceKeyMaps(device::Peripheral::Mouse);
  profiles::LiveData live;
  profiles::ProfileSaver saver{live};
  CaptureLog capture;
  uint64_t now = 1000;
  std::unique_ptr<MacroEditorPage> page;
};

constexpr const char* kReleaseA = "0,0,10,4,0,keyboard_key_A";
constexpr const char* kPressLeft = "0,0,129,1,1,mouse_key_left";
constexpr const char* kMoveLeft12 = "0,0,132,12,0,mouse_move_to_left_text";

struct StepChange {
  const char* name;
  const char* before;
  const char* control;
  int item;           // for combos; -1: `text` is typed instead
  const char* text;
  const char* after;
  const char* shown;  // the edit's text afterwards, or nullptr
};

class StepChangeTest : public MacroEditorTest, public testing::WithParamInterface<StepChange> {};

TEST_P(StepChangeTest, RewritesTheSelectedStep) {
  const StepChange& c = GetParam();
  Start({{"m", {c.before}}});
  Select("ms_Macro_list", 0);
  if (c.item >= 0) Select(c.control, c.item);
  else Type(c.control, c.text);
  EXPECT_EQ(page->Steps(), Strings{c.after});
  if (c.shown) {
    EXPECT_EQ(Find(c.control)->Text(), c.shown);
  }
  EXPECT_TRUE(Editing());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, StepChangeTest,
    testing::Values(
        StepChange{"ReleaseBecomesPress", kReleaseA, "ms_macro_combo_upordown", 1, "", "0,0,138,4,1,keyboard_key_A", nullptr},
        StepChange{"KeyBecomesModifier", "0,0,138,4,1,keyboard_key_A", "ms_macro_combo_keyselect", 0, "",
                   "0,0,137,1,1,keyboard_key_LCtrl", nullptr},
        StepChange{"ButtonBecomesMoveOfZero", kPressLeft, "ms_macro_combo_mouselect", 10, "",
                   "0,0,132,0,1,mouse_move_to_left_text", nullptr},
        StepChange{"MoveKeepsItsDistance", kMoveLeft12, "ms_macro_combo_mouselect", 12, "",
                   "0,0,133,12,0,mouse_move_to_up_text", nullptr},
        StepChange{"MoveBecomesRightRelease", kMoveLeft12, "ms_macro_combo_mouselect", 3, "",
                   "0,0,1,2,0,mouse_key_right", nullptr},
        StepChange{"DelayHeldAtItsLimit", kReleaseA, "ms__macro_edit_ActionDelay", -1, "70000",
                   "255,255,10,4,0,keyboard_key_A", "65535"},
        StepChange{"DelayNotANumber", "300,1,10,4,0,keyboard_key_A", "ms__macro_edit_ActionDelay", -1, "x",
                   "0,0,10,4,0,keyboard_key_A", nullptr},
        StepChange{"DistanceHeldAtItsLimit", kMoveLeft12, "ms_macro_edit_mou_pointer_skewing", -1, "300",
                   "0,0,132,255,0,mouse_move_to_left_text", "255"}),
    [](const testing::TestParamInfo<StepChange>& info) { return info.param.name; });

TEST_F(MacroEditorTest, ClickingAStepShowsItInTheStepEditor) {
  Start({{"m", {"0,1,138,4,1,keyboard_key_A", kMoveLeft12}}});
  Notify("itemclick", "ms_Macro_list", 0);
  EXPECT_EQ(Find("ms_tab_macro_edit")->CurrentPage(), 1);
  EXPECT_EQ(Find("ms_macro_combo_keyselect")->CurrentIndex(), 8);
  EXPECT_EQ(Find("ms_macro_combo_upordown")->CurrentIndex(), 1);
  EXPECT_EQ(Find("ms__macro_edit_ActionDelay")->Text(), "256");
  Notify("itemclick", "ms_Macro_list", 1);
  EXPECT_EQ(Find("ms_tab_macro_edit")->CurrentPage(), 2);
  EXPECT_EQ(Find("ms_macro_combo_mouselect")->CurrentIndex(), 10);
  EXPECT_EQ(Find("ms_macro_edit_mou_pointer_skewing")->Text(), "12");
  EXPECT_TRUE(Find("ms_macro_tab_mou_pointer_skewing")->IsVisible());
}

TEST_F(MacroEditorTest, StepListOperations) {
  const Strings three{"1,0,10,4,0,a", "2,0,10,4,0,b", "3,0,10,4,0,c"};
  Start({{"m", three}});
  Click("ms_macro_inset_leftkeydown_btn");  // nothing selected: at the top
  EXPECT_EQ(page->Steps().front(), "50,0,129,1,1,mouse_key_left");
  Select("ms_Macro_list", 3);
  Type("ms_mouse_x_right_edit", "300");
  EXPECT_EQ(Find("ms_mouse_x_right_edit")->Text(), "255");
  Click("ms_macro_inset_moverightkey_btn");  // after the selected step
  EXPECT_EQ(page->Steps(), (Strings{"50,0,129,1,1,mouse_key_left", three[0], three[1], three[2],
                                    "50,0,4,255,0,mouse_move_to_right_text"}));
  EXPECT_EQ(Find("ms_Macro_list")->CurrentIndex(), 4);

  Click("ms_macro_btn_down");  // the last one stays
  EXPECT_EQ(Find("ms_Macro_list")->CurrentIndex(), 4);
  Click("ms_macro_btn_uptop");
  Click("ms_macro_btn_up");  // the first one stays
  EXPECT_EQ(page->Steps().front(), "50,0,4,255,0,mouse_move_to_right_text");
  Click("ms_macro_btn_down");
  EXPECT_EQ(page->Steps()[1], "50,0,4,255,0,mouse_move_to_right_text");
  Click("ms_macro_btn_delete");
  EXPECT_EQ(page->Steps(), (Strings{"50,0,129,1,1,mouse_key_left", three[0], three[1], three[2]}));

  Click("ms_macro_btn_deleteall");
  EXPECT_TRUE(page->Steps().empty());
  EXPECT_TRUE(Editing()) << "save and cancel stay reachable";
  EXPECT_FALSE(Find("ms_MacroName_list")->IsEnabled());
  Click("ms_macro_btn_cancel");
  EXPECT_EQ(page->Steps(), three);
  EXPECT_FALSE(Editing());
  EXPECT_TRUE(Find("ms_MacroName_list")->IsEnabled());
}

TEST_F(MacroEditorTest, AnotherMacroWaitsUntilTheEditIsSavedOrCancelled) {
  Start({{"a", {"1,0,10,4,0,a"}}, {"b", {}}});
  EXPECT_EQ(Find("ms_MacroName_list")->CurrentIndex(), 1) << "the last macro is shown first";
  Select("ms_MacroName_list", 0);
  Click("ms_macro_btn_deleteall");
  Select("ms_MacroName_list", 1);
  EXPECT_EQ(dialogs.shown, Strings{"message_text_3"});
  EXPECT_EQ(Find("ms_MacroName_list")->CurrentIndex(), 0);
  Click("ms_macro_btn_save");
  EXPECT_TRUE(ReadMacro(folder, "a").empty());
  Select("ms_MacroName_list", 1);
  EXPECT_EQ(Find("ms_macro_edit_macroname")->Text(), "b");
}

TEST_F(MacroEditorTest, RecordingTakesWhatItsOptionsAsk) {
  Start({{"m", {"0,0,10,4,0,keyboard_key_A"}}});
  Find("ms_macro_keyboard_event")->SetCheck(false, false);
  Find("ms_macro_mouse_click")->SetCheck(true, false);
  Find("ms_macro_check_time")->SetCheck(false, false);
  Click("ms_macro_btn_redio");
  EXPECT_EQ(capture.installed, (CaptureLog::Installed{0x40, false, true}));
  EXPECT_FALSE(Find("ms_macro_btn_save")->IsEnabled());
  now += 120;
  capture.sink->OnCaptureMouse(platform::kMsgMouseMacroMouse, platform::kWmLButtonDown);
  capture.sink->OnCaptureMouse(platform::kMsgMouseMacroMouse, platform::kWmLButtonDown);
  now += 70000;
  capture.sink->OnCaptureMouse(platform::kMsgMouseMacroMouse, platform::kWmLButtonUp);
  Click("ms_macro_btn_redio");
  EXPECT_EQ(capture.sink, nullptr);
  EXPECT_TRUE(Find("ms_macro_btn_save")->IsEnabled());
  // The pause before an event belongs to the step before it.
  EXPECT_EQ(page->Steps(), (Strings{"120,0,10,4,0,keyboard_key_A", "255,255,129,1,1,mouse_key_left",
                                    "0,0,1,1,0,mouse_key_left"}));
  EXPECT_EQ(Find("ms_Macro_list")->ItemColumnText(2, 2), "0");
}

TEST_F(MacroEditorTest, DeletingAMacroKeysUseRenumbersTheKeysOfLaterOnes) {
  Start({{"A", {}}, {"B", {}}, {"C", {}}, {"D", {}}});
  keys::SetKey(maps.profiles[2], 3, {keys::kKindMacro, 2, 0});
  Select("ms_MacroName_list", 0);
  dialogs.answers = {1};
  Click("ms_macro_btn_name_sub");
  EXPECT_EQ(dialogs.shown, Strings{"message_text_4"}) << "no key plays A";
  EXPECT_EQ(page->Names(), (Strings{"B", "C", "D"}));
  EXPECT_EQ(keys::KeyAt(maps.profiles[2], 3), (keys::KeyFunction{keys::kKindMacro, 1, 0}));
  EXPECT_EQ(Find("ms_MacroName_list")->CurrentIndex(), 0);
}

struct StoreCase {
  const char* name;
  sim::Fault fault;
  std::vector<int> commands;
  Strings shown;
};

class StoreTest : public MacroEditorTest, public testing::WithParamInterface<StoreCase> {};

TEST_P(StoreTest, TellsWhenTheMouseDidNotTakeTheImage) {
  const StoreCase& c = GetParam();
  Start({{"m", {"10,0,138,4,1,keyboard_key_A"}}});
  sim::SimulatedBackend backend;
  backend.SetLatency(std::chrono::microseconds(0));
  backend.Plug(sim::DeviceKind::Mouse);
  device::DeviceSession session(backend);
  session.Link().SetCommandIdentity(device::kMouseProductId);
  ASSERT_TRUE(session.Link().Attach());
  std::jthread serve([&](std::stop_token stop) { session.Serve(stop); });
  bool ended = false;
  ::talvo::pages::SequenceRunner runner(toolkit, [] {}, [&] { ended = true; });
  sim::SimDevice& mouse = backend.Device(sim::DeviceKind::Mouse);
  mouse.ClearRequests();
  // The image's one chunk; a failed write never reaches the mouse's log.
  mouse.InjectFault(c.fault, 1, 1);
  device::DeviceInfo info;
  info.bytes[6] = 1;
  StoreProfileOnDevice(window, runner, saver,
                       {device::Peripheral::Mouse, session, folder, info, 0, keys::KeyMapRecord{}, {}, {}});
  QElapsedTimer clock;
  clock.start();
  while (!ended && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_TRUE(ended);
  std::vector<int> commands;
  for (const auto& r : mouse.Requests()) commands.push_back(r.bytes[device::report::kCommand]);
  EXPECT_EQ(commands, c.commands);
  EXPECT_EQ(dialogs.shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(Faults, StoreTest,
                         testing::Values(StoreCase{"Taken", sim::Fault::None, {1, 21, 2, 1, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 2}, {}},
                                         StoreCase{"WriteFailed", sim::Fault::WriteFail, {1, 2}, {"message_text_24"}}),
                         [](const testing::TestParamInfo<StoreCase>& info) { return info.param.name; });

TEST(MessageTextTest, PutsTheNumberInPlaceOfThePlaceholderOnly) {
  using ::talvo::pages::WithNumber;
  EXPECT_EQ(WithNumber("Remove at least %d steps", 2), "Remove at least 2 steps");
  EXPECT_EQ(WithNumber("%s %n 100%% %d %d", 50), "%s %n 100% 50 %d");
  EXPECT_EQ(WithNumber("no placeholder%", 7), "no placeholder%");
}

}  // namespace
}  // namespace talvo::macros::pages
