// The mousepad's lighting tab with the mousepad absent: records and the
// light file change, the push is marked for when it comes.
#include <gtest/gtest.h>

#include "lighting_page_env.h"

namespace talvo::lighting::pages::test {
namespace {

using device::Peripheral;

class MousepadPageTest : public LightingPageTest {
 protected:
  LightRecord& Record() { return live->mousepadLight.record; }
  std::vector<uint8_t> Led() { return SavedBody(Peripheral::Mousepad, ".led"); }
  void SelectMode(int mode) { Select("mp_deng_combo_modeSelect", mode); }
};

TEST_F(MousepadPageTest, ChoosingTheCometResetsTheStateAndStartsTheRing) {
  mousepadLink.syncActive.store(1);
  mpEffect.SetBarLevel(7);
  mpEffect.SetRing(4, 1);
  mpEffect.SetFillOn(0);

  SelectMode(5);

  EXPECT_EQ(Record().mode(), 5);
  EXPECT_EQ(mpEffect.ring(0), 1);
  EXPECT_EQ(mpEffect.ring(4), 0);
  EXPECT_EQ(mpEffect.barLevel(), 0);
  EXPECT_EQ(mpEffect.fillOn(), 1);
  const Pushed pushed = TakePushes();
  EXPECT_TRUE(pushed.mousepad);
  EXPECT_FALSE(pushed.keyboard || pushed.mouse);
  EXPECT_EQ(mousepadLink.syncActive.load(), 0u);
  ASSERT_EQ(Led().size(), 64u);
  EXPECT_EQ(Led()[LightRecord::kMode], 5);
  EXPECT_TRUE(SavedBody(Peripheral::Mousepad, ".config").empty()) << "the mousepad has no device profile";

  SelectMode(3);
  EXPECT_EQ(mpEffect.ring(0), 0);
}

TEST_F(MousepadPageTest, EachModeShowsItsParts) {
  struct Row {
    int mode;
    bool fx, colour, multi, speed, same;
  };
  const Row rows[] = {{0, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 1, 1}, {2, 0, 1, 1, 1, 1}, {3, 0, 1, 0, 0, 1},
                      {4, 1, 1, 1, 1, 0}, {5, 1, 1, 1, 1, 0}, {6, 1, 0, 0, 1, 0}, {7, 0, 1, 1, 1, 0},
                      {8, 0, 1, 1, 0, 0}, {9, 0, 1, 1, 0, 0}, {7, 0, 1, 1, 1, 0}, {9, 0, 1, 1, 1, 0}};
  for (const Row& r : rows) {
    SelectMode(r.mode);
    EXPECT_EQ(Visible("mp_deng_fx_layout"), r.fx) << r.mode;
    EXPECT_EQ(Visible("mp_deng_color_layout"), r.colour) << r.mode;
    EXPECT_EQ(Visible("mp_deng_7colorselect_layout"), r.multi) << r.mode;
    EXPECT_EQ(Visible("mp_deng_speed_layout"), r.speed) << r.mode;
    EXPECT_EQ(Visible("mp_deng_same_mode"), r.same) << r.mode;
  }
  Notify("itemselect", "mp_deng_combo_modeSelect", 10);
  EXPECT_EQ(Record().mode(), 9);
}

TEST_F(MousepadPageTest, ColoursTurnMultiColourOff) {
  Tick("mp_Deng_7color_check", true);
  EXPECT_EQ(Record().multiColour(), 1);

  Notify("click", "mp_Deng_color_btn_15");  // (33, 179, 9)
  EXPECT_EQ(Record().colour(), (Rgb{33, 179, 9}));
  EXPECT_EQ(Record().multiColour(), 0);
  EXPECT_FALSE(Selected("mp_Deng_7color_check"));
  EXPECT_EQ(Find("mp_Deng_colordp_btn")->BkColor(), 0xFF21B309u);

  Notify("colorchanged", "mp_deng_Color_Pallet", 0xFF405060);
  EXPECT_EQ(Record().colour(), (Rgb{0x40, 0x50, 0x60}));
  EXPECT_EQ(Text("mp_Deng_edit_R"), "64");

  Tick("mp_Deng_7color_check", true);
  Type("mp_Deng_edit_G", "256");
  EXPECT_EQ(Record().colour(), (Rgb{0x40, 255, 0x60}));
  EXPECT_EQ(Text("mp_Deng_edit_G"), "255");
  EXPECT_EQ(Record().multiColour(), 0);
  Type("mp_Deng_edit_B", "-5");
  EXPECT_EQ(Record().blue(), 251);
  EXPECT_TRUE(TakePushes().mousepad);
  EXPECT_EQ(Led()[LightRecord::kGreen], 255);
  EXPECT_EQ(Led()[LightRecord::kBlue], 251);
}

TEST_F(MousepadPageTest, SlidersAndDirection) {
  Notify("movevaluechanged", "mp_deng_speed_slider", 4);
  EXPECT_EQ(Record().speed(), 0);
  Notify("valuechanged", "mp_deng_speed_slider", -3);
  EXPECT_EQ(Record().speed(), 4);
  Notify("valuechanged", "mp_deng_light_slider", 0);
  EXPECT_EQ(Record().brightness(), 0);
  Tick("mp_Deng_FXR_check", true);
  EXPECT_EQ(Record().direction(), 0);
  Tick("mp_Deng_FXL_check", true);
  EXPECT_EQ(Record().direction(), 1);
  EXPECT_EQ(Led()[LightRecord::kSpeed], 4);
}

TEST_F(MousepadPageTest, RefreshShowsTheRecordAndStartsTheComet) {
  Record().SetMode(5);
  Record().SetSpeed(3);
  Record().SetColour({7, 8, 9});
  Record().SetDirection(0);
  mousepad->Refresh();
  EXPECT_EQ(Find("mp_deng_combo_modeSelect")->CurrentIndex(), 5);
  EXPECT_EQ(mpEffect.ring(0), 1);
  EXPECT_EQ(Find("mp_deng_speed_slider")->Value(), 1);
  EXPECT_EQ(Text("mp_Deng_edit_B"), "9");
  EXPECT_TRUE(Selected("mp_Deng_FXR_check"));
  EXPECT_FALSE(TakePushes().mousepad);
  EXPECT_TRUE(Led().empty());

  Record().SetMode(77);
  mousepad->Refresh();
  EXPECT_EQ(Find("mp_deng_combo_modeSelect")->CurrentIndex(), 5);
}

}  // namespace
}  // namespace talvo::lighting::pages::test
