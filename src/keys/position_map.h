// Which keyboard key sits behind each on-screen position. A position is tied
// to the first key whose factory function equals the position's standard
// function, so the map follows whatever layout the keyboard reports.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "keys/function_tables.h"
#include "keys/key_map.h"

namespace talvo::keys {

// Marks a position without key. Key numbers reach 169, so the marker lies
// above them rather than at 126, which is a real key number on larger maps.
inline constexpr uint8_t kNoKey = 0xFF;

struct PositionMap {
  std::array<uint8_t, kLayoutPositions> keys = [] {
    std::array<uint8_t, kLayoutPositions> empty{};
    empty.fill(kNoKey);
    return empty;
  }();
};

// For every position, the first of keys 0..keyCount-1 whose entry in
// `defaultMap` equals the position's standard function; a position with no
// equal key keeps its entry. keyCount is capped at the keys a record holds.
void BuildPositionMap(const KeyMapRecord& defaultMap, size_t keyCount, PositionMap& map);

// Key behind `position`; none for a position without key or out of range.
std::optional<size_t> KeyForPosition(const PositionMap& map, size_t position);
// First position mapped to `key`; none when no position is.
std::optional<size_t> PositionForKey(const PositionMap& map, size_t key);

}  // namespace talvo::keys
