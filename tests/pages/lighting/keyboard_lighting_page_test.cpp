// The keyboard's lighting tab: each control's effect on the record, the
// parts it shows, the saved files and the push, with the keyboard absent.
#include <gtest/gtest.h>

#include "lighting/led_model.h"
#include "lighting_page_env.h"

namespace talvo::lighting::pages::test {
namespace {

using device::Peripheral;

constexpr size_t kSetIndexInBody = 64;
constexpr size_t kPaintInBody = 65;
constexpr size_t kSetsInBody = 68;

class KeyboardPageTest : public LightingPageTest {
 protected:
  LightRecord& Record() { return live->keyboardLight.record; }
  std::vector<uint8_t> Led() { return SavedBody(Peripheral::Keyboard, ".led"); }
  std::vector<uint8_t> Config() { return SavedBody(Peripheral::Keyboard, ".config"); }
  void SelectMode(int mode) { Select("kb_deng_combo_modeSelect", mode); }
  void ExpectEdits(Rgb c) {
    EXPECT_EQ(Text("kb_Deng_edit_R"), std::to_string(c.red));
    EXPECT_EQ(Text("kb_Deng_edit_G"), std::to_string(c.green));
    EXPECT_EQ(Text("kb_Deng_edit_B"), std::to_string(c.blue));
  }
  static size_t SetOffset(size_t set, size_t position) { return kSetsInBody + set * 378 + position * 3; }
};

// ---- modes -----------------------------------------------------------------

TEST_F(KeyboardPageTest, ChoosingAModeResetsStartsStoresPushesAndLeavesSync) {
  kbEffect.SetGlow(3, 200);
  kbEffect.SetPhase(77);
  keyboardLink.syncActive.store(1);

  SelectMode(4);

  EXPECT_EQ(Record().mode(), 4);
  EXPECT_EQ(kbEffect.glow(3), 0);
  EXPECT_EQ(kbEffect.phase(), 0);
  // Hue spread: 33 steps a LED, wrapping past 192.
  EXPECT_EQ(kbEffect.hue(0), 33);
  EXPECT_EQ(kbEffect.hue(4), 165);
  EXPECT_EQ(kbEffect.hue(5), 6);
  const Pushed pushed = TakePushes();
  EXPECT_TRUE(pushed.keyboard);
  EXPECT_FALSE(pushed.mouse || pushed.mousepad);
  EXPECT_EQ(keyboardLink.syncActive.load(), 0u);
  ASSERT_EQ(Led().size(), 1958u);
  EXPECT_EQ(Led()[LightRecord::kMode], 4);
  ASSERT_EQ(Config().size(), 512u + 1958u);
  EXPECT_EQ(Config()[kLightInConfig + LightRecord::kMode], 4);
}

TEST_F(KeyboardPageTest, EachModeShowsItsPartsAndDirectionLabels) {
  struct Row {
    int mode;
    bool fx, colour, multi, speed, same;
  };
  // Modes from 9 on leave the speed part as it was: run them after a mode
  // that shows it, then check one after a mode that hides it.
  const Row rows[] = {{0, 1, 1, 1, 1, 1},  {1, 0, 0, 0, 1, 1},  {2, 0, 1, 1, 1, 1}, {3, 0, 1, 0, 0, 1},
                      {4, 0, 0, 0, 1, 0},  {5, 0, 1, 1, 1, 0},  {6, 0, 1, 1, 1, 0}, {7, 1, 1, 1, 1, 0},
                      {9, 0, 1, 1, 1, 0},  {10, 1, 0, 0, 1, 0}, {11, 0, 1, 1, 1, 0}, {12, 1, 1, 1, 1, 0},
                      {13, 1, 0, 0, 1, 0}, {14, 1, 1, 1, 1, 0}, {15, 0, 1, 1, 1, 0}, {16, 0, 1, 1, 1, 0},
                      {3, 0, 1, 0, 0, 1},  {16, 0, 1, 1, 0, 0}};
  for (const Row& r : rows) {
    SelectMode(r.mode);
    EXPECT_EQ(Visible("kb_deng_fx_layout"), r.fx) << r.mode;
    EXPECT_EQ(Visible("kb_deng_color_layout"), r.colour) << r.mode;
    EXPECT_EQ(Visible("kb_deng_7colorselect_layout"), r.multi) << r.mode;
    EXPECT_EQ(Visible("kb_deng_speed_layout"), r.speed) << r.mode;
    EXPECT_EQ(Visible("kb_deng_same_mode"), r.same) << r.mode;
    EXPECT_TRUE(Visible("kb_deng_color_display_layout")) << r.mode;
    EXPECT_FALSE(Visible("kb_deng_custom_tool_layout")) << r.mode;
  }

  SelectMode(10);
  EXPECT_EQ(Find("kb_Deng_FXL_check")->TextId(), "Deng_FXU_text");
  EXPECT_EQ(Find("kb_Deng_FXR_check")->TextId(), "Deng_FXD_text");
  SelectMode(13);
  EXPECT_EQ(Find("kb_Deng_FXL_check")->TextId(), "Deng_FXJ_text");
  EXPECT_EQ(Find("kb_Deng_FXR_check")->TextId(), "Deng_FXK_text");
  SelectMode(7);
  EXPECT_EQ(Find("kb_Deng_FXL_check")->TextId(), "Deng_FXL_text");
  EXPECT_EQ(Find("kb_Deng_FXR_check")->TextId(), "Deng_FXR_text");
}

TEST_F(KeyboardPageTest, ModesSeedTheirStart) {
  SelectMode(5);
  for (size_t f = 0; f < kWaveFronts; ++f) EXPECT_EQ(kbEffect.front(f, 9), 0x40) << f;
  SelectMode(15);
  for (size_t f = 0; f < kWaveFronts; ++f) {
    EXPECT_EQ(kbEffect.front(f, 1), 0x01) << f;
    EXPECT_EQ(kbEffect.front(f, 9), 0) << "the reset clears the earlier seed";
  }
  SelectMode(11);
  const uint8_t led = kKeyMatrix[13][0];
  ASSERT_NE(led, kNoLed);
  EXPECT_EQ(kbEffect.glow(led), 192);
  EXPECT_EQ(kbEffect.hue(led), 91);
}

TEST_F(KeyboardPageTest, AModeOutsideTheListChangesNothing) {
  Record().SetMode(3);
  Notify("itemselect", "kb_deng_combo_modeSelect", 17);
  Notify("itemselect", "kb_deng_combo_modeSelect", -1);
  EXPECT_EQ(Record().mode(), 3);
  EXPECT_FALSE(TakePushes().keyboard);
  EXPECT_TRUE(Led().empty());
}

// ---- colours -----------------------------------------------------------------

TEST_F(KeyboardPageTest, AColourChoiceTurnsMultiColourOffAndCommits) {
  SelectMode(2);
  Tick("kb_Deng_7color_check", true);
  EXPECT_EQ(Record().multiColour(), 1);
  TakePushes();

  Notify("click", "kb_Deng_color_btn_3");
  const Rgb swatch{126, 0, 255};
  EXPECT_EQ(Record().colour(), swatch);
  EXPECT_EQ(Record().multiColour(), 0);
  EXPECT_FALSE(Selected("kb_Deng_7color_check"));
  EXPECT_EQ(Find("kb_Deng_colordp_btn")->BkColor(), 0xFF7E00FFu);
  EXPECT_EQ(Find("kb_deng_Color_Pallet")->SelectColor(), 0xFF7E00FFu);
  ExpectEdits(swatch);
  EXPECT_TRUE(TakePushes().keyboard);
  EXPECT_EQ(Led()[LightRecord::kRed], 126);
  EXPECT_EQ(Config()[kLightInConfig + LightRecord::kBlue], 255);

  Notify("colorchanged", "kb_deng_Color_Pallet", 0xFF102030);
  EXPECT_EQ(Record().colour(), (Rgb{0x10, 0x20, 0x30}));
  ExpectEdits({16, 32, 48});
}

TEST_F(KeyboardPageTest, ColourEditsReadTheirNumberAndCutAt255) {
  SelectMode(3);
  Record().SetColour({1, 2, 3});
  Record().SetMultiColour(1);
  Type("kb_Deng_edit_G", "300");
  EXPECT_EQ(Record().colour(), (Rgb{1, 255, 3}));
  EXPECT_EQ(Text("kb_Deng_edit_G"), "255");
  EXPECT_EQ(Record().multiColour(), 0);
  EXPECT_EQ(Find("kb_Deng_colordp_btn")->BkColor(), 0xFF01FF03u);
  EXPECT_TRUE(TakePushes().keyboard);

  Type("kb_Deng_edit_R", "abc");
  EXPECT_EQ(Record().red(), 0);
  EXPECT_EQ(Text("kb_Deng_edit_R"), "abc");
  Type("kb_Deng_edit_B", "-1");
  EXPECT_EQ(Record().blue(), 255);
  EXPECT_EQ(Text("kb_Deng_edit_B"), "-1");
  Type("kb_Deng_edit_B", " 42px");
  EXPECT_EQ(Record().blue(), 42);
  EXPECT_EQ(Led()[LightRecord::kBlue], 42);
}

// ---- custom painting -----------------------------------------------------------

TEST_F(KeyboardPageTest, CustomModeShowsTheToolsAndMovesColoursToThePaintColour) {
  Record().SetColour({9, 9, 9});
  live->keyboardLight.paint.SetPaintColour({7, 8, 9});
  SelectMode(8);
  EXPECT_FALSE(Visible("kb_deng_color_display_layout"));
  EXPECT_TRUE(Visible("kb_deng_custom_tool_layout"));
  EXPECT_TRUE(Visible("kb_deng_custom_select_layout"));
  EXPECT_TRUE(Visible("kb_deng_custom_color_layout"));
  ExpectEdits({7, 8, 9});
  EXPECT_EQ(Find("kb_Deng_custom_colordp_btn")->BkColor(), 0xFF070809u);
  TakePushes();

  Type("kb_Deng_edit_R", "200");
  Notify("click", "kb_Deng_color_btn_2");  // (108, 255, 0)
  Type("kb_Deng_edit_B", "5");
  EXPECT_EQ(live->keyboardLight.paint.paintColour(), (Rgb{108, 255, 5}));
  // Typing moves the palette to the paint colour too, as a refresh shows it.
  EXPECT_EQ(Find("kb_deng_Color_Pallet")->SelectColor(), 0xFF6CFF05u);
  EXPECT_EQ(Find("kb_Deng_custom_colordp_btn")->BkColor(), 0xFF6CFF05u);
  EXPECT_EQ(Record().colour(), (Rgb{9, 9, 9}));
  EXPECT_FALSE(TakePushes().keyboard);
  EXPECT_EQ(Led()[kPaintInBody], 108);
  EXPECT_EQ(Config()[kLightInConfig + kPaintInBody + 2], 5);
}

TEST_F(KeyboardPageTest, KeysPaintOnlyInCustomModeAndOnlyFromTheLightingTab) {
  SelectMode(8);
  Select("kb_deng_combo_curtom_count", 2);
  EXPECT_EQ(live->keyboardLight.paint.customSetIndex(), 2);
  live->keyboardLight.paint.SetPaintColour({50, 60, 70});
  TakePushes();

  const size_t led = 22;
  const size_t position = kLedFrameMap[led];
  ASSERT_NE(position, kNoLed);
  Find("kb_key_Op_tab")->SetCheck(true, false);
  Notify("click", "kb_key_22");
  EXPECT_EQ(live->keyboardLight.custom.Colour(2, position), Rgb{});

  Find("kb_deng_Op_tab")->SetCheck(true, false);
  Notify("click", "kb_key_22");
  EXPECT_EQ(live->keyboardLight.custom.Colour(2, position), (Rgb{50, 60, 70}));
  EXPECT_EQ(Led()[kSetIndexInBody], 2);
  EXPECT_EQ(Led()[SetOffset(2, position)], 50);
  EXPECT_EQ(Config()[kLightInConfig + SetOffset(2, position) + 2], 70);
  EXPECT_FALSE(TakePushes().keyboard);

  // Keys past 125 do nothing; outside the custom mode no key paints.
  Notify("click", "kb_key_0");
  EXPECT_EQ(live->keyboardLight.custom.Colour(2, kLedFrameMap[0]), (Rgb{50, 60, 70}));
  Notify("click", "kb_key_126");

  SelectMode(3);
  live->keyboardLight.paint.SetPaintColour({1, 1, 1});
  Notify("click", "kb_key_0");
  EXPECT_EQ(live->keyboardLight.custom.Colour(2, kLedFrameMap[0]), (Rgb{50, 60, 70}));
}

TEST_F(KeyboardPageTest, StarsModeSeedsARingAtTheClickedKey) {
  SelectMode(9);
  const uint8_t led = kKeyMatrix[5][2];
  ASSERT_NE(led, kNoLed);
  Find("kb_deng_Op_tab")->SetCheck(true, false);
  Notify("click", "kb_key_" + std::to_string(led));
  for (size_t f = 0; f < kWaveFronts; ++f) EXPECT_EQ(kbEffect.front(f, 5), 1 << 2) << f;
}

TEST_F(KeyboardPageTest, FillAndClearTheCurrentSet) {
  Select("kb_deng_combo_curtom_count", 1);
  live->keyboardLight.paint.SetPaintColour({10, 20, 30});
  live->keyboardLight.custom.SetColour(1, 5, {1, 2, 3});

  Tick("kb_Deng_all_bright_check", true);
  EXPECT_EQ(live->keyboardLight.custom.Colour(1, 5), (Rgb{1, 2, 3}));
  EXPECT_EQ(live->keyboardLight.custom.Colour(1, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(live->keyboardLight.custom.Colour(1, 125), (Rgb{10, 20, 30}));
  EXPECT_EQ(live->keyboardLight.custom.Colour(0, 0), Rgb{});
  EXPECT_FALSE(Selected("kb_Deng_all_kill_check"));
  EXPECT_EQ(Led()[SetOffset(1, 0)], 10);

  Tick("kb_Deng_all_kill_check", true);
  EXPECT_TRUE(Selected("kb_Deng_all_kill_check"));
  EXPECT_FALSE(Selected("kb_Deng_all_bright_check"));
  EXPECT_EQ(live->keyboardLight.custom.Colour(1, 5), Rgb{});
  EXPECT_EQ(live->keyboardLight.custom.Colour(1, 0), Rgb{});
  EXPECT_EQ(Config()[kLightInConfig + SetOffset(1, 0)], 0);
  EXPECT_FALSE(TakePushes().keyboard);
}

// ---- sliders and checks ------------------------------------------------------------

TEST_F(KeyboardPageTest, SlidersAndChecksSetTheirFields) {
  Notify("valuechanged", "kb_deng_light_slider", 4);
  EXPECT_EQ(Record().brightness(), 4);
  Notify("valuechanged", "kb_deng_speed_slider", 4);
  EXPECT_EQ(Record().speed(), 0) << "the right end is the fastest";
  Notify("valuechanged", "kb_deng_speed_slider", 0);
  EXPECT_EQ(Record().speed(), 4);
  Notify("valuechanged", "kb_deng_speed_slider", 9);
  EXPECT_EQ(Record().speed(), 0);
  EXPECT_EQ(Led()[LightRecord::kBrightness], 4);

  Tick("kb_Deng_FXR_check", true);
  EXPECT_EQ(Record().direction(), 0);
  EXPECT_FALSE(Selected("kb_Deng_FXL_check"));
  Tick("kb_Deng_FXL_check", true);
  EXPECT_EQ(Record().direction(), 1);
  EXPECT_FALSE(Selected("kb_Deng_FXR_check"));
  Tick("kb_Deng_7color_check", true);
  EXPECT_EQ(Record().multiColour(), 1);
  Tick("kb_Deng_7color_check", false);
  EXPECT_EQ(Record().multiColour(), 0);
  EXPECT_TRUE(TakePushes().keyboard);
}

// ---- refresh ---------------------------------------------------------------------

TEST_F(KeyboardPageTest, RefreshShowsTheRecordWithoutStoring) {
  Record().SetMode(8);
  Record().SetBrightness(1);
  Record().SetSpeed(0);
  Record().SetDirection(0);
  Record().SetMultiColour(1);
  Record().SetColour({1, 2, 3});
  live->keyboardLight.paint.SetPaintColour({4, 5, 6});
  live->keyboardLight.paint.SetCustomSetIndex(3);
  keyboard->Refresh();

  EXPECT_EQ(Find("kb_deng_combo_modeSelect")->CurrentIndex(), 8);
  EXPECT_TRUE(Visible("kb_deng_custom_tool_layout"));
  EXPECT_EQ(Find("kb_deng_light_slider")->Value(), 1);
  EXPECT_EQ(Find("kb_deng_speed_slider")->Value(), 4);
  ExpectEdits({4, 5, 6});
  EXPECT_EQ(Find("kb_Deng_colordp_btn")->BkColor(), 0xFF010203u);
  EXPECT_TRUE(Selected("kb_Deng_7color_check"));
  EXPECT_TRUE(Selected("kb_Deng_FXR_check"));
  EXPECT_FALSE(Selected("kb_Deng_FXL_check"));
  EXPECT_EQ(Find("kb_deng_combo_curtom_count")->CurrentIndex(), 3);
  EXPECT_FALSE(TakePushes().keyboard);
  EXPECT_TRUE(Led().empty());
}

TEST_F(KeyboardPageTest, RefreshOfAModeOutsideTheListKeepsTheCombo) {
  SelectMode(8);
  Record().SetMode(200);
  Record().SetSpeed(9);
  Record().SetColour({11, 12, 13});
  keyboard->Refresh();
  EXPECT_EQ(Find("kb_deng_combo_modeSelect")->CurrentIndex(), 8);
  EXPECT_TRUE(Visible("kb_deng_color_display_layout"));
  EXPECT_FALSE(Visible("kb_deng_custom_tool_layout"));
  EXPECT_EQ(Find("kb_deng_speed_slider")->Value(), 0);
  EXPECT_EQ(Record().mode(), 200);
}

}  // namespace
}  // namespace talvo::lighting::pages::test
