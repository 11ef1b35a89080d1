// The macro image a device plays its macros from, little-endian:
//   0  magic 0x55AA       2  total length       4  macro count n
//   6  10 reserved bytes  16 n block offsets    16 + 2n the blocks, no gaps
// A block is its step count, two reserved bytes, and four bytes per step:
// delay low, delay high, event, value. Key functions of kind 0x70/0x71
// name a macro by its position here, which is its position in the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "device/device_commands.h"
#include "device/peripheral.h"
#include "macros/macro_files.h"

namespace talvo::macros {

inline constexpr uint16_t kMacroImageMagic = 0x55AA;
inline constexpr size_t kMacroImageHeaderSize = 16;
inline constexpr size_t kMacroBlockHeaderSize = 4;
inline constexpr size_t kMacroStepSize = 4;
// The length field is 16 bits wide.
inline constexpr size_t kMaxMacroImageLength = 0xFFFF;

// 16 + 6n + 4 × all steps; nothing when it does not fit the length field.
std::optional<size_t> MacroImageLength(std::span<const MacroRecord> macros);

// The image of the macros in list order, exactly MacroImageLength bytes;
// empty when there are no macros or they do not fit the length field. A step
// that does not parse keeps its place as four zero bytes.
std::vector<uint8_t> BuildMacroImage(std::span<const MacroRecord> macros);

struct MacroImagePlan {
  enum Status {
    kNoMacros,  // nothing to send but the key map
    kReady,     // `image` fits the device
    kTooLarge,  // nothing may be sent; "message_text_16" gets `stepsOver`
  } status = kNoMacros;
  std::vector<uint8_t> image;
  // Steps to remove so the image fits: (excess / 4) + 1.
  size_t stepsOver = 0;
};

// Checks the macros against the device's macro memory (capacity × 128 bytes)
// and builds their image when it fits.
MacroImagePlan PlanMacroImage(std::span<const MacroRecord> macros, const device::DeviceInfo& info);

// The device's macros from its index and ".mac" files, in list order.
std::vector<MacroRecord> ReadAllMacros(device::Peripheral peripheral, const std::filesystem::path& folder);

}  // namespace talvo::macros
