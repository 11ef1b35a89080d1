// The settings writes (command 6) that push a device's live light record to
// the device, and the periodic push of the records whose flag is set.
#pragma once

#include <array>
#include <cstdint>
#include <span>

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
// bytes and then zeros.
std::array<SettingsWrite, 1> LightRecordPushImage(const LightRecord& record);
// Mouse: bytes 0..13, 15..18 and 20..33 (padded with zeros to 44). Bytes 14
// (report rate) and 19 (active DPI stage) are left out on purpose: the mouse
// owns them and no push may overwrite them.
std::array<SettingsWrite, 3> MousePushImage(const MouseSettingsRecord& record);

// Runs every write in order, whatever the earlier ones returned. 1 when all
// succeeded, else the result of the last write that did not.
int SendPushImage(device::CDeviceLink& link, std::span<const SettingsWrite> writes);

// The links of the three devices; a null link is one the program does not have.
struct PushLinks {
  device::CDeviceLink* keyboard = nullptr;
  device::CDeviceLink* mouse = nullptr;
  device::CDeviceLink* mousepad = nullptr;
};

// The body of the periodic push timer: for each device whose flag is set,
// clear the flag and send its push image. Results are not acted on; a write
// to an absent device simply fails, and the flag stays clear.
void PushPendingRecords(LightPushFlags& flags, const PushLinks& links, const KeyboardLighting& kb,
                        const MouseLighting& ms, const MousepadLighting& mp);

}  // namespace talvo::lighting
