// The 64-byte command report exchanged with every peripheral, the same layout
// in both directions (multi-byte fields little-endian):
//
//   0  report id, always 4
//   1  checksum: sum of bytes 3..63 as unsigned bytes, low 16 bits
//   3  command code
//   4  length: meaningful data bytes (0..56)
//   5  offset into the area the command addresses
//   7  0 in a request, status in a reply (0xFF / 0xFE report failure)
//   8  56 data bytes
//
// Header-only on purpose: the simulated firmware speaks the same format and
// depends on nothing else of the product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace talvo::device {

inline constexpr size_t kReportSize = 64;
inline constexpr uint8_t kReportId = 4;
inline constexpr size_t kReportDataOffset = 8;
inline constexpr size_t kReportDataSize = 56;

inline constexpr uint8_t kStatusFailed = 0xFF;     // → −102
inline constexpr uint8_t kStatusBadRequest = 0xFE; // → −103

// Command interface identity shared by all three peripherals.
inline constexpr uint16_t kVendorId = 0x0C45;
inline constexpr uint16_t kCommandUsagePage = 0xFF1C;
inline constexpr uint16_t kCommandUsage = 0x0092;
inline constexpr uint16_t kKeyboardProductId = 0x6556;
inline constexpr uint16_t kMouseProductId = 0x652C;
inline constexpr uint16_t kMousepadProductId = 0x5004;

// Notification interface (consumer control) of the mouse and the keyboard.
inline constexpr uint16_t kNotifyUsagePage = 0x000C;
inline constexpr uint16_t kNotifyUsage = 0x0001;

enum class Command : uint8_t {
  BeginTransfer = 1,
  EndTransfer = 2,
  ReadDeviceInfo = 3,
  ReadSettings = 5,
  WriteSettings = 6,
  ReadDefaultMap = 7,
  ReadKeyMap = 8,
  WriteKeyMap = 9,
  RestoreDefaults = 13,
  SendLightFrame = 18,
  WriteMacroImage = 21,
  ReadCursorImage = 22,
  WriteCursorImage = 23,
};

namespace report {

inline constexpr size_t kChecksum = 1;
inline constexpr size_t kCommand = 3;
inline constexpr size_t kLength = 4;
inline constexpr size_t kOffset = 5;
inline constexpr size_t kStatus = 7;

inline uint16_t Checksum(std::span<const uint8_t, kReportSize> r) {
  unsigned sum = 0;
  for (size_t i = kCommand; i < kReportSize; ++i) sum += r[i];
  return static_cast<uint16_t>(sum);
}

inline void StoreChecksum(std::span<uint8_t, kReportSize> r) {
  const uint16_t sum = Checksum(r);
  r[kChecksum] = static_cast<uint8_t>(sum & 0xFF);
  r[kChecksum + 1] = static_cast<uint8_t>(sum >> 8);
}

inline uint16_t StoredChecksum(std::span<const uint8_t, kReportSize> r) {
  return static_cast<uint16_t>(r[kChecksum] | (r[kChecksum + 1] << 8));
}

inline uint16_t Offset(std::span<const uint8_t, kReportSize> r) {
  return static_cast<uint16_t>(r[kOffset] | (r[kOffset + 1] << 8));
}

inline void SetOffset(std::span<uint8_t, kReportSize> r, unsigned offset) {
  r[kOffset] = static_cast<uint8_t>(offset & 0xFF);
  r[kOffset + 1] = static_cast<uint8_t>((offset >> 8) & 0xFF);
}

inline std::span<uint8_t, kReportDataSize> Data(std::span<uint8_t, kReportSize> r) {
  return r.subspan<kReportDataOffset, kReportDataSize>();
}

inline std::span<const uint8_t, kReportDataSize> Data(std::span<const uint8_t, kReportSize> r) {
  return r.subspan<kReportDataOffset, kReportDataSize>();
}

}  // namespace report
}  // namespace talvo::device
