// Building key functions from the values the key pages collect, and reading
// them back for display. Values outside what a function can hold are refused
// rather than wrapped into a different function.
#pragma once

#include <cstdint>
#include <optional>

#include "keys/key_map.h"

namespace talvo::keys {

enum class TiltDirection { Left = 0, Right = 1 };   // direction combo rows
enum class WheelDirection { Up = 0, Down = 1 };

// Decoded tilt or wheel function: the two 4-bit values and the amount.
template <typename Direction>
struct StepFunction {
  Direction direction;
  uint8_t a;
  uint8_t b;
  uint8_t amount;
  friend constexpr bool operator==(const StepFunction&, const StepFunction&) = default;
};
using Tilt = StepFunction<TiltDirection>;
using Wheel = StepFunction<WheelDirection>;

inline constexpr int kMaxStepValue = 15;     // a, b
inline constexpr int kMaxStepAmount = 127;
inline constexpr int kMaxWheelDownAmount = 128;  // p2 0x80
inline constexpr int kPlayModeCount = 4;     // play modes 0..3
inline constexpr int kCursorSlotCount = 4;

// Tilt: p1 = (a << 4) | b; p2 = amount to the left, amount + 128 to the right.
// None when a or b lies outside 0..15 or amount outside 0..127.
std::optional<KeyFunction> EncodeTilt(TiltDirection direction, int a, int b, int amount);
// Amount p2 & 0x7F, direction bit 7 of p2.
Tilt DecodeTilt(KeyFunction function);

// Wheel: p1 = (a << 4) | b; p2 = amount up, 256 - amount down (a signed step).
// None when a or b lies outside 0..15 or amount outside 0..127 (up) or
// 0..128 (down).
std::optional<KeyFunction> EncodeWheel(WheelDirection direction, int a, int b, int amount);
// Bit 7 of p2 clear: up by p2; set: down by 128 - (p2 & 0x7F).
Wheel DecodeWheel(KeyFunction function);

// Fire key: each value is stored as its low byte.
KeyFunction EncodeFire(unsigned first, unsigned second);

// Macro played in play mode 0..3; none for a macro number above 255 or
// another play mode.
std::optional<KeyFunction> EncodeMacro(int macroNumber, int playMode);
// Macro repeated `repeatCount` (0..255) times; none outside those ranges.
std::optional<KeyFunction> EncodeRepeatedMacro(int macroNumber, int repeatCount);

// Cursor macro of slot 0..3; none for another slot.
std::optional<KeyFunction> EncodeCursorMacro(int slot);

}  // namespace talvo::keys
