// The device half of storing a key profile's macros on a device: the macro
// image, then the key map that refers to its macros by position. Runs inside
// one session sequence; checking the image against the device's memory,
// messages and saving the profile files are the caller's.
#pragma once

#include <optional>
#include <span>

#include "device/device_link.h"
#include "keys/key_map.h"

namespace talvo::transfer {

struct MacroUploadResults {
  // Results of begin-transfer, the image write and end-transfer; nothing
  // when there was no image to send.
  std::optional<int> imageBegin, image, imageEnd;
  // The key-map transfer's; nothing when it was skipped.
  std::optional<int> mapBegin, map, mapEnd;

  // The image was sent and the device did not take it whole: the key map,
  // which would name macros the device does not hold, was not written.
  bool ImageFailed() const { return image && *image != 1; }
};

// Within one transfer the whole image (none when empty), closed even when its
// write failed; then, unless that write failed, within another the profile's
// key map over the link's transfer size.
MacroUploadResults UploadMacroImage(device::CDeviceLink& link, std::span<const uint8_t> image, unsigned profile,
                                    const keys::KeyMapRecord& keyMap);

}  // namespace talvo::transfer
