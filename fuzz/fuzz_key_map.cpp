// Key maps arrive from devices and from .pro files: a record of any content
// must label, decode and map without reading outside it. The first byte picks
// the keyboard key count; the rest fills the record.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "keys/encodings.h"
#include "keys/key_map.h"
#include "keys/labels.h"
#include "keys/position_map.h"

using namespace talvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t keyCount = data[0];
  keys::KeyMapRecord record{};
  std::copy_n(data + 1, std::min(size - 1, record.size()), record.begin());

  keys::PositionMap map;
  keys::BuildPositionMap(record, keyCount, map);
  for (size_t position = 0; position < 130; ++position) {
    if (const auto key = keys::KeyForPosition(map, position)) {
      if (*key >= std::min<size_t>(keyCount, keys::kKeysPerMap)) std::abort();
      const auto back = keys::PositionForKey(map, *key);
      if (!back || *back > position) std::abort();
    }
  }

  // No macro index file: macro codes keep their labels.
  const std::filesystem::path noMacros = "/nonexistent/talvo-fuzz/msMacro.ini";
  for (size_t key = 0; key < keys::kKeysPerMap + 2; ++key) {
    const keys::KeyFunction function = keys::KeyAt(record, key);
    keys::LabelFor(device::Peripheral::Mouse, function, noMacros);
    keys::LabelFor(device::Peripheral::Keyboard, function, noMacros);
    const auto tilt = keys::DecodeTilt(function);
    const auto wheel = keys::DecodeWheel(function);
    (void)tilt;
    (void)wheel;
  }
  return 0;
}
