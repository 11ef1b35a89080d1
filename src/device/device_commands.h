// The command set spoken over a device link. Every command returns an
// integer result:
//    1  success
//    0  the device is absent or gave no reply after four attempts
//   -1  a request was not written; also a call refused before anything was
//       sent (a length above 56, a buffer shorter than the transfer, or a
//       transfer longer than the 16-bit offset field can address)
//  -102 the device reported failure (status 0xFF)
//  -103 the device rejected the request (status 0xFE)
//  -201 a profile number above 4, nothing sent
// A read fills its output only on success; a chunked read keeps the chunks
// that arrived before a failure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/device_link.h"

namespace talvo::device {

inline constexpr int kResultOk = 1;
inline constexpr int kResultNoReply = 0;
inline constexpr int kResultNotWritten = -1;
inline constexpr int kResultDeviceFailed = -102;
inline constexpr int kResultBadRequest = -103;
inline constexpr int kResultBadProfile = -201;

inline constexpr unsigned kMaxProfile = 4;
// Key maps of consecutive onboard profiles start this many bytes apart.
inline constexpr unsigned kKeyMapProfileStride = 126;
// Longest chunked transfer: its last chunk must still start at a 16-bit offset.
inline constexpr size_t kMaxChunkedTransfer = 65536;

// The 33-byte information block of a device.
struct DeviceInfo {
  std::array<uint8_t, 33> bytes{};

  uint8_t KeyCount() const { return bytes[5]; }
  // Macro memory in units of 128 bytes.
  uint8_t MacroCapacity() const { return bytes[6]; }
  size_t MacroMemoryBytes() const { return size_t{bytes[6]} * 128; }
};

int BeginTransfer(CDeviceLink& link);
// Sent 10 ms after the call, giving the device time to settle the sequence;
// an absent device returns 0 at once.
int EndTransfer(CDeviceLink& link);
int ReadDeviceInfo(CDeviceLink& link, DeviceInfo& info);
// Reads `n` (at most 56) bytes of the settings area at `offset` into the
// start of `out`.
int ReadSettings(CDeviceLink& link, uint8_t n, uint16_t offset, std::span<uint8_t> out);
// Writes the first `n` bytes of `data`. Clears the link's syncActive first,
// whatever the outcome.
int WriteSettings(CDeviceLink& link, uint8_t n, uint16_t offset, std::span<const uint8_t> data);
// Key maps move TransferSize() bytes through the start of the span.
int ReadDefaultMap(CDeviceLink& link, std::span<uint8_t> out);
int ReadKeyMap(CDeviceLink& link, unsigned profile, std::span<uint8_t> out);
int WriteKeyMap(CDeviceLink& link, unsigned profile, std::span<const uint8_t> data);
// Sent once; the reply is not examined.
int RestoreDefaults(CDeviceLink& link);
// The remaining commands move the whole span.
int SendLightFrame(CDeviceLink& link, std::span<const uint8_t> frame);
int WriteMacroImage(CDeviceLink& link, std::span<const uint8_t> image);
int ReadCursorImage(CDeviceLink& link, std::span<uint8_t> out);
int WriteCursorImage(CDeviceLink& link, std::span<const uint8_t> image);

// A short English description of a command result, for tools.
const char* ResultText(int result);

}  // namespace talvo::device
