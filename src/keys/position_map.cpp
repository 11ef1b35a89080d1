#include "keys/position_map.h"

#include <algorithm>

namespace talvo::keys {

void BuildPositionMap(const KeyMapRecord& defaultMap, size_t keyCount, PositionMap& map) {
  const size_t keys = std::min(keyCount, kKeysPerMap);
  for (size_t position = 0; position < kLayoutPositions; ++position) {
    for (size_t key = 0; key < keys; ++key) {
      if (KeyAt(defaultMap, key) == KeyboardLayoutTable[position]) {
        map.keys[position] = static_cast<uint8_t>(key);
        break;
      }
    }
  }
}

std::optional<size_t> KeyForPosition(const PositionMap& map, size_t position) {
  if (position >= kLayoutPositions) return std::nullopt;
  const uint8_t key = map.keys[position];
  if (key >= kKeysPerMap) return std::nullopt;
  return key;
}

std::optional<size_t> PositionForKey(const PositionMap& map, size_t key) {
  if (key >= kKeysPerMap) return std::nullopt;
  const auto it = std::find(map.keys.begin(), map.keys.end(), static_cast<uint8_t>(key));
  if (it == map.keys.end()) return std::nullopt;
  return static_cast<size_t>(it - map.keys.begin());
}

}  // namespace talvo::keys
