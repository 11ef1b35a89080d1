#include "keys/position_map.h"

#include <gtest/gtest.h>

namespace talvo::keys {
namespace {

constexpr KeyFunction kEsc{0x20, 0x00, 0x29};
constexpr KeyFunction kA{0x20, 0x00, 0x04};
constexpr size_t kEscPosition = 0;
constexpr size_t kAPosition = 64;

KeyMapRecord DisabledMap() {
  KeyMapRecord map{};
  for (size_t key = 0; key < kKeysPerMap; ++key) SetKey(map, key, {0x05, 0x05, 0x05});
  return map;
}

TEST(PositionMap, StartsWithNoKeyAnywhere) {
  const PositionMap map;
  for (size_t position = 0; position < kLayoutPositions; ++position) {
    EXPECT_EQ(KeyForPosition(map, position), std::nullopt) << position;
  }
  EXPECT_EQ(PositionForKey(map, 0), std::nullopt);
  EXPECT_EQ(KeyForPosition(map, kLayoutPositions), std::nullopt);
  EXPECT_EQ(PositionForKey(map, kKeysPerMap), std::nullopt);
}

TEST(PositionMap, TwoEqualKeysMapThePositionToTheLowerOne) {
  KeyMapRecord defaults = DisabledMap();
  SetKey(defaults, 7, kEsc);
  SetKey(defaults, 30, kEsc);
  SetKey(defaults, 12, kA);
  PositionMap map;
  BuildPositionMap(defaults, 40, map);
  EXPECT_EQ(KeyForPosition(map, kEscPosition), 7u);
  EXPECT_EQ(KeyForPosition(map, kAPosition), 12u);
  EXPECT_EQ(PositionForKey(map, 7), kEscPosition);
  EXPECT_EQ(PositionForKey(map, 30), std::nullopt);
  EXPECT_EQ(KeyForPosition(map, 1), std::nullopt);
}

TEST(PositionMap, KeyCountZeroLeavesEveryPositionWithoutKey) {
  KeyMapRecord defaults = DisabledMap();
  SetKey(defaults, 0, kEsc);
  PositionMap map;
  BuildPositionMap(defaults, 0, map);
  for (size_t position = 0; position < kLayoutPositions; ++position) {
    EXPECT_EQ(KeyForPosition(map, position), std::nullopt) << position;
  }
}

TEST(PositionMap, OnlyKeysBelowTheCountAreConsidered) {
  KeyMapRecord defaults = DisabledMap();
  SetKey(defaults, 5, kEsc);
  PositionMap map;
  BuildPositionMap(defaults, 5, map);
  EXPECT_EQ(KeyForPosition(map, kEscPosition), std::nullopt);
  BuildPositionMap(defaults, 6, map);
  EXPECT_EQ(KeyForPosition(map, kEscPosition), 5u);
}

TEST(PositionMap, PositionWithoutEqualKeyKeepsItsEntry) {
  KeyMapRecord first = DisabledMap();
  SetKey(first, 3, kEsc);
  SetKey(first, 4, kA);
  PositionMap map;
  BuildPositionMap(first, 10, map);

  KeyMapRecord second = DisabledMap();
  SetKey(second, 9, kA);
  BuildPositionMap(second, 10, map);
  EXPECT_EQ(KeyForPosition(map, kEscPosition), 3u);
  EXPECT_EQ(KeyForPosition(map, kAPosition), 9u);
}

TEST(PositionMap, KeyNumbersAboveTheLayoutSizeAreRealKeys) {
  KeyMapRecord defaults = DisabledMap();
  SetKey(defaults, 126, kEsc);
  SetKey(defaults, 169, kA);
  PositionMap map;
  BuildPositionMap(defaults, 1000, map);  // capped at the record's 170 keys
  EXPECT_EQ(KeyForPosition(map, kEscPosition), 126u);
  EXPECT_EQ(KeyForPosition(map, kAPosition), 169u);
  EXPECT_EQ(PositionForKey(map, 126), kEscPosition);
}

TEST(PositionMap, ReverseLookupGivesTheFirstPositionOfAKey) {
  KeyMapRecord defaults = DisabledMap();
  SetKey(defaults, 2, {0x20, 0x00, 0x00});  // equals every position without a key of its own
  PositionMap map;
  BuildPositionMap(defaults, 3, map);
  EXPECT_EQ(KeyForPosition(map, 16), 2u);
  EXPECT_EQ(KeyForPosition(map, 124), 2u);
  EXPECT_EQ(PositionForKey(map, 2), 16u);
}

}  // namespace
}  // namespace talvo::keys
