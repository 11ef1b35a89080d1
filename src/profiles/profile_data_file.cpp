#include "profiles/profile_data_file.h"

#include <algorithm>

#include "platform/debug.h"
#include "platform/files.h"

namespace talvo::profiles {

int ParseProfileFile(std::span<const std::uint8_t> fileBytes, std::span<std::uint8_t> body) {
  if (fileBytes.size() < kMagicOffset + 2) return kReadBadFormat;
  const auto magic = static_cast<std::uint16_t>(fileBytes[kMagicOffset] |
                                                (fileBytes[kMagicOffset + 1] << 8));
  if (magic != kProfileMagic) return kReadBadFormat;
  if (fileBytes.size() <= kHeaderSize) return kReadOk;
  const auto present = fileBytes.subspan(kHeaderSize);
  const std::size_t count = std::min(present.size(), body.size());
  std::copy_n(present.begin(), count, body.begin());
  return kReadOk;
}

int ReadProfileFile(const std::filesystem::path& path, std::span<std::uint8_t> body,
                    std::uint16_t /*deviceCode*/) {
  const auto bytes = platform::ReadWholeFile(path, kHeaderSize + body.size());
  if (!bytes) return kReadAbsent;
  return ParseProfileFile(*bytes, body);
}

std::vector<std::uint8_t> BuildProfileFile(std::span<const std::uint8_t> body,
                                           std::uint16_t deviceCode) {
  std::vector<std::uint8_t> out(kHeaderSize + body.size(), 0);
  out[kMagicOffset] = static_cast<std::uint8_t>(kProfileMagic & 0xFF);
  out[kMagicOffset + 1] = static_cast<std::uint8_t>(kProfileMagic >> 8);
  out[kDeviceCodeOffset] = static_cast<std::uint8_t>(deviceCode & 0xFF);
  out[kDeviceCodeOffset + 1] = static_cast<std::uint8_t>(deviceCode >> 8);
  std::copy(body.begin(), body.end(), out.begin() + kHeaderSize);
  return out;
}

bool WriteProfileFile(const std::filesystem::path& path, std::span<const std::uint8_t> body,
                      std::uint16_t deviceCode) {
  const std::vector<std::uint8_t> bytes = BuildProfileFile(body, deviceCode);
  if (!platform::WriteFileAtomically(path, bytes)) {
    debug::Line("profile file could not be written: " + path.string());
    return false;
  }
  return true;
}

}  // namespace talvo::profiles
