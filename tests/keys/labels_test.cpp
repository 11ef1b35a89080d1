#include "keys/labels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace talvo::keys {
namespace {

using device::Peripheral;
namespace fs = std::filesystem;

Label Id(std::string text) { return {Label::Kind::TextId, std::move(text)}; }
Label Literal(std::string text) { return {Label::Kind::Literal, std::move(text)}; }
Label Macro(std::string text) { return {Label::Kind::MacroName, std::move(text)}; }
const Label kUnchanged{};

class Labels : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "talvo-keys-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    macros_ = folder_ / "msMacro.ini";
  }
  void TearDown() override { fs::remove_all(folder_); }

  void WriteMacroIndex(const std::string& text) { std::ofstream(macros_, std::ios::binary) << text; }

  Label Mouse(KeyFunction f) const { return LabelFor(Peripheral::Mouse, f, macros_); }
  Label Keyboard(KeyFunction f) const { return LabelFor(Peripheral::Keyboard, f, macros_); }

  fs::path folder_;
  fs::path macros_;
};

TEST_F(Labels, KeyCodesAndShortcutsOnBothDevices) {
  for (Peripheral p : {Peripheral::Mouse, Peripheral::Keyboard}) {
    EXPECT_EQ(LabelFor(p, {0x20, 0x00, 0x04}, macros_), Id("keyboard_key_A"));
    EXPECT_EQ(LabelFor(p, {0x20, 0x02, 0x00}, macros_), Id("keyboard_key_LShift"));
    EXPECT_EQ(LabelFor(p, {0x00, 0x00, 0x3A}, macros_), Id("keyboard_key_F1"));
    EXPECT_EQ(LabelFor(p, {0x20, 0x01, 0x06}, macros_), Id("combo_copy"));
    EXPECT_EQ(LabelFor(p, {0x20, 0x01, 0x2E}, macros_), Id("combo_magnify"));
    // Ctrl+Shift+K has neither a key-code nor a shortcut row.
    EXPECT_EQ(LabelFor(p, {0x20, 0x03, 0x0E}, macros_), kUnchanged);
  }
}

TEST_F(Labels, AllZeroKeysKeepTheirLabels) {
  EXPECT_EQ(Mouse({0x00, 0x00, 0x00}), kUnchanged);
  EXPECT_EQ(Keyboard({0x00, 0x00, 0x00}), kUnchanged);
}

TEST_F(Labels, ModifierCombinationIsNotTakenForAConsumerOrSystemKey) {
  // Bytes 0xE9 00 are also the Volume Up row's, and 01 00 the power row's.
  EXPECT_EQ(Keyboard({0x20, 0xE9, 0x00}), kUnchanged);
  EXPECT_EQ(Keyboard({0x20, 0x01, 0x00}), Id("keyboard_key_LCtrl"));
}

TEST_F(Labels, MouseFunctions) {
  EXPECT_EQ(Mouse({0x10, 0x08, 0x00}), Id("mouse_key_back"));
  EXPECT_EQ(Mouse({0x10, 0x10, 0x07}), Id("mouse_key_forward"));
  EXPECT_EQ(Mouse({0x10, 0x20, 0x00}), kUnchanged);
  EXPECT_EQ(Mouse({0x11, 0x12, 0x85}), Id("mouse_key_right_Swing"));
  EXPECT_EQ(Mouse({0x11, 0x12, 0x05}), Id("mouse_key_left_Swing"));
  EXPECT_EQ(Mouse({0x12, 0x00, 0xFF}), Id("mouse_key_down_Swing"));
  EXPECT_EQ(Mouse({0x12, 0x00, 0x01}), Id("mouse_key_up_Swing"));
  EXPECT_EQ(Mouse({0x13, 0x01, 0x00}), Id("mouse_key_DPI_add"));
  EXPECT_EQ(Mouse({0x13, 0x09, 0x00}), kUnchanged);
  EXPECT_EQ(Mouse({0x14, 0x20, 0x03}), Id("mouse_key_fire_key"));
  EXPECT_EQ(Mouse({0x72, 0x00, 0x00}), Id("GUN_1"));
  EXPECT_EQ(Mouse({0x72, 0x03, 0x00}), Id("GUN_4"));
  EXPECT_EQ(Mouse({0x72, 0x04, 0x00}), kUnchanged);
  EXPECT_EQ(Mouse({0xA0, 0x01, 0x00}), Id("mouse_key_DPI_loop"));
}

TEST_F(Labels, ControlsOnBothDevices) {
  for (Peripheral p : {Peripheral::Mouse, Peripheral::Keyboard}) {
    EXPECT_EQ(LabelFor(p, {0x30, 0xCD, 0x00}, macros_), Id("media_play"));
    EXPECT_EQ(LabelFor(p, {0x21, 0x92, 0x01}, macros_), Id("media_calc"));
    EXPECT_EQ(LabelFor(p, {0x30, 0xCD, 0x01}, macros_), kUnchanged);
    EXPECT_EQ(LabelFor(p, {0x40, 0x02, 0x00}, macros_), Id("system_sleep"));
    EXPECT_EQ(LabelFor(p, {0x40, 0x08, 0x00}, macros_), kUnchanged);
    EXPECT_EQ(LabelFor(p, {0x10, 0x04, 0x00}, macros_), Id("mouse_key_middle"));
    EXPECT_EQ(LabelFor(p, {0x13, 0x02, 0x00}, macros_), Id("mouse_key_DPI_sub"));
    EXPECT_EQ(LabelFor(p, {0x14, 0x00, 0x00}, macros_), Id("mouse_key_fire_key"));
  }
}

TEST_F(Labels, CarriedKindsKeepTheLabelAndUnknownKindsReadClosed) {
  for (uint8_t kind : {0x15, 0x50, 0x60, 0xB0, 0xC0}) {
    EXPECT_EQ(Mouse({kind, 0x01, 0x02}), kUnchanged) << int(kind);
    EXPECT_EQ(Keyboard({kind, 0x01, 0x02}), kUnchanged) << int(kind);
  }
  for (uint8_t kind : {0x05, 0x01, 0x22, 0x73, 0xFF}) {
    EXPECT_EQ(Mouse({kind, 0x05, 0x05}), Id("close_text")) << int(kind);
    EXPECT_EQ(Keyboard({kind, 0x05, 0x05}), Literal("关闭")) << int(kind);
  }
}

TEST_F(Labels, KeyboardTreatsMouseOnlyFunctionsItsOwnWay) {
  EXPECT_EQ(Keyboard({0x72, 0x00, 0x00}), Literal("关闭"));
  EXPECT_EQ(Keyboard({0xA0, 0x02, 0x02}), kUnchanged);
}

TEST_F(Labels, MousepadHasNoKeyLabels) {
  EXPECT_EQ(LabelFor(Peripheral::Mousepad, {0x20, 0x00, 0x04}, macros_), kUnchanged);
  EXPECT_EQ(LabelFor(Peripheral::Mousepad, {0x05, 0x05, 0x05}, macros_), kUnchanged);
}

TEST_F(Labels, MacroNamesComeFromTheIndexFileBelowItsCount) {
  WriteMacroIndex("[MACROCOUNT]\ncount=3\n[MACRONAME]\n0=Reload\n1=Burst fire\n3=Beyond\n");
  EXPECT_EQ(Mouse({0x70, 0x00, 0x02}), Macro("Reload"));
  EXPECT_EQ(Keyboard({0x71, 0x01, 0x10}), Macro("Burst fire"));
  // Below the count but without a name: the index file's default name.
  EXPECT_EQ(Mouse({0x70, 0x02, 0x00}), Macro("0"));
  EXPECT_EQ(Mouse({0x70, 0x03, 0x00}), kUnchanged);
  EXPECT_EQ(Mouse({0x71, 0xFF, 0x00}), kUnchanged);
}

TEST_F(Labels, MacroWithoutIndexFileOrWithABadCountKeepsItsLabel) {
  EXPECT_EQ(Mouse({0x70, 0x00, 0x00}), kUnchanged);
  WriteMacroIndex("[MACROCOUNT]\ncount=-4\n[MACRONAME]\n0=Reload\n");
  EXPECT_EQ(Mouse({0x70, 0x00, 0x00}), kUnchanged);
}

}  // namespace
}  // namespace talvo::keys
