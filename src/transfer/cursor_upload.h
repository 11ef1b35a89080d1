// The device half of storing the cursor macros on the mouse: the whole cursor
// image within one transfer. Runs inside a session sequence, before the macro
// image; building the image from the slot files is the caller's.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "device/device_link.h"

namespace talvo::transfer {

struct CursorUploadResults {
  // Results of begin-transfer, the image write and end-transfer; nothing
  // when there was no image to send.
  std::optional<int> begin, image, end;

  bool Failed() const { return image && *image != 1; }
};

// Begin-transfer, the image (sent in the command layer's chunks),
// end-transfer even when the write failed. Nothing is sent for an empty
// image.
CursorUploadResults UploadCursorImage(device::CDeviceLink& mouse, std::span<const uint8_t> image);

}  // namespace talvo::transfer
