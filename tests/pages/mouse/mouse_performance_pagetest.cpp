// The page over the real layout file on Qt's offscreen platform, with a
// simulated mouse and private profile folders.
#include "pages/mouse/mouse_performance_page.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../profiles/profile_test_env.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "device/device_report.h"
#include "platform/folders.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_index.h"
#include "sim/simulated_backend.h"

namespace talvo::mouse {
namespace {

using device::Peripheral;
using lighting::MouseSettingsRecord;
using profiles::ProfileKind;

class NoHandler final : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

class MousePageTest : public profiles::test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    profiles::test::ChooseSavedProfiles({Peripheral::Mouse});
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(sim::DeviceKind::Mouse);
    link.SetCommandIdentity(device::kMouseProductId);
    ASSERT_TRUE(link.Attach());
    ASSERT_TRUE(window.Create("Mouse_DPI.xml"));
    live = std::make_unique<profiles::LiveData>();
    saver = std::make_unique<profiles::ProfileSaver>(*live);
    page = std::make_unique<MousePerformancePage>(window, session, data, *live, *saver, pushFlags, desktop);
    Mouse().ClearRequests();
  }
  void TearDown() override {
    page.reset();
    saver.reset();
    ProfileFolders::TearDown();
  }

  sim::SimDevice& Mouse() { return backend.Device(sim::DeviceKind::Mouse); }
  std::vector<uint8_t> Commands() {
    std::vector<uint8_t> out;
    for (const auto& r : Mouse().Requests()) out.push_back(r.bytes[device::report::kCommand]);
    return out;
  }

  // What the named control shows; a missing control fails the test.
  toolkit::Control* Find(const std::string& name) {
    toolkit::Control* c = window.FindControl(name);
    EXPECT_NE(c, nullptr) << "no control " << name;
    return c;
  }
  std::string Text(const std::string& name) {
    toolkit::Control* c = Find(name);
    return c ? c->Text() : "<missing>";
  }
  uint32_t Colour(const std::string& name) {
    toolkit::Control* c = Find(name);
    return c ? c->TextColor() : 0;
  }
  int Value(const std::string& name) {
    toolkit::Control* c = Find(name);
    return c ? c->Value() : -999;
  }
  void SetText(const std::string& name, const std::string& text) {
    if (toolkit::Control* c = Find(name)) c->SetText(text);
  }

  void Notify(const std::string& type, const std::string& sender, int64_t wParam = 0) {
    toolkit::Notification n;
    n.type = type;
    n.sender = sender;
    n.wParam = wParam;
    n.control = window.FindControl(sender);
    ::talvo::pages::Dispatch(*page, MousePerformancePage::Bindings(), n);
  }

  void SetSensor(uint16_t code, uint8_t step, uint8_t sliderMax, uint16_t base = 0) {
    data.info.bytes[9] = uint8_t(code & 0xFF);
    data.info.bytes[10] = uint8_t(code >> 8);
    data.info.bytes[11] = step;
    data.info.bytes[12] = sliderMax;
    data.info.bytes[13] = uint8_t(base & 0xFF);
    data.info.bytes[14] = uint8_t(base >> 8);
  }

  // The saved body of the mouse's light (".led") or device (".config")
  // profile; empty when none was written.
  std::vector<uint8_t> SavedBody(const char* extension) {
    saver->Flush();
    return profiles::test::SavedBody(Peripheral::Mouse, extension);
  }
  // Offset of the light body inside each file's body.
  static constexpr size_t kLightInLed = 0;
  static constexpr size_t kLightInConfig = profiles::test::kLightInConfig;

  sim::SimulatedBackend backend;
  device::DeviceSession session{backend};
  device::CDeviceLink& link = session.Link();
  std::jthread sessionThread{[this](std::stop_token stop) { session.Serve(stop); }};
  NoHandler handler;
  app::QtToolkit toolkit{TALVO_SKIN_DIR};
  app::QtWindow window{toolkit, handler};
  transfer::MouseDeviceData data;
  std::unique_ptr<profiles::LiveData> live;
  std::unique_ptr<profiles::ProfileSaver> saver;
  lighting::LightPushFlags pushFlags;
  platform::RecordingPointerSettings desktop;
  std::unique_ptr<MousePerformancePage> page;
};

std::string Stage(int n, const char* part) { return "ms_DPI" + std::to_string(n) + part; }

// ---- refresh ------------------------------------------------------------

TEST_F(MousePageTest, KnownSensorSetsTheRangeTheBaseAndTheStageValues) {
  SetSensor(0x3360, 100, 119, 7);
  live->mouseLight.record.SetDpiStage(1, 0);
  live->mouseLight.record.SetDpiStage(2, 119);
  live->mouseLight.record.SetDpiStage(3, 11);
  page->Refresh();

  EXPECT_EQ(Text(Stage(1, "_label_value")), "100");
  EXPECT_EQ(Text(Stage(2, "_label_value")), "12000");
  EXPECT_EQ(Text(Stage(3, "_label_value")), "1200");
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(Text(Stage(n, "_min")), "100") << n;
    EXPECT_EQ(Text(Stage(n, "_max")), "12000") << n;
  }
  // The base goes back into the information block for later changes.
  EXPECT_EQ(data.info.bytes[13], 100);
  EXPECT_EQ(data.info.bytes[14], 0);
  EXPECT_EQ(Value(Stage(2, "_slider")), 119);
  EXPECT_EQ(Find(Stage(2, "_slider"))->MaxValue(), 119);
  EXPECT_TRUE(Commands().empty());
}

TEST_F(MousePageTest, StageValueUsesTheSensorsStepAndBase) {
  SetSensor(0x3325, 50, 96);
  live->mouseLight.record.Set(MouseSettingsRecord::kDpiStage1, 16);
  page->Refresh();
  EXPECT_EQ(Text("ms_DPI1_label_value"), "1000");
  EXPECT_EQ(Text("ms_DPI1_min"), "200");
  EXPECT_EQ(Text("ms_DPI1_max"), "5000");
  EXPECT_EQ(Find("ms_DPI1_slider")->MaxValue(), 96);
  EXPECT_EQ(Value("ms_DPI1_slider"), 16);
}

TEST_F(MousePageTest, UnknownSensorKeepsTheReportedBaseAndTheLayoutRange) {
  const std::string layoutMin = Text("ms_DPI4_min");
  const std::string layoutMax = Text("ms_DPI4_max");
  SetSensor(0x1234, 10, 50, 400);
  live->mouseLight.record.SetDpiStage(4, 5);
  page->Refresh();
  EXPECT_EQ(Text("ms_DPI4_label_value"), "450");
  EXPECT_EQ(Text("ms_DPI4_min"), layoutMin);
  EXPECT_EQ(Text("ms_DPI4_max"), layoutMax);
  EXPECT_EQ(data.info.bytes[13] | data.info.bytes[14] << 8, 400);
}

TEST_F(MousePageTest, ActiveStageIsOrangeAndAnUnknownStageMarksStageOneRed) {
  SetSensor(0x3360, 100, 119);
  data.blocks.Copy(0)[19] = 2;
  page->Refresh();
  for (int n = 1; n <= 6; ++n) {
    const uint32_t expected = n == 3 ? kActiveStageColour : kStageColour;
    EXPECT_EQ(Colour(Stage(n, "_label_rank")), expected) << n;
    EXPECT_EQ(Colour(Stage(n, "_label_value")), expected) << n;
  }
  EXPECT_EQ(kActiveStageColour, 0xFFF8A501u);

  data.blocks.Copy(0)[19] = 7;
  page->Refresh();
  EXPECT_EQ(Colour("ms_DPI1_label_rank"), 0xFFFF0000u);
  EXPECT_EQ(Colour("ms_DPI1_label_value"), 0xFFFF0000u);
  for (int n = 2; n <= 4; ++n) EXPECT_EQ(Colour(Stage(n, "_label_rank")), kStageColour) << n;
  // Stage 6 has no rule of its own here and keeps the last colour it had.
  EXPECT_EQ(Colour("ms_DPI6_label_rank"), kStageColour);
}

TEST_F(MousePageTest, ReportRateShownIsTheMousesOwnFromBlockCopyZero) {
  live->mouseLight.record.SetReportRate(0);
  data.blocks.Copy(0)[14] = 2;
  data.blocks.Copy(1)[14] = 3;
  page->Refresh();
  EXPECT_EQ(Find("ms_report_fct_combo")->CurrentIndex(), 2);
}

// ---- changes ----------------------------------------------------------------

TEST_F(MousePageTest, ChoosingAReportRateSavesTheLightProfileAndSendsNothing) {
  Notify("itemselect", "ms_report_fct_combo", 3);
  EXPECT_EQ(live->mouseLight.record.reportRate(), 3);
  const auto led = SavedBody(".led");
  ASSERT_EQ(led.size(), 64u);
  EXPECT_EQ(led[kLightInLed + 14], 3);
  EXPECT_TRUE(SavedBody(".config").empty());
  EXPECT_FALSE(pushFlags.IsPending(Peripheral::Mouse));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(MousePageTest, StageChangeStoresPushesAndSavesBothProfiles) {
  SetSensor(0x3310, 50, 99);
  page->Refresh();
  Notify("valuechanged", "ms_DPI2_slider", 30);

  EXPECT_EQ(live->mouseLight.record.dpiStage(2), 30);
  EXPECT_EQ(Text("ms_DPI2_label_value"), "1550");
  EXPECT_TRUE(pushFlags.IsPending(Peripheral::Mouse));
  const auto led = SavedBody(".led");
  const auto config = SavedBody(".config");
  ASSERT_EQ(led.size(), 64u);
  ASSERT_EQ(config.size(), 512u + 64u);
  EXPECT_EQ(led[kLightInLed + 16], 30);
  EXPECT_EQ(config[kLightInConfig + 16], 30);
  // The push itself belongs to the window's timer.
  EXPECT_TRUE(Commands().empty());
}

TEST_F(MousePageTest, DraggingOnlyMovesTheValueLabel) {
  SetSensor(0x3360, 100, 119);
  page->Refresh();
  const auto before = live->mouseLight.record;
  Notify("movevaluechanged", "ms_DPI1_slider", 20);
  Notify("movevaluechanged", "ms_DPI6_slider", 50);
  EXPECT_EQ(Text("ms_DPI1_label_value"), "2100");
  EXPECT_EQ(Text("ms_DPI6_label_value"), "5100");
  // Stage 5 and 6 have no stored value: letting go changes nothing either.
  Notify("valuechanged", "ms_DPI5_slider", 60);
  EXPECT_EQ(live->mouseLight.record, before);
  EXPECT_FALSE(pushFlags.IsPending(Peripheral::Mouse));
  EXPECT_TRUE(SavedBody(".led").empty());
  EXPECT_TRUE(SavedBody(".config").empty());
}

// A DPI set by value: refused whole unless the stage and value fit, else
// dragged and let go as the user does it.
TEST_F(MousePageTest, SetDpiRefusesWhatDoesNotFitAndOtherwiseDragsTheSlider) {
  SetSensor(0x3360, 100, 119);
  page->Refresh();
  const auto before = live->mouseLight.record;
  struct Refused {
    int stage, dpi;
    const char* message;
  };
  for (const Refused& r : {Refused{0, 1000, "DPI stages are numbered 1 to 6"},
                           Refused{7, 1000, "DPI stages are numbered 1 to 6"},
                           Refused{1, 1050, "the mouse takes 100 to 12000 DPI in steps of 100"},
                           Refused{1, 12100, "the mouse takes 100 to 12000 DPI in steps of 100"}}) {
    const pages::Outcome refused = page->SetDpi(r.stage, r.dpi);
    ASSERT_TRUE(refused) << r.stage << " " << r.dpi;
    EXPECT_EQ(refused->kind, pages::Refusal::Kind::InvalidArgument);
    EXPECT_EQ(refused->message, r.message);
  }
  EXPECT_EQ(live->mouseLight.record, before);

  EXPECT_FALSE(page->SetDpi(2, 1000));
  EXPECT_EQ(Value(Stage(2, "_slider")), 9);
  EXPECT_EQ(Text(Stage(2, "_label_value")), "1000");
  EXPECT_EQ(live->mouseLight.record.dpiStage(2), 9);
  EXPECT_TRUE(pushFlags.IsPending(Peripheral::Mouse));
  // A stage the profile does not keep shows the value on its slider only.
  EXPECT_FALSE(page->SetDpi(6, 5000));
  EXPECT_EQ(Text(Stage(6, "_label_value")), "5000");
  const DpiState shown = page->Dpi();
  ASSERT_EQ(shown.stages.size(), 6u);
  EXPECT_EQ(shown.stages[1], 1000);
  EXPECT_EQ(shown.stages[5], 5000);

  link.Detach();
  const pages::Outcome gone = page->SetDpi(1, 1000);
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->kind, pages::Refusal::Kind::Failed);
}

TEST_F(MousePageTest, PointerSliderSetsTheSpeedAppliesAndSaves) {
  Notify("movevaluechanged", "ms_point_speed_slider", 2);
  page->WaitForPointerSettings();
  EXPECT_EQ(desktop.ApplyCount(), 0);

  Notify("valuechanged", "ms_point_speed_slider", 9);
  EXPECT_EQ(live->mouseLight.pointerSpeed(), 20);
  page->WaitForPointerSettings();
  EXPECT_EQ(desktop.Speed(), 20);
  EXPECT_EQ(SavedBody(".led").at(34), 20);
  EXPECT_EQ(SavedBody(".config").at(kLightInConfig + 34), 20);

  Notify("valuechanged", "ms_point_speed_slider", -3);
  page->WaitForPointerSettings();
  EXPECT_EQ(live->mouseLight.pointerSpeed(), 2);
  EXPECT_EQ(desktop.Speed(), 2);
}

// A desktop that holds the first speed request until released, so the
// page's own saves run while the applier's thread cannot touch the profile.
class HeldDesktop final : public platform::PointerSettings {
 public:
  std::string_view Name() const override { return "held"; }
  bool CanSetSpeed() const override { return true; }
  bool CanSetWheelLines() const override { return true; }
  bool ApplySpeed(int) override {
    std::unique_lock lock(m_);
    entered_ = true;
    cv_.notify_all();
    cv_.wait(lock, [this] { return released_; });
    return true;
  }
  bool ApplyWheelLines(int) override { return true; }
  bool WaitEntered() {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(5), [this] { return entered_; });
  }
  void Release() {
    {
      std::lock_guard lock(m_);
      released_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool entered_ = false;
  bool released_ = false;
};

TEST_F(MousePageTest, PointerSpeedPastTheSliderIsBoundedBeforeItIsSaved) {
  HeldDesktop held;
  page = std::make_unique<MousePerformancePage>(window, session, data, *live, *saver, pushFlags, held);
  Notify("valuechanged", "ms_point_speed_slider", 1);
  EXPECT_TRUE(held.WaitEntered());

  Notify("valuechanged", "ms_point_speed_slider", 40);
  EXPECT_EQ(live->mouseLight.pointerSpeed(), 20);
  EXPECT_EQ(SavedBody(".led").at(34), 20);
  EXPECT_EQ(SavedBody(".config").at(kLightInConfig + 34), 20);
  held.Release();
  page.reset();
}

TEST_F(MousePageTest, WheelButtonsStayWithinOneToAHundred) {
  struct Case {
    const char* text;
    const char* button;
    const char* shown;
  };
  const Case cases[] = {
      {"", "ms_gunlun_speed_up_btn", "2"},       {"100", "ms_gunlun_speed_up_btn", "100"},
      {"1", "ms_gunlun_speed_down_btn", "1"},    {"250", "ms_gunlun_speed_down_btn", "99"},
      {"-5", "ms_gunlun_speed_up_btn", "2"},     {"7", "ms_gunlun_speed_down_btn", "6"},
      {"abc", "ms_gunlun_speed_down_btn", "1"},  {"41", "ms_gunlun_speed_up_btn", "42"},
  };
  for (const Case& c : cases) {
    SetText("ms_gunlun_speed_edit", c.text);
    Notify("click", c.button);
    page->WaitForPointerSettings();
    const int shown = std::stoi(c.shown);
    EXPECT_EQ(Text("ms_gunlun_speed_edit"), c.shown) << c.text << " " << c.button;
    EXPECT_EQ(live->mouseLight.wheelLines(), shown) << c.text << " " << c.button;
    EXPECT_EQ(desktop.WheelLines(), shown) << c.text << " " << c.button;
    EXPECT_EQ(SavedBody(".led").at(35), shown);
    EXPECT_EQ(SavedBody(".config").at(kLightInConfig + 35), shown);
  }
}

TEST_F(MousePageTest, TypingIsBoundedAndLeavingTheEditApplies) {
  live->mouseLight.SetWheelLines(3);
  SetText("ms_gunlun_speed_edit", "250");
  Notify("textchanged", "ms_gunlun_speed_edit");
  EXPECT_EQ(Text("ms_gunlun_speed_edit"), "100");
  SetText("ms_gunlun_speed_edit", "0");
  Notify("textchanged", "ms_gunlun_speed_edit");
  EXPECT_EQ(Text("ms_gunlun_speed_edit"), "1");
  SetText("ms_gunlun_speed_edit", "x");
  Notify("textchanged", "ms_gunlun_speed_edit");
  EXPECT_EQ(Text("ms_gunlun_speed_edit"), "1");
  SetText("ms_gunlun_speed_edit", "64");
  Notify("textchanged", "ms_gunlun_speed_edit");
  EXPECT_EQ(Text("ms_gunlun_speed_edit"), "64");
  // Typing alone changes neither the profile nor the desktop.
  page->WaitForPointerSettings();
  EXPECT_EQ(live->mouseLight.wheelLines(), 3);
  EXPECT_EQ(desktop.ApplyCount(), 0);

  SetText("ms_gunlun_speed_edit", "250");
  Notify("textchanged", "ms_gunlun_speed_edit");
  Notify("killfocus", "ms_gunlun_speed_edit");
  page->WaitForPointerSettings();
  EXPECT_EQ(live->mouseLight.wheelLines(), 100);
  EXPECT_EQ(desktop.WheelLines(), 100);
  EXPECT_EQ(SavedBody(".config").at(kLightInConfig + 35), 100);
  EXPECT_TRUE(SavedBody(".led").empty());
}

TEST_F(MousePageTest, RestoreDefaultsSetsTheDesktopAndTheMouseButNotTheProfile) {
  live->mouseLight.SetPointerSpeed(14);
  live->mouseLight.SetWheelLines(9);
  SetText("ms_gunlun_speed_edit", "9");
  Find("ms_point_speed_slider")->SetValue(6);

  Notify("click", "ms_one_profile_default");
  page->WaitForPointerSettings();
  while (session.Busy()) std::this_thread::yield();

  EXPECT_EQ(Value("ms_point_speed_slider"), 4);
  EXPECT_EQ(Text("ms_gunlun_speed_edit"), "3");
  EXPECT_EQ(desktop.Speed(), 10);
  EXPECT_EQ(desktop.WheelLines(), 3);
  EXPECT_EQ(Commands(), std::vector<uint8_t>{uint8_t(device::Command::RestoreDefaults)});
  EXPECT_EQ(live->mouseLight.pointerSpeed(), 14);
  EXPECT_EQ(live->mouseLight.wheelLines(), 9);
  EXPECT_TRUE(SavedBody(".led").empty());
  EXPECT_TRUE(SavedBody(".config").empty());
}

TEST_F(MousePageTest, LoadedPointerSettingsAreShownAndApplied) {
  live->mouseLight.SetPointerSpeed(10);
  live->mouseLight.SetWheelLines(12);
  page->ShowAndApplyPointerSettings();
  page->WaitForPointerSettings();
  EXPECT_EQ(Value("ms_point_speed_slider"), 4);
  EXPECT_EQ(Text("ms_gunlun_speed_edit"), "12");
  EXPECT_EQ(desktop.Speed(), 10);
  EXPECT_EQ(desktop.WheelLines(), 12);
}

TEST_F(MousePageTest, LiftOffSliderHasNoEffect) {
  const auto before = live->mouseLight.record;
  Notify("movevaluechanged", "ms_sensor_height_slider", 2);
  Notify("valuechanged", "ms_sensor_height_slider", 2);
  page->WaitForPointerSettings();
  EXPECT_EQ(live->mouseLight.record, before);
  EXPECT_EQ(desktop.ApplyCount(), 0);
  EXPECT_TRUE(SavedBody(".led").empty());
}

}  // namespace
}  // namespace talvo::mouse
