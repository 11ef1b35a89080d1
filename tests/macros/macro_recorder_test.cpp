#include "macros/macro_recorder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace talvo::macros {
namespace {

using platform::CapturedKey;

CapturedKey Down(uint16_t vk, bool extended = false) { return {.vk = vk, .down = true, .extended = extended}; }
CapturedKey Up(uint16_t vk, bool extended = false) { return {.vk = vk, .down = false, .extended = extended}; }

class MacroRecorderTest : public testing::Test {
 protected:
  uint64_t now_ = 1000;
  MacroRecorder recorder_{[this] { return now_; }};
};

struct KeyCase {
  const char* name;
  CapturedKey key;
  std::optional<uint16_t> code;  // nothing: not recorded
  uint8_t event = 0;
  uint8_t value = 0;
  std::string_view label;
};

class RecordedKeyTest : public MacroRecorderTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(RecordedKeyTest, BecomesItsStep) {
  const KeyCase& c = GetParam();
  recorder_.Start({});
  const auto recorded = recorder_.Key(c.key);
  ASSERT_EQ(recorded.has_value(), c.code.has_value());
  if (!recorded) return;
  EXPECT_EQ(recorded->step.code, *c.code);
  EXPECT_EQ(recorded->step.event, c.event);
  EXPECT_EQ(recorded->step.value, c.value);
  EXPECT_EQ(recorded->step.label, c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RecordedKeyTest,
    testing::Values(KeyCase{"PressA", Down(0x41), 0x41, 0x8A, 0x04, "keyboard_key_A"},
                    KeyCase{"ReleaseA", Up(0x41), 0x41, 0x0A, 0x04, "keyboard_key_A"},
                    KeyCase{"LeftCtrlIsAModifier", Down(0xA2), 0xA2, 0x89, 0x01, "keyboard_key_LCtrl"},
                    KeyCase{"MainEnter", Down(0x0D), 0x0D, 0x8A, 0x28, "keyboard_key_Enter"},
                    KeyCase{"ExtendedEnter", Down(0x0D, true), 0x101, 0x8A, 0x58, "keyboard_key_Num Enter"},
                    KeyCase{"KeypadEnterCode", Down(0x101, true), 0x101, 0x8A, 0x58, "keyboard_key_Num Enter"},
                    KeyCase{"CapsLock", Down(0x14), 0x14, 0x8A, 0x39, "keyboard_key_Caplk"},
                    KeyCase{"VolumeUpIsAMediaKey", Down(0xAF, true), std::nullopt, 0, 0, ""}),
    [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(MacroRecorderTest, HeldKeyIsOnePressAndOneRelease) {
  recorder_.Start({});
  int steps = 0;
  for (const CapturedKey& key : {Down(0x41), Down(0x41), Down(0x41), Up(0x41), Down(0x41)}) {
    if (recorder_.Key(key)) ++steps;
  }
  EXPECT_EQ(steps, 3) << "press, release, and the next press";
}

TEST_F(MacroRecorderTest, NewRecordingForgetsTheHeldKeyAndLastButton) {
  recorder_.Start({.mouseClicks = true});
  recorder_.Key(Down(0x41));
  recorder_.Mouse(platform::kWmLButtonDown);
  recorder_.Start({.mouseClicks = true});
  EXPECT_TRUE(recorder_.Key(Down(0x41)));
  EXPECT_TRUE(recorder_.Mouse(platform::kWmLButtonDown));
}

struct DelayCase {
  const char* name;
  bool fixedDelay;
  uint64_t pause;
  uint16_t expected;
};

class DelayTest : public MacroRecorderTest, public testing::WithParamInterface<DelayCase> {};

// The pause before a step is the delay of the step before it; the first
// pause counts from the start of the recording.
TEST_P(DelayTest, GoesToThePreviousStep) {
  const DelayCase& c = GetParam();
  recorder_.Start({.fixedDelay = c.fixedDelay, .mouseClicks = true});
  now_ += c.pause;
  EXPECT_EQ(recorder_.Key(Down(0x41))->previousDelay, c.expected);
  now_ += c.pause;
  EXPECT_EQ(recorder_.Mouse(platform::kWmRButtonDown)->previousDelay, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Pauses, DelayTest,
                         testing::Values(DelayCase{"Measured", false, 120, 120},
                                         DelayCase{"TwoMinutesIsCapped", false, 120'000, 65535},
                                         DelayCase{"FixedShort", true, 3, 50},
                                         DelayCase{"FixedLong", true, 120'000, 50}),
                         [](const testing::TestParamInfo<DelayCase>& info) { return info.param.name; });

TEST_F(MacroRecorderTest, IgnoredEventsLeaveThePauseRunning) {
  recorder_.Start({});
  now_ += 100;
  EXPECT_FALSE(recorder_.Key(Down(0xAF, true)));
  now_ += 100;
  EXPECT_EQ(recorder_.Key(Down(0x41))->previousDelay, 200);
}

TEST_F(MacroRecorderTest, SameButtonMessageTwiceIsOneStep) {
  recorder_.Start({.mouseClicks = true});
  const auto first = recorder_.Mouse(platform::kWmLButtonDown);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->step.event, 0x81);
  EXPECT_EQ(first->step.value, 0x01);
  EXPECT_EQ(first->step.label, "mouse_key_left");
  EXPECT_FALSE(recorder_.Mouse(platform::kWmLButtonDown));
  EXPECT_TRUE(recorder_.Mouse(platform::kWmLButtonUp));
}

TEST_F(MacroRecorderTest, OnlyClicksOfTheThreeMainButtonsWhenChosen) {
  recorder_.Start({.mouseClicks = false});
  EXPECT_FALSE(recorder_.Mouse(platform::kWmLButtonDown));
  recorder_.Start({.mouseClicks = true});
  EXPECT_FALSE(recorder_.Mouse(platform::kWmXButtonDown)) << "side buttons";
  EXPECT_FALSE(recorder_.Mouse(0x020A)) << "the wheel";
  EXPECT_TRUE(recorder_.Mouse(platform::kWmMButtonUp));
}

TEST(SingleKeyRow, AssignsOnlyKeyboardKeys) {
  EXPECT_EQ(SingleKeyRow(0x41, false)->textId, "keyboard_key_A");
  EXPECT_EQ(SingleKeyRow(0x0D, true)->textId, "keyboard_key_Num Enter");
  EXPECT_EQ(SingleKeyRow(0xAF, true), nullptr) << "Volume Up, a media key";
  EXPECT_EQ(SingleKeyRow(0x103, false), nullptr) << "Power, a system key";
}

}  // namespace
}  // namespace talvo::macros
