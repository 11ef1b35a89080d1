// The mouse's lighting tab against a simulated mouse: the record, the parts
// shown, both mouse profile files, the push flag and synchronized lighting.
#include <gtest/gtest.h>

#include "lighting_page_env.h"

namespace talvo::lighting::pages::test {
namespace {

using device::Peripheral;

class MousePageTest : public LightingPageTest {
 protected:
  MouseSettingsRecord& Record() { return live->mouseLight.record; }
  std::vector<uint8_t> Led() { return SavedBody(Peripheral::Mouse, ".led"); }
  std::vector<uint8_t> Config() { return SavedBody(Peripheral::Mouse, ".config"); }
  void SelectMode(int mode) { Select("ms_deng_combo_modeSelect2", mode); }
  bool NothingSent() { return backend.Device(sim::DeviceKind::Mouse).Requests().empty(); }
};

TEST_F(MousePageTest, ChoosingModeOneStoresPushesSavesBothFilesAndEndsSync) {
  mouseLink.syncActive.store(1);
  msEffect.SetPhase(40);
  msEffect.SetToggle(1);

  SelectMode(1);

  EXPECT_EQ(Record().mode(), 1);
  const Pushed pushed = TakePushes();
  EXPECT_TRUE(pushed.mouse);
  EXPECT_FALSE(pushed.keyboard || pushed.mousepad);
  EXPECT_EQ(mouseLink.syncActive.load(), 0u);
  EXPECT_EQ(msEffect.phase(), 0);
  EXPECT_EQ(msEffect.toggle(), 0);
  ASSERT_EQ(Led().size(), 64u);
  EXPECT_EQ(Led()[MouseSettingsRecord::kMode], 1);
  ASSERT_EQ(Config().size(), 512u + 64u);
  EXPECT_EQ(Config()[kLightInConfig + MouseSettingsRecord::kMode], 1);
  EXPECT_TRUE(NothingSent()) << "the periodic push sends the record, not the page";
}

TEST_F(MousePageTest, EachModeShowsItsParts) {
  struct Row {
    int mode;
    bool fx, colour, multi, two, speed, palette, lump, same;
  };
  // The two-colour part stays as it was from mode 3 on, and the lump
  // everywhere but modes 1 and 2.
  const Row rows[] = {{2, 0, 1, 0, 0, 0, 1, 1, 1}, {0, 0, 0, 0, 0, 1, 0, 1, 1}, {1, 0, 1, 0, 1, 1, 1, 0, 1},
                      {3, 0, 1, 0, 1, 0, 1, 0, 1}, {4, 1, 1, 1, 1, 1, 1, 0, 0}, {5, 1, 1, 1, 1, 1, 1, 0, 0},
                      {2, 0, 1, 0, 0, 0, 1, 1, 1}, {6, 0, 1, 1, 0, 1, 1, 1, 0}};
  for (const Row& r : rows) {
    SelectMode(r.mode);
    EXPECT_EQ(Visible("ms_deng_fx_layout"), r.fx) << r.mode;
    EXPECT_EQ(Visible("ms_deng_color_layout"), r.colour) << r.mode;
    EXPECT_EQ(Visible("ms_deng_7colorselect_layout"), r.multi) << r.mode;
    EXPECT_EQ(Visible("ms_deng_2colorselect_layout"), r.two) << r.mode;
    EXPECT_EQ(Visible("ms_deng_speed_layout"), r.speed) << r.mode;
    EXPECT_EQ(Visible("ms_deng_Color_Pallet"), r.palette) << r.mode;
    EXPECT_EQ(Visible("ms_Deng_color_lump"), r.lump) << r.mode;
    EXPECT_EQ(Visible("ms_deng_same_mode"), r.same) << r.mode;
  }
  Notify("itemselect", "ms_deng_combo_modeSelect2", 7);
  EXPECT_EQ(Record().mode(), 6);
}

TEST_F(MousePageTest, TheColourTargetChoosesWhichColourModeOneEdits) {
  SelectMode(1);
  Record().SetMultiColour(1);
  Notify("click", "ms_Deng_colordk_btn");
  EXPECT_EQ(mouse->target(), MouseLightingPage::Target::ColourB);
  EXPECT_EQ(Find("ms_Deng_colordk_btn")->BorderSize(), 1);
  EXPECT_EQ(Find("ms_Deng_colordk_btn")->BorderColor(), 0xFFFFFFFFu);
  EXPECT_EQ(Find("ms_Deng_colordm_btn")->BorderColor(), 0u);
  TakePushes();

  Notify("click", "ms_Deng_color_btn_7");  // (254, 84, 0)
  EXPECT_EQ(Record().colourB(), (Rgb{254, 84, 0}));
  EXPECT_EQ(Record().colourA(), Rgb{});
  EXPECT_EQ(Record().colour(), Rgb{});
  EXPECT_EQ(Record().multiColour(), 1) << "the mouse colour choice keeps multi-colour";
  EXPECT_EQ(Find("ms_Deng_colordk_btn")->BkColor(), 0xFFFE5400u);
  EXPECT_EQ(Text("ms_Deng_edit_G"), "84");
  EXPECT_TRUE(TakePushes().mouse);
  EXPECT_EQ(Led()[MouseSettingsRecord::kColourB], 254);

  Type("ms_Deng_edit_R", "999");
  EXPECT_EQ(Record().colourB(), (Rgb{255, 84, 0}));
  EXPECT_EQ(Text("ms_Deng_edit_R"), "255");
  EXPECT_EQ(Find("ms_deng_Color_Pallet")->SelectColor(), 0xFFFF5400u);
  TakePushes();

  Notify("click", "ms_Deng_colordm_btn");
  EXPECT_EQ(Find("ms_Deng_colordk_btn")->BorderColor(), 0u);
  EXPECT_EQ(Find("ms_Deng_colordm_btn")->BorderColor(), 0xFFFFFFFFu);
  // The edits and the palette now show the first colour, still black.
  EXPECT_EQ(Text("ms_Deng_edit_R"), "0");
  EXPECT_EQ(Find("ms_deng_Color_Pallet")->SelectColor(), 0xFF000000u);
  EXPECT_EQ(Record().colourB(), (Rgb{255, 84, 0}));
  EXPECT_FALSE(TakePushes().mouse);
  Notify("colorchanged", "ms_deng_Color_Pallet", 0xFF0A0B0C);
  EXPECT_EQ(Record().colourA(), (Rgb{10, 11, 12}));
  EXPECT_EQ(Find("ms_Deng_colordm_btn")->BkColor(), 0xFF0A0B0Cu);
  EXPECT_EQ(Config()[kLightInConfig + MouseSettingsRecord::kColourA + 2], 12);
}

TEST_F(MousePageTest, OutsideModeOneColoursGoToTheRecordColour) {
  SelectMode(2);
  Notify("click", "ms_Deng_colordk_btn");
  Notify("click", "ms_Deng_color_btn_1");  // (0, 246, 255)
  EXPECT_EQ(Record().colour(), (Rgb{0, 246, 255}));
  EXPECT_EQ(Record().colourB(), Rgb{});
  EXPECT_EQ(Find("ms_Deng_colordp_btn")->BkColor(), 0xFF00F6FFu);
  Type("ms_Deng_edit_B", "x");
  EXPECT_EQ(Record().colour(), (Rgb{0, 246, 0}));
  EXPECT_EQ(Led()[MouseSettingsRecord::kGreen], 246);
  // A negative number keeps its low byte.
  Type("ms_Deng_edit_G", "-20");
  EXPECT_EQ(Record().colour(), (Rgb{0, 236, 0}));
  EXPECT_EQ(Text("ms_Deng_edit_G"), "-20");
}

TEST_F(MousePageTest, SlidersChecksAndDirectionButtons) {
  Notify("movevaluechanged", "ms_deng_light_slider", 3);
  EXPECT_EQ(Record().brightness(), 3);
  Notify("valuechanged", "ms_deng_speed_slider", 4);
  EXPECT_EQ(Record().speed(), 0);
  Notify("movevaluechanged", "ms_deng_speed_slider", 1);
  EXPECT_EQ(Record().speed(), 3);

  // The mouse check is ticked for the single colour.
  Tick("ms_Deng_7color_check", true);
  EXPECT_EQ(Record().multiColour(), 0);
  Tick("ms_Deng_7color_check", false);
  EXPECT_EQ(Record().multiColour(), 1);

  msEffect.SetPhase(9);
  Tick("ms_Deng_FXR_check", true);
  EXPECT_EQ(Record().direction(), 0);
  EXPECT_EQ(msEffect.phase(), 0);
  Tick("ms_Deng_FXL_check", true);
  EXPECT_EQ(Record().direction(), 1);
  Notify("click", "ms_Deng_FXL_btn");
  EXPECT_EQ(Record().direction(), 0);
  Notify("click", "ms_Deng_FXR_btn");
  EXPECT_EQ(Record().direction(), 1);
  EXPECT_TRUE(TakePushes().mouse);
  EXPECT_EQ(Led()[MouseSettingsRecord::kDirection], 1);
  EXPECT_TRUE(NothingSent());
}

TEST_F(MousePageTest, RefreshShowsTheRecordOnTheModePage) {
  Find("ms_deng_mode_switch")->SelectPage(0);
  Record().SetMode(1);
  Record().SetBrightness(2);
  Record().SetSpeed(1);
  Record().SetMultiColour(0);
  Record().SetDirection(1);
  Record().SetColourA({1, 2, 3});
  Record().SetColourB({4, 5, 6});
  mouse->Refresh();
  EXPECT_EQ(Find("ms_deng_mode_switch")->CurrentPage(), 2);
  EXPECT_EQ(Find("ms_deng_combo_modeSelect2")->CurrentIndex(), 1);
  EXPECT_TRUE(Visible("ms_deng_2colorselect_layout"));
  EXPECT_EQ(Find("ms_deng_light_slider")->Value(), 2);
  EXPECT_EQ(Find("ms_deng_speed_slider")->Value(), 3);
  EXPECT_TRUE(Selected("ms_Deng_7color_check"));
  EXPECT_TRUE(Selected("ms_Deng_FXL_check"));
  EXPECT_EQ(Find("ms_Deng_colordm_btn")->BkColor(), 0xFF010203u);
  EXPECT_EQ(Find("ms_Deng_colordk_btn")->BkColor(), 0xFF040506u);
  EXPECT_EQ(Text("ms_Deng_edit_B"), "3");
  EXPECT_FALSE(TakePushes().mouse);
  EXPECT_TRUE(Led().empty());

  // A mode the list does not hold leaves the combo and the parts alone.
  Record().SetMode(9);
  Record().SetMultiColour(1);
  mouse->Refresh();
  EXPECT_EQ(Find("ms_deng_combo_modeSelect2")->CurrentIndex(), 1);
  EXPECT_TRUE(Visible("ms_deng_2colorselect_layout"));
  EXPECT_FALSE(Selected("ms_Deng_7color_check"));
}

}  // namespace
}  // namespace talvo::lighting::pages::test
