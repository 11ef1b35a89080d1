// The file in which a simulated device keeps its memory from one run of the
// program to the next: every area but the lighting frame, which changes 60
// times a second and means nothing after a restart.
//
// Layout, integers little-endian:
//   offset 0  4 bytes  magic "TSIM"
//          4  1 byte   version, 1
//          5  1 byte   device kind: 0 keyboard, 1 mouse, 2 mousepad
//          6           six areas in the order info, settings, keymaps,
//                      default_map, macro, cursor: each a 32-bit length and
//                      that many bytes
// Nothing follows the last area. An area a device does not have has length 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_device.h"

namespace talvo::sim {

// The kept areas, in the order of the file (and of SimDevice's areas).
inline constexpr size_t kStateAreaCount = 6;
using StateAreas = std::array<std::vector<uint8_t>, kStateAreaCount>;

inline constexpr size_t kStateHeaderSize = 6;
inline constexpr size_t kStateLengthSize = 4;
inline constexpr size_t kMaxMacroCapacity = 255;  // the information block's capacity byte
// The largest valid file, that of the mouse with the most macro memory.
inline constexpr size_t kStateFileMax = kStateHeaderSize + kStateAreaCount * kStateLengthSize + info::kSize +
                                        kSettingsSize + kKeyMapsSize + kDefaultMapSize +
                                        kMaxMacroCapacity * kMacroUnit + kCursorSize;

// "mouse.state", "keyboard.state", "mousepad.state".
std::string StateFileName(DeviceKind kind);

std::vector<uint8_t> EncodeStateFile(DeviceKind kind, const StateAreas& areas);

// The areas of a file written for `kind`, or why it is refused as a whole: a
// file cut short or running on, another magic, version or kind, or an area
// whose length is not the one this kind of device has (the macro area's
// follows the capacity byte of the file's information block).
struct DecodedState {
  std::optional<StateAreas> areas;
  std::string_view refusal;
};
DecodedState DecodeStateFile(DeviceKind kind, std::span<const uint8_t> file);

}  // namespace talvo::sim
