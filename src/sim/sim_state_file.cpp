#include "sim/sim_state_file.h"

#include <algorithm>

#include "sim/factory_memory.h"

namespace talvo::sim {

namespace {

constexpr std::array<uint8_t, 4> kMagic = {'T', 'S', 'I', 'M'};
constexpr uint8_t kVersion = 1;
constexpr size_t kMacroArea = 4;

uint8_t KindCode(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Keyboard: return 0;
    case DeviceKind::Mouse: return 1;
    case DeviceKind::Mousepad: return 2;
  }
  return 0xFF;
}

// The length each area has on this kind of device; the macro area's is left
// to the information block.
std::array<size_t, kStateAreaCount> AreaLengths(DeviceKind kind) {
  const FactoryMemory f = MakeFactoryMemory(kind);
  return {f.info.size(), f.settings.size(), f.keyMaps.size(), f.defaultMap.size(), 0, f.cursor.size()};
}

}  // namespace

std::string StateFileName(DeviceKind kind) { return std::string(DeviceKindName(kind)) + ".state"; }

std::vector<uint8_t> EncodeStateFile(DeviceKind kind, const StateAreas& areas) {
  std::vector<uint8_t> file(kMagic.begin(), kMagic.end());
  file.push_back(kVersion);
  file.push_back(KindCode(kind));
  for (const std::vector<uint8_t>& area : areas) {
    const auto length = static_cast<uint32_t>(area.size());
    for (size_t i = 0; i < kStateLengthSize; ++i) file.push_back(static_cast<uint8_t>(length >> (8 * i)));
    file.insert(file.end(), area.begin(), area.end());
  }
  return file;
}

DecodedState DecodeStateFile(DeviceKind kind, std::span<const uint8_t> file) {
  if (file.size() < kStateHeaderSize) return {.areas = {}, .refusal = "cut short"};
  if (!std::equal(kMagic.begin(), kMagic.end(), file.begin())) return {.areas = {}, .refusal = "another magic"};
  if (file[4] != kVersion) return {.areas = {}, .refusal = "another version"};
  if (file[5] != KindCode(kind)) return {.areas = {}, .refusal = "another kind of device"};

  std::array<size_t, kStateAreaCount> expected = AreaLengths(kind);
  StateAreas areas;
  size_t at = kStateHeaderSize;
  for (size_t a = 0; a < kStateAreaCount; ++a) {
    if (file.size() - at < kStateLengthSize) return {.areas = {}, .refusal = "cut short"};
    uint32_t length = 0;
    for (size_t i = 0; i < kStateLengthSize; ++i) length |= uint32_t{file[at + i]} << (8 * i);
    at += kStateLengthSize;
    // A length read from the file is checked against the device's before it sizes anything.
    if (a == kMacroArea) expected[a] = size_t{areas[0][info::kMacroCapacity]} * kMacroUnit;
    if (length != expected[a]) return {.areas = {}, .refusal = "an area of another length"};
    if (file.size() - at < length) return {.areas = {}, .refusal = "cut short"};
    areas[a].assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                    file.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
  }
  if (at != file.size()) return {.areas = {}, .refusal = "bytes after the last area"};
  return {.areas = std::move(areas), .refusal = {}};
}

}  // namespace talvo::sim
