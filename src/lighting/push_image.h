// The settings writes (command 6) that push a device's live light record to
// the device, and the push images of the records whose flag is set.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/device_link.h"
#include "lighting/light_records.h"

namespace talvo::lighting {

inline constexpr uint8_t kSettingsWriteMax = 56;

// One write of the settings area: `length` bytes of `data` at `offset`.
struct SettingsWrite {
  uint16_t offset = 0;
  uint8_t length = 0;
  std::array<uint8_t, kSettingsWriteMax> data{};
};

// Keyboard and mousepad: one write at offset 0 of 56 bytes, the record's 21
// bytes and then zeros; a profile byte naming no onboard profile goes as 0.
std::array<SettingsWrite, 1> LightRecordPushImage(const LightRecord& record);
// Mouse: bytes 0..13, 15..18 and 20..33 (padded with zeros to 44). Bytes 14
// (report rate) and 19 (active DPI stage) are left out on purpose: the mouse
// owns them and no push may overwrite them.
std::array<SettingsWrite, 3> MousePushImage(const MouseSettingsRecord& record);

// Runs every write in order, whatever the earlier ones returned. 1 when all
// succeeded, else the result of the last write that did not.
int SendPushImage(device::CDeviceLink& link, std::span<const SettingsWrite> writes);

// The push image of one device whose record is to be pushed.
struct PendingPush {
  device::Peripheral peripheral;
  std::vector<SettingsWrite> writes;
};

// The body of the periodic push: for each device whose flag is set,
// keyboard first, then mouse, then mousepad, the flag is cleared and the
// record's push image taken. Sending them is the caller's; a push to an
// absent device is dropped and its flag stays clear.
std::vector<PendingPush> TakePendingPushes(LightPushFlags& flags, const KeyboardLighting& kb,
                                           const MouseLighting& ms, const MousepadLighting& mp);

}  // namespace talvo::lighting
