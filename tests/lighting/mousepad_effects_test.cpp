#include "lighting/mousepad_effects.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <iterator>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/device_report.h"
#include "lighting/colour_tables.h"
#include "sim/simulated_backend.h"

namespace talvo::lighting {
namespace {

using namespace std::chrono_literals;

Rgb Led(const MousepadFrame& frame, size_t n) {
  return {frame.bytes[3 * n], frame.bytes[3 * n + 1], frame.bytes[3 * n + 2]};
}

// One character per grid column: X lit, . dark.
std::string Columns(const MousepadFrame& frame) {
  std::string out;
  for (size_t c = 0; c < kMousepadGridColumns; ++c) out += frame.alpha[kMousepadGrid[4][c]] != 0 ? 'X' : '.';
  return out;
}

// One character per LED: X lit, . dark.
std::string Lit(const MousepadFrame& frame) {
  std::string out;
  for (size_t n = 0; n < kMousepadLeds; ++n) out += frame.alpha[n] != 0 ? 'X' : '.';
  return out;
}

struct MousepadEffectTest : ::testing::Test {
  MousepadEffectTest() { record.SetBrightness(4); }
  size_t Run(uint8_t mode) {
    frame = MousepadFrame{};
    MousepadEffectContext context{record, frame, wait};
    return modes[mode].run(context);
  }

  LightRecord record;
  MousepadEffectState state;
  KbEffectState keyboard;
  std::atomic<uint32_t> trigger{0};
  uint32_t now = 1000;
  MousepadModeTable modes = MousepadModes(state, keyboard, trigger, [this] { return now; });
  std::stop_source stopped;
  // Sleeps inside an effect end at once.
  StopWait wait{[this] {
    stopped.request_stop();
    return stopped.get_token();
  }()};
  MousepadFrame frame;
};

TEST_F(MousepadEffectTest, SleepsLengthsAndBrightnessZero) {
  struct Case {
    uint8_t mode;
    unsigned sleepAt0, sleepAt4;
    size_t length;
  };
  const Case cases[] = {{0, 0, 0, 45},   {1, 0, 0, 45}, {2, 0, 0, 60},   {3, 0, 0, 60}, {4, 100, 140, 45},
                        {5, 50, 50, 45}, {6, 0, 0, 45}, {7, 50, 70, 45}, {8, 0, 0, 60}};
  record.SetBrightness(0);
  record.SetMultiColour(1);
  record.SetColour({255, 255, 255});
  for (const Case& c : cases) {
    StartMousepadMode(c.mode, state, trigger);
    state.SetPhase(62);  // the breath at its top
    state.SetBarLevel(7);
    trigger = 1;
    EXPECT_EQ(modes[c.mode].sleep.For(0).count(), c.sleepAt0) << int{c.mode};
    EXPECT_EQ(modes[c.mode].sleep.For(4).count(), c.sleepAt4) << int{c.mode};
    EXPECT_EQ(Run(c.mode), c.length) << int{c.mode};
    EXPECT_EQ(frame.bytes, MousepadFrame{}.bytes) << int{c.mode};
    EXPECT_EQ(frame.alpha, MousepadFrame{}.alpha) << int{c.mode};
  }
}

TEST_F(MousepadEffectTest, EachLedTakesItsWheelStep) {
  struct Case {
    const char* name;
    uint8_t mode, direction, multi, phase;
    std::array<uint8_t, kMousepadLeds> wheel;
  };
  const Case cases[] = {
      {"wave", 0, 1, 1, 185, {186, 1, 8, 15, 22, 29, 36, 43, 50, 57, 64, 71, 78, 85, 92}},
      {"spectrum", 1, 0, 1, 0, {191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 191}},
      // Whatever multiColour says.
      {"column wave", 6, 0, 0, 0, {191, 191, 191, 191, 191, 6, 13, 20, 27, 34, 41, 41, 41, 41, 41}},
      {"full bar", 4, 0, 1, 0, {0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77, 84, 91, 98}},
  };
  record.SetColour({1, 2, 3});
  for (const Case& c : cases) {
    record.SetDirection(c.direction);
    record.SetMultiColour(c.multi);
    state.SetPhase(c.phase);
    state.SetBarLevel(14);
    Run(c.mode);
    for (size_t n = 0; n < kMousepadLeds; ++n) {
      EXPECT_EQ(Led(frame, n), ColourWheel(c.wheel[n])) << c.name << " LED " << n;  // level 255 keeps it whole
      EXPECT_EQ(frame.colour[n], PackPreviewColour(ColourWheel(c.wheel[n]))) << c.name << " LED " << n;
    }
  }
}

TEST_F(MousepadEffectTest, BreathsScaleByBreathAndLevel) {
  record.SetColour({200, 100, 50});
  record.SetBrightness(2);  // L = 150
  record.SetDirection(1);
  Run(0);                                      // k = 1, each LED 10 steps further along the 96-step curve
  EXPECT_EQ(Led(frame, 0), (Rgb{11, 5, 2}));   // breath 24
  EXPECT_EQ(Led(frame, 1), (Rgb{26, 13, 6}));  // breath 57
  EXPECT_EQ(Led(frame, 10), (Rgb{16, 8, 4}));  // 101 − 96 = 5: breath 36
  EXPECT_EQ(frame.alpha[9], 19);               // breath 33 on the way down
  EXPECT_EQ(frame.colour[9], PackPreviewColour({200, 100, 50}));

  record.SetBrightness(3);  // L = 200
  state.SetPhase(39);
  EXPECT_EQ(Run(2), 60u);  // k = 40, breath 114: first the breath, then the level
  EXPECT_EQ(Led(frame, 14), (Rgb{69, 34, 17}));
  EXPECT_EQ(frame.alpha[14], 89);

  record.SetMultiColour(1);
  record.SetBrightness(4);
  record.SetStepCounter(2);
  state.SetPhase(127);
  Run(2);  // k = 0: dark, and the counter wraps
  EXPECT_EQ(Led(frame, 3), (Rgb{0, 0, 0}));
  EXPECT_EQ(frame.colour[3], PackPreviewColour(ColourWheel(50)));
  EXPECT_EQ(record.stepCounter(), 0);
}

TEST_F(MousepadEffectTest, StaticAtFullBrightnessKeeps255) {
  record.SetColour({255, 0, 0});
  EXPECT_EQ(Run(3), 60u);
  for (size_t n = 0; n < kMousepadLeds; ++n) EXPECT_EQ(Led(frame, n), (Rgb{255, 0, 0})) << n;
  for (size_t i = kMousepadFrameBytes; i < kMousepadFrameMax; ++i) EXPECT_EQ(frame.bytes[i], 0) << i;
  record.SetBrightness(1);  // 255 × 91 >> 8
  Run(3);
  EXPECT_EQ(Led(frame, 7), (Rgb{90, 0, 0}));
  EXPECT_EQ(frame.alpha[7], 90);
}

TEST_F(MousepadEffectTest, BarGrowsAndShrinksFromEitherEnd) {
  struct Case {
    int8_t level;
    uint8_t falling, direction;
    int8_t levelAfter;
    uint8_t fallingAfter;
    const char* lit;
  };
  const Case cases[] = {
      {-1, 0, 0, 0, 0, "..............."},
      {3, 0, 0, 4, 0, "XXXX..........."},
      {14, 0, 0, 15, 1, "XXXXXXXXXXXXXXX"},
      {15, 1, 0, 14, 1, "XXXXXXXXXXXXXX."},
      {0, 1, 0, -1, 0, "..............."},
      {0, 1, 1, -1, 0, "XXXXXXXXXXXXXXX"},
      {3, 0, 1, 4, 0, ".....XXXXXXXXXX"},
      {14, 0, 1, 15, 1, "..............."},
      // Levels no bar reaches come back to the nearer end.
      {100, 0, 0, 15, 1, "XXXXXXXXXXXXXXX"},
      {-50, 1, 0, -1, 0, "..............."},
  };
  for (const Case& c : cases) {
    state.SetBarLevel(c.level);
    state.SetBarFalling(c.falling);
    record.SetDirection(c.direction);
    Run(4);
    EXPECT_EQ(state.barLevel(), c.levelAfter) << int{c.level};
    EXPECT_EQ(state.barFalling(), c.fallingAfter) << int{c.level};
    EXPECT_EQ(Lit(frame), c.lit) << int{c.level} << " direction " << int{c.direction};
  }
}

TEST_F(MousepadEffectTest, CometFlaresTheRingMovesItAndGlowsFade) {
  record.SetColour({200, 100, 50});
  StartMousepadMode(5, state, trigger);
  Run(5);
  EXPECT_EQ(state.ring(0), 0);
  EXPECT_EQ(state.ring(1), 1);
  EXPECT_EQ(Led(frame, 0), (Rgb{176, 88, 44}));  // glow 225
  EXPECT_EQ(frame.alpha[0], 224);
  record.SetDirection(1);
  Run(5);
  EXPECT_EQ(state.ring(0), 1);

  // Around the end the other way, with a hue from the keyboard's counter.
  record.SetDirection(0);
  record.SetMultiColour(1);
  keyboard.SetHueTick(190);
  StartMousepadMode(5, state, trigger);
  state.SetRing(0, 0);
  state.SetRing(14, 1);
  Run(5);
  EXPECT_EQ(state.ring(0), 1);
  EXPECT_EQ(keyboard.hueTick(), 201);
  EXPECT_EQ(frame.colour[14], PackPreviewColour(ColourWheel(9)));  // hue 201 reads as 9

  // An empty ring only fades what glows.
  StartMousepadMode(0, state, trigger);
  const uint8_t before[] = {255, 128, 127, 64, 63, 32, 31, 17, 16, 1, 0};
  const uint8_t after[] = {225, 98, 107, 44, 53, 22, 26, 12, 15, 0, 0};
  for (size_t n = 0; n < std::size(before); ++n) state.SetGlow(n, before[n]);
  Run(5);
  for (size_t n = 0; n < std::size(after); ++n) EXPECT_EQ(state.glow(n), after[n]) << int{before[n]};
  EXPECT_EQ(keyboard.hueTick(), 201);
}

TEST_F(MousepadEffectTest, SweepEntersLeftLeavesRightAndComesBackWithTurnsBetween) {
  record.SetMultiColour(1);
  std::vector<std::string> seen;
  for (int pass = 0; pass < 32; ++pass) seen.push_back(Run(7) == 0 ? "-" : Columns(frame));
  const std::vector<std::string> expected{"X......", "XX.....", "XXX....", "XXXX...", "XXXXX..", "XXXXXX.", ".XXXXXX",
                                          "..XXXXX", "...XXXX", "....XXX", ".....XX", "......X", ".......", ".......",
                                          "-",       ".......", ".......", "......X", ".....XX", "....XXX", "...XXXX",
                                          "..XXXXX", ".XXXXXX", "XXXXXX.", "XXXXX..", "XXXX...", "XXX....", "XX.....",
                                          "X......", ".......", "-",       "X......"};
  EXPECT_EQ(seen, expected);

  // Lit columns take the wheel 20 steps apart from a phase that steps down.
  StartMousepadMode(7, state, trigger);
  Run(7);
  Run(7);  // phase 190
  EXPECT_EQ(Led(frame, 0), ColourWheel(190));
  EXPECT_EQ(Led(frame, 5), ColourWheel(18));
}

TEST(MousepadSweepTurn, PausesASecondWithoutAFrame) {
  LightRecord record;
  MousepadEffectState state;
  KbEffectState keyboard;
  std::atomic<uint32_t> trigger{0};
  const MousepadModeTable modes = MousepadModes(state, keyboard, trigger);
  state.SetFillCount(14);
  MousepadFrame frame;
  StopWait wait{std::stop_token{}};
  MousepadEffectContext context{record, frame, wait};
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(modes[7].run(context), 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 1000ms);
  EXPECT_EQ(state.fillOn(), 0);
}

TEST_F(MousepadEffectTest, FlashLastsPast99MsAndARetriggerTakesTheNextColour) {
  record.SetMultiColour(1);
  struct Step {
    uint32_t at;
    bool trigger;
    bool lit;
    uint8_t pos;
  };
  const Step steps[] = {
      {1000, false, false, 0},  {1000, true, true, 14},   {1099, false, true, 14}, {1100, false, true, 14},
      {1101, false, false, 14}, {2000, true, true, 28},   {2050, true, true, 42},  {2149, false, true, 42},
      {2151, false, true, 42},  {2152, false, false, 42},
  };
  for (const Step& s : steps) {
    now = s.at;
    trigger = s.trigger ? 1 : 0;
    EXPECT_EQ(Run(8), 60u);
    EXPECT_EQ(trigger.load(), 0u);
    EXPECT_EQ(Led(frame, 9), s.lit ? ColourWheel(s.pos) : Rgb{}) << s.at;
    EXPECT_EQ(frame.alpha[9], s.lit ? 255 : 0) << s.at;
  }
  // Past the circle the colour starts again; a clock that wraps keeps the flash.
  state.SetFlashPos(182);
  now = 0xFFFFFFF0;
  trigger = 1;
  Run(8);
  EXPECT_EQ(state.flashPos(), 0);
  now = 0x20;
  Run(8);
  EXPECT_EQ(Led(frame, 0), (Rgb{255, 1, 0}));
}

TEST_F(MousepadEffectTest, ChoosingTheFlashDropsALeftoverRequest) {
  for (uint8_t mode : {0, 5, 8}) {
    trigger = 1;
    state.SetBarLevel(9);
    StartMousepadMode(mode, state, trigger);
    EXPECT_EQ(trigger.load(), mode == 8 ? 0u : 1u) << int{mode};
    EXPECT_EQ(state.ring(0), mode == 5 ? 1 : 0) << int{mode};
    EXPECT_EQ(state.barLevel(), 0) << int{mode};
  }
  Run(8);
  EXPECT_EQ(Lit(frame), "...............");
}

// Every byte of the state at its highest and a brightness beyond the list:
// each mode still reads only inside its tables (checked under ASan) and
// brings its phase back into its cycle.
TEST_F(MousepadEffectTest, StatesBeyondEveryTableStayInBounds) {
  const size_t lengths[] = {45, 45, 60, 60, 45, 45, 45, 45, 60};
  const unsigned cycle[] = {192, 192, 128, 256, 256, 256, 192, 192, 256};
  record.SetBrightness(0xFF);
  record.SetMultiColour(1);
  for (uint8_t direction : {0, 1}) {
    record.SetDirection(direction);
    for (uint8_t mode = 0; mode < kMousepadComputedModes; ++mode) {
      state.SetPhase(0xFF);
      for (size_t n = 0; n < kMousepadLeds; ++n) {
        state.SetGlow(n, 0xFF);
        state.SetHue(n, 0xFF);
        state.SetRing(n, 0xFF);
      }
      state.SetBarLevel(127);
      state.SetBarFalling(0xFF);
      state.SetFillOn(0xFF);
      state.SetFillPattern(-1);
      state.SetFillCount(0xFF);
      state.SetFlashOn(0xFF);
      state.SetFlashPos(0xFF);
      trigger = 1;
      for (int pass = 0; pass < 3; ++pass) {
        const size_t length = Run(mode);
        EXPECT_TRUE(length == 0 || length == lengths[mode]) << int{mode};
      }
      EXPECT_LT(state.phase(), cycle[mode]) << int{mode};
      if (mode == 4) {
        EXPECT_LE(state.barLevel(), 15);
      }
    }
  }
}

}  // namespace
}  // namespace talvo::lighting
