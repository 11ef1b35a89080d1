#include "transfer/cursor_upload.h"

#include "device/device_commands.h"

namespace talvo::transfer {

CursorUploadResults UploadCursorImage(device::CDeviceLink& mouse, std::span<const uint8_t> image) {
  CursorUploadResults results;
  if (image.empty()) return results;
  results.begin = device::BeginTransfer(mouse);
  results.image = device::WriteCursorImage(mouse, image);
  results.end = device::EndTransfer(mouse);
  return results;
}

}  // namespace talvo::transfer
