// The cursor-macro editor over its real layout on Qt's offscreen platform,
// with a private mouse folder holding four full slots.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"
#include "macros/cursor_macros.h"
#include "pages/cursor/cursor_macro_page.h"

namespace talvo::macros::pages {
namespace {

class NoHandler final : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

constexpr const char* kBullet[] = {"0,0,129,1,1,mouse_key_left",         "20,0,4,0,0,mouse_move_to_right_text",
                                   "0,0,1,1,0,mouse_key_left",           "90,0,5,0,0,mouse_move_to_down_text",
                                   "0,0,4,3,0,mouse_move_to_right_text", "0,0,5,7,0,mouse_move_to_down_text"};

class CursorMacroPageTest : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder = std::filesystem::temp_directory_path() / ("talvo-cursor-" + std::to_string(seed()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "msMacro.ini") << "[CURSORCOUNT]\ncount=4\n";
    for (int slot = 0; slot < kCursorSlots; ++slot) WriteSlot(slot, 180);
    ASSERT_TRUE(window.Create("Mouse_cursor.xml"));
    page = std::make_unique<CursorMacroPage>(window, folder, folder / "program",
                                             [this](std::vector<uint8_t> image) { uploads.push_back(image); });
    page->Reload();
  }
  void TearDown() override {
    page.reset();
    std::filesystem::remove_all(folder);
  }

  void WriteSlot(int slot, size_t steps) {
    std::ofstream file(*CursorSlotPath(folder, slot));
    file << "[MACROACTIONCOUNT]\ncount=" << steps << "\n[MACROACTION]\n";
    for (size_t i = 0; i < steps; ++i) file << i << "=" << kBullet[i % 6] << "\n";
  }
  toolkit::Control* Find(const std::string& name) {
    toolkit::Control* c = window.FindControl(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void Notify(const std::string& type, const std::string& sender, int64_t wParam = 0) {
    ::talvo::pages::Dispatch(*page, CursorMacroPage::Bindings(), {.type = type, .sender = sender, .wParam = wParam});
  }
  void Choose(const std::string& family, int index) {
    Find(family + std::to_string(index))->SetCheck(true, false);
    Notify("selectchanged", family + std::to_string(index), 1);
  }

  NoHandler handler;
  app::QtToolkit toolkit{TALVO_SKIN_DIR};
  app::QtWindow window{toolkit, handler};
  std::filesystem::path folder;
  std::vector<std::vector<uint8_t>> uploads;
  std::unique_ptr<CursorMacroPage> page;
};

TEST_F(CursorMacroPageTest, PreviousAtTheFirstAndNextAtTheLastBulletDoNothing) {
  Notify("click", "bullet_selected_prev");
  EXPECT_EQ(page->CurrentBullet(), 0);
  EXPECT_EQ(Find("bullet_select_index")->Text(), "1");
  Choose("ms_bullet_op_", 29);
  Notify("click", "bullet_selected_next");
  EXPECT_EQ(page->CurrentBullet(), 29);
  EXPECT_EQ(Find("bullet_select_index")->Text(), "30");
  EXPECT_TRUE(Find("ms_bullet_op_29")->IsSelected());
  Notify("click", "bullet_selected_prev");
  EXPECT_EQ(page->CurrentBullet(), 28);
  EXPECT_TRUE(Find("ms_bullet_op_28")->IsSelected());
}

TEST_F(CursorMacroPageTest, EditingABulletStoresItAndShowsTheClampedValue) {
  Choose("ms_gun_op_", 2);
  Choose("ms_bullet_op_", 4);
  EXPECT_EQ(Find("ms_cursor_delay_eidt")->Text(), "90");
  Find("ms_cursor_x_check")->SetCheck(true, false);
  Notify("selectchanged", "ms_cursor_x_check", 1);
  Find("ms_cursor_x_eidt")->SetText("300");
  Notify("textchanged", "ms_cursor_x_eidt");
  EXPECT_EQ(Find("ms_cursor_x_eidt")->Text(), "255");
  EXPECT_EQ(Find("ms_cursor_x_check")->TextId(), "mouse_move_to_left_text");
  EXPECT_EQ(LoadBullet(folder, 2, 4), (Bullet{.delay = 90, .x = 255, .left = true, .y = 7, .up = false}));
  EXPECT_EQ(LoadBullet(folder, 0, 4), (Bullet{.delay = 90, .x = 3, .left = false, .y = 7, .up = false}));
  // Text after the number, or none, shows as the number stored.
  for (const auto& [typed, shown] : {std::pair{"12abc", "12"}, std::pair{"abc", "0"}, std::pair{"", "0"}}) {
    Find("ms_cursor_delay_eidt")->SetText(typed);
    Notify("textchanged", "ms_cursor_delay_eidt");
    EXPECT_EQ(Find("ms_cursor_delay_eidt")->Text(), shown) << typed;
    EXPECT_EQ(LoadBullet(folder, 2, 4)->delay, std::stoi(shown)) << typed;
  }
}

TEST_F(CursorMacroPageTest, ABulletPastTheSlotsStepsDisablesTheEditor) {
  WriteSlot(1, 6);
  Choose("ms_gun_op_", 1);
  EXPECT_TRUE(Find("cursor_edit_layout")->IsEnabled());
  Notify("click", "bullet_selected_next");
  EXPECT_FALSE(Find("cursor_edit_layout")->IsEnabled());
}

TEST_F(CursorMacroPageTest, SaveSendsTheImageOfTheSlotsUnlessOneIsTooLong) {
  Notify("click", "ms_bulletdate_save_btn");
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0].size(), 2920u);
  EXPECT_EQ(uploads[0], PlanCursorImage(folder).image);

  WriteSlot(3, 181);
  Notify("click", "ms_bulletdate_save_btn");
  EXPECT_EQ(uploads.size(), 1u) << "an image the mouse would refuse on every read back";
}

}  // namespace
}  // namespace talvo::macros::pages
