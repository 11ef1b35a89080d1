// The nine lighting effects the host computes for the mousepad's 15 LEDs,
// the effect state they run on, and the table the mousepad lighting thread
// takes them from.
//
// The state is written by the mousepad thread and reset or seeded by the
// page when the user picks a mode, so every byte goes through ByteRecord.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "lighting/effect_engine.h"
#include "lighting/light_records.h"
#include "lighting/lighting_threads.h"

namespace talvo::lighting {

inline constexpr size_t kMousepadFrameBytes = kMousepadLeds * 3;  // 45
inline constexpr size_t kMousepadGridRows = 5;
inline constexpr size_t kMousepadGridColumns = 7;
inline constexpr uint8_t kNoPadLed = kMousepadLeds;

// The LEDs as they sit on the pad: down the left edge (column 0), along the
// bottom (row 4) and up the right edge (column 6).
inline constexpr std::array<std::array<uint8_t, kMousepadGridColumns>, kMousepadGridRows> kMousepadGrid{{
    {0, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, 14},
    {1, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, 13},
    {2, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, 12},
    {3, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, kNoPadLed, 11},
    {4, 5, 6, 7, 8, 9, 10},
}};

// The mousepad's effect state: phase and working colour, per-LED glow, hue
// and ring pattern, the bar, the sweep's fill pattern and the flash.
class MousepadEffectState {
 public:
  MousepadEffectState() { Reset(); }
  // Back to the start values: the sweep begins filling from 0x3F00, all
  // else is 0.
  void Reset() {
    bytes_ = {};
    SetFillOn(1);
    SetFillPattern(kFillStart);
  }

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
  uint32_t flashStart() const {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= uint32_t{bytes_.Get(kFlashStart + i)} << (8 * i);
    return v;
  }
  void SetFlashStart(uint32_t ms) {
    for (size_t i = 0; i < 4; ++i) bytes_.Set(kFlashStart + i, uint8_t(ms >> (8 * i)));
  }
  uint8_t flashPos() const { return bytes_.Get(kFlashPos); }
  void SetFlashPos(uint8_t v) { bytes_.Set(kFlashPos, v); }

  static constexpr int16_t kFillStart = 0x3F00;

 private:
  uint8_t PerLed(size_t base, size_t led) const { return led < kMousepadLeds ? bytes_.Get(base + led) : 0; }
  void SetPerLed(size_t base, size_t led, uint8_t v) {
    if (led < kMousepadLeds) bytes_.Set(base + led, v);
  }

  static constexpr size_t kPhase = 0;
  static constexpr size_t kWork = 1;
  static constexpr size_t kGlow = 4;
  static constexpr size_t kHue = kGlow + kMousepadLeds;
  static constexpr size_t kRing = kHue + kMousepadLeds;
  static constexpr size_t kBarLevel = kRing + kMousepadLeds;
  static constexpr size_t kBarFalling = kBarLevel + 1;
  static constexpr size_t kFillOn = kBarFalling + 1;
  static constexpr size_t kFillPattern = kFillOn + 1;
  static constexpr size_t kFillCount = kFillPattern + 2;
  static constexpr size_t kFlashOn = kFillCount + 1;
  static constexpr size_t kFlashStart = kFlashOn + 1;
  static constexpr size_t kFlashPos = kFlashStart + 4;
  ByteRecord<kFlashPos + 1> bytes_;
};

// The mousepad's scaling: each working component becomes c × (l + 1) >> 8,
// so a full level keeps the colour and level 0 leaves 0.
void ScaleColour(MousepadEffectState& state, uint8_t l);
uint8_t StepPhase(MousepadEffectState& state, uint8_t direction, unsigned n);

// Milliseconds of the steady clock, low 32 bits: the flash's time base,
// never set back by a change of the wall clock.
using MillisecondClock = std::function<uint32_t()>;
uint32_t SteadyMilliseconds();

inline constexpr uint8_t kPadCometMode = 5;
inline constexpr uint8_t kPadFlashMode = 8;

// The effect table of the mousepad thread, modes 0..8 with their extra
// sleeps. Every reference is held by the table and must outlive it: the
// mousepad state, the keyboard state whose hue counter the comet shares,
// and the trigger the mouse sets when it asks for a flash.
MousepadModeTable MousepadModes(MousepadEffectState& state, KbEffectState& keyboard,
                                std::atomic<uint32_t>& flashTrigger, MillisecondClock clock = SteadyMilliseconds);

// What choosing mousepad mode `mode` does to the effect state: everything
// back to the start, the comet's first ring LED lit, and for the flash a
// trigger left over from earlier mouse events dropped, so the pad does not
// flash the moment the mode is chosen.
void StartMousepadMode(uint8_t mode, MousepadEffectState& state, std::atomic<uint32_t>& flashTrigger);

}  // namespace talvo::lighting
