#include "lighting/mousepad_effects.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include "lighting/colour_tables.h"

namespace talvo::lighting {

namespace {

using std::chrono::milliseconds;

constexpr unsigned kHueCircle = 192;
// Frames of the modes that send the long layout end in 15 zero bytes.
constexpr size_t kLongFrame = kMousepadFrameMax;
// The sweep turns after this many shifts of its fill pattern.
constexpr uint8_t kSweepSteps = 15;
constexpr milliseconds kSweepTurnPause{1000};
// A flash stays lit until more than this many milliseconds have passed.
constexpr uint32_t kFlashLastsMs = 99;

// What the effects share besides the frame's own context.
struct Shared {
  MousepadEffectState& state;
  KbEffectState& keyboard;
  std::atomic<uint32_t>& flashTrigger;
  MillisecondClock clock;
};

uint8_t Level(const LightRecord& record) { return BrightnessLevel(record.brightness()); }

// The working colour into LED n's frame bytes, the unscaled colour and the
// alpha into its preview.
void PutLed(MousepadFrame& frame, size_t n, Rgb scaled, Rgb shown, uint8_t alpha) {
  frame.bytes[3 * n] = scaled.red;
  frame.bytes[3 * n + 1] = scaled.green;
  frame.bytes[3 * n + 2] = scaled.blue;
  frame.colour[n] = PackPreviewColour(shown);
  frame.alpha[n] = alpha;
}

// `colour` scaled by the level, on every LED.
void AllLeds(MousepadEffectState& state, MousepadFrame& frame, Rgb colour, uint8_t level) {
  state.SetWork(colour);
  ScaleColour(state, level);
  const Rgb scaled = state.work();
  for (size_t n = 0; n < kMousepadLeds; ++n) PutLed(frame, n, scaled, colour, level);
}

// Every LED of grid column c: `scaled` into the frame, `shown` and `alpha`
// into the preview.
void PutColumn(MousepadFrame& frame, size_t c, Rgb scaled, Rgb shown, uint8_t alpha) {
  for (const auto& row : kMousepadGrid) {
    const uint8_t led = row[c];
    if (led != kNoPadLed) PutLed(frame, led, scaled, shown, alpha);
  }
}

Rgb ColourOrWheel(const LightRecord& record, unsigned wheelIndex) {
  return record.multiColour() != 0 ? ColourWheel(uint8_t(wheelIndex)) : record.colour();
}

// Bright glows fade fast, faint ones slowly down to 0.
uint8_t DecayedGlow(uint8_t v) {
  if (v >= 128) return uint8_t(v - 30);
  if (v >= 64) return uint8_t(v - 20);
  if (v >= 32) return uint8_t(v - 10);
  if (v >= 17) return uint8_t(v - 5);
  return v > 0 ? uint8_t(v - 1) : 0;
}

// Mode 0: colour bands running around the LEDs, 7 wheel steps apart; in
// one colour, the record colour breathing with each LED 10 steps along the
// curve from the one before.
size_t PadWave(Shared& s, MousepadEffectContext& c) {
  const LightRecord& record = c.record;
  const uint8_t level = Level(record);
  if (record.multiColour() != 0) {
    unsigned k = StepPhase(s.state, record.direction(), kHueCircle);
    for (size_t n = 0; n < kMousepadLeds; ++n) {
      const Rgb colour = ColourWheel(uint8_t(k));
      s.state.SetWork(colour);
      ScaleColour(s.state, level);
      PutLed(c.frame, n, s.state.work(), colour, level);
      k = (k + 7) % kHueCircle;
    }
  } else {
    unsigned k = StepPhase(s.state, record.direction(), kBreath96.size());
    const Rgb colour = record.colour();
    for (size_t n = 0; n < kMousepadLeds; ++n) {
      const uint8_t breath = kBreath96[k];
      s.state.SetWork(colour);
      ScaleColour(s.state, level);
      ScaleColour(s.state, breath);
      PutLed(c.frame, n, s.state.work(), colour, uint8_t(unsigned{level} * breath >> 8));
      k = (k + 10) % kBreath96.size();
    }
  }
  return kMousepadFrameBytes;
}

// Mode 1: every LED in one colour moving along the wheel.
size_t PadSpectrum(Shared& s, MousepadEffectContext& c) {
  const uint8_t k = StepPhase(s.state, c.record.direction(), kHueCircle);
  AllLeds(s.state, c.frame, ColourWheel(k), Level(c.record));
  return kMousepadFrameBytes;
}

// Mode 2: every LED breathing; each breath that starts again advances the
// record's step counter through 0..2.
size_t PadBreathing(Shared& s, MousepadEffectContext& c) {
  LightRecord& record = c.record;
  const uint8_t k = StepPhase(s.state, record.direction(), kBreath128.size());
  if (k == 0) {
    const uint8_t next = uint8_t(record.stepCounter() + 1);
    record.SetStepCounter(next > 2 ? 0 : next);
  }
  const uint8_t level = Level(record);
  const uint8_t breath = kBreath128[k];
  const Rgb colour = ColourOrWheel(record, (k + 50u) % kHueCircle);
  s.state.SetWork(colour);
  ScaleColour(s.state, breath);
  ScaleColour(s.state, level);
  const Rgb scaled = s.state.work();
  const uint8_t alpha = uint8_t(unsigned{level} * breath >> 8);
  for (size_t n = 0; n < kMousepadLeds; ++n) PutLed(c.frame, n, scaled, colour, alpha);
  return kLongFrame;
}

// Mode 3: every LED in the record colour.
size_t PadStatic(Shared& s, MousepadEffectContext& c) {
  AllLeds(s.state, c.frame, c.record.colour(), Level(c.record));
  return kLongFrame;
}

// Mode 4: the bar level runs 0..15 and back down to −1; the bar grows from
// LED 0 in the first direction and from LED 14 in the other. A level found
// outside that range is brought back to its nearer end, so no state leaves
// the bar stuck full or empty for many frames.
size_t PadBar(Shared& s, MousepadEffectContext& c) {
  constexpr int kTop = int{kMousepadLeds};
  const LightRecord& record = c.record;
  const bool rising = s.state.barFalling() == 0;
  const int level = std::clamp(s.state.barLevel() + (rising ? 1 : -1), -1, kTop);
  if (rising && level == kTop) s.state.SetBarFalling(1);
  if (!rising && level == -1) s.state.SetBarFalling(0);
  s.state.SetBarLevel(int8_t(level));
  const bool fromEnd = record.direction() != 0;
  const uint8_t brightness = Level(record);
  unsigned k = 0;
  for (size_t n = 0; n < kMousepadLeds; ++n) {
    const int led = int(n);
    const bool lit = fromEnd ? led > level : led < level;
    const Rgb colour = lit ? ColourOrWheel(record, k) : Rgb{};
    s.state.SetWork(colour);
    ScaleColour(s.state, brightness);
    PutLed(c.frame, n, s.state.work(), colour, lit ? brightness : 0);
    k = (k + 7) % kHueCircle;
  }
  return kMousepadFrameBytes;
}

// Mode 5: every LED the ring marks flares up (taking the next hue of the
// keyboard's counter in many colours), the ring moves on one place, and all
// glows fade.
size_t PadComet(Shared& s, MousepadEffectContext& c) {
  const LightRecord& record = c.record;
  const bool multi = record.multiColour() != 0;
  std::array<uint8_t, kMousepadLeds> ring{};
  for (size_t n = 0; n < kMousepadLeds; ++n) {
    ring[n] = s.state.ring(n);
    if (ring[n] == 0) continue;
    s.state.SetGlow(n, 255);
    if (multi) {
      const uint8_t hue = uint8_t(s.keyboard.hueTick() + 11);
      s.keyboard.SetHueTick(hue);
      s.state.SetHue(n, hue);
    }
  }
  const bool down = record.direction() != 0;
  for (size_t n = 0; n < kMousepadLeds; ++n)
    s.state.SetRing(n, ring[(n + (down ? 1 : kMousepadLeds - 1)) % kMousepadLeds]);

  const uint8_t level = Level(record);
  for (size_t n = 0; n < kMousepadLeds; ++n) {
    const uint8_t glow = DecayedGlow(s.state.glow(n));
    s.state.SetGlow(n, glow);
    // Hues of 192 and above read the wheel's repeat of 0..63, which is the
    // same colour as hue − 192.
    const Rgb colour = multi ? ColourWheel(s.state.hue(n)) : record.colour();
    s.state.SetWork(colour);
    ScaleColour(s.state, glow);
    ScaleColour(s.state, level);
    PutLed(c.frame, n, s.state.work(), colour, uint8_t(unsigned{level} * glow >> 8));
  }
  return kMousepadFrameBytes;
}

// Mode 6: hue bands moving across the seven grid columns, 7 wheel steps
// apart.
size_t PadColumnWave(Shared& s, MousepadEffectContext& c) {
  const uint8_t level = Level(c.record);
  unsigned k = StepPhase(s.state, c.record.direction(), kHueCircle);
  for (size_t col = 0; col < kMousepadGridColumns; ++col) {
    const Rgb colour = ColourWheel(uint8_t(k));
    s.state.SetWork(colour);
    ScaleColour(s.state, level);
    PutColumn(c.frame, col, s.state.work(), colour, level);
    k = (k + 7) % kHueCircle;
  }
  return kMousepadFrameBytes;
}

// Mode 7: a block of columns shifted in from the left and out to the right
// (fill pattern shifting right, bits 7..1 the columns), a second's pause in
// the dark, the block back from the right (pattern doubling, bits 15..9)
// and another pause. The turning frames send nothing.
size_t PadSweep(Shared& s, MousepadEffectContext& c) {
  MousepadEffectState& state = s.state;
  const int16_t pattern = state.fillPattern();
  std::array<bool, kMousepadGridColumns> lit{};
  if (state.fillOn() != 0) {
    const uint8_t count = uint8_t(state.fillCount() + 1);
    state.SetFillCount(count);
    const int16_t shifted = int16_t(pattern >> 1);  // arithmetic: the sign bit stays
    state.SetFillPattern(shifted);
    // At or past the end, so a count left beyond it turns at once.
    if (count >= kSweepSteps) {
      state.SetFillOn(0);
      state.SetFillPattern(252);
      c.wait.For(kSweepTurnPause);
      return 0;
    }
    for (size_t col = 0; col < lit.size(); ++col) lit[col] = (uint16_t(shifted) >> (7 - col) & 1) != 0;
  } else {
    if (state.fillCount() == 0) {
      state.SetFillOn(1);
      state.SetFillPattern(MousepadEffectState::kFillStart);
      c.wait.For(kSweepTurnPause);
      return 0;
    }
    const uint16_t bits = uint16_t(pattern);
    for (size_t col = 0; col < lit.size(); ++col) lit[col] = (bits >> (15 - col) & 1) != 0;
    state.SetFillPattern(int16_t(uint16_t(bits << 1)));
    state.SetFillCount(uint8_t(state.fillCount() - 1));
  }

  const LightRecord& record = c.record;
  const uint8_t level = Level(record);
  // Always stepped downwards, whatever the record's direction.
  unsigned k = StepPhase(state, 0, kHueCircle);
  for (size_t col = 0; col < lit.size(); ++col) {
    Rgb colour{};
    if (lit[col]) {
      colour = ColourOrWheel(record, k);
      k = (k + 20) % kHueCircle;
    }
    state.SetWork(colour);
    ScaleColour(state, level);
    PutColumn(c.frame, col, state.work(), colour, lit[col] ? level : 0);
  }
  return kMousepadFrameBytes;
}

// Mode 8: dark until the mouse asks for a flash; each request lights the
// pad for a little over 100 ms in the next colour, 14 wheel steps on.
size_t PadFlash(Shared& s, MousepadEffectContext& c) {
  MousepadEffectState& state = s.state;
  if (s.flashTrigger.exchange(0) != 0) {
    state.SetFlashOn(1);
    state.SetFlashStart(s.clock());
    const unsigned pos = state.flashPos() + 14u;
    state.SetFlashPos(pos >= kHueCircle ? 0 : uint8_t(pos));
  }
  if (state.flashOn() != 0) {
    // Unsigned difference: right across the wrap of the 32-bit clock.
    if (uint32_t(s.clock() - state.flashStart()) > kFlashLastsMs) state.SetFlashOn(0);
    AllLeds(state, c.frame, ColourOrWheel(c.record, state.flashPos()), Level(c.record));
  }
  return kLongFrame;
}

}  // namespace

void ScaleColour(MousepadEffectState& state, uint8_t l) {
  const unsigned f = unsigned{l} + 1;
  const Rgb c = state.work();
  state.SetWork({uint8_t(c.red * f >> 8), uint8_t(c.green * f >> 8), uint8_t(c.blue * f >> 8)});
}

uint8_t StepPhase(MousepadEffectState& state, uint8_t direction, unsigned n) {
  const uint8_t k = NextPhase(state.phase(), direction, n);
  state.SetPhase(k);
  return k;
}

uint32_t SteadyMilliseconds() {
  const auto now = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return uint32_t(now.count());
}

MousepadModeTable MousepadModes(MousepadEffectState& state, KbEffectState& keyboard,
                                std::atomic<uint32_t>& flashTrigger, MillisecondClock clock) {
  using Effect = size_t (*)(Shared&, MousepadEffectContext&);
  struct Entry {
    ExtraSleep sleep;
    Effect effect;
  };
  static constexpr std::array<Entry, kMousepadComputedModes> kEntries{{
      {{}, PadWave},
      {{}, PadSpectrum},
      {{}, PadBreathing},
      {{}, PadStatic},
      {{100, 10}, PadBar},
      {{50, 0}, PadComet},
      {{}, PadColumnWave},
      {{50, 5}, PadSweep},
      {{}, PadFlash},
  }};
  // One shared block for all nine entries; the table owns it.
  auto shared = std::make_shared<Shared>(Shared{state, keyboard, flashTrigger, std::move(clock)});
  MousepadModeTable table;
  for (size_t mode = 0; mode < table.size(); ++mode) {
    const Effect effect = kEntries[mode].effect;
    table[mode] = {kEntries[mode].sleep, [shared, effect](MousepadEffectContext& c) { return effect(*shared, c); }};
  }
  return table;
}

void StartMousepadMode(uint8_t mode, MousepadEffectState& state, std::atomic<uint32_t>& flashTrigger) {
  state.Reset();
  if (mode == kPadCometMode) state.SetRing(0, 1);
  if (mode == kPadFlashMode) flashTrigger.store(0);
}

}  // namespace talvo::lighting
