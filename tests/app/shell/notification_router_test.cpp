// Routing by event type and name through the bound tables: each name reaches
// its handlers with the right index in the order bound, and the window's own
// behaviours (tabs, toggles, hover, the unsaved-macro guard) act on the
// controls.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include <array>

#include "app/shell/notification_router.h"
#include "app/toolkit/qt/qt_control.h"
#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {
namespace {

using Target = NotificationRouter::Target;
using namespace ::talvo::pages;

// A page whose handlers note what reached them.
struct Recorder {
  std::string owner;
  std::vector<Target>* delivered;
  void On(const toolkit::Notification&, int index) { delivered->push_back({owner, index}); }
};

// The shapes the pages' tables take: names in any case, numbered families
// with their ranges, endings, options that stay on their page or leave it,
// and an option a page keeps without a handler.
constexpr std::array<ControlBinding<Recorder>, 4> kKeys{{
    {Family("click", "kb_key_"), &Recorder::On},
    {Family("itemselect", "ms_key_fct_combo_", 21, 26), &Recorder::On},
    {Family("selectchanged", "ms_key_"), &Recorder::On},
    {Exact("itemselect", "kb_Key_fct_combo"), &Recorder::On},
}};
constexpr std::array<ControlBinding<Recorder>, 3> kLighting{{
    {Family("click", "kb_key_"), &Recorder::On},
    {Exact("selectchanged", "kb_Deng_all_kill_check", 0).LeavingPage(), &Recorder::On},
    {Exact("valuechanged", "kb_deng_light_slider"), &Recorder::On},
}};
constexpr std::array<ControlBinding<Recorder>, 3> kProfiles{{
    {Ending("click", "pro_device_reset_btn", 5), &Recorder::On},
    {Ending("selectchanged", "_profile_link_check").LeavingPage(), &Recorder::On},
    {Exact("selectchanged", "ms_macro_check_time")},
}};
constexpr std::array<ControlBinding<Recorder>, 1> kCursor{{
    {Exact("click", "ms_pro_device_reset_btn"), &Recorder::On},
}};

class RouterTargetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    router_.SetCaptureRelease([this] { delivered_.push_back({std::string(NotificationRouter::kInputCapture)}); });
    router_.Bind("key assignment", keys_, kKeys);
    router_.Bind("profiles", profiles_, kProfiles);
    router_.Bind("fire keys", cursor_, kCursor);
    router_.Bind("lighting page", lighting_, kLighting);
  }
  std::vector<Target> For(const char* type, const char* name) {
    return router_.Targets({.type = type, .sender = name});
  }
  class NoWindow final : public toolkit::Window {
   public:
    toolkit::Control* FindControl(std::string_view) override { return nullptr; }
    void SetTimer(int, int, bool) override {}
    void KillTimer(int) override {}
    bool IsTimerActive(int) const override { return false; }
    void ReloadText() override {}
    toolkit::Toolkit& GetToolkit() override { std::abort(); }
  } window_;
  NotificationRouter router_{window_, {}};
  std::vector<Target> delivered_;
  Recorder keys_{"key assignment", &delivered_}, lighting_{"lighting page", &delivered_},
      profiles_{"profiles", &delivered_}, cursor_{"fire keys", &delivered_};
};

TEST_F(RouterTargetsTest, NamesReachTheirHandlersInTheOrderBound) {
  struct Row {
    const char* type;
    const char* name;
    std::vector<Target> expected;
  };
  const Row rows[] = {
      {"click", "kb_key_12", {{"key assignment", 12}, {"lighting page", 12}}},
      {"click", "KB_KEY_7", {{"key assignment", 7}, {"lighting page", 7}}},
      {"click", "kb_key_Op_tab", {}},
      {"click", "ms_pro_device_reset_btn", {{"profiles", 5}, {"fire keys", -1}}},
      {"click", "ms_pro_device_fly_btn", {}},
      {"itemselect", "kb_key_fct_combo", {{"key assignment", -1}}},
      {"itemselect", "ms_key_fct_combo_24", {{"key assignment", 24}}},
      {"itemselect", "ms_key_fct_combo_15", {}},
      {"itemselect", "ms_key_fct_combo_99999999999", {}},
      {"valuechanged", "kb_deng_light_slider", {{"lighting page", -1}}},
      {"movevaluechanged", "kb_deng_light_slider", {}},
      // An option on its page reaches its handlers only; one that leaves it,
      // bound or not, releases the input capture first.
      {"selectchanged", "ms_key_6", {{"key assignment", 6}}},
      {"selectchanged", "kb_Deng_all_kill_check", {{"input capture"}, {"lighting page", 0}}},
      {"selectchanged", "kb_device_profile_link_check", {{"input capture"}, {"profiles", -1}}},
      {"selectchanged", "ms_key_Op_tab", {{"input capture"}}},
      {"windowsize", "MainWnd", {}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(For(r.type, r.name), r.expected) << r.type << " " << r.name;
    delivered_.clear();
    router_.Route({.type = r.type, .sender = r.name});
    EXPECT_EQ(delivered_, r.expected) << "delivered: " << r.type << " " << r.name;
  }
  // A row without handler keeps the option on its page and runs nothing.
  EXPECT_EQ(For("selectchanged", "ms_macro_check_time"), (std::vector<Target>{{"profiles", -1}}));
  delivered_.clear();
  router_.Route({.type = "selectchanged", .sender = "ms_macro_check_time"});
  EXPECT_TRUE(delivered_.empty());
}

class RouterWindowTest : public ::testing::Test, public toolkit::WindowHandler {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create(QStringLiteral("router.ui")));
    window_.Widget()->show();
    toolkit_.SetDialogs(&dialogs_);
    router_.SetCaptureRelease([this] { delivered_.push_back({std::string(NotificationRouter::kInputCapture)}); });
    router_.Bind("key assignment", keys_, kKeys);
    router_.Bind("lighting page", lighting_, kLighting);
  }
  void Notify(const toolkit::Notification& n) override {
    if (n.type != "windowinit") router_.Route(n);
  }
  toolkit::Control& C(const char* name) {
    toolkit::Control* c = window_.FindControl(name);
    EXPECT_NE(c, nullptr) << name;
    return *c;
  }
  void Click(const char* name) {
    qobject_cast<QAbstractButton*>(dynamic_cast<QtControl&>(C(name)).Widget())->click();
  }

  class CountingDialogs final : public toolkit::Dialogs {
   public:
    std::vector<std::string> shown;
    int ShowMessage(toolkit::Window*, const std::string& text, bool) override {
      shown.push_back(text);
      return 1;
    }
    std::optional<std::string> OpenFile(toolkit::Window*, const std::string&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(toolkit::Window*, const std::string&, const std::string&) override {
      return std::nullopt;
    }
  } dialogs_;
  QtToolkit toolkit_{QStringLiteral(SHELL_TEST_DATA)};
  QtWindow window_{toolkit_, *this};
  NotificationRouter router_{window_, {.openMainMenu = [this] { ++menus_; }, .setDisplayScale = {}}};
  std::vector<Target> delivered_;
  Recorder keys_{"key assignment", &delivered_}, lighting_{"lighting page", &delivered_};
  int menus_ = 0;
};

TEST_F(RouterWindowTest, DeviceAndPageTabsSwitchTheirPagesAndPanels) {
  C("ms_tab").SetCheck(true);
  EXPECT_EQ(C("tab_switch").CurrentPage(), 1);
  C("split_tab").SetCheck(true);
  EXPECT_EQ(C("tab_switch").CurrentPage(), 4);

  C("kb_macro_Op_tab").SetCheck(true);
  EXPECT_EQ(C("kb_tab_switch").CurrentPage(), 1);
  EXPECT_FALSE(C("kb_profile_select_tab").IsEnabled());
  EXPECT_FALSE(C("kb_device_profile_edit").IsEnabled());

  C("kb_key_Op_tab").SetCheck(true);
  EXPECT_EQ(C("kb_tab_switch").CurrentPage(), 2);
  EXPECT_FALSE(C("kb_tab_function").IsVisible()) << "coming from another page closes the function panel";
  EXPECT_TRUE(C("kb_tab_key_seting").IsVisible());
  EXPECT_FALSE(C("kb_deng_layout").IsVisible());
  EXPECT_TRUE(C("kb_profile_select_tab").IsEnabled());

  // A key of the picture opens the function panel and reaches both owners.
  Click("kb_key_5");
  EXPECT_TRUE(C("kb_tab_function").IsVisible());
  EXPECT_TRUE(C("kb_tab_function").IsEnabled());
  const Target capture{std::string(NotificationRouter::kInputCapture)};
  EXPECT_EQ(delivered_, (std::vector<Target>{capture, capture, capture, capture, {"key assignment", 5},
                                             {"lighting page", 5}}));

  // Lighting and back to keys on page 2: the function panel stays as it is.
  C("kb_deng_Op_tab").SetCheck(true);
  EXPECT_TRUE(C("kb_deng_layout").IsVisible());
  EXPECT_FALSE(C("kb_tab_key_seting").IsVisible());
  C("kb_key_Op_tab").SetCheck(true);
  EXPECT_TRUE(C("kb_tab_function").IsVisible());

  C("ms_macro_Op_tab").SetCheck(true);
  EXPECT_EQ(C("ms_tab_switch").CurrentPage(), 1);
  EXPECT_FALSE(C("ms_device_profile_edit").IsEnabled());
  C("ms_rich_Op_tab").SetCheck(true);
  EXPECT_EQ(C("ms_tab_switch").CurrentPage(), 3);
  EXPECT_TRUE(C("ms_device_profile_edit").IsEnabled());
}

TEST_F(RouterWindowTest, UnsavedMacroKeepsTheMacroTabAndSaysSo) {
  C("kb_macro_Op_tab").SetCheck(true);
  C("kb_tab").SetVisible(false);
  C("kb_macro_tab_saveorcancel").SetVisible(true);
  delivered_.clear();

  C("kb_deng_Op_tab").SetCheck(true);
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_3"}));
  EXPECT_TRUE(C("kb_macro_Op_tab").IsSelected());
  EXPECT_TRUE(C("kb_tab").IsSelected());
  EXPECT_TRUE(C("kb_tab").IsVisible());
  EXPECT_EQ(C("kb_tab_switch").CurrentPage(), 1) << "still on the macro page";

  // The macro tab itself and the device tab pass the guard.
  dialogs_.shown.clear();
  C("kb_tab").SetCheck(true);
  C("kb_macro_Op_tab").SetCheck(true);
  EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RouterWindowTest, TwoUnsavedMacrosDoNotSendEachOtherRoundForever) {
  C("ms_macro_tab_saveorcancel").SetVisible(true);
  C("kb_macro_tab_saveorcancel").SetVisible(true);
  C("mp_tab").SetCheck(true);
  EXPECT_EQ(dialogs_.shown, (std::vector<std::string>{"message_text_3"}));
  EXPECT_NE(C("tab_switch").CurrentPage(), 2) << "the mousepad page was refused";
}

TEST_F(RouterWindowTest, TogglesHoverAndFocus) {
  C("ms_profile_fun_spead_tab").SetVisible(true);
  Click("ms_profile_fun_spread_btn");
  EXPECT_FALSE(C("ms_profile_fun_spead_tab").IsVisible());
  Click("ms_profile_fun_spread_btn");
  EXPECT_TRUE(C("ms_profile_fun_spead_tab").IsVisible());

  C("kb_key_profile_edit").SetVisible(false);
  Click("kb_pro_key_edit_btn");
  EXPECT_TRUE(C("kb_key_profile_edit").IsVisible());

  Click("menubtn");
  EXPECT_EQ(menus_, 1);
  EXPECT_TRUE(delivered_.empty()) << "window behaviours are not feature notifications";

  router_.Route({"msenter", "ms_key_2", 0, 0, nullptr});
  EXPECT_EQ(C("ms_key_2_0").BkImage(), "file='ms/key_right_down.png'");
  router_.Route({"msleave", "ms_key_2", 0, 0, nullptr});
  EXPECT_EQ(C("ms_key_2_0").BkImage(), "file='ms/key_right_normal.png'");

  router_.Route({"msenter", "ms_DPIcolor_btn_3", 0, 0, nullptr});
  EXPECT_EQ(C("ms_DPIcolor_btn_3").BorderSize(), 2);
  EXPECT_EQ(C("ms_DPIcolor_btn_3").BorderColor(), 0xFFFFFFFFu);
  router_.Route({"msleave", "ms_DPIcolor_btn_3", 0, 0, nullptr});
  EXPECT_EQ(C("ms_DPIcolor_btn_3").BorderSize(), 0);

  C("ms_profile_fun_spead_tab").SetVisible(true);
  router_.Route({"setfocus", "ms_cursor_Op_tab", 0, 0, nullptr});
  EXPECT_FALSE(C("ms_profile_fun_spead_tab").IsVisible());
}

}  // namespace
}  // namespace talvo::app
