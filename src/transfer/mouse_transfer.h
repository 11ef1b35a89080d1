// The mouse's read sequences and its onboard-profile switch.
//
// The mouse keeps five onboard profiles, each with a key map and a 64-byte
// settings block at settings offset profile × 64 that begins with its
// MouseSettingsRecord; byte 0 of the settings area is the active profile.
// The sequences run on the UI thread; refreshing the pages afterwards is the
// caller's job. Device replies are parsed by the commands themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "profiles/live_data.h"

namespace talvo::transfer {

// The mouse's settings blocks as last read: one 56-byte copy per onboard
// profile, 64 bytes apart. The performance page shows the report rate and the
// active DPI stage from copy 0.
struct MouseDeviceBlocks {
  static constexpr size_t kCopies = 5;
  static constexpr size_t kCopySize = 56;
  static constexpr size_t kStride = 64;

  std::array<uint8_t, kCopies * kStride> bytes{};

  // `profile` must be below kCopies.
  std::span<uint8_t, kCopySize> Copy(size_t profile) {
    return std::span<uint8_t, kCopySize>(bytes.data() + profile * kStride, kCopySize);
  }
  std::span<const uint8_t, kCopySize> Copy(size_t profile) const {
    return std::span<const uint8_t, kCopySize>(bytes.data() + profile * kStride, kCopySize);
  }
};

// What the main window keeps of the mouse besides the key maps and the
// lighting records of profiles::LiveData.
struct MouseDeviceData {
  device::DeviceInfo info;
  MouseDeviceBlocks blocks;
};

// Reads the information block, the default map, and every profile's settings
// block and key map; takes the live record from the light image slot of the
// active profile the mouse reports in block 4; saves the mouse device
// profile. A command that fails leaves its destination as it was.
void MouseFullRead(device::CDeviceLink& link, MouseDeviceData& data, profiles::LiveData& live);

// After the mouse changed its settings on its own: re-reads the active
// profile's block into its light image slot, block copy 0 and the live
// record, then saves the mouse light and device profiles. False, with
// nothing changed, when the mouse gives no usable active profile.
bool MouseSettingsReread(device::CDeviceLink& link, MouseDeviceData& data, profiles::LiveData& live);

// Makes onboard profile n (0..4) active on the mouse and loads its block into
// slot n, block copy 0 and the live record. True when the profile was
// switched; false, with nothing changed, for n above 4, when n is already
// active, or when the mouse gives no usable active profile.
bool SelectMouseProfile(device::CDeviceLink& link, MouseDeviceData& data, profiles::LiveData& live, unsigned n);

}  // namespace talvo::transfer
