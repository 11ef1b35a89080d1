// The three peripherals Talvo knows, with the codes its files use for them.
#pragma once

#include <cstdint>
#include <string_view>

namespace talvo::device {

// Values are the device codes written into profile data files.
enum class Peripheral : uint16_t { Keyboard = 1, Mouse = 2, Mousepad = 3 };

inline constexpr uint16_t DeviceCode(Peripheral p) { return static_cast<uint16_t>(p); }

// Prefix of the peripheral's folder, index files and control names.
inline constexpr std::string_view Prefix(Peripheral p) {
  switch (p) {
    case Peripheral::Keyboard: return "kb";
    case Peripheral::Mouse: return "ms";
    case Peripheral::Mousepad: return "mp";
  }
  return "";
}

}  // namespace talvo::device
