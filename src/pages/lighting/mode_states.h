// Effect state the lighting pages reset and seed when the user picks a mode,
// beyond the keyboard's KbEffectState and the mouse's MouseEffectState: the
// keyboard's pulse positions and walk counters, and the mousepad's own
// state. Written by the page on the UI thread and by the lighting threads,
// so every byte goes through ByteRecord.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "lighting/effect_engine.h"
#include "lighting/led_model.h"
#include "lighting/light_records.h"

namespace talvo::lighting {

// Keyboard effect state next to KbEffectState: the per-LED position in the
// pulse curve, the position in the typing walk (also the step counter of the
// row and column rainbows) and the position in the star order.
class KbModeState {
 public:
  uint8_t pulsePos(size_t led) const { return led < kKeyboardLeds ? bytes_.Get(kPulse + led) : 0; }
  void SetPulsePos(size_t led, uint8_t v) {
    if (led < kKeyboardLeds) bytes_.Set(kPulse + led, v);
  }
  uint8_t snakePos() const { return bytes_.Get(kSnake); }
  void SetSnakePos(uint8_t v) { bytes_.Set(kSnake, v); }
  uint8_t starPos() const { return bytes_.Get(kStar); }
  void SetStarPos(uint8_t v) { bytes_.Set(kStar, v); }

 private:
  static constexpr size_t kPulse = 0;
  static constexpr size_t kSnake = kPulse + kKeyboardLeds;
  static constexpr size_t kStar = kSnake + 1;
  ByteRecord<kStar + 1> bytes_;
};

// Start value of each key's pulse in the key pulse mode, by key-matrix
// column and row.
extern const std::array<std::array<uint8_t, kMatrixRows>, kMatrixColumns> kPulseSeed;

// What choosing keyboard mode `mode` does to the effect state after
// ResetKbState: mode 4 spreads the hues, 5 and 15 seed their first ring, 11
// and 16 seed the pulses; the other modes start from the reset state.
void StartKeyboardMode(uint8_t mode, KbEffectState& state, KbModeState& modeState);

inline constexpr size_t kMousepadStateLeds = 15;

// The mousepad's effect state: phase and working colour, per-LED glow, hue
// and ring pattern, the bar, the sweep's fill pattern and the flash.
class MousepadEffectState {
 public:
  MousepadEffectState() { Reset(); }
  // Back to the start values: the sweep begins filling from 0x3F00, all
  // else is 0.
  void Reset();

  uint8_t phase() const { return bytes_.Get(kPhase); }
  void SetPhase(uint8_t v) { bytes_.Set(kPhase, v); }
  Rgb work() const { return bytes_.GetRgb(kWork); }
  void SetWork(Rgb c) { bytes_.SetRgb(kWork, c); }
  uint8_t glow(size_t led) const { return PerLed(kGlow, led); }
  void SetGlow(size_t led, uint8_t v) { SetPerLed(kGlow, led, v); }
  uint8_t hue(size_t led) const { return PerLed(kHue, led); }
  void SetHue(size_t led, uint8_t v) { SetPerLed(kHue, led, v); }
  uint8_t ring(size_t led) const { return PerLed(kRing, led); }
  void SetRing(size_t led, uint8_t v) { SetPerLed(kRing, led, v); }
  int8_t barLevel() const { return int8_t(bytes_.Get(kBarLevel)); }
  void SetBarLevel(int8_t v) { bytes_.Set(kBarLevel, uint8_t(v)); }
  uint8_t barFalling() const { return bytes_.Get(kBarFalling); }
  void SetBarFalling(uint8_t v) { bytes_.Set(kBarFalling, v); }
  uint8_t fillOn() const { return bytes_.Get(kFillOn); }
  void SetFillOn(uint8_t v) { bytes_.Set(kFillOn, v); }
  int16_t fillPattern() const { return int16_t(bytes_.Get(kFillPattern) | bytes_.Get(kFillPattern + 1) << 8); }
  void SetFillPattern(int16_t v) {
    bytes_.Set(kFillPattern, uint8_t(uint16_t(v)));
    bytes_.Set(kFillPattern + 1, uint8_t(uint16_t(v) >> 8));
  }
  uint8_t fillCount() const { return bytes_.Get(kFillCount); }
  void SetFillCount(uint8_t v) { bytes_.Set(kFillCount, v); }
  uint8_t flashOn() const { return bytes_.Get(kFlashOn); }
  void SetFlashOn(uint8_t v) { bytes_.Set(kFlashOn, v); }
  // Milliseconds of a steady clock, low 32 bits.
  uint32_t flashStart() const;
  void SetFlashStart(uint32_t ms);
  uint8_t flashPos() const { return bytes_.Get(kFlashPos); }
  void SetFlashPos(uint8_t v) { bytes_.Set(kFlashPos, v); }

  static constexpr int16_t kFillStart = 0x3F00;

 private:
  uint8_t PerLed(size_t base, size_t led) const { return led < kMousepadStateLeds ? bytes_.Get(base + led) : 0; }
  void SetPerLed(size_t base, size_t led, uint8_t v) {
    if (led < kMousepadStateLeds) bytes_.Set(base + led, v);
  }

  static constexpr size_t kPhase = 0;
  static constexpr size_t kWork = 1;
  static constexpr size_t kGlow = 4;
  static constexpr size_t kHue = kGlow + kMousepadStateLeds;
  static constexpr size_t kRing = kHue + kMousepadStateLeds;
  static constexpr size_t kBarLevel = kRing + kMousepadStateLeds;
  static constexpr size_t kBarFalling = kBarLevel + 1;
  static constexpr size_t kFillOn = kBarFalling + 1;
  static constexpr size_t kFillPattern = kFillOn + 1;
  static constexpr size_t kFillCount = kFillPattern + 2;
  static constexpr size_t kFlashOn = kFillCount + 1;
  static constexpr size_t kFlashStart = kFlashOn + 1;
  static constexpr size_t kFlashPos = kFlashStart + 4;
  ByteRecord<kFlashPos + 1> bytes_;
};

}  // namespace talvo::lighting
