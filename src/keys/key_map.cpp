#include "keys/key_map.h"

#include <algorithm>

#include "keys/function_tables.h"

namespace talvo::keys {

KeyFunction KeyAt(const KeyMapRecord& record, size_t key) {
  if (key >= kKeysPerMap) return {};
  const size_t at = key * kKeyFunctionSize;
  return {record[at], record[at + 1], record[at + 2]};
}

bool SetKey(KeyMapRecord& record, size_t key, KeyFunction function) {
  if (key >= kKeysPerMap) return false;
  const size_t at = key * kKeyFunctionSize;
  record[at] = function.kind;
  record[at + 1] = function.p1;
  record[at + 2] = function.p2;
  return true;
}

KeyMapRecord InitialDefaultMap(device::Peripheral peripheral) {
  KeyMapRecord map{};
  constexpr KeyFunction kDisabled{0x05, 0x05, 0x05};
  for (size_t key = 0; key < kKeysPerMap; ++key) SetKey(map, key, kDisabled);
  if (peripheral == device::Peripheral::Mouse) {
    // Left, middle, right, forward, back, DPI cycle.
    SetKey(map, 0, {0x10, 0x01, 0x00});
    SetKey(map, 1, {0x10, 0x04, 0x00});
    SetKey(map, 2, {0x10, 0x02, 0x00});
    SetKey(map, 3, {0x10, 0x10, 0x00});
    SetKey(map, 4, {0x10, 0x08, 0x00});
    SetKey(map, 5, {0x13, 0x03, 0x00});
  }
  return map;
}

DeviceKeyMaps NewDeviceKeyMaps(device::Peripheral peripheral) {
  DeviceKeyMaps maps;
  maps.defaultMap = InitialDefaultMap(peripheral);
  return maps;
}

bool IsDefault(const DeviceKeyMaps& maps, size_t key, unsigned profile) {
  if (key >= kKeysPerMap || profile >= kProfileCount) return false;
  return KeyAt(maps.profiles[profile], key) == KeyAt(maps.defaultMap, key);
}

bool ResetKey(DeviceKeyMaps& maps, size_t key, unsigned profile) {
  if (key >= kKeysPerMap || profile >= kProfileCount) return false;
  return SetKey(maps.profiles[profile], key, KeyAt(maps.defaultMap, key));
}

bool ForgetMacro(KeyMapRecord& record, const KeyMapRecord& defaultMap, size_t keyCount, size_t removed) {
  bool changed = false;
  for (size_t key = 0; key < std::min(keyCount, kKeysPerMap); ++key) {
    KeyFunction f = KeyAt(record, key);
    if ((f.kind != kKindMacro && f.kind != kKindMacroRepeat) || f.p1 < removed) continue;
    if (f.p1 == removed) {
      f = KeyAt(defaultMap, key);
    } else {
      --f.p1;
    }
    changed = SetKey(record, key, f) || changed;
  }
  return changed;
}

KeyMapRecord MouseKeyMapImage(const DeviceKeyMaps& maps, unsigned profile) {
  if (profile >= kProfileCount) return {};
  KeyMapRecord image = maps.profiles[profile];
  for (unsigned later = profile + 1; later < kProfileCount; ++later) {
    const size_t at = (later - profile) * kMouseMapStride;
    if (at >= image.size()) break;
    const size_t length = std::min(kMouseMapStride, image.size() - at);
    std::copy_n(maps.profiles[later].begin(), length, image.begin() + static_cast<std::ptrdiff_t>(at));
  }
  return image;
}

}  // namespace talvo::keys
