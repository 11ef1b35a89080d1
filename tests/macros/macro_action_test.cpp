#include "macros/macro_action.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace talvo::macros {
namespace {

struct ParseCase {
  const char* text;
  std::optional<MacroAction> expected;
};

class ParseActionTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseActionTest, ReadsFromTheRight) { EXPECT_EQ(ParseAction(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Strings, ParseActionTest,
    ::testing::Values(ParseCase{"120,0,129,1,1,mouse_key_left", MacroAction{120, 0x81, 0x01, 1, "mouse_key_left"}},
                      ParseCase{"0,1,138,4,1,keyboard_key_A", MacroAction{256, 0x8A, 0x04, 1, "keyboard_key_A"}},
                      // Each number keeps its low byte, the fifth its low 16 bits.
                      ParseCase{"300,1,138,4,1,keyboard_key_A", MacroAction{0x012C, 0x8A, 0x04, 1, "keyboard_key_A"}},
                      ParseCase{"0,0,0,0,65537,x", MacroAction{0, 0, 0, 1, "x"}},
                      ParseCase{"-1,0,0,0,0,x", MacroAction{0xFF, 0, 0, 0, "x"}},
                      // Leading digits count; no digits read as 0; huge numbers saturate.
                      ParseCase{"12ms,x,5,,0,", MacroAction{12, 5, 0, 0, ""}},
                      ParseCase{"99999999999999999999,0,0,0,0,x", MacroAction{0xFF, 0, 0, 0, "x"}},
                      // A comma in the label shifts the fields: the five before the last
                      // comma are the numbers.
                      ParseCase{"9,120,0,129,1,mouse,left", MacroAction{120, 0x81, 0x01, 0, "left"}},
                      ParseCase{"1,2,3,4,label", std::nullopt}, ParseCase{"0", std::nullopt},
                      ParseCase{"", std::nullopt}, ParseCase{",,,,,", MacroAction{0, 0, 0, 0, ""}}));

TEST(FormatActionTest, WritesDelayAsTwoBytesAndParsesBack) {
  const MacroAction action{0x1234, 0x0A, 0x04, 0, "keyboard_key_A"};
  EXPECT_EQ(FormatAction(action), "52,18,10,4,0,keyboard_key_A");
  EXPECT_EQ(ParseAction(FormatAction(action)), action);
}

TEST(MacroEventTest, TypesFromNineOnAreKeyboardSteps) {
  EXPECT_TRUE(IsKeyboardEvent(0x89));
  EXPECT_TRUE(IsKeyboardEvent(0x0A));
  EXPECT_FALSE(IsKeyboardEvent(0x85));
  EXPECT_FALSE(IsKeyboardEvent(0x01));
}

}  // namespace
}  // namespace talvo::macros
