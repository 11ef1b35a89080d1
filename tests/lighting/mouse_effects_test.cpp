#include "lighting/mouse_effects.h"

#include <gtest/gtest.h>

#include "lighting/colour_tables.h"

namespace talvo::lighting {
namespace {

Rgb Led(const MouseFrame& frame, size_t n) { return {frame[3 * n], frame[3 * n + 1], frame[3 * n + 2]}; }

void ExpectAllLeds(const MouseFrame& frame, Rgb expected) {
  for (size_t n = 0; n < kMouseLeds; ++n) EXPECT_EQ(Led(frame, n), expected) << "LED " << n;
}

struct MouseEffectTest : ::testing::Test {
  MouseEffectTest() { record.SetMode(0); }
  bool Frame() { return ComputeMouseFrame(record, state, frame, preview); }

  MouseSettingsRecord record;
  MouseEffectState state;
  MouseFrame frame{};
  MousePreview preview;
};

TEST_F(MouseEffectTest, SpectrumStepsAlongTheWheelEitherWay) {
  record.SetBrightness(2);  // L = 150, scaled by 151
  record.SetDirection(1);
  state.SetPhase(10);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(state.phase(), 11);
  ExpectAllLeds(frame, {150, 25, 0});  // wheel 11 = (255, 44, 0)
  EXPECT_EQ(preview.colour[19], 255u | 0u << 8 | 44u << 16);
  EXPECT_EQ(preview.alpha[19], 150);

  record.SetDirection(0);
  state.SetPhase(10);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(state.phase(), 9);
  ExpectAllLeds(frame, {150, 18, 0});  // wheel 9 = (255, 32, 0)

  state.SetPhase(0);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(state.phase(), 191);
}

TEST_F(MouseEffectTest, StaticShowsTheRecordColourWithoutStepping) {
  record.SetMode(2);
  record.SetColour({200, 100, 50});
  record.SetBrightness(1);  // L = 90, scaled by 91
  state.SetPhase(33);
  for (uint8_t direction : {0, 1}) {
    record.SetDirection(direction);
    ASSERT_TRUE(Frame());
    ExpectAllLeds(frame, {71, 35, 17});
    EXPECT_EQ(state.phase(), 33);
    EXPECT_EQ(preview.colour[0], 200u | 50u << 8 | 100u << 16);
    EXPECT_EQ(preview.alpha[0], 90);
  }
  // A full level keeps the colour whole (scaled by 256, not 255).
  record.SetColour({255, 255, 255});
  record.SetBrightness(4);
  ASSERT_TRUE(Frame());
  ExpectAllLeds(frame, {255, 255, 255});
}

TEST_F(MouseEffectTest, BrightnessZeroDarkensEveryMode) {
  record.SetBrightness(0);
  record.SetColour({255, 255, 255});
  record.SetColourA({255, 255, 255});
  record.SetMultiColour(1);
  for (uint8_t mode : {0, 1, 2}) {
    record.SetMode(mode);
    state.SetPhase(62);  // mode 1 then sits at the top of the breath
    frame.fill(0xEE);
    ASSERT_TRUE(Frame());
    ExpectAllLeds(frame, {0, 0, 0});
    EXPECT_EQ(preview.alpha[5], 0) << "mode " << int{mode};
  }
}

TEST_F(MouseEffectTest, GradientBreathPaintsEachGroupInItsRowColour) {
  record.SetMode(1);
  record.SetMultiColour(1);
  record.SetBrightness(3);  // L = 200, scaled by 201
  record.SetDirection(1);
  state.SetPhase(62);  // → 63, breath 255 (scaled by 256)
  ASSERT_TRUE(Frame());
  for (size_t n : {0, 7, 19}) EXPECT_EQ(Led(frame, n), (Rgb{200, 200, 0})) << n;
  for (size_t n : {1, 8, 18}) EXPECT_EQ(Led(frame, n), (Rgb{157, 200, 0})) << n;
  for (size_t n : {2, 9}) EXPECT_EQ(Led(frame, n), (Rgb{133, 200, 0})) << n;
  EXPECT_EQ(preview.colour[8], 200u | 0u << 8 | 255u << 16);
  EXPECT_EQ(preview.alpha[8], 199);  // 255 × 200 >> 8

  record.SetDirection(0);
  state.SetPhase(63);  // → 62, breath 248 (scaled by 249)
  ASSERT_TRUE(Frame());
  EXPECT_EQ(Led(frame, 0), (Rgb{194, 194, 0}));
  EXPECT_EQ(Led(frame, 1), (Rgb{152, 194, 0}));
  EXPECT_EQ(preview.alpha[0], 193);
  EXPECT_EQ(record.stepCounter(), 0);
}

TEST_F(MouseEffectTest, GradientRowAdvancesAtTheDarkPoint) {
  record.SetMode(1);
  record.SetMultiColour(1);
  record.SetBrightness(4);
  record.SetDirection(1);
  record.SetStepCounter(1);
  state.SetPhase(126);
  const uint32_t row1 = PackPreviewColour(kMouseGradients[1][0]);
  ASSERT_TRUE(Frame());  // k = 127, dark
  EXPECT_EQ(preview.colour[0], row1);
  ExpectAllLeds(frame, {0, 0, 0});
  ASSERT_TRUE(Frame());  // k = 0: the next row
  EXPECT_EQ(record.stepCounter(), 2);
  EXPECT_EQ(preview.colour[0], PackPreviewColour(kMouseGradients[2][0]));
  EXPECT_EQ(preview.colour[6], PackPreviewColour(kMouseGradients[2][6]));

  state.SetPhase(127);
  ASSERT_TRUE(Frame());  // past the last row back to the first
  EXPECT_EQ(record.stepCounter(), 0);

  // Backwards the change comes as the phase reaches 0, not as it leaves it.
  record.SetDirection(0);
  state.SetPhase(1);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(state.phase(), 0);
  EXPECT_EQ(record.stepCounter(), 1);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(state.phase(), 127);
  EXPECT_EQ(record.stepCounter(), 1);

  // A counter out of range (from a file) shows the first row, then wraps.
  record.SetStepCounter(9);
  state.SetPhase(40);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(preview.colour[0], PackPreviewColour(kMouseGradients[0][0]));
}

TEST_F(MouseEffectTest, TwoColourBreathAlternatesAtTheDarkPoint) {
  record.SetMode(1);
  record.SetMultiColour(0);
  record.SetBrightness(4);
  record.SetDirection(1);
  record.SetColourA({10, 20, 30});
  record.SetColourB({200, 150, 100});
  state.SetPhase(125);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(preview.colour[3], PackPreviewColour({10, 20, 30}));
  ASSERT_TRUE(Frame());
  EXPECT_EQ(preview.colour[3], PackPreviewColour({10, 20, 30}));
  ASSERT_TRUE(Frame());  // k = 0
  EXPECT_EQ(state.toggle(), 1);
  for (size_t n = 0; n < kMouseLeds; ++n) EXPECT_EQ(preview.colour[n], PackPreviewColour({200, 150, 100})) << n;
  ExpectAllLeds(frame, {0, 0, 0});  // breath 0 → × 1 >> 8
  state.SetPhase(62);
  ASSERT_TRUE(Frame());
  ExpectAllLeds(frame, {200, 150, 100});
  state.SetPhase(127);
  ASSERT_TRUE(Frame());
  EXPECT_EQ(state.toggle(), 0);
  EXPECT_EQ(preview.colour[3], PackPreviewColour({10, 20, 30}));
}

TEST_F(MouseEffectTest, ModesTheMouseRunsItselfComputeNothing) {
  for (uint8_t mode : {3, 4, 6, 7, 255}) {
    record.SetMode(mode);
    state.SetPhase(5);
    frame.fill(0x11);
    EXPECT_FALSE(Frame());
    EXPECT_EQ(state.phase(), 5);
    EXPECT_EQ(frame[0], 0x11);
  }
}

}  // namespace
}  // namespace talvo::lighting
