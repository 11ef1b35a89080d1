// The mousepad's read sequence, its onboard-profile switch and its restore
// to factory settings.
//
// The mousepad has lighting only: five onboard profiles, each a 64-byte
// settings block at settings offset profile × 64 that begins with its
// LightRecord; byte 0 of the settings area is the active profile. Each
// sequence comes in two halves: the device side, which runs on the
// mousepad's session thread and reads into a result of its own, and the
// apply side, which runs on the UI thread. Both apply halves return the
// profile the mousepad has active, so the profile choice can show it.
// Refreshing the page and saving the profiles afterwards is the caller's job.
// Device replies are parsed by the commands themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "lighting/light_records.h"
#include "profiles/live_data.h"

namespace talvo::transfer {

inline constexpr size_t kMousepadBlockRead = 56;
using MousepadBlock = std::array<uint8_t, kMousepadBlockRead>;

// What the main window keeps of the mousepad besides the lighting records of
// profiles::LiveData.
struct MousepadData {
  device::DeviceInfo info;
};

// What the mousepad's full read got; each part is empty when its read
// failed.
struct MousepadReadback {
  std::optional<device::DeviceInfo> info;
  std::array<std::optional<MousepadBlock>, lighting::kProfileSlots> blocks;
  // Empty also when the mousepad named a profile it does not have.
  std::optional<unsigned> active;
};

// Within one transfer: the information block, every profile's settings
// block, then the active profile.
MousepadReadback MousepadFullRead(device::CDeviceLink& link);
// Takes the information block, loads each block read into its light image
// slot and the live record from the active profile's slot (profile 0 when the
// mousepad gave no usable active profile). Returns that profile; the caller
// then saves the mousepad light profile.
unsigned ApplyMousepadFullRead(const MousepadReadback& readback, MousepadData& data, profiles::LiveData& live);

// One settings block read after asking which profile is active.
struct MousepadBlockRead {
  // The active profile the mousepad reported before the switch; empty when
  // it did not answer or named no slot.
  std::optional<unsigned> active;
  // The new profile's block, when its read succeeded.
  std::optional<MousepadBlock> block;
};

// Makes onboard profile n (0..4) active on the mousepad and reads its block;
// sends only the one-byte read when n is already active or the mousepad
// gives no usable active profile, and nothing for n above 4.
MousepadBlockRead SelectMousepadProfile(device::CDeviceLink& link, unsigned n);
// Puts the live record back into the old profile's slot, loads the block into
// slot n and the live record from it. Changes nothing for n above 4, when n
// was already active or when the mousepad gave no usable active profile.
// Returns the profile the mousepad has active as far as known: n after a
// switch, the one it reported otherwise, and without an answer the live
// record's profile (the last one read from the mousepad, unless a profile
// load replaced the record), or none when that names no slot. A switch cut
// short is applied as an empty MousepadBlockRead.
std::optional<unsigned> ApplyMousepadProfileSwitch(const MousepadBlockRead& read, unsigned n, profiles::LiveData& live);

// The mousepad returns to its factory settings. Its reply is not examined;
// the caller reads the mousepad again a second later, once it has settled.
int RestoreMousepadDefaults(device::CDeviceLink& link);

}  // namespace talvo::transfer
