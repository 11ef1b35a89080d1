// The key assignment views on the main window's real layout under Qt's
// offscreen platform, with private folders, scripted message boxes and a
// capture that records what the pages ask of it.
#include "pages/keys/key_pages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../../profiles/profile_test_env.h"
#include "app/controls/custom_controls.h"
#include "app/shell/page_layouts.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "keys/function_tables.h"

namespace talvo::keys::pages {
namespace {

using Strings = std::vector<std::string>;

class PagesHandler final : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
  toolkit::CreatedControl CreateControl(std::string_view element) override { return app::PageControl(element); }
};

class ScriptedDialogs final : public toolkit::Dialogs {
 public:
  int ShowMessage(toolkit::Window*, const std::string& text, bool) override {
    shown.push_back(text);
    return 1;
  }
  std::optional<std::string> OpenFile(toolkit::Window*, const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(toolkit::Window*, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  Strings shown;
};

class NoCapture final : public platform::InputCapture {
 public:
  void Install(platform::CaptureMode, platform::CaptureSink&, bool, bool) override {}
  void Remove() override {}
};

class KeyPageTest : public profiles::test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    toolkit.SetDialogs(&dialogs);
    app::RegisterCustomControls(toolkit);
    ASSERT_TRUE(window.Create("XML_MAIN"));
    live.mouseKeys.profiles[0] = live.mouseKeys.defaultMap;
    pages = std::make_unique<KeyPages>(window, KeyPages::Setup{live, saver, capture, [] { return size_t{0}; }, {}});
  }
  void TearDown() override {
    pages.reset();
    ProfileFolders::TearDown();
  }

  toolkit::Control* Find(const std::string& name) {
    toolkit::Control* c = window.FindControl(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void Notify(const std::string& type, const std::string& sender, int64_t wParam) {
    for (const device::Peripheral p : {device::Peripheral::Keyboard, device::Peripheral::Mouse})
      ::talvo::pages::Dispatch(pages->Page(p), KeyAssignmentPage::Bindings(p),
                               {.type = type, .sender = sender, .wParam = wParam});
  }
  void ChooseKey(int key) { Notify("selectchanged", "ms_key_" + std::to_string(key), 1); }
  void Select(const std::string& combo, int item) {
    Find(combo)->SelectItem(item, false);
    Notify("itemselect", combo, item);
  }
  void Type(int edit, const std::string& text) {
    const std::string name = "ms_key_fct_edit_" + std::to_string(edit);
    Find(name)->SetText(text);
    Notify("textchanged", name, 0);
  }
  KeyFunction Key(size_t key) { return KeyAt(live.mouseKeys.profiles[0], key); }

  PagesHandler handler;
  ScriptedDialogs dialogs;
  app::QtToolkit toolkit{TALVO_SKIN_DIR};
  app::QtWindow window{toolkit, handler};
  profiles::LiveData live;
  profiles::ProfileSaver saver{live};
  NoCapture capture;
  std::unique_ptr<KeyPages> pages;
};

struct Apply {
  const char* name;
  int item;
  int combo;  // a sub-combo to choose, 0 for none
  int comboItem;
  std::vector<std::pair<int, const char*>> typed;  // edits typed in order
  KeyFunction stored;
  std::vector<std::pair<int, const char*>> shown;  // edits' texts afterwards
};

class ApplyTest : public KeyPageTest, public testing::WithParamInterface<Apply> {};

TEST_P(ApplyTest, StoresThePanelInTheSelectedKey) {
  const Apply& c = GetParam();
  ChooseKey(3);
  Select("ms_key_fct_combo", c.item);
  if (c.combo) Select("ms_key_fct_combo_" + std::to_string(c.combo), c.comboItem);
  for (const auto& [edit, text] : c.typed) Type(edit, text);
  EXPECT_EQ(Key(3), c.stored);
  for (const auto& [edit, text] : c.shown) EXPECT_EQ(Find("ms_key_fct_edit_" + std::to_string(edit))->Text(), text);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ApplyTest,
    testing::Values(Apply{"WheelDownOne", 3, 13, 1, {{16, "1"}}, {0x12, 0x00, 0xFF}, {}},
                    Apply{"TiltRightFive", 2, 12, 1, {{15, "5"}}, {0x11, 0x00, 0x85}, {}},
                    Apply{"AmountHeldAt127", 2, 12, 0, {{17, "3"}, {15, "300"}}, {0x11, 0x30, 0x7F}, {{15, "127"}}},
                    Apply{"FireIntervalAtLeastOne", 5, 0, 0, {{11, "300"}, {12, "0"}}, {0x14, 0xFF, 0x01},
                          {{11, "255"}, {12, "1"}}},
                    Apply{"DpiCycle", 4, 0, 0, {}, {0xA0, 0x01, 0x00}, {}},
                    Apply{"Media", 7, 21, 1, {}, {0x30, 0xCD, 0x00}, {}},
                    Apply{"MacroWithoutMacrosWritesNothing", 9, 24, 1, {}, {0x10, 0x10, 0x00}, {}}),
    [](const testing::TestParamInfo<Apply>& info) { return info.param.name; });

// Each edit shows the value the key stores: clamped, without stray text,
// and its minimum when left empty.
TEST_F(KeyPageTest, EditsStoreWhatTheyShow) {
  struct Case {
    KeyFunction start;
    std::vector<std::pair<std::string, int>> chosen;  // combos chosen in order
    std::pair<int, const char*> typed;                // {0, ""}: nothing typed
    KeyFunction stored;
    std::vector<std::pair<int, const char*>> shown;
  };
  const Case cases[] = {
      // A wheel step down of 128 read from the mouse, then up, which holds 127.
      {{0x12, 0x00, 0x80}, {}, {18, "2"}, {0x12, 0x20, 0x80}, {{16, "128"}}},
      {{0x12, 0x00, 0x80}, {{"ms_key_fct_combo_13", 0}}, {0, ""}, {0x12, 0x00, 0x7F}, {{16, "127"}}},
      {{0x10, 0x10, 0x00}, {{"ms_key_fct_combo", 5}}, {0, ""}, {0x14, 0x00, 0x01}, {{11, "0"}, {12, "1"}}},
      {{0x10, 0x10, 0x00},
       {{"ms_key_fct_combo", 9}, {"ms_key_fct_combo_23", 0}, {"ms_key_fct_combo_24", 4}},
       {0, ""},
       {0x71, 0x00, 0x01},
       {{25, "1"}}},
      {{0x11, 0x00, 0x00}, {}, {15, "12abc"}, {0x11, 0x00, 0x0C}, {{15, "12"}}},
  };
  Find("ms_key_fct_combo_23")->AddItem("m");
  for (const Case& c : cases) {
    SetKey(live.mouseKeys.profiles[0], 3, c.start);
    ChooseKey(3);
    for (const auto& [combo, item] : c.chosen)
      Select(combo, item);
    if (c.typed.first) Type(c.typed.first, c.typed.second);
    EXPECT_EQ(Key(3), c.stored) << c.stored.kind;
    for (const auto& [edit, text] : c.shown) EXPECT_EQ(Find("ms_key_fct_edit_" + std::to_string(edit))->Text(), text);
  }
}

struct Show {
  const char* name;
  KeyFunction function;
  int item;
  int combo;  // the sub-combo whose selection is checked
  int comboItem;
};

class ShowTest : public KeyPageTest, public testing::WithParamInterface<Show> {};

TEST_P(ShowTest, ChoosingAKeyShowsItsFunction) {
  const Show& c = GetParam();
  SetKey(live.mouseKeys.profiles[0], 2, c.function);
  ChooseKey(2);
  EXPECT_EQ(Find("ms_key_fct_combo")->CurrentIndex(), c.item);
  if (c.combo) {
    EXPECT_EQ(Find("ms_key_fct_combo_" + std::to_string(c.combo))->CurrentIndex(), c.comboItem);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShowTest,
                         testing::Values(Show{"DefaultAsItemZero", {0x10, 0x02, 0x00}, 0, 0, 0},
                                         Show{"ShortcutWithoutRow", {0x20, 0x03, 0x0E}, 11, 26, -1},
                                         Show{"ShortcutRow", {0x20, 0x01, 0x06}, 11, 26, 4},
                                         Show{"MacroPastTheList", {0x70, 0x05, 0x00}, 9, 23, -1},
                                         Show{"SlotPastTheCombo", {0x72, 0x07, 0x00}, 10, 25, -1},
                                         Show{"PlayModePastTheCombo", {0x70, 0x00, 0x09}, 9, 24, -1},
                                         Show{"MediaRow", {0x30, 0xB5, 0x00}, 7, 21, 4}),
                         [](const testing::TestParamInfo<Show>& info) { return info.param.name; });

TEST_F(KeyPageTest, TheOnlyLeftClickCannotBeGivenAway) {
  ChooseKey(3);
  Select("ms_key_fct_combo", 4);  // the DPI cycle: a choice that always writes
  ChooseKey(0);
  EXPECT_EQ(dialogs.shown, Strings{"message_text_6"});
  EXPECT_FALSE(Find("ms_tab_function")->IsEnabled());
  Notify("click", "ms_key_butt_keysave", 0);
  EXPECT_EQ(Key(0), (keys::KeyFunction{0x10, 0x01, 0x00})) << "the save button outside the panel";
  SetKey(live.mouseKeys.profiles[0], 2, {0x10, 0x01, 0x00});
  ChooseKey(0);
  EXPECT_TRUE(Find("ms_tab_function")->IsEnabled());
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(KeyPageTest, RestoringADefaultRelabelsAtOnce) {
  ChooseKey(3);
  Select("ms_key_fct_combo", 8);
  Select("ms_key_fct_combo_22", 0);
  EXPECT_EQ(Find("ms_key_3")->TextId(), "system_power");
  Notify("click", "ms_key_butt_keydefalut", 0);
  EXPECT_EQ(Find("ms_key_3")->TextId(), "mouse_key_forward");
  EXPECT_EQ(Find("ms_key_fct_combo")->CurrentIndex(), 0);
}

TEST_F(KeyPageTest, KeyboardPositionWithoutKeyIsIgnored) {
  Find("kb_key_Op_tab")->SetCheck(true, false);
  Notify("click", "kb_key_5", 0);
  EXPECT_FALSE(pages->Page(device::Peripheral::Keyboard).SelectedKey());
}

}  // namespace
}  // namespace talvo::keys::pages
