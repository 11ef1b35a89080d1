#include "keys/key_map.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "keys/labels.h"

namespace talvo::keys {
namespace {

using device::Peripheral;

TEST(KeyMapRecord, KeyOccupiesThreeBytesAtThreeTimesItsNumber) {
  KeyMapRecord record{};
  ASSERT_TRUE(SetKey(record, 2, {0x20, 0x01, 0x06}));
  EXPECT_EQ(record[6], 0x20);
  EXPECT_EQ(record[7], 0x01);
  EXPECT_EQ(record[8], 0x06);
  EXPECT_EQ(record[5], 0);
  EXPECT_EQ(record[9], 0);
  EXPECT_EQ(KeyAt(record, 2), (KeyFunction{0x20, 0x01, 0x06}));

  ASSERT_TRUE(SetKey(record, 169, {0x30, 0xE9, 0x00}));
  EXPECT_EQ(record[507], 0x30);
  EXPECT_EQ(record[509], 0x00);
  EXPECT_EQ(KeyAt(record, 169), (KeyFunction{0x30, 0xE9, 0x00}));
}

TEST(KeyMapRecord, KeysBeyondTheRecordAreRefusedAndTrailingBytesKept) {
  KeyMapRecord record{};
  record[510] = 0xAB;
  record[511] = 0xCD;
  const KeyMapRecord before = record;
  EXPECT_FALSE(SetKey(record, 170, {0x05, 0x05, 0x05}));
  EXPECT_FALSE(SetKey(record, static_cast<size_t>(-1), {0x05, 0x05, 0x05}));
  EXPECT_EQ(record, before);
  record.fill(0x77);
  EXPECT_EQ(KeyAt(record, 170), KeyFunction{});
}

TEST(InitialDefaultMap, MouseHasItsButtonsThenDisabledKeysKeyboardOnlyDisabledKeys) {
  const KeyMapRecord mouse = InitialDefaultMap(Peripheral::Mouse);
  const KeyFunction buttons[] = {{0x10, 0x01, 0x00}, {0x10, 0x04, 0x00}, {0x10, 0x02, 0x00},
                                 {0x10, 0x10, 0x00}, {0x10, 0x08, 0x00}, {0x13, 0x03, 0x00}};
  const KeyMapRecord keyboard = InitialDefaultMap(Peripheral::Keyboard);
  for (size_t key = 0; key < kKeysPerMap; ++key) {
    const KeyFunction disabled{0x05, 0x05, 0x05};
    EXPECT_EQ(KeyAt(mouse, key), key < 6 ? buttons[key] : disabled) << key;
    EXPECT_EQ(KeyAt(keyboard, key), disabled) << key;
  }
  for (size_t trailing : {510, 511}) {
    EXPECT_EQ(mouse[trailing], 0);
    EXPECT_EQ(keyboard[trailing], 0);
  }
}

TEST(DeviceKeyMaps, ProfilesStartZeroAndDifferFromTheDefault) {
  const DeviceKeyMaps maps = NewDeviceKeyMaps(Peripheral::Mouse);
  for (const KeyMapRecord& profile : maps.profiles) EXPECT_EQ(profile, KeyMapRecord{});
  EXPECT_EQ(maps.defaultMap, InitialDefaultMap(Peripheral::Mouse));
  EXPECT_FALSE(IsDefault(maps, 0, 0));
}

TEST(DeviceKeyMaps, ResetKeyCopiesOnlyThatKeyOfThatProfile) {
  DeviceKeyMaps maps = NewDeviceKeyMaps(Peripheral::Mouse);
  ASSERT_TRUE(ResetKey(maps, 3, 2));
  EXPECT_EQ(KeyAt(maps.profiles[2], 3), (KeyFunction{0x10, 0x10, 0x00}));
  EXPECT_TRUE(IsDefault(maps, 3, 2));
  EXPECT_FALSE(IsDefault(maps, 3, 1));
  EXPECT_EQ(KeyAt(maps.profiles[2], 2), KeyFunction{});
  EXPECT_EQ(KeyAt(maps.profiles[2], 4), KeyFunction{});

  SetKey(maps.profiles[2], 3, {0x10, 0x01, 0x00});
  EXPECT_FALSE(IsDefault(maps, 3, 2));
}

TEST(DeviceKeyMaps, OutOfRangeKeyOrProfileIsRefused) {
  DeviceKeyMaps maps = NewDeviceKeyMaps(Peripheral::Keyboard);
  const DeviceKeyMaps before = maps;
  EXPECT_FALSE(ResetKey(maps, 0, 5));
  EXPECT_FALSE(ResetKey(maps, 170, 0));
  EXPECT_FALSE(IsDefault(maps, 0, 5));
  EXPECT_FALSE(IsDefault(maps, 170, 0));
  for (unsigned p = 0; p < kProfileCount; ++p) EXPECT_EQ(maps.profiles[p], before.profiles[p]);
}

TEST(DeviceKeyMaps, RestoringKeysBeforeAnyDeviceReadGivesTheFactoryLabels) {
  const std::filesystem::path noMacros = "/nonexistent/msMacro.ini";
  DeviceKeyMaps mouse = NewDeviceKeyMaps(Peripheral::Mouse);
  const char* expected[] = {"mouse_key_left",    "mouse_key_middle", "mouse_key_right", "mouse_key_forward",
                            "mouse_key_back",    "mouse_key_DPI_loop", "close_text"};
  for (size_t key = 0; key < kMouseKeyCount; ++key) {
    ASSERT_TRUE(ResetKey(mouse, key, 0));
    EXPECT_EQ(LabelFor(Peripheral::Mouse, KeyAt(mouse.profiles[0], key), noMacros),
              (Label{Label::Kind::TextId, expected[key]}))
        << key;
  }

  DeviceKeyMaps keyboard = NewDeviceKeyMaps(Peripheral::Keyboard);
  ASSERT_TRUE(ResetKey(keyboard, 40, 0));
  EXPECT_EQ(KeyAt(keyboard.profiles[0], 40), (KeyFunction{0x05, 0x05, 0x05}));
  EXPECT_EQ(LabelFor(Peripheral::Keyboard, KeyAt(keyboard.profiles[0], 40), noMacros),
            (Label{Label::Kind::Literal, "关闭"}));
}

}  // namespace
}  // namespace talvo::keys
