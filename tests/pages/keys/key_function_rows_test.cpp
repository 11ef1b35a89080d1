#include "pages/keys/key_function_rows.h"

#include <gtest/gtest.h>

namespace talvo::keys::pages {
namespace {

using C = Choice;
constexpr KeyFunction kFactory{0x10, 0x02, 0x00};

// Each function shows as the choice the page has always shown it as, and a
// panel showing it stores it again (a default stores the key's factory
// function; every device special stores the DPI cycle).
TEST(KeyFunctionRowsTest, FunctionsRoundTripThroughTheirChoice) {
  struct Case {
    KeyFunction function;
    std::optional<Choice> mouse, keyboard;
    std::optional<KeyFunction> stored;
  };
  const Case cases[] = {
      {{0x00, 0, 0}, C::Default, C::Default, kFactory},
      {{0x10, 0x04, 0}, C::MouseButton, C::MouseButton, KeyFunction{0x10, 0x04, 0}},
      {{0x11, 0x3A, 0x85}, C::Tilt, C::Tilt, KeyFunction{0x11, 0x3A, 0x85}},
      {{0x12, 0x21, 0x80}, C::Wheel, C::Wheel, KeyFunction{0x12, 0x21, 0x80}},
      {{0x12, 0x00, 0x05}, C::Wheel, C::Wheel, KeyFunction{0x12, 0x00, 0x05}},
      {{0x13, 0x02, 0}, std::nullopt, C::Dpi, KeyFunction{0x13, 0x02, 0}},
      {{0x14, 0x0A, 0x32}, C::Fire, C::Fire, KeyFunction{0x14, 0x0A, 0x32}},
      {{0x20, 0x00, 0x04}, C::SingleKey, C::SingleKey, KeyFunction{0x20, 0x00, 0x04}},
      {{0x20, 0x00, 0x00}, C::SingleKey, C::SingleKey, std::nullopt},  // no key named
      {{0x20, 0x01, 0x12}, C::Shortcut, C::Shortcut, KeyFunction{0x20, 0x01, 0x12}},
      {{0x20, 0x02, 0x05}, C::Shortcut, C::Shortcut, std::nullopt},  // not in the table
      {{0x30, 0xCD, 0x00}, C::Media, C::Media, KeyFunction{0x30, 0xCD, 0x00}},
      {{0x40, 0x02, 0x00}, C::System, C::System, KeyFunction{0x40, 0x02, 0x00}},
      {{0x70, 0x03, 0x02}, C::Macro, C::Macro, KeyFunction{0x70, 0x03, 0x02}},
      {{0x71, 0x03, 0x09}, C::Macro, C::Macro, KeyFunction{0x71, 0x03, 0x09}},
      {{0x72, 0x02, 0x00}, C::CursorMacro, std::nullopt, KeyFunction{0x72, 0x02, 0x00}},
      {{0xA0, 0x02, 0x00}, C::DpiCycle, std::nullopt, KeyFunction{0xA0, 0x01, 0x00}},
      {{0x05, 0x05, 0x05}, std::nullopt, std::nullopt, std::nullopt},
      {{0x15, 0x01, 0x01}, std::nullopt, std::nullopt, std::nullopt},
      {{0x21, 0xCD, 0x00}, std::nullopt, std::nullopt, std::nullopt},
      {{0xB0, 0x00, 0x00}, std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    for (const bool mouse : {true, false}) {
      SCOPED_TRACE(testing::Message() << int(c.function.kind) << " " << int(c.function.p1) << " mouse " << mouse);
      PanelState panel = DecodePanel(c.function, mouse);
      ASSERT_EQ(panel.choice, mouse ? c.mouse : c.keyboard);
      if (!panel.choice) {
        EXPECT_EQ(panel, PanelState{.key = c.function});
        continue;
      }
      EXPECT_EQ(ChoiceAt(mouse, ItemOf(mouse, *panel.choice)), panel.choice);
      const PanelState shown = panel;
      EXPECT_EQ(EncodePanel(panel, {mouse, kFactory}), c.stored);
      EXPECT_EQ(panel, shown) << "a shown function's edits hold it already";
    }
  }
}

// Edits typed past their limits are held at them, their texts with them;
// an edit the panel lacks reads as its minimum.
TEST(KeyFunctionRowsTest, EncodingHoldsEditsWithinTheirLimits) {
  struct Case {
    Choice choice;
    bool mouse;
    std::map<int, int> combos;
    std::map<int, EditText> edits, held;
    std::optional<KeyFunction> stored;
  };
  const Case cases[] = {
      {C::Tilt, true, {{kTiltCombo, 1}}, {{kTiltAEdit, {"20"}}, {kTiltBEdit, {"-3"}}, {kTiltAmountEdit, {"300"}}},
       {{kTiltAEdit, {"15"}}, {kTiltBEdit, {"0"}}, {kTiltAmountEdit, {"127"}}}, KeyFunction{0x11, 0xF0, 0xFF}},
      {C::Tilt, true, {{kTiltCombo, -1}}, {{kTiltAEdit, {"20"}}}, {{kTiltAEdit, {"20"}}}, std::nullopt},
      {C::Wheel, false, {{kWheelCombo, 1}}, {{kWheelAmountEdit, {"200"}}}, {{kWheelAmountEdit, {"128"}}},
       KeyFunction{0x12, 0x00, 0x80}},
      {C::Wheel, false, {{kWheelCombo, 0}}, {{kWheelAmountEdit, {"200"}}}, {{kWheelAmountEdit, {"127"}}},
       KeyFunction{0x12, 0x00, 0x7F}},
      {C::Fire, true, {}, {{kFireFirstEdit, {"12abc"}}, {kFireSecondEdit, {""}}},
       {{kFireFirstEdit, {"12"}}, {kFireSecondEdit, {"1"}}}, KeyFunction{0x14, 12, 1}},
      {C::Fire, false, {}, {{kFireFirstEdit, {"300"}}, {kFireSecondEdit, {"0"}}},
       {{kFireFirstEdit, {"255"}}, {kFireSecondEdit, {"0"}}}, KeyFunction{0x14, 0xFF, 0}},
      {C::Fire, true, {}, {}, {}, KeyFunction{0x14, 0, 1}},
      {C::Macro, true, {{kMacroCombo, 2}, {kPlayCombo, kRepeatItem}}, {{kRepeatEdit, {"0"}}}, {{kRepeatEdit, {"1"}}},
       KeyFunction{0x71, 2, 1}},
      {C::Macro, true, {{kMacroCombo, 2}, {kPlayCombo, -1}}, {{kRepeatEdit, {"0"}}}, {{kRepeatEdit, {"0"}}},
       KeyFunction{0x70, 2, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.choice));
    PanelState panel{.choice = c.choice, .combos = c.combos, .edits = c.edits};
    EXPECT_EQ(EncodePanel(panel, {c.mouse, kFactory}), c.stored);
    EXPECT_EQ(panel.edits, c.held);
  }
  // An edit the row has no limits for is left alone, not read past the row's edits.
  PanelState panel{.choice = C::Fire, .edits = {{kKeyEdit, {"7"}}, {kTiltAEdit, {"9"}}}};
  EXPECT_EQ(HoldNumber(RowOf(C::Fire), kTiltAEdit, panel, true), 0);
  EXPECT_EQ(HoldNumber(RowOf(C::SingleKey), kKeyEdit, panel, true), 0);
  EXPECT_EQ(panel.edits.at(kTiltAEdit).text, "9");
}

}  // namespace
}  // namespace talvo::keys::pages
