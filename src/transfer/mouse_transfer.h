// The mouse's read sequences and its onboard-profile switch.
//
// The mouse keeps five onboard profiles, each with a key map and a 64-byte
// settings block at settings offset profile × 64 that begins with its
// MouseSettingsRecord; byte 0 of the settings area is the active profile.
// Each sequence comes in two halves: the device side, which runs on the
// mouse's session thread and reads into a result of its own, and the apply
// side, which runs on the UI thread. Refreshing the pages and saving the
// profiles afterwards is the caller's job. Device replies are parsed by the
// commands themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "keys/key_map.h"
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
  // True once a full read has had the mouse's information block: its macro
  // memory size is the mouse's own, and the live key maps came from it.
  // Until then a store or a key assignment waits, as a read would overwrite
  // the one and measure the other wrongly.
  bool read = false;
};

// What the mouse's sequences read, in copies of their own: taken from the
// live data before a sequence (on the UI thread), filled by the sequence on
// the mouse's session thread, and applied back in one step, so a page or a
// lighting thread never sees half a read. Saving the profiles afterwards is
// the caller's job.
struct MouseReadback {
  MouseDeviceData data;
  keys::DeviceKeyMaps keys;
  // Whether this read got the information block.
  bool infoRead = false;

  static MouseReadback Of(const MouseDeviceData& data, const profiles::LiveData& live) {
    return {data, live.mouseKeys};
  }
};

// One 56-byte settings block read after asking which profile is active.
struct MouseBlockRead {
  // The active profile the mouse reported (before a switch, the one it
  // switched from); none when it did not answer or named no slot.
  std::optional<unsigned> active;
  // The block, when its read succeeded.
  std::optional<std::array<uint8_t, MouseDeviceBlocks::kCopySize>> block;
};

// Within one transfer: the information block, the default map, and every
// profile's settings block and key map into `readback`. A command that
// fails leaves its destination as it was.
void MouseFullRead(device::CDeviceLink& link, MouseReadback& readback);
// Takes the read data and key maps, then the live record from the light
// image slot of the active profile the mouse reports in block 4 (an earlier
// read's block 4 when this one got nothing). The caller saves the mouse
// device profile.
void ApplyMouseFullRead(const MouseReadback& readback, MouseDeviceData& data, profiles::LiveData& live);

// After the mouse changed its settings on its own: the active profile, then
// its block.
MouseBlockRead MouseSettingsReread(device::CDeviceLink& link);
// Puts the live record back into its slot, loads the re-read block into the
// active profile's slot, block copy 0 and the live record. False, with
// nothing changed, when the mouse gave no usable active profile; else the
// caller saves the mouse light and device profiles.
bool ApplyMouseSettingsReread(const MouseBlockRead& read, MouseDeviceData& data, profiles::LiveData& live);

// Makes onboard profile n (0..4) active on the mouse and reads its block;
// sends only the one-byte read when n is already active or the mouse gives
// no usable active profile, and nothing for n above 4.
MouseBlockRead SelectMouseProfile(device::CDeviceLink& link, unsigned n);
// Loads profile n's block into slot n, block copy 0 and the live record.
// True when the profile was switched; false, with nothing changed, for n
// above 4, when n was already active, or when the mouse gave no usable
// active profile.
bool ApplyMouseProfileSwitch(const MouseBlockRead& read, unsigned n, MouseDeviceData& data,
                             profiles::LiveData& live);

}  // namespace talvo::transfer
