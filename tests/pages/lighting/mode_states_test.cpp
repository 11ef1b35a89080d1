// Mode starts, the mousepad state's start values and reading colour edits.
#include <gtest/gtest.h>

#include "pages/lighting/mode_states.h"
#include "pages/lighting/page_view.h"

namespace talvo::lighting {
namespace {

TEST(KeyboardModeStart, DiagonalSeedsStepBackAlongRowsAndColumns) {
  KbEffectState state;
  StartKeyboardMode(16, state);
  // Column 0 starts at 192 and each row is 35 behind the one above; column
  // 22 starts at 16, so its first row wraps below 0 and drops by 63 more.
  const uint8_t expected0[kMatrixRows] = {157, 122, 87, 52, 17, 238 - 63};
  const uint8_t expected22[kMatrixRows] = {237 - 63, 139, 104, 69, 34, 255 - 63};
  for (size_t r = 0; r < kMatrixRows; ++r) {
    if (const uint8_t led = kKeyMatrix[0][r]; led != kNoLed) {
      EXPECT_EQ(state.pulsePos(led), expected0[r]) << r;
      EXPECT_EQ(state.hue(led), 0) << r;
    }
    if (const uint8_t led = kKeyMatrix[22][r]; led != kNoLed) {
      EXPECT_EQ(state.pulsePos(led), expected22[r]) << r;
      EXPECT_EQ(state.hue(led), 154) << r;
    }
  }
}

TEST(KeyboardModeStart, ModesWithoutAStartLeaveTheStateAlone) {
  KbEffectState state;
  for (uint8_t mode : {0, 1, 2, 3, 6, 7, 8, 9, 10, 12, 13, 14, 200}) StartKeyboardMode(mode, state);
  for (size_t led = 0; led < kKeyboardLeds; ++led) {
    EXPECT_EQ(state.hue(led), 0);
    EXPECT_EQ(state.glow(led), 0);
    EXPECT_EQ(state.pulsePos(led), 0);
  }
  for (size_t c = 0; c < kMatrixColumns; ++c) EXPECT_EQ(state.front(0, c), 0);
}

TEST(MousepadEffectState, StartsAndResetsToTheFillStart) {
  MousepadEffectState state;
  EXPECT_EQ(state.fillOn(), 1);
  EXPECT_EQ(state.fillPattern(), 0x3F00);
  state.SetFillPattern(-2);
  state.SetFlashStart(0x12345678);
  state.SetBarLevel(-1);
  state.SetHue(14, 9);
  EXPECT_EQ(state.fillPattern(), -2);
  EXPECT_EQ(state.flashStart(), 0x12345678u);
  EXPECT_EQ(state.barLevel(), -1);
  state.Reset();
  EXPECT_EQ(state.fillPattern(), 0x3F00);
  EXPECT_EQ(state.flashStart(), 0u);
  EXPECT_EQ(state.barLevel(), 0);
  EXPECT_EQ(state.hue(14), 0);
}

TEST(ColourEdit, ReadsTheLeadingNumberCutsAt255AndKeepsTheLowByteOfNegatives) {
  using pages::ReadColourEdit;
  EXPECT_EQ(ReadColourEdit("128").value, 128);
  EXPECT_FALSE(ReadColourEdit("255").cut);
  EXPECT_EQ(ReadColourEdit("256").value, 255);
  EXPECT_TRUE(ReadColourEdit("256").cut);
  EXPECT_TRUE(ReadColourEdit("99999999999999").cut);
  EXPECT_EQ(ReadColourEdit("").value, 0);
  EXPECT_EQ(ReadColourEdit("red").value, 0);
  EXPECT_EQ(ReadColourEdit("  +7").value, 7);
  EXPECT_EQ(ReadColourEdit("-1").value, 255);
  EXPECT_FALSE(ReadColourEdit("-1").cut);
  EXPECT_EQ(ReadColourEdit("-300").value, 212);
}

}  // namespace
}  // namespace talvo::lighting
