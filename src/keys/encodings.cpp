#include "keys/encodings.h"

#include "keys/function_tables.h"

namespace talvo::keys {
namespace {

bool StepValuesValid(int a, int b, int amount, int maxAmount = kMaxStepAmount) {
  return a >= 0 && a <= kMaxStepValue && b >= 0 && b <= kMaxStepValue && amount >= 0 && amount <= maxAmount;
}

uint8_t PackStepValues(int a, int b) { return static_cast<uint8_t>((a << 4) | b); }

bool InByteRange(int value) { return value >= 0 && value <= 0xFF; }

}  // namespace

std::optional<KeyFunction> EncodeTilt(TiltDirection direction, int a, int b, int amount) {
  if (!StepValuesValid(a, b, amount)) return std::nullopt;
  // (amount - 128) mod 256 sets bit 7 for the right.
  const int p2 = direction == TiltDirection::Right ? (amount + 128) & 0xFF : amount;
  return KeyFunction{kKindTilt, PackStepValues(a, b), static_cast<uint8_t>(p2)};
}

Tilt DecodeTilt(KeyFunction function) {
  return {(function.p2 & 0x80) ? TiltDirection::Right : TiltDirection::Left,
          static_cast<uint8_t>(function.p1 >> 4), static_cast<uint8_t>(function.p1 & 0x0F),
          static_cast<uint8_t>(function.p2 & 0x7F)};
}

std::optional<KeyFunction> EncodeWheel(WheelDirection direction, int a, int b, int amount) {
  if (!StepValuesValid(a, b, amount, direction == WheelDirection::Down ? kMaxWheelDownAmount : kMaxStepAmount))
    return std::nullopt;
  const int p2 = direction == WheelDirection::Down ? (256 - amount) & 0xFF : amount;
  return KeyFunction{kKindWheel, PackStepValues(a, b), static_cast<uint8_t>(p2)};
}

Wheel DecodeWheel(KeyFunction function) {
  const bool down = (function.p2 & 0x80) != 0;
  return {down ? WheelDirection::Down : WheelDirection::Up,
          static_cast<uint8_t>(function.p1 >> 4), static_cast<uint8_t>(function.p1 & 0x0F),
          static_cast<uint8_t>(down ? 128 - (function.p2 & 0x7F) : function.p2)};
}

KeyFunction EncodeFire(unsigned first, unsigned second) {
  return {kKindFire, static_cast<uint8_t>(first & 0xFF), static_cast<uint8_t>(second & 0xFF)};
}

std::optional<KeyFunction> EncodeMacro(int macroNumber, int playMode) {
  if (!InByteRange(macroNumber) || playMode < 0 || playMode >= kPlayModeCount) return std::nullopt;
  return KeyFunction{kKindMacro, static_cast<uint8_t>(macroNumber), static_cast<uint8_t>(playMode)};
}

std::optional<KeyFunction> EncodeRepeatedMacro(int macroNumber, int repeatCount) {
  if (!InByteRange(macroNumber) || !InByteRange(repeatCount)) return std::nullopt;
  return KeyFunction{kKindMacroRepeat, static_cast<uint8_t>(macroNumber),
                     static_cast<uint8_t>(repeatCount)};
}

std::optional<KeyFunction> EncodeCursorMacro(int slot) {
  if (slot < 0 || slot >= kCursorSlotCount) return std::nullopt;
  return KeyFunction{kKindCursorMacro, static_cast<uint8_t>(slot), 0};
}

}  // namespace talvo::keys
