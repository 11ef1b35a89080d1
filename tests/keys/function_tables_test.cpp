#include "keys/function_tables.h"

#include <gtest/gtest.h>

#include <set>

namespace talvo::keys {
namespace {

TEST(ChoiceTables, SizesAndRowNumbersFollowTheirOrder) {
  EXPECT_EQ(kMouseButtonRows.size(), 5u);
  EXPECT_EQ(kTiltRows.size(), 2u);
  EXPECT_EQ(kWheelRows.size(), 2u);
  EXPECT_EQ(kDpiRows.size(), 3u);
  EXPECT_EQ(kShortcutRows.size(), 11u);
  EXPECT_EQ(kMediaRows.size(), 18u);
  EXPECT_EQ(kSystemRows.size(), 3u);
  EXPECT_EQ(kCursorSlotRows.size(), 4u);
  for (const FunctionTable& table : {kMouseButtonTable, kTiltTable, kWheelTable, kDpiTable, kShortcutTable,
                                     kMediaTable, kSystemTable, kCursorSlotTable}) {
    for (size_t i = 0; i < table.rows.size(); ++i) EXPECT_EQ(table.rows[i].row, i);
  }
}

TEST(ChoiceTables, ExactRows) {
  EXPECT_EQ(kMouseButtonRows[1].Function(), (KeyFunction{0x10, 0x04, 0x00}));
  EXPECT_EQ(kTiltRows[1].Function(), (KeyFunction{0x11, 0xFF, 0x01}));
  EXPECT_EQ(kWheelRows[1].Function(), (KeyFunction{0x12, 0xFF, 0xFF}));
  EXPECT_EQ(kShortcutRows[2].Function(), (KeyFunction{0x20, 0x01, 0x1D}));
  EXPECT_EQ(kShortcutRows[2].textId, "combo_revocation");
  EXPECT_EQ(kMediaRows[0].Function(), (KeyFunction{0x30, 0x83, 0x01}));
  EXPECT_EQ(kMediaRows[17].Function(), (KeyFunction{0x30, 0x8A, 0x01}));
  EXPECT_EQ(kSystemRows[2].Function(), (KeyFunction{0x40, 0x04, 0x00}));
  EXPECT_EQ(kMouseDpiCycleEntry.Function(), (KeyFunction{0xA0, 0x01, 0x00}));
  EXPECT_EQ(kFireEntry.Function(), (KeyFunction{0x14, 0x00, 0x00}));
}

TEST(FindRow, MouseButtonsAndDpiCompareOnlyTheFirstParameter) {
  const FunctionTableEntry* right = FindRow(kMouseButtonTable, 0x02, 0x99);
  ASSERT_NE(right, nullptr);
  EXPECT_EQ(right->textId, "mouse_key_right");
  const FunctionTableEntry* cycle = FindRow(kDpiTable, 0x03, 0x42);
  ASSERT_NE(cycle, nullptr);
  EXPECT_EQ(cycle->row, 2);
  EXPECT_EQ(FindRow(kMouseButtonTable, 0x03, 0x00), nullptr);
  EXPECT_EQ(FindRow(kDpiTable, 0x04, 0x00), nullptr);
}

TEST(FindRow, OtherTablesCompareBothParameters) {
  const FunctionTableEntry* mute = FindRow(kMediaTable, 0xE2, 0x00);
  ASSERT_NE(mute, nullptr);
  EXPECT_EQ(mute->textId, "media_mute");
  EXPECT_EQ(FindRow(kMediaTable, 0xE2, 0x01), nullptr);
  EXPECT_EQ(FindRow(kShortcutTable, 0x01, 0x00), nullptr);
  EXPECT_EQ(FindRow(kSystemTable, 0x02, 0x01), nullptr);
  const FunctionTableEntry* sleep = FindRow(kSystemTable, 0x02, 0x00);
  ASSERT_NE(sleep, nullptr);
  EXPECT_EQ(sleep->textId, "system_sleep");
}

TEST(KeyCodeTable, HasItsRowsInOrder) {
  ASSERT_EQ(KeyCodeTable.size(), 125u);
  EXPECT_EQ(KeyCodeTable[0].Function(), (KeyFunction{0x20, 0x01, 0x00}));
  EXPECT_EQ(KeyCodeTable[7].textId, "keyboard_key_RWin");
  EXPECT_EQ(KeyCodeTable[7].Function(), (KeyFunction{0x20, 0x80, 0x00}));
  EXPECT_EQ(KeyCodeTable[8].Function(), (KeyFunction{0x20, 0x00, 0x04}));
  EXPECT_EQ(KeyCodeTable[43].vk, 0x30);
  EXPECT_EQ(KeyCodeTable[43].textId, "keyboard_key_0");
  EXPECT_EQ(KeyCodeTable[53].textId, "keyboard_key_xiegang");
  EXPECT_EQ(KeyCodeTable[54].p2, 0x33);  // usage 0x32 has no row
  EXPECT_EQ(KeyCodeTable[57].textId, "keyboard_key_<");
  EXPECT_EQ(KeyCodeTable[91].vk, kVkNumpadEnter);
  EXPECT_EQ(KeyCodeTable[91].p2, 0x58);
  EXPECT_EQ(KeyCodeTable[101].p2, 0x62);
  EXPECT_EQ(KeyCodeTable[103].Function(), (KeyFunction{0x20, 0x00, 0x65}));
  EXPECT_EQ(KeyCodeTable[104].Function(), (KeyFunction{0x30, 0x92, 0x01}));
  EXPECT_EQ(KeyCodeTable[121].textId, "keyboard_key_Launch Media Select");
  EXPECT_EQ(KeyCodeTable[124].Function(), (KeyFunction{0x40, 0x04, 0x00}));
  for (const KeyCodeRow& row : KeyCodeTable) EXPECT_TRUE(row.textId.starts_with("keyboard_key_")) << row.textId;
  EXPECT_EQ(FindKeyCodeRow(0x00, 0x32), nullptr);
}

TEST(KeyCodeTable, DuplicateLaunchMediaSelectRowIsFoundFirst) {
  EXPECT_EQ(KeyCodeTable[120].Function(), KeyCodeTable[121].Function());
  EXPECT_EQ(KeyCodeTable[120].vk, KeyCodeTable[121].vk);
  EXPECT_EQ(FindKeyCodeRow(0x83, 0x01), &KeyCodeTable[120]);
  EXPECT_EQ(FindKeyCodeRow(KeyFunction{0x30, 0x83, 0x01}), &KeyCodeTable[120]);
  EXPECT_EQ(FindKeyCodeRowByVk(0xB5), &KeyCodeTable[120]);
}

TEST(KeyCodeTable, LookupsByVirtualKeyAndByFunction) {
  const KeyCodeRow* f5 = FindKeyCodeRowByVk(0x74);
  ASSERT_NE(f5, nullptr);
  EXPECT_EQ(f5->textId, "keyboard_key_F5");
  EXPECT_EQ(FindKeyCodeRowByVk(0x0D)->p2, 0x28);
  EXPECT_EQ(FindKeyCodeRowByVk(kVkNumpadEnter)->textId, "keyboard_key_Num Enter");
  EXPECT_EQ(FindKeyCodeRowByVk(0x07), nullptr);

  // By p1 and p2 alone the left Ctrl row shadows the power row; with the kind
  // each is found.
  EXPECT_EQ(FindKeyCodeRow(0x01, 0x00)->textId, "keyboard_key_LCtrl");
  EXPECT_EQ(FindKeyCodeRow(KeyFunction{0x40, 0x01, 0x00})->textId, "keyboard_key_Power");
  EXPECT_EQ(FindKeyCodeRow(KeyFunction{0x20, 0xE9, 0x00}), nullptr);
  EXPECT_EQ(FindKeyCodeRow(0xE9, 0x00)->textId, "keyboard_key_Volume Up");
}

TEST(KeyboardLayoutTable, PositionsCarryTheirStandardFunctions) {
  ASSERT_EQ(KeyboardLayoutTable.size(), 126u);
  auto usageOf = [](std::string_view textId) {
    for (const KeyCodeRow& row : KeyCodeTable) {
      if (row.textId == textId) return row.Function();
    }
    ADD_FAILURE() << textId;
    return KeyFunction{};
  };
  EXPECT_EQ(KeyboardLayoutTable[0], usageOf("keyboard_key_Esc"));
  EXPECT_EQ(KeyboardLayoutTable[21], usageOf("keyboard_key_`"));
  EXPECT_EQ(KeyboardLayoutTable[43], usageOf("keyboard_key_Q"));
  EXPECT_EQ(KeyboardLayoutTable[55], usageOf("keyboard_key_xiegang"));
  EXPECT_EQ(KeyboardLayoutTable[59], usageOf("keyboard_key_Num 7"));
  EXPECT_EQ(KeyboardLayoutTable[64], usageOf("keyboard_key_A"));
  EXPECT_EQ(KeyboardLayoutTable[84], usageOf("keyboard_key_LShift"));
  EXPECT_EQ(KeyboardLayoutTable[85], usageOf("keyboard_key_Z"));
  EXPECT_EQ(KeyboardLayoutTable[92], usageOf("keyboard_key_<"));
  EXPECT_EQ(KeyboardLayoutTable[102], (KeyFunction{0x20, 0x00, 0x64}));
  EXPECT_EQ(KeyboardLayoutTable[106], usageOf("keyboard_key_LWin"));
  EXPECT_EQ(KeyboardLayoutTable[110], (KeyFunction{0xA0, 0x02, 0x02}));
  EXPECT_EQ(KeyboardLayoutTable[111], usageOf("keyboard_key_App"));
  EXPECT_EQ(KeyboardLayoutTable[117], usageOf("keyboard_key_Decimal"));
  EXPECT_EQ(KeyboardLayoutTable[118], usageOf("keyboard_key_Num Enter"));
  EXPECT_EQ(KeyboardLayoutTable[125], usageOf("keyboard_key_RWin"));
}

TEST(KeyboardLayoutTable, EmptyPositionsAreExactlyTheListedOnesAndKeysAreUnique) {
  const std::set<size_t> empty{16, 17, 18, 19, 20, 62, 79, 80, 81, 82, 83, 100, 101, 103, 104, 120, 121, 122, 123, 124};
  std::set<std::pair<uint8_t, uint8_t>> seen;
  for (size_t position = 0; position < KeyboardLayoutTable.size(); ++position) {
    const KeyFunction f = KeyboardLayoutTable[position];
    if (empty.count(position)) {
      EXPECT_EQ(f, (KeyFunction{0x20, 0x00, 0x00})) << position;
      continue;
    }
    EXPECT_NE(f, (KeyFunction{0x20, 0x00, 0x00})) << position;
    EXPECT_TRUE(seen.insert({f.p1, f.p2}).second) << "position " << position << " repeats a key";
    if (position != 102 && position != 110) {
      EXPECT_NE(FindKeyCodeRow(f), nullptr) << position;
    }
  }
  EXPECT_EQ(seen.size(), 126u - empty.size());
}

}  // namespace
}  // namespace talvo::keys
