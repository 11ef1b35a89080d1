// The keyboard's effect state and the small operations the lighting effects
// are built from: colour scaling, the phase step, glow decay and the four
// wave fronts that grow rings across the key matrix.
//
// The state is written by the keyboard thread and reset or seeded by the UI
// thread when the user picks a mode, so every byte goes through ByteRecord.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lighting/led_model.h"
#include "lighting/light_records.h"

namespace talvo::lighting {

inline constexpr size_t kWaveFronts = 4;

class KbEffectState {
 public:
  // Front 0 moves left and down (towards row 5), 1 right and down, 2 right
  // and up, 3 left and up.
  enum Front : size_t { kLeftDown = 0, kRightDown = 1, kRightUp = 2, kLeftUp = 3 };

  uint8_t glow(size_t led) const { return led < kKeyboardLeds ? bytes_.Get(kGlow + led) : 0; }
  void SetGlow(size_t led, uint8_t v) {
    if (led < kKeyboardLeds) bytes_.Set(kGlow + led, v);
  }
  uint8_t hue(size_t led) const { return led < kKeyboardLeds ? bytes_.Get(kHue + led) : 0; }
  void SetHue(size_t led, uint8_t v) {
    if (led < kKeyboardLeds) bytes_.Set(kHue + led, v);
  }
  // Bit j of a front's column byte is row j; a column past 22 reads 0.
  uint8_t front(size_t f, size_t column) const {
    return f < kWaveFronts && column < kMatrixColumns ? bytes_.Get(kFronts + f * kMatrixColumns + column) : 0;
  }
  void SetFront(size_t f, size_t column, uint8_t v) {
    if (f < kWaveFronts && column < kMatrixColumns) bytes_.Set(kFronts + f * kMatrixColumns + column, v);
  }
  uint8_t phase() const { return bytes_.Get(kPhase); }
  void SetPhase(uint8_t v) { bytes_.Set(kPhase, v); }
  uint8_t hueTick() const { return bytes_.Get(kHueTick); }
  void SetHueTick(uint8_t v) { bytes_.Set(kHueTick, v); }
  uint8_t stage() const { return bytes_.Get(kStage); }
  void SetStage(uint8_t v) { bytes_.Set(kStage, v); }
  Rgb work() const { return bytes_.GetRgb(kWork); }
  void SetWork(Rgb c) { bytes_.SetRgb(kWork, c); }
  // Per-LED position in the pulse curve of the diagonal pulses.
  uint8_t pulsePos(size_t led) const { return led < kKeyboardLeds ? bytes_.Get(kPulse + led) : 0; }
  void SetPulsePos(size_t led, uint8_t v) {
    if (led < kKeyboardLeds) bytes_.Set(kPulse + led, v);
  }
  // Position in the typing walk; also the step counter of the row and column
  // rainbows and of synchronized lighting, so any byte may be found here.
  uint8_t snakePos() const { return bytes_.Get(kSnake); }
  void SetSnakePos(uint8_t v) { bytes_.Set(kSnake, v); }
  // Position in the order in which the stars light.
  uint8_t starPos() const { return bytes_.Get(kStar); }
  void SetStarPos(uint8_t v) { bytes_.Set(kStar, v); }

 private:
  static constexpr size_t kGlow = 0;
  static constexpr size_t kHue = kGlow + kKeyboardLeds;
  static constexpr size_t kFronts = kHue + kKeyboardLeds;
  static constexpr size_t kPhase = kFronts + kWaveFronts * kMatrixColumns;
  static constexpr size_t kHueTick = kPhase + 1;
  static constexpr size_t kStage = kHueTick + 1;
  static constexpr size_t kWork = kStage + 1;
  static constexpr size_t kPulse = kWork + 3;
  static constexpr size_t kSnake = kPulse + kKeyboardLeds;
  static constexpr size_t kStar = kSnake + 1;
  static constexpr size_t kSize = kStar + 1;

  ByteRecord<kSize> bytes_;
};

// One phase step on an 8-bit counter: up when `direction` is nonzero, else
// down (both wrapping at 8 bits); a result at or past `n` restarts at 0 going
// up and at n − 1 going down. Every device's state steps its phase this way.
constexpr uint8_t NextPhase(uint8_t phase, uint8_t direction, unsigned n) {
  const uint8_t next = static_cast<uint8_t>(direction != 0 ? phase + 1 : phase - 1);
  if (next < n) return next;
  return direction != 0 ? 0 : static_cast<uint8_t>(n - 1);
}

// Each working colour component becomes c × l >> 8.
void ScaleColour(KbEffectState& state, uint8_t l);
// Steps `phase` (NextPhase) and returns it.
uint8_t StepPhase(KbEffectState& state, uint8_t direction, unsigned n);
// Lowers the LED's glow by a step that shrinks with the glow. Mode 5 keeps
// glows of 9..16 as a faint after-glow; the other modes let them die out.
void DecayGlow(KbEffectState& state, size_t led, uint8_t mode);
// Sets the LED's key-matrix cell in all four fronts; an LED without a cell
// seeds nothing.
void SeedWave(KbEffectState& state, size_t led);
// Moves each front one step in its two directions, so a seed grows into a
// diamond ring of matrix distance t after t steps. Bits leaving the byte
// or the matrix are lost.
void AdvanceWaves(KbEffectState& state);
// Every LED under a front bit (rows 0..5) glows at 255; with `multiColour`
// each also takes the next hue, hueTick advancing by 11 per LED.
void LightWaves(KbEffectState& state, bool multiColour);
// Clears phase, stage, glows, hues and fronts; hueTick, the working colour,
// the pulse positions and the walk positions carry on.
void ResetKbState(KbEffectState& state);

}  // namespace talvo::lighting
