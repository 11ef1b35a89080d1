#include "lighting/effect_engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>

#include "lighting/colour_tables.h"

namespace talvo::lighting {
namespace {

TEST(ColourTablesTest, WheelRunsRedGreenBlueAndRepeatsItsStart) {
  EXPECT_EQ(kColourWheel[0], (Rgb{255, 1, 0}));
  EXPECT_EQ(kColourWheel[31], (Rgb{255, 255, 0}));   // yellow
  EXPECT_EQ(kColourWheel[32], (Rgb{248, 255, 0}));
  EXPECT_EQ(kColourWheel[63], (Rgb{0, 255, 0}));     // green
  EXPECT_EQ(kColourWheel[64], (Rgb{0, 255, 1}));
  EXPECT_EQ(kColourWheel[95], (Rgb{0, 255, 255}));   // cyan
  EXPECT_EQ(kColourWheel[127], (Rgb{0, 0, 255}));    // blue
  EXPECT_EQ(kColourWheel[128], (Rgb{1, 0, 255}));
  EXPECT_EQ(kColourWheel[159], (Rgb{255, 0, 255}));  // magenta
  EXPECT_EQ(kColourWheel[191], (Rgb{255, 0, 0}));    // back at red
  for (size_t i = 192; i < 256; ++i) EXPECT_EQ(kColourWheel[i], kColourWheel[i - 192]) << i;
}

TEST(ColourTablesTest, BreathCurvesRiseAndFallThroughTheirPeaks) {
  EXPECT_EQ(kBreath96[0], 22);
  EXPECT_EQ(kBreath96[9], 49);
  EXPECT_EQ(kBreath96[47], 255);
  EXPECT_EQ(kBreath96[48], 255);
  EXPECT_EQ(kBreath96[49], 248);
  EXPECT_EQ(kBreath96[95], 22);

  EXPECT_EQ(kBreath128[0], 0);
  EXPECT_EQ(kBreath128[10], 10);
  EXPECT_EQ(kBreath128[11], 12);
  EXPECT_EQ(kBreath128[15], 20);
  EXPECT_EQ(kBreath128[16], 22);
  EXPECT_EQ(kBreath128[63], 255);
  EXPECT_EQ(kBreath128[64], 255);
  EXPECT_EQ(kBreath128[111], 22);
  EXPECT_EQ(kBreath128[112], 20);
  EXPECT_EQ(kBreath128[127], 0);
}

TEST(ColourTablesTest, KeyboardDelaysByModeAndSpeed) {
  EXPECT_EQ(KbDelay(0, 0), 2u);
  EXPECT_EQ(KbDelay(4, 0), 3u);
  EXPECT_EQ(KbDelay(7, 0), 3u);
  EXPECT_EQ(KbDelay(12, 0), 3u);
  EXPECT_EQ(KbDelay(5, 0), 9u);
  for (uint8_t mode = 0; mode < kKeyboardModes; ++mode) {
    EXPECT_EQ(KbDelay(mode, 1), 13u);
    EXPECT_EQ(KbDelay(mode, 4), 45u);
    EXPECT_EQ(KbDelay(mode, 5), 29u);
    EXPECT_EQ(KbDelay(mode, 14), 65u);
  }
  // Bytes beyond the table, as a damaged light file may hold them.
  EXPECT_EQ(KbDelay(200, 0), 9u);
  EXPECT_EQ(KbDelay(0, 200), 65u);
}

TEST(StepPhaseTest, WrapsAtTheLengthInBothDirections) {
  EXPECT_EQ(NextPhase(0, 0, 192), 191);
  EXPECT_EQ(NextPhase(191, 1, 192), 0);
  EXPECT_EQ(NextPhase(190, 1, 192), 191);
  EXPECT_EQ(NextPhase(127, 1, 128), 0);
  EXPECT_EQ(NextPhase(1, 0, 128), 0);
  // A phase left high by a longer curve comes back into range.
  EXPECT_EQ(NextPhase(150, 1, 96), 0);
  EXPECT_EQ(NextPhase(150, 0, 96), 95);
  // Any nonzero direction counts as the first one.
  EXPECT_EQ(NextPhase(5, 7, 96), 6);

  KbEffectState state;
  EXPECT_EQ(StepPhase(state, 0, 192), 191);
  EXPECT_EQ(state.phase(), 191);
  EXPECT_EQ(StepPhase(state, 1, 192), 0);
  EXPECT_EQ(state.phase(), 0);
}

TEST(ScaleColourTest, KeyboardScalesByTheLevelItself) {
  KbEffectState state;
  state.SetWork({255, 128, 1});
  ScaleColour(state, 255);
  EXPECT_EQ(state.work(), (Rgb{254, 127, 0}));
  ScaleColour(state, 0);
  EXPECT_EQ(state.work(), (Rgb{0, 0, 0}));
}

TEST(DecayGlowTest, StepsShrinkWithTheGlowAndModeFiveKeepsAFaintAfterGlow) {
  struct Case {
    uint8_t from;
    uint8_t mode5;
    uint8_t other;
  };
  const Case cases[] = {
      {255, 215, 225}, {128, 88, 98}, {127, 97, 107}, {64, 34, 44}, {63, 53, 53}, {32, 22, 22},
      {31, 23, 26},    {17, 9, 12},   {16, 16, 12},   {9, 9, 5},    {8, 0, 0},    {1, 0, 0},
      {0, 0, 0},
  };
  for (const Case& c : cases) {
    KbEffectState state;
    state.SetGlow(40, c.from);
    DecayGlow(state, 40, 5);
    EXPECT_EQ(state.glow(40), c.mode5) << "mode 5 from " << int{c.from};
    state.SetGlow(40, c.from);
    DecayGlow(state, 40, 9);
    EXPECT_EQ(state.glow(40), c.other) << "mode 9 from " << int{c.from};
  }

  // A full glow decaying every frame in mode 5 settles in 9..16 and stays.
  KbEffectState state;
  state.SetGlow(7, 255);
  for (int frame = 0; frame < 40; ++frame) DecayGlow(state, 7, 5);
  EXPECT_GE(state.glow(7), 9);
  EXPECT_LE(state.glow(7), 16);
  const uint8_t settled = state.glow(7);
  DecayGlow(state, 7, 5);
  EXPECT_EQ(state.glow(7), settled);
  // Other modes take it all the way down.
  for (int frame = 0; frame < 10; ++frame) DecayGlow(state, 7, 6);
  EXPECT_EQ(state.glow(7), 0);
}

// The (column, row) cells any front has set, rows 0..7.
std::set<std::pair<int, int>> FrontCells(const KbEffectState& state) {
  std::set<std::pair<int, int>> cells;
  for (size_t f = 0; f < kWaveFronts; ++f)
    for (size_t c = 0; c < kMatrixColumns; ++c)
      for (int r = 0; r < 8; ++r)
        if (state.front(f, c) >> r & 1) cells.insert({static_cast<int>(c), r});
  return cells;
}

TEST(WaveTest, SeedGrowsIntoADiamondRing) {
  KbEffectState state;
  SeedWave(state, 50);  // column 9, row 2
  for (size_t f = 0; f < kWaveFronts; ++f) EXPECT_EQ(state.front(f, 9), 1u << 2);

  for (int t = 1; t <= 4; ++t) {
    AdvanceWaves(state);
    std::set<std::pair<int, int>> ring;
    for (int c = 0; c < static_cast<int>(kMatrixColumns); ++c)
      for (int r = 0; r < 8; ++r)
        if (std::abs(c - 9) + std::abs(r - 2) == t) ring.insert({c, r});
    EXPECT_EQ(FrontCells(state), ring) << "after " << t << " steps";
  }
}

TEST(WaveTest, FrontsLeavingTheMatrixAreLost) {
  KbEffectState state;
  SeedWave(state, 105);  // column 0, row 5
  for (int t = 0; t < 30; ++t) AdvanceWaves(state);
  EXPECT_TRUE(FrontCells(state).empty());
}

TEST(WaveTest, LightWavesGlowsPresentKeysUnderAFrontAndHandsOutHues) {
  KbEffectState state;
  state.SetHueTick(250);
  // Column 12: rows 0..3 are keys 9, 32, 53, 74; row 4 has no key; bit 6
  // is below the bottom row.
  state.SetFront(KbEffectState::kLeftUp, 12, 0b0000'0011);
  state.SetFront(KbEffectState::kRightDown, 12, 0b0101'0000);
  LightWaves(state, true);
  EXPECT_EQ(state.glow(9), 255);
  EXPECT_EQ(state.glow(32), 255);
  EXPECT_EQ(state.glow(53), 0);
  EXPECT_EQ(state.hue(9), 5);  // 250 + 11 wraps
  EXPECT_EQ(state.hue(32), 16);
  EXPECT_EQ(state.hueTick(), 16);

  KbEffectState plain;
  plain.SetFront(KbEffectState::kLeftUp, 12, 0b0000'1000);
  LightWaves(plain, false);
  EXPECT_EQ(plain.glow(74), 255);
  EXPECT_EQ(plain.hue(74), 0);
  EXPECT_EQ(plain.hueTick(), 0);
}

TEST(WaveTest, SeedingAnLedWithoutAKeyCellChangesNothing) {
  KbEffectState state;
  SeedWave(state, 16);  // an engine LED no key-matrix cell holds
  SeedWave(state, kNoLed);
  EXPECT_TRUE(FrontCells(state).empty());
}

TEST(ResetKbStateTest, ClearsTheEffectButKeepsTheHueCounter) {
  KbEffectState state;
  state.SetPhase(9);
  state.SetStage(3);
  state.SetGlow(125, 200);
  state.SetHue(0, 17);
  SeedWave(state, 51);
  state.SetHueTick(77);
  ResetKbState(state);
  EXPECT_EQ(state.phase(), 0);
  EXPECT_EQ(state.stage(), 0);
  EXPECT_EQ(state.glow(125), 0);
  EXPECT_EQ(state.hue(0), 0);
  EXPECT_TRUE(FrontCells(state).empty());
  EXPECT_EQ(state.hueTick(), 77);
}

}  // namespace
}  // namespace talvo::lighting
