// Profile data files: a 16-byte header followed by the body of one profile
// kind (key map, light body, or both). Shared by key, lighting and device
// profiles of every peripheral and by the factory default files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace talvo::profiles {

// Header layout, little-endian. Only the magic is checked on reading; the
// device code is written but a file of another device is still accepted, so
// files move freely between devices with bodies of the same size.
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::uint16_t kProfileMagic = 0x55AA;
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kDeviceCodeOffset = 4;

// Results of reading a profile file.
inline constexpr int kReadOk = 0;
inline constexpr int kReadAbsent = 1;      // missing or cannot be opened/read
inline constexpr int kReadBadFormat = -1;  // does not start with the magic

// Parses the bytes of a whole file (or its first kHeaderSize + body.size()
// bytes). Returns kReadOk or kReadBadFormat. On kReadOk copies the bytes
// after the header into body, at most body.size(); bytes of body beyond the
// end of the file keep what the caller put there. Bytes past the body are
// ignored. A file needs only its two magic bytes to count as a profile file:
// a file that ends inside the header is an empty body, like a file that ends
// right after it.
int ParseProfileFile(std::span<const std::uint8_t> fileBytes, std::span<std::uint8_t> body);

// Reads at most kHeaderSize + body.size() bytes of the file, so a huge file
// costs no more than a well-formed one. deviceCode is accepted for symmetry
// with WriteProfileFile and not compared. Returns kReadOk, kReadAbsent or
// kReadBadFormat.
int ReadProfileFile(const std::filesystem::path& path, std::span<std::uint8_t> body,
                    std::uint16_t deviceCode);

// The header (magic, device code, zero reserved bytes) followed by body, as
// the bytes of one file.
std::vector<std::uint8_t> BuildProfileFile(std::span<const std::uint8_t> body,
                                           std::uint16_t deviceCode);

// Writes header and body through a temporary file renamed over the target,
// so a failed write never leaves a half-written profile. On failure emits the
// debug line "profile file could not be written: PATH" and returns false.
bool WriteProfileFile(const std::filesystem::path& path, std::span<const std::uint8_t> body,
                      std::uint16_t deviceCode);

}  // namespace talvo::profiles
