// Reading the mouse's cursor-macro image: a 16-byte header first, then the
// whole image its header announces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "device/device_link.h"

namespace talvo::transfer {

inline constexpr size_t kCursorImageHeaderSize = 16;
// The most a mouse holds.
inline constexpr size_t kCursorImageMax = 3072;
inline constexpr uint16_t kCursorImageMagic = 0x55AA;

// The image length a header announces, or nothing when the header has no
// magic or announces less than itself or more than a mouse holds.
std::optional<size_t> CursorImageLength(std::span<const uint8_t, kCursorImageHeaderSize> header);

// Within one transfer: the header, then the announced image into `image`.
// Returns the image length, 0 when there was none to read (no reply, no
// magic, an impossible length, a failed read); `image` is written only when
// the whole image was read.
size_t DownloadCursorImage(device::CDeviceLink& mouse, std::array<uint8_t, kCursorImageMax>& image);

}  // namespace talvo::transfer
