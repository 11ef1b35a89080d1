#include "lighting/keyboard_effects.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "lighting/colour_tables.h"
#include "lighting/effect_engine.h"
#include "lighting/led_model.h"

namespace talvo::lighting {

namespace {

constexpr unsigned kHueCircle = 192;
// LEDs walked by the spiral effects: every LED that has a frame position.
constexpr size_t kSnakeLeds = 104;
// Last position of the typing walk: 0..105 forwards, 105..1 backwards.
constexpr uint8_t kTypingLast = 105;

constexpr auto kSnakeOrder = std::to_array<uint8_t>({
    15,  14,  13,  12,  11,  10,  9,   8,   7,   6,   5,   4,   3,   2,   1,  0,  21, 42, 63, 84, 105,
    106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119, 41, 40, 39, 38, 37, 36, 35,
    34,  33,  32,  31,  30,  29,  28,  27,  26,  25,  24,  23,  22,  43,  64, 85, 86, 87, 88, 89, 90,
    91,  92,  93,  94,  95,  96,  97,  98,  99,  78,  61,  60,  59,  58,  57, 56, 55, 54, 53, 52, 51,
    50,  49,  48,  47,  46,  45,  44,  65,  66,  67,  68,  69,  70,  71,  72, 73, 74, 75, 76, 77,
});
static_assert(kSnakeOrder.size() == kSnakeLeds);

// Rows walked alternately left to right and right to left; kNoLed where the
// walk passes a gap.
constexpr auto kTypingOrder = std::to_array<uint8_t>({
    0,  1,  2,  3,  4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  15,  41,  40,  39,  38, 37, 36,
    35, 34, 33, 32, 31,  30,  29,  28,  27,  26,  25,  24,  23,  22,  21,  42,  43,  44,  45,  46, 47, 48,
    49, 50, 51, 52, 53,  54,  55,  56,  57,  58,  59,  60,  61,  119, 78,  77,  76,  75,  126, 74, 73, 72,
    71, 70, 69, 68, 67,  66,  65,  64,  63,  84,  126, 85,  86,  87,  88,  89,  90,  91,  92,  93, 94, 95,
    96, 97, 98, 99, 118, 117, 116, 115, 114, 113, 112, 111, 110, 109, 108, 107, 106, 105,
});
static_assert(kTypingOrder.size() == kTypingLast + 1);

// The order in which the stars light, as places in kSnakeOrder: every place
// once, so a full round lights every key.
constexpr auto kStarOrder = std::to_array<uint8_t>({
    88, 24,  101, 57, 49, 20, 5,  14, 16, 69, 35, 34, 83, 94, 6,  61, 10, 23, 39, 3,  102, 17, 65,  22, 36, 51,
    78, 18,  38,  53, 2,  62, 64, 90, 96, 74, 91, 80, 86, 89, 43, 28, 58, 59, 12, 66, 97,  9,  48,  95, 77, 70,
    72, 56,  44,  99, 68, 98, 71, 27, 81, 1,  0,  87, 92, 40, 25, 26, 7,  30, 50, 84, 15,  60, 54,  21, 45, 67,
    19, 103, 33,  41, 55, 52, 13, 47, 42, 93, 46, 75, 37, 73, 32, 79, 8,  29, 31, 4,  85,  76, 100, 82, 11, 63,
});
static_assert(kStarOrder.size() == kSnakeLeds);

constexpr bool IsPermutation(const std::array<uint8_t, kSnakeLeds>& order) {
  std::array<bool, kSnakeLeds> seen{};
  for (uint8_t place : order) {
    if (place >= kSnakeLeds || seen[place]) return false;
    seen[place] = true;
  }
  return true;
}
static_assert(IsPermutation(kStarOrder));

// Twelve rings around key 51, the innermost first.
constexpr std::array<std::array<uint8_t, 12>, 12> kRingGrid = [] {
  std::array<std::array<uint8_t, 12>, 12> rings{};
  for (auto& ring : rings) ring.fill(kNoLed);
  auto put = [&rings](size_t i, std::initializer_list<uint8_t> leds) {
    size_t n = 0;
    for (uint8_t led : leds) rings[i][n++] = led;
  };
  put(0, {51});
  put(1, {30, 50, 71, 72, 52, 31});
  put(2, {8, 29, 49, 70, 91, 92, 93, 73, 53, 32});
  put(3, {7, 28, 48, 69, 90, 109, 94, 74, 54, 33, 9});
  put(4, {6, 27, 47, 68, 89, 110, 95, 75, 55, 34, 10, 11});
  put(5, {5, 26, 46, 67, 88, 108, 111, 112, 56, 35, 12});
  put(6, {4, 25, 45, 66, 87, 113, 96, 57, 36, 13});
  put(7, {3, 24, 44, 65, 86, 114, 115, 58, 37, 15, 14});
  put(8, {2, 23, 43, 64, 85, 107, 97, 76, 59, 38});
  put(9, {1, 22, 42, 63, 84, 106, 116, 98, 77, 60, 39});
  put(10, {0, 21, 105, 117, 99, 78, 61, 40});
  put(11, {118, 119, 41});
  return rings;
}();

// The showcase's opening sweep: up to six LEDs a step.
constexpr uint8_t kNoStep = 255;
constexpr size_t kSweepLength = 20;
constexpr std::array<std::array<uint8_t, 6>, kSweepLength> kSweepSteps = [] {
  std::array<std::array<uint8_t, 6>, kSweepLength> steps{};
  for (auto& step : steps) step.fill(kNoStep);
  auto put = [&steps](size_t i, std::initializer_list<uint8_t> leds) {
    size_t n = 0;
    for (uint8_t led : leds) steps[i][n++] = led;
  };
  put(0, {0, 118});
  put(1, {1, 117});
  put(2, {2, 116});
  put(3, {3, 115, 21, 118});
  put(4, {4, 114, 22, 99});
  put(5, {5, 113, 23, 98});
  put(6, {6, 112, 24, 97, 42, 119});
  put(7, {7, 111, 25, 96, 43, 78});
  put(8, {8, 110, 26, 95, 44, 77});
  put(9, {9, 109, 27, 94, 45, 76});
  put(10, {33, 92, 28, 93, 46});
  put(11, {54, 71, 29, 92, 47});
  put(12, {74, 50, 30, 71, 48, 75});
  put(13, {94, 30, 31, 50, 49, 74});
  put(14, {93, 31, 52, 30, 50, 73});
  put(15, {92, 32, 72, 31, 51, 72});
  put(16, {71, 33, 71, 52, 52, 71});
  put(17, {50, 54, 50, 72, 53});
  put(18, {30, 74});
  put(19, {31, 94});
  return steps;
}();

// The showcase's circling pairs, lit 31 times round in one frame.
constexpr std::array<std::array<uint8_t, 2>, 16> kCirclePairs{{
    {30, 94},
    {31, 93},
    {32, 92},
    {33, 71},
    {54, 50},
    {74, 30},
    {94, 31},
    {93, 32},
    {92, 33},
    {71, 54},
    {50, 74},
    {51, 73},
    {52, 72},
    {53, 51},
    {73, 52},
    {72, 53},
}};
constexpr uint8_t kCircleLightings = 31;

// A pulse: a quick rise to 255, the breathing fall to 22, a short tail to 0
// at index 80, then dark until 191.
constexpr std::array<uint8_t, kHueCircle> kPulseCurve = [] {
  std::array<uint8_t, kHueCircle> curve{};
  size_t i = 0;
  for (uint8_t v : {0, 4, 8, 14, 22, 33, 45, 61, 77, 94, 114, 134, 158, 182, 206, 234, 255}) curve[i++] = v;
  // kBreath96[49..95] falls from 248 to 22.
  for (size_t j = 49; j < kBreath96.size(); ++j) curve[i++] = kBreath96[j];
  for (uint8_t v : {20, 18, 16, 14, 12, 10, 9, 8, 7, 6, 5, 4, 3, 2, 2, 1, 0}) curve[i++] = v;
  return curve;
}();
static_assert(kPulseCurve[16] == 255 && kPulseCurve[17] == 248 && kPulseCurve[63] == 22 && kPulseCurve[64] == 20);

// Colours of the key pulse: 27 named colours, then muted mixtures. The
// mixtures step each channel through 48..176 (red fastest, then green, then
// blue), so no two neighbours are alike and none is glaring.
constexpr std::array<Rgb, 256> kPalette256 = [] {
  std::array<Rgb, 256> palette{{
      {255, 0, 0},     {255, 96, 0},    {255, 255, 0}, {0, 255, 0},    {0, 255, 255},   {0, 0, 255},   {128, 0, 255},
      {255, 255, 255}, {0, 0, 0},       {0, 0, 160},   {255, 0, 0},    {255, 255, 255}, {0, 255, 255}, {192, 192, 192},
      {0, 0, 255},     {128, 128, 128}, {255, 0, 128}, {255, 128, 64}, {128, 0, 128},   {128, 64, 0},  {255, 255, 0},
      {128, 0, 0},     {0, 255, 0},     {128, 128, 0}, {255, 0, 255},  {64, 128, 128},  {0, 0, 0},
  }};
  for (size_t i = 27; i < palette.size(); ++i) {
    const size_t j = i - 27;
    palette[i] = {static_cast<uint8_t>(48 + 32 * (j % 5)), static_cast<uint8_t>(48 + 32 * (j / 5 % 5)),
                  static_cast<uint8_t>(48 + 32 * (j / 25 % 5))};
  }
  return palette;
}();

constexpr std::array<uint8_t, kKeyboardLeds> kAllLeds = [] {
  std::array<uint8_t, kKeyboardLeds> leds{};
  for (size_t i = 0; i < leds.size(); ++i) leds[i] = static_cast<uint8_t>(i);
  return leds;
}();

constexpr uint8_t Scaled(unsigned level, unsigned factor) { return static_cast<uint8_t>(level * factor >> 8); }

// One frame of one effect: the record read once, so a frame sees one set of
// settings even while the page changes them.
struct Frame {
  explicit Frame(KeyboardEffectContext& c)
      : state(c.state),
        leds(c.leds),
        lighting(c.lighting),
        level(BrightnessLevel(c.lighting.record.brightness())),
        direction(c.lighting.record.direction()),
        multi(c.lighting.record.multiColour() != 0),
        colour(c.lighting.record.colour()) {}

  void PaintColumn(size_t column, Rgb c, uint8_t v) {
    for (uint8_t led : kKeyMatrix[column])
      if (led < kNoLed) leds.Set(led, c, v);
  }
  void PaintAll(Rgb c, uint8_t v) {
    for (size_t i = 0; i < kKeyboardLeds; ++i) leds.Set(i, c, v);
  }
  // Lights an LED at `glow`; with multiColour it takes the next hue,
  // hueTick advancing by `hueStep`.
  void Light(uint8_t led, uint8_t glow, uint8_t hueStep) {
    state.SetGlow(led, glow);
    if (!multi) return;
    const uint8_t tick = static_cast<uint8_t>(state.hueTick() + hueStep);
    state.SetHueTick(tick);
    state.SetHue(led, tick);
  }
  Rgb GlowColour(uint8_t led) const { return multi ? ColourWheel(state.hue(led)) : colour; }
  // Every LED of `walk` fades one step and shows its hue (or the record
  // colour) at the level its glow leaves.
  void PaintGlows(std::span<const uint8_t> walk, uint8_t mode) {
    for (uint8_t led : walk) {
      DecayGlow(state, led, mode);
      leds.Set(led, GlowColour(led), Scaled(level, state.glow(led)));
    }
  }

  KbEffectState& state;
  LedStates& leds;
  const KeyboardLighting& lighting;
  const uint8_t level;
  const uint8_t direction;
  const bool multi;
  const Rgb colour;
};

// Mode 0: colour bands across the columns, 7 wheel steps apart, or the
// record colour breathing across them 10 steps apart.
void Wave(KeyboardEffectContext& c) {
  Frame f(c);
  if (f.multi) {
    unsigned k = StepPhase(f.state, f.direction, kHueCircle);
    for (size_t column = 0; column < kMatrixColumns; ++column) {
      f.state.SetWork(ColourWheel(static_cast<uint8_t>(k)));
      ScaleColour(f.state, f.level);
      f.PaintColumn(column, f.state.work(), f.level);
      k += 7;
      if (k >= kHueCircle) k -= kHueCircle;
    }
    return;
  }
  unsigned k = StepPhase(f.state, f.direction, kBreath96.size());
  for (size_t column = 0; column < kMatrixColumns; ++column) {
    f.state.SetWork(f.colour);
    ScaleColour(f.state, f.level);
    ScaleColour(f.state, kBreath96[k]);
    k += 10;
    if (k >= kBreath96.size()) k -= kBreath96.size();
    // The level follows the next band's breath, a step ahead of the colour.
    f.PaintColumn(column, f.state.work(), Scaled(f.level, kBreath96[k]));
  }
}

// Mode 1: the whole keyboard in one colour moving along the wheel.
void SpectrumCycle(KeyboardEffectContext& c) {
  Frame f(c);
  f.state.SetWork(ColourWheel(StepPhase(f.state, f.direction, kHueCircle)));
  ScaleColour(f.state, f.level);
  f.PaintAll(f.state.work(), f.level);
}

// Mode 2: the whole keyboard breathing in the record colour, or in a wheel
// colour that moves on with the breath.
void Breathing(KeyboardEffectContext& c) {
  Frame f(c);
  const uint8_t k = StepPhase(f.state, f.direction, kBreath128.size());
  const Rgb colour = f.multi ? ColourWheel(static_cast<uint8_t>((k + 50) % kHueCircle)) : f.colour;
  f.PaintAll(colour, Scaled(f.level, kBreath128[k]));
}

// Mode 3.
void Static(KeyboardEffectContext& c) {
  Frame f(c);
  f.PaintAll(f.colour, f.level);
}

// Mode 4: every key one wheel step further from its own hue.
void KeyRainbow(KeyboardEffectContext& c) {
  Frame f(c);
  for (size_t i = 0; i < kKeyboardLeds; ++i) {
    uint8_t hue = static_cast<uint8_t>(f.state.hue(i) + 1);
    if (hue >= kHueCircle) hue = 0;
    f.state.SetHue(i, hue);
    f.leds.Set(i, ColourWheel(hue), f.level);
  }
}

// Sets `bit` of `column` in all four fronts, so a ring grows from there.
void SeedColumn(KbEffectState& state, size_t column, uint8_t bit) {
  for (size_t front = 0; front < kWaveFronts; ++front)
    state.SetFront(front, column, static_cast<uint8_t>(state.front(front, column) | bit));
}

uint8_t ColumnBits(const KbEffectState& state, size_t column) {
  uint8_t bits = 0;
  for (size_t front = 0; front < kWaveFronts; ++front) bits |= state.front(front, column);
  return bits;
}

constexpr uint8_t kTopRow = 1u << 0;
// Below the bottom row: a ring seeded here reaches row 5 one step later.
constexpr uint8_t kBelowBottom = 1u << 6;

// Mode 5: a ring at column 9 bouncing between below the bottom row and the
// top row. When the rising front arrives at row 0 (column 9 holds only that
// bit) a ring starts there; when the falling one passes row 5 one starts
// below it.
void BounceRipple(KeyboardEffectContext& c) {
  Frame f(c);
  constexpr size_t kColumn = 9;
  const uint8_t bits = ColumnBits(f.state, kColumn);
  if (bits == kTopRow) SeedColumn(f.state, kColumn, kTopRow);
  if (bits == kBelowBottom) SeedColumn(f.state, kColumn, kBelowBottom);
  LightWaves(f.state, f.multi);
  AdvanceWaves(f.state);
  f.PaintGlows(kSnakeOrder, 5);
}

// Mode 6: a sweep across the keyboard, circling pairs round the middle, a
// ring from key 52 out to the edge, then round again.
void Showcase(KeyboardEffectContext& c) {
  Frame f(c);
  constexpr uint8_t kHueStep = 11;
  switch (f.state.stage()) {
    case 0: {
      // Another effect may have left any phase behind; the sweep then starts over.
      uint8_t phase = f.state.phase();
      if (phase >= kSweepLength) phase = 0;
      for (uint8_t led : kSweepSteps[phase])
        if (led != kNoStep) f.Light(led, 255, kHueStep);
      ++phase;
      if (phase >= kSweepLength) {
        phase = 0;
        f.state.SetStage(1);
      }
      f.state.SetPhase(phase);
      break;
    }
    case 1:
      for (uint8_t phase = f.state.phase(); phase < kCircleLightings; f.state.SetPhase(++phase))
        for (uint8_t led : kCirclePairs[phase % kCirclePairs.size()]) f.Light(led, 255, kHueStep);
      if (f.state.glow(72) == 0) {
        f.state.SetStage(2);
        f.state.SetPhase(0);
      }
      break;
    case 2:
      SeedWave(f.state, 52);
      f.state.SetStage(3);
      break;
    case 3:
      LightWaves(f.state, f.multi);
      AdvanceWaves(f.state);
      // Key 105, bottom left, is the last the ring reaches.
      if (f.state.glow(105) != 0) f.state.SetStage(4);
      break;
    case 4:
      if (f.state.glow(105) == 0) {
        f.state.SetStage(0);
        f.state.SetPhase(0);
      }
      break;
    default:
      break;
  }
  f.PaintGlows(kSnakeOrder, 6);
}

// Mode 7: as the wave, LED by LED along the spiral, 5 steps apart.
void SnakeWave(KeyboardEffectContext& c) {
  Frame f(c);
  constexpr unsigned kStep = 5;
  if (f.multi) {
    unsigned k = StepPhase(f.state, f.direction, kHueCircle);
    for (uint8_t led : kSnakeOrder) {
      f.leds.Set(led, ColourWheel(static_cast<uint8_t>(k)), f.level);
      k = (k + kStep) % kHueCircle;
    }
    return;
  }
  unsigned k = StepPhase(f.state, f.direction, kBreath96.size());
  for (uint8_t led : kSnakeOrder) {
    f.leds.Set(led, f.colour, Scaled(f.level, kBreath96[k]));
    k = (k + kStep) % kBreath96.size();
  }
}

// Mode 8: the painted colours of the custom set in use.
void Custom(KeyboardEffectContext& c) {
  Frame f(c);
  const uint8_t index = f.lighting.paint.customSetIndex();
  // An index beyond the five sets (from a file) shows the first set.
  const size_t set = index < CustomColourSets::kSets ? index : 0;
  // LEDs without a frame position are never sent; they read as unpainted.
  for (size_t i = 0; i < kKeyboardLeds; ++i) f.leds.Set(i, f.lighting.custom.Colour(set, kLedFrameMap[i]), f.level);
}

// Mode 9: three keys light a frame in star order, and every key fades.
void Stars(KeyboardEffectContext& c) {
  Frame f(c);
  for (int n = 0; n < 3; ++n) {
    uint8_t pos = static_cast<uint8_t>(f.state.starPos() + 1);
    if (pos >= kSnakeLeds) pos = 0;
    f.state.SetStarPos(pos);
    const uint8_t led = kSnakeOrder[kStarOrder[pos]];
    const uint8_t tick = static_cast<uint8_t>(f.state.hueTick() + 10);
    f.state.SetHueTick(tick);
    f.state.SetHue(led, tick);
    f.state.SetGlow(led, 255);
  }
  f.PaintGlows(kAllLeds, 9);
}

// Mode 10: the rows 24 wheel steps apart, scrolling through the wheel.
void RowRainbow(KeyboardEffectContext& c) {
  Frame f(c);
  const uint8_t pos = NextPhase(f.state.snakePos(), f.direction, kHueCircle);
  f.state.SetSnakePos(pos);
  unsigned k = pos;
  for (size_t row = 0; row < kMatrixRows; ++row) {
    const Rgb colour = ColourWheel(static_cast<uint8_t>(k));
    for (const auto& column : kKeyMatrix)
      if (column[row] < kNoLed) f.leds.Set(column[row], colour, f.level);
    k = (k + 24) % kHueCircle;
  }
}

// Mode 11: every key pulses from its own start, its glow the place in the
// pulse; a key takes its next colour each time its pulse restarts.
void KeyPulse(KeyboardEffectContext& c) {
  Frame f(c);
  for (uint8_t led : kSnakeOrder) {
    unsigned pos = f.state.glow(led) + 1u;
    if (pos >= kHueCircle) {
      pos = 0;
      const uint8_t tick = static_cast<uint8_t>(f.state.hueTick() + 5);
      f.state.SetHueTick(tick);
      f.state.SetHue(led, tick);
    }
    f.state.SetGlow(led, static_cast<uint8_t>(pos));
    const Rgb colour = f.multi ? kPalette256[f.state.hue(led)] : f.colour;
    f.leds.Set(led, colour, Scaled(f.level, kPulseCurve[pos]));
  }
}

// Mode 12: a head running along the typing walk, leaving a fading trail.
// Forwards it runs 0..105, backwards 105..1; each end is followed by one
// frame without a head.
void TypingSnake(KeyboardEffectContext& c) {
  Frame f(c);
  const uint8_t pos = f.state.snakePos();
  // The row and column rainbows and synchronized lighting count up to 191
  // here; a position beyond the walk restarts it like its end does.
  const bool forward = f.direction != 0;
  const uint8_t restart = forward ? 0 : kTypingLast;
  if (pos > kTypingLast || (!forward && pos == 0)) {
    f.state.SetSnakePos(restart);
  } else {
    // Every head takes the next hue, in one colour too: the counter is also
    // the mousepad comet's, which moves with the snake either way.
    const uint8_t led = kTypingOrder[pos];
    if (led < kNoLed) {
      const uint8_t tick = static_cast<uint8_t>(f.state.hueTick() + 13);
      f.state.SetHueTick(tick);
      f.state.SetHue(led, tick);
      f.state.SetGlow(led, 254);
    }
    f.state.SetSnakePos(static_cast<uint8_t>(forward ? pos + 1 : pos - 1));
  }
  f.PaintGlows(kSnakeOrder, 12);
}

// Mode 13: rainbow rings around key 51, 21 wheel steps apart, moving out by
// 4 steps a frame or in by 2.
void Rings(KeyboardEffectContext& c) {
  Frame f(c);
  const bool outwards = f.direction != 0;
  uint8_t phase = static_cast<uint8_t>(outwards ? f.state.phase() + 4 : f.state.phase() - 2);
  if (phase >= kHueCircle) phase = outwards ? 0 : kHueCircle;
  f.state.SetPhase(phase);
  unsigned k = phase;
  for (const auto& ring : kRingGrid) {
    k += 21;
    if (k >= kHueCircle) k -= kHueCircle;
    const Rgb colour = ColourWheel(static_cast<uint8_t>(k));
    for (uint8_t led : ring)
      if (led < kNoLed) f.leds.Set(led, colour, f.level);
  }
}

// Mode 14: a slow hue shift across the columns, 2 wheel steps apart, or the
// record colour pulsing across them 5 steps apart.
void ColumnWave(KeyboardEffectContext& c) {
  Frame f(c);
  if (f.multi) {
    const uint8_t pos = NextPhase(f.state.snakePos(), f.direction, kHueCircle);
    f.state.SetSnakePos(pos);
    unsigned k = pos;
    for (size_t column = 0; column < kMatrixColumns; ++column) {
      f.PaintColumn(column, ColourWheel(static_cast<uint8_t>(k)), f.level);
      k = (k + 2) % kHueCircle;
    }
    return;
  }
  constexpr unsigned kSpan = 96;
  unsigned k = StepPhase(f.state, f.direction, kSpan);
  for (size_t column = 0; column < kMatrixColumns; ++column) {
    f.state.SetWork(f.colour);
    ScaleColour(f.state, f.level);
    ScaleColour(f.state, kPulseCurve[k]);
    k = (k + 5) % kSpan;
    f.PaintColumn(column, f.state.work(), Scaled(f.level, kPulseCurve[k]));
  }
}

// Mode 15: rings from the top of column 1 and from below the bottom of
// column 22 in turn; each starts when the other's ring reaches its corner.
void EdgeRipple(KeyboardEffectContext& c) {
  Frame f(c);
  if (ColumnBits(f.state, 1) == kTopRow) SeedColumn(f.state, 1, kTopRow);
  if (ColumnBits(f.state, 22) == kTopRow) SeedColumn(f.state, 22, kBelowBottom);
  LightWaves(f.state, f.multi);
  AdvanceWaves(f.state);
  f.PaintGlows(kSnakeOrder, 15);
}

// Mode 16: every key pulses from its own place in the pulse curve, taking
// the next hue each time its pulse restarts.
void DiagonalPulse(KeyboardEffectContext& c) {
  Frame f(c);
  for (uint8_t led : kSnakeOrder) {
    unsigned pos = f.state.pulsePos(led) + 1u;
    if (pos >= kHueCircle) {
      pos = 0;
      f.state.SetHueTick(static_cast<uint8_t>(f.state.hueTick() + 10));
      f.state.SetHue(led, f.state.hueTick());
    }
    f.state.SetPulsePos(led, static_cast<uint8_t>(pos));
    f.leds.Set(led, f.GlowColour(led), Scaled(f.level, kPulseCurve[pos]));
  }
}

}  // namespace

KeyboardModeTable KeyboardModes() {
  // Rings and the edge ripple pause 10 and 50 ms a frame; their pauses join
  // the sleep before the effect, so the thread takes a single wait.
  return {{
      {{0, 0}, Wave},
      {{20, 0}, SpectrumCycle},
      {{0, 0}, Breathing},
      {{0, 0}, Static},
      {{12, 0}, KeyRainbow},
      {{40, 0}, BounceRipple},
      {{15, 0}, Showcase},
      {{1, 0}, SnakeWave},
      {{0, 0}, Custom},
      {{0, 0}, Stars},
      {{0, 0}, RowRainbow},
      {{0, 0}, KeyPulse},
      {{0, 0}, TypingSnake},
      {{10, 0}, Rings},
      {{0, 0}, ColumnWave},
      {{50, 0}, EdgeRipple},
      {{0, 0}, DiagonalPulse},
  }};
}

}  // namespace talvo::lighting
