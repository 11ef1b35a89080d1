#include "lighting/keyboard_effects.h"

#include <gtest/gtest.h>

#include <stop_token>
#include <vector>

#include "lighting/colour_tables.h"

namespace talvo::lighting {
namespace {

struct KeyboardEffectTest : ::testing::Test {
  KeyboardEffectTest() {
    lighting.record.SetBrightness(4);
    lighting.record.SetColour({200, 100, 50});
  }
  void Run(uint8_t mode) {
    lighting.record.SetMode(mode);
    modes[mode].run(context);
  }
  KeyboardFrame Frame() {
    KeyboardFrame frame;
    KeyboardPreview preview;
    BuildKeyboardFrame(leds, frame, preview);
    return frame;
  }
  void SeedColumn(size_t column, uint8_t bit) {
    for (size_t f = 0; f < kWaveFronts; ++f) state.SetFront(f, column, bit);
  }

  KeyboardLighting lighting;
  KbEffectState state;
  LedStates leds;
  StopWait wait{std::stop_token{}};
  KeyboardEffectContext context{lighting, state, leds, wait};
  const KeyboardModeTable modes = KeyboardModes();
};

TEST_F(KeyboardEffectTest, BrightnessZeroDarkensEveryMode) {
  lighting.record.SetBrightness(0);
  lighting.record.SetColour({255, 255, 255});
  for (uint8_t multi : {0, 1}) {
    lighting.record.SetMultiColour(multi);
    for (uint8_t mode = 0; mode < kKeyboardModes; ++mode) {
      for (size_t i = 0; i < kKeyboardLeds; ++i) {
        leds.Set(i, {255, 255, 255}, 255);
        state.SetGlow(i, 250);
        lighting.custom.SetColour(0, i, {255, 255, 255});
      }
      Run(mode);
      for (uint8_t byte : Frame()) ASSERT_EQ(byte, 0) << "mode " << int{mode} << " multi " << int{multi};
    }
  }
}

// One frame of a moving effect from a given counter: the counter it leaves
// and what one LED shows. Colour (200, 100, 50), brightness 4 unless set.
struct MovingCase {
  uint8_t mode, direction, multi, brightness, phase, snakePos;
  uint8_t led;
  LedState shown;
  uint8_t phaseAfter, snakeAfter;
};

TEST_F(KeyboardEffectTest, MovingEffectsStepTheirCounterAndPaintTheirBands) {
  const MovingCase cases[] = {
      // Wave: columns 7 wheel steps apart, working colour scaled by L.
      {0, 1, 1, 4, 0, 0, 0, {254, 72, 0, 255}, 1, 0},        // column 2: wheel 15
      {0, 0, 1, 4, 0, 0, 105, {254, 0, 0, 255}, 191, 0},     // column 0: wheel 191
      {0, 0, 0, 4, 0, 0, 105, {17, 8, 4, 48}, 95, 0},        // breath 22, level from breath 9
      {1, 1, 0, 2, 10, 0, 64, {149, 25, 0, 150}, 11, 0},     // wheel 11 scaled by 150
      {2, 0, 1, 4, 64, 0, 7, {0, 61, 255, 254}, 63, 0},      // wheel 113 at the top of the breath
      {2, 1, 0, 4, 127, 0, 7, {200, 100, 50, 0}, 0, 0},      // wraps to the dark point
      {7, 1, 1, 4, 0, 0, 15, {255, 3, 0, 255}, 1, 0},        // first of the spiral: wheel 1
      {7, 1, 1, 4, 0, 0, 77, {10, 0, 255, 255}, 1, 0},       // last: wheel 1 + 5 × 103 − 2 × 192
      {7, 0, 0, 4, 0, 0, 14, {200, 100, 50, 32}, 95, 0},     // second of the spiral: breath 4
      {10, 1, 0, 4, 0, 190, 0, {255, 0, 0, 255}, 0, 191},    // row 0: wheel 191
      {10, 1, 0, 4, 0, 250, 21, {255, 164, 0, 255}, 0, 0},   // a counter past the wheel restarts
      {13, 1, 0, 4, 0, 0, 51, {255, 176, 0, 255}, 4, 0},     // outwards by 4: wheel 25
      {13, 0, 0, 4, 100, 0, 51, {0, 24, 255, 255}, 98, 0},   // inwards by 2: wheel 119
      {13, 0, 0, 4, 0, 0, 51, {255, 129, 0, 255}, 192, 0},   // below 0 to 192: wheel 21
      {14, 0, 1, 4, 0, 0, 0, {255, 7, 0, 255}, 0, 191},      // column 2: wheel 191 + 4
      {14, 1, 0, 4, 10, 0, 105, {104, 51, 25, 254}, 11, 0},  // pulse 134, level from pulse 16
  };
  for (const MovingCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << int{c.mode} << " led " << int{c.led});
    lighting.record.SetDirection(c.direction);
    lighting.record.SetMultiColour(c.multi);
    lighting.record.SetBrightness(c.brightness);
    state.SetPhase(c.phase);
    state.SetSnakePos(c.snakePos);
    Run(c.mode);
    EXPECT_EQ(leds.Get(c.led), c.shown);
    EXPECT_EQ(state.phase(), c.phaseAfter);
    EXPECT_EQ(state.snakePos(), c.snakeAfter);
  }
}

TEST_F(KeyboardEffectTest, CustomShowsTheChosenSetAndReadsABadIndexAsTheFirst) {
  lighting.custom.SetColour(0, 0, {10, 20, 30});
  lighting.custom.SetColour(4, 0, {40, 50, 60});
  const std::pair<uint8_t, Rgb> cases[] = {
      {0, {10, 20, 30}}, {4, {40, 50, 60}}, {5, {10, 20, 30}}, {0xFF, {10, 20, 30}}};
  for (auto [index, colour] : cases) {
    lighting.paint.SetCustomSetIndex(index);
    leds.Set(16, {1, 2, 3}, 9);  // no frame position: painted unpainted
    Run(8);
    EXPECT_EQ(leds.Get(0), (LedState{colour.red, colour.green, colour.blue, 255})) << int{index};
    EXPECT_EQ(leds.Get(16), (LedState{0, 0, 0, 255}));
  }
}

TEST_F(KeyboardEffectTest, StarsLightThreeKeysAFrameAndRepeatAfter104Frames) {
  lighting.record.SetMultiColour(1);
  state.SetHueTick(0);
  auto lit = [&] {
    std::vector<size_t> out;
    for (size_t i = 0; i < kKeyboardLeds; ++i)
      if (state.glow(i) == 225) out.push_back(i);  // 255 after one fade
    return out;
  };
  Run(9);
  EXPECT_EQ(lit(), (std::vector<size_t>{75, 85, 109}));
  EXPECT_EQ(state.hue(85), 30);  // the third star of the frame
  for (int n = 0; n < 104; ++n) Run(9);
  EXPECT_EQ(lit(), (std::vector<size_t>{75, 85, 109}));

  state.SetStarPos(200);  // past the order: starts again at its first key
  Run(9);
  EXPECT_EQ(state.glow(46), 225);
}

TEST_F(KeyboardEffectTest, TypingSnakeRestsAFrameAtEachEndAndRestartsAPositionPastTheWalk) {
  struct Case {
    uint8_t direction, pos;
    int head;  // -1: no new head this frame
    uint8_t next;
  };
  const Case cases[] = {
      {1, 0, 0, 1},      {1, 105, 105, 106}, {1, 106, -1, 0},    {1, 62, -1, 63},  // 62 is a gap in the walk
      {0, 1, 1, 0},      {0, 0, -1, 105},    {0, 105, 105, 104}, {1, 150, -1, 0},
      {0, 150, -1, 105}, {0, 255, -1, 105},  // left by the rainbows or sync
  };
  lighting.record.SetColour({255, 255, 255});
  // The hue counter is the mousepad comet's too: every head moves it, in one colour as well.
  for (uint8_t multi : {0, 1}) {
    lighting.record.SetMultiColour(multi);
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "multi " << int{multi} << " direction " << int{c.direction} << " from "
                                        << int{c.pos});
      ResetKbState(state);
      state.SetHueTick(0);
      lighting.record.SetDirection(c.direction);
      state.SetSnakePos(c.pos);
      Run(12);
      EXPECT_EQ(state.snakePos(), c.next);
      EXPECT_EQ(state.hueTick(), c.head < 0 ? 0 : 13);
      for (size_t i = 0; i < kKeyboardLeds; ++i) EXPECT_EQ(state.glow(i), int(i) == c.head ? 224 : 0) << i;
    }
  }
  // The head's trail in the frame: 254 faded once, white at level 223.
  lighting.record.SetMultiColour(0);
  lighting.record.SetDirection(1);
  state.SetSnakePos(16);
  Run(12);
  EXPECT_EQ(Frame()[3 * 41], 222);
}

// Frames (from 1) after which `led` has just been lit: 255 faded once.
std::vector<int> FreshFrames(KeyboardEffectTest& t, uint8_t mode, size_t led, int frames, uint8_t fresh) {
  std::vector<int> out;
  for (int n = 1; n <= frames; ++n) {
    t.Run(mode);
    if (t.state.glow(led) == fresh) out.push_back(n);
  }
  return out;
}

TEST_F(KeyboardEffectTest, BounceRippleAlternatesBottomAndTopEverySixFramesAndKeepsItsAfterGlow) {
  SeedColumn(9, 1u << 6);
  EXPECT_EQ(FreshFrames(*this, 5, 6, 19, 215), (std::vector<int>{7, 19}));  // row 0 of column 9
  ResetKbState(state);
  SeedColumn(9, 1u << 6);
  EXPECT_EQ(FreshFrames(*this, 5, 109, 19, 215), (std::vector<int>{2, 12, 14}));  // row 5

  // A glow of 16 stays lit faintly; other modes fade it on.
  ResetKbState(state);
  lighting.record.SetColour({255, 255, 255});
  state.SetGlow(0, 16);
  Run(5);
  EXPECT_EQ(state.glow(0), 16);
  EXPECT_EQ(Frame()[0], 14);  // level 255 × 16 >> 8 = 15
  Run(12);
  EXPECT_EQ(state.glow(0), 12);
}

TEST_F(KeyboardEffectTest, EdgeRippleStartsRingsAtBothCornersInA48FrameCycle) {
  SeedColumn(1, 1u << 0);
  std::vector<int> topLeft, bottomRight;
  for (int n = 1; n <= 75; ++n) {
    Run(15);
    // Only a new seed puts these bits there: fronts never move into them.
    if (state.front(KbEffectState::kRightDown, 1) == 0x02) topLeft.push_back(n);
    if (state.front(KbEffectState::kLeftUp, 22) == 0x20) bottomRight.push_back(n);
  }
  EXPECT_EQ(topLeft, (std::vector<int>{1, 49}));
  EXPECT_EQ(bottomRight, (std::vector<int>{22, 70}));
}

TEST_F(KeyboardEffectTest, ShowcaseRunsItsFourStagesAndRestartsASweepPhaseBeyondItsTable) {
  std::vector<std::pair<int, uint8_t>> changes;
  uint8_t stage = 0;
  for (int n = 1; n <= 70; ++n) {
    Run(6);
    if (state.stage() != stage) changes.emplace_back(n, stage = state.stage());
  }
  const std::vector<std::pair<int, uint8_t>> expected = {{20, 1}, {36, 2}, {37, 3}, {52, 4}, {67, 0}};
  EXPECT_EQ(changes, expected);

  ResetKbState(state);
  state.SetPhase(150);
  Run(6);
  EXPECT_EQ(state.phase(), 1);
  EXPECT_EQ(state.glow(0), 225);  // the sweep's first step: keys 0 and 118
  EXPECT_EQ(state.glow(118), 225);
}

TEST_F(KeyboardEffectTest, PulsesWalkTheCurveAndTakeANewColourAsTheyRestart) {
  struct Case {
    uint8_t mode, pos, next, level;
  };
  const Case cases[] = {
      {11, 4, 5, 32},  {11, 15, 16, 254}, {11, 63, 64, 19}, {11, 79, 80, 0}, {11, 191, 0, 0},
      {11, 255, 0, 0}, {16, 62, 63, 21},  {16, 191, 0, 0},  {16, 230, 0, 0},
  };
  lighting.record.SetMultiColour(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << int{c.mode} << " from " << int{c.pos});
    const bool keyPulse = c.mode == 11;
    keyPulse ? state.SetGlow(30, c.pos) : state.SetPulsePos(30, c.pos);
    state.SetHue(30, 3);
    state.SetHueTick(20);
    Run(c.mode);
    EXPECT_EQ(keyPulse ? state.glow(30) : state.pulsePos(30), c.next);
    const uint8_t hue = c.next == 0 ? (keyPulse ? 25 : 30) : 3;
    EXPECT_EQ(state.hue(30), hue);
    EXPECT_EQ(leds.Get(30).level, c.level);
  }
}

// States another mode, a file or synchronized lighting can leave behind:
// every mode must read only inside its tables (checked under ASan, which
// sees a read just past a table; hence 20, 104 and 106, the lengths of the
// sweep, the star order and the typing walk).
TEST_F(KeyboardEffectTest, EveryModeStaysInsideItsTablesFromAnyLeftoverState) {
  lighting.record.SetMultiColour(1);
  lighting.paint.SetCustomSetIndex(0xFF);
  for (uint8_t fill : {0, 20, 103, 104, 106, 150, 191, 192, 255}) {
    for (uint8_t direction : {0, 1}) {
      lighting.record.SetDirection(direction);
      for (uint8_t mode = 0; mode < kKeyboardModes; ++mode) {
        state.SetPhase(fill);
        state.SetStage(fill % 5);  // only the showcase sets its stage
        state.SetSnakePos(fill);
        state.SetStarPos(fill);
        for (size_t i = 0; i < kKeyboardLeds; ++i) {
          state.SetGlow(i, fill);
          state.SetHue(i, fill);
          state.SetPulsePos(i, fill);
        }
        for (int n = 0; n < 3; ++n) Run(mode);
      }
    }
  }
  // The rainbow rows count the shared position to 191; the typing walk then
  // restarts it.
  lighting.record.SetDirection(0);
  state.SetSnakePos(0);
  Run(10);
  ASSERT_EQ(state.snakePos(), 191);
  Run(12);
  EXPECT_EQ(state.snakePos(), 105);
}

}  // namespace
}  // namespace talvo::lighting
