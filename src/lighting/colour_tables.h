// The built-in colour and curve tables the lighting effects walk, and the
// keyboard's frame delays. All are fixed at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "lighting/light_records.h"

namespace talvo::lighting {

namespace tables_detail {

// Rising and falling halves of one hue segment: the first 32 steps bring the
// second channel up under a full first channel, the last 32 take the first
// channel down under a full second one.
inline constexpr std::array<uint8_t, 32> kRise{1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,
                                               44,  50,  57,  65,  73,  81,  89,  99,  109, 119, 129,
                                               140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
inline constexpr std::array<uint8_t, 32> kFall{248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                               114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                               29,  24,  20,  16,  12,  8,   6,   4,   2,   0};

constexpr std::array<Rgb, 256> MakeColourWheel() {
  std::array<Rgb, 256> wheel{};
  for (size_t s = 0; s < 3; ++s) {
    for (size_t k = 0; k < 64; ++k) {
      const uint8_t a = k < 32 ? 255 : kFall[k - 32];
      const uint8_t b = k < 32 ? kRise[k] : 255;
      Rgb& c = wheel[64 * s + k];
      if (s == 0) c = {a, b, 0};
      if (s == 1) c = {0, a, b};
      if (s == 2) c = {b, 0, a};
    }
  }
  for (size_t i = 192; i < 256; ++i) wheel[i] = wheel[i - 192];
  return wheel;
}

inline constexpr std::array<uint8_t, 48> kBreathRise{22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,
                                                     61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109,
                                                     114, 119, 124, 129, 134, 140, 146, 152, 158, 164, 170, 176,
                                                     182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

// The rising half followed by the same values falling.
template <size_t N>
constexpr std::array<uint8_t, 2 * N> Mirror(const std::array<uint8_t, N>& rise) {
  std::array<uint8_t, 2 * N> out{};
  for (size_t i = 0; i < N; ++i) {
    out[i] = rise[i];
    out[2 * N - 1 - i] = rise[i];
  }
  return out;
}

constexpr std::array<uint8_t, 64> MakeBreath128Rise() {
  std::array<uint8_t, 64> rise{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 16, 18, 20};
  for (size_t i = 0; i < kBreathRise.size(); ++i) rise[16 + i] = kBreathRise[i];
  return rise;
}

}  // namespace tables_detail

// 256 colours: a hue circle red → yellow → green → cyan → blue → magenta →
// red over entries 0..191; 192..255 repeat 0..63 so that effects may run a
// little past the circle.
inline constexpr std::array<Rgb, 256> kColourWheel = tables_detail::MakeColourWheel();
inline constexpr std::array<uint8_t, 96> kBreath96 = tables_detail::Mirror(tables_detail::kBreathRise);
inline constexpr std::array<uint8_t, 128> kBreath128 = tables_detail::Mirror(tables_detail::MakeBreath128Rise());

inline Rgb ColourWheel(uint8_t index) { return kColourWheel[index]; }

inline constexpr size_t kKeyboardModes = 17;
inline constexpr size_t kKbDelaySpeeds = 15;

namespace tables_detail {
constexpr std::array<std::array<uint8_t, kKbDelaySpeeds>, kKeyboardModes> MakeKbDelay() {
  std::array<std::array<uint8_t, kKbDelaySpeeds>, kKeyboardModes> rows{};
  for (size_t mode = 0; mode < kKeyboardModes; ++mode) {
    auto& row = rows[mode];
    row = {9, 13, 27, 37, 45};
    if (mode == 0) row[0] = 2;
    if (mode == 4 || mode == 7 || mode == 12) row[0] = 3;
    // The page offers speeds 0..4; the rest of the row is never read.
    for (size_t s = 5; s < kKbDelaySpeeds; ++s) row[s] = static_cast<uint8_t>(29 + 4 * (s - 5));
  }
  return rows;
}
}  // namespace tables_detail

// Milliseconds the keyboard thread sleeps between frames, by mode and speed.
inline constexpr std::array<std::array<uint8_t, kKbDelaySpeeds>, kKeyboardModes> kKbDelay =
    tables_detail::MakeKbDelay();

// The keyboard's frame delay for any record bytes: a mode beyond the list
// takes the common row (the delay of mode 3), a speed beyond the row its
// last column.
inline unsigned KbDelay(uint8_t mode, uint8_t speed) {
  const size_t row = mode < kKeyboardModes ? mode : 3;
  const size_t column = speed < kKbDelaySpeeds ? speed : kKbDelaySpeeds - 1;
  return kKbDelay[row][column];
}

inline uint8_t BrightnessLevel(uint8_t brightness) {
  return brightness < kBrightnessLevels.size() ? kBrightnessLevels[brightness] : kBrightnessLevels.back();
}

// Colours as the preview controls take them: red | blue << 8 | green << 16.
constexpr uint32_t PackPreviewColour(Rgb c) {
  return uint32_t{c.red} | uint32_t{c.blue} << 8 | uint32_t{c.green} << 16;
}

}  // namespace talvo::lighting
