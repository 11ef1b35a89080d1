// The three peripherals Talvo knows, with the codes its files use for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace talvo::device {

// Values are the device codes written into profile data files.
enum class Peripheral : uint16_t { Keyboard = 1, Mouse = 2, Mousepad = 3 };

inline constexpr uint16_t DeviceCode(Peripheral p) { return static_cast<uint16_t>(p); }

// Every peripheral, in the order tables indexed by IndexOf keep them.
inline constexpr Peripheral kAllPeripherals[] = {Peripheral::Keyboard, Peripheral::Mouse, Peripheral::Mousepad};
inline constexpr size_t IndexOf(Peripheral p) { return size_t(DeviceCode(p) - 1); }

// Prefix of the peripheral's folder, index files and control names.
inline constexpr std::string_view Prefix(Peripheral p) {
  constexpr std::string_view kPrefixes[] = {"kb", "ms", "mp"};
  return kPrefixes[IndexOf(p)];
}

}  // namespace talvo::device
