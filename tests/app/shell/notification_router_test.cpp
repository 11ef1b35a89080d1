// Routing by event type and name: each family reaches its owner with the
// right index, and the window's own behaviours (tabs, toggles, hover, the
// unsaved-macro guard) act on the controls.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include "app/shell/notification_router.h"
#include "app/toolkit/qt/qt_control.h"
#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {
namespace {

using Target = NotificationRouter::Target;
using O = Owner;

TEST(SplitControlName, CutsAtTheLastUnderscoreAndNeedsADecimalTail) {
  EXPECT_EQ(SplitControlName("kb_key_12"), (SplitName{"kb_key_", 12}));
  EXPECT_EQ(SplitControlName("ms_key_fct_combo_21"), (SplitName{"ms_key_fct_combo_", 21}));
  EXPECT_EQ(SplitControlName("kb_key_Op_tab"), std::nullopt);
  EXPECT_EQ(SplitControlName("kb_key_1x"), std::nullopt);
  EXPECT_EQ(SplitControlName("kb_key_"), std::nullopt);
  EXPECT_EQ(SplitControlName("closebtn"), std::nullopt);
  EXPECT_EQ(SplitControlName("a_-1"), std::nullopt);
  EXPECT_EQ(SplitControlName("a_99999999999"), std::nullopt) << "no overflow into a wrong index";
}

class RouterTargetsTest : public ::testing::Test {
 protected:
  std::vector<Target> For(const char* type, const char* name) {
    toolkit::Notification n;
    n.type = type;
    n.sender = name;
    return router_.Targets(n);
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
};

TEST_F(RouterTargetsTest, ClicksReachTheirOwners) {
  struct Row {
    const char* name;
    std::vector<Target> expected;
  };
  const Row rows[] = {
      {"kb_key_12", {{O::KeyAssignment, 12}, {O::LightingPage, 12}}},
      {"KB_KEY_7", {{O::KeyAssignment, 7}, {O::LightingPage, 7}}},
      {"kb_dkey_3", {{O::LightingPage, 3}}},
      {"ms_Deng_color_btn_4", {{O::LightingPage, 4}}},
      {"mp_Deng_color_btn_0", {{O::LightingPage, 0}}},
      {"ms_profile_2", {{O::OnboardProfile, 2}}},
      {"ms_bullet_op_29", {{O::FireKeys, 29}}},
      {"improt_gun_button", {{O::FireKeys}}},
      {"bullet_selected_next", {{O::FireKeys}}},
      {"ms_key_butt_keysave", {{O::KeyAssignment}}},
      {"kb_key_butt_keydefalut", {{O::KeyAssignment}}},
      {"kb_key_butt_prosave", {{O::MacroUpload}}},
      {"kb_deng_cancle_link_btn", {{O::ProfileLink}}},
      {"ms_macro_btn_deleteall", {{O::MacroEditor}}},
      {"kb_macro_btn_savemacroname", {{O::MacroEditor}}},
      {"ms_macro_inset_anything", {{O::MacroEditor}}},
      {"ms_macro_btn_unknown", {}},
      {"ms_gunlun_speed_up_btn", {{O::MouseSettings}}},
      {"ms_one_profile_default", {{O::MouseSettings}}},
      {"mp_one_profile_default", {{O::MousepadDefaults}}},
      {"ms_Deng_colordk_btn", {{O::LightingPage}}},
      {"mp_deng_same_mode", {{O::SyncLighting}}},
      {"kb_pro_key_add_btn", {{O::ProfileOperations}}},
      {"mp_pro_deng_export_btn", {{O::ProfileOperations}}},
      {"ms_pro_device_reset_btn", {{O::ProfileOperations}, {O::FireKeys}}},
      {"ms_pro_device_fly_btn", {}},
      {"ms_device_profile_edit_save_btn", {{O::ProfileOperations}}},
      {"kb_key_profile_link_btn", {{O::ProfileLink}}},
      {"renew_device", {}},
      {"somebody_else", {}},
  };
  for (const Row& r : rows) EXPECT_EQ(For("click", r.name), r.expected) << r.name;
}

TEST_F(RouterTargetsTest, ListsSlidersEditsAndFocus) {
  EXPECT_EQ(For("itemselect", "ms_deng_combo_modeSelect2"), (std::vector<Target>{{O::LightingPage}}));
  EXPECT_EQ(For("itemselect", "mp_deng_combo_profile"), (std::vector<Target>{{O::OnboardProfile}}));
  EXPECT_EQ(For("itemselect", "ms_report_fct_combo"), (std::vector<Target>{{O::MouseSettings}}));
  EXPECT_EQ(For("itemselect", "kb_key_fct_combo"), (std::vector<Target>{{O::KeyAssignment}}));
  EXPECT_EQ(For("itemselect", "ms_key_fct_combo_24"), (std::vector<Target>{{O::KeyAssignment, 24}}));
  EXPECT_TRUE(For("itemselect", "ms_key_fct_combo_15").empty());
  EXPECT_EQ(For("itemselect", "kb_MacroName_list"), (std::vector<Target>{{O::MacroEditor}}));
  EXPECT_EQ(For("itemselect", "mp_deng_profile_combo"), (std::vector<Target>{{O::ProfileOperations}}));
  EXPECT_EQ(For("itemclick", "ms_Macro_list"), (std::vector<Target>{{O::MacroEditor}}));

  EXPECT_EQ(For("valuechanged", "kb_deng_light_slider"), (std::vector<Target>{{O::LightingPage}}));
  EXPECT_TRUE(For("movevaluechanged", "kb_deng_light_slider").empty()) << "the keyboard commits on release only";
  EXPECT_EQ(For("movevaluechanged", "mp_deng_speed_slider"), (std::vector<Target>{{O::LightingPage}}));
  EXPECT_EQ(For("valuechanged", "ms_DPI4_slider"), (std::vector<Target>{{O::MouseSettings}}));
  EXPECT_TRUE(For("valuechanged", "ms_DPI5_slider").empty());
  EXPECT_EQ(For("movevaluechanged", "ms_DPI6_slider"), (std::vector<Target>{{O::MouseSettings}}));
  EXPECT_EQ(For("movevaluechanged", "ms_sensor_height_slider"), (std::vector<Target>{{O::MouseSettings}}));

  EXPECT_EQ(For("textchanged", "kb_key_fct_edit_25"), (std::vector<Target>{{O::KeyAssignment, 25}}));
  EXPECT_TRUE(For("textchanged", "kb_key_fct_edit_13").empty());
  EXPECT_EQ(For("textchanged", "mp_Deng_edit_G"), (std::vector<Target>{{O::LightingPage}}));
  EXPECT_EQ(For("textchanged", "ms__macro_edit_ActionDelay"), (std::vector<Target>{{O::MacroEditor}}));
  EXPECT_EQ(For("textchanged", "ms_cursor_delay_eidt"), (std::vector<Target>{{O::FireKeys}}));
  EXPECT_EQ(For("killfocus", "kb_macro_edit_macroname"), (std::vector<Target>{{O::MacroEditor}}));
  EXPECT_EQ(For("killfocus", "ms_gunlun_speed_edit"), (std::vector<Target>{{O::MouseSettings}}));
  EXPECT_EQ(For("colorchanged", "ms_deng_Color_Pallet"), (std::vector<Target>{{O::LightingPage}}));
  EXPECT_TRUE(For("windowsize", "MainWnd").empty());
}

TEST_F(RouterTargetsTest, OptionsInTheirOrder) {
  EXPECT_EQ(For("selectchanged", "ms_gun_op_3"), (std::vector<Target>{{O::FireKeys, 3}}));
  EXPECT_EQ(For("selectchanged", "ms_key_6"), (std::vector<Target>{{O::KeyAssignment, 6}}));
  EXPECT_EQ(For("selectchanged", "kb_macro_btn_shubiao"), (std::vector<Target>{{O::MacroEditor}}));
  EXPECT_EQ(For("selectchanged", "ms_Deng_FXR_check"), (std::vector<Target>{{O::LightingPage}}));
  // Past the guard every option releases the input capture first.
  EXPECT_EQ(For("selectchanged", "ms_key_Op_tab"), (std::vector<Target>{{O::InputCapture}}));
  EXPECT_EQ(For("selectchanged", "kb_device_profile_link_check"),
            (std::vector<Target>{{O::InputCapture}, {O::ProfileLink}}));
  EXPECT_EQ(For("selectchanged", "kb_Deng_all_kill_check"),
            (std::vector<Target>{{O::InputCapture}, {O::LightingPage}}));
}

class RouterWindowTest : public ::testing::Test, public toolkit::WindowHandler {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create(QStringLiteral("router.ui")));
    window_.Widget()->show();
    toolkit_.SetDialogs(&dialogs_);
    for (Owner o : {O::KeyAssignment, O::LightingPage, O::InputCapture})
      router_.Connect(o, [this, o](const toolkit::Notification& n, int index) {
        delivered_.push_back({o, index});
        senders_.push_back(n.sender);
      });
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
  std::vector<std::string> senders_;
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
  EXPECT_EQ(delivered_, (std::vector<Target>{{O::InputCapture}, {O::InputCapture}, {O::InputCapture},
                                             {O::InputCapture}, {O::KeyAssignment, 5}, {O::LightingPage, 5}}));

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
