#include "transfer/cursor_download.h"

#include "device/device_commands.h"

namespace talvo::transfer {

std::optional<size_t> CursorImageLength(std::span<const uint8_t, kCursorImageHeaderSize> header) {
  if (uint16_t(header[0] | header[1] << 8) != kCursorImageMagic) return std::nullopt;
  const size_t total = size_t(header[2] | header[3] << 8);
  if (total < kCursorImageHeaderSize || total > kCursorImageMax) return std::nullopt;
  return total;
}

size_t DownloadCursorImage(device::CDeviceLink& mouse, std::array<uint8_t, kCursorImageMax>& image) {
  device::BeginTransfer(mouse);
  size_t length = 0;
  std::array<uint8_t, kCursorImageHeaderSize> header{};
  if (device::ReadCursorImage(mouse, header) == 1) {
    if (const std::optional<size_t> total = CursorImageLength(header)) {
      std::array<uint8_t, kCursorImageMax> read{};
      if (device::ReadCursorImage(mouse, std::span(read).first(*total)) == 1) {
        image = read;
        length = *total;
      }
    }
  }
  device::EndTransfer(mouse);
  return length;
}

}  // namespace talvo::transfer
