// The keyboard's LED model: 126 engine LEDs (row r holds 21 × r .. 21 × r +
// 20, not every index a key), where each one lands in the device's frame,
// the key matrix the moving effects walk, and the keyboard frame built from
// the LED states.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "lighting/light_records.h"

namespace talvo::lighting {

inline constexpr size_t kKeyboardLeds = 126;
// Frame position or matrix cell of an LED that has none.
inline constexpr uint8_t kNoLed = 126;
inline constexpr size_t kKeyboardFrameBytes = kKeyboardLeds * 3;  // 378
inline constexpr size_t kMatrixColumns = 23;
inline constexpr size_t kMatrixRows = 6;

struct LedState {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t level = 0;
  friend bool operator==(const LedState&, const LedState&) = default;
};

// The 126 LED states: written by the keyboard thread, read by the frame
// builder and the page, every byte whole.
class LedStates {
 public:
  LedState Get(size_t led) const {
    const size_t o = led * 4;
    return {bytes_.Get(o), bytes_.Get(o + 1), bytes_.Get(o + 2), bytes_.Get(o + 3)};
  }
  // Paints `led` with colour `c` at `level`; an index past 125 paints nothing.
  void Set(size_t led, Rgb c, uint8_t level) {
    if (led >= kKeyboardLeds) return;
    const size_t o = led * 4;
    bytes_.Set(o, c.red);
    bytes_.Set(o + 1, c.green);
    bytes_.Set(o + 2, c.blue);
    bytes_.Set(o + 3, level);
  }

 private:
  ByteRecord<kKeyboardLeds * 4> bytes_;
};

// Engine LED → keyboard frame position, kNoLed for LEDs the device has no
// place for.
extern const std::array<uint8_t, kKeyboardLeds> kLedFrameMap;
// Column c, row r → engine LED, kNoLed where the keyboard has no key.
extern const std::array<std::array<uint8_t, kMatrixRows>, kMatrixColumns> kKeyMatrix;

// The preview of one keyboard frame: each LED's colour packed for the key
// buttons and its level.
struct KeyboardPreview {
  std::array<uint32_t, kKeyboardLeds> colour{};
  std::array<uint8_t, kKeyboardLeds> level{};
};

using KeyboardFrame = std::array<uint8_t, kKeyboardFrameBytes>;

// Walks the LEDs in order: every LED's preview, and for every LED with a
// frame position p the bytes 3p..3p+2 as colour × level >> 8. The frame is
// zeroed first, so positions no LED maps to stay 0.
void BuildKeyboardFrame(const LedStates& leds, KeyboardFrame& frame, KeyboardPreview& preview);

}  // namespace talvo::lighting
