// The key function kinds and the fixed catalogues the key pages offer: choice
// tables with their rows and text ids, the key-code table shared by key
// capture, macro recording and labels, and the standard function of every
// on-screen keyboard position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "keys/key_map.h"

namespace talvo::keys {

// Function kind codes (KeyFunction::kind).
inline constexpr uint8_t kKindDefault = 0x00;        // page choice only: stores the key's default entry
inline constexpr uint8_t kKindDisabled = 0x05;       // factory filler 05 05 05
inline constexpr uint8_t kKindMouseButton = 0x10;    // p1 button bit
inline constexpr uint8_t kKindTilt = 0x11;           // p1 (a << 4) | b, p2 amount, bit 7 = right
inline constexpr uint8_t kKindWheel = 0x12;          // p1 (a << 4) | b, p2 signed amount, negative = down
inline constexpr uint8_t kKindDpi = 0x13;            // p1 1 up, 2 down, 3 cycle
inline constexpr uint8_t kKindFire = 0x14;           // p1, p2 the two fire values
inline constexpr uint8_t kKindPointerMove = 0x15;    // macro events only
inline constexpr uint8_t kKindKeyboard = 0x20;       // p1 modifier bits, p2 HID keyboard usage
inline constexpr uint8_t kKindConsumerAlt = 0x21;    // carried; labelled like consumer control
inline constexpr uint8_t kKindConsumer = 0x30;       // p1, p2 consumer usage low, high byte
inline constexpr uint8_t kKindSystem = 0x40;         // p1 0x01 power, 0x02 sleep, 0x04 wake
inline constexpr uint8_t kKindReserved50 = 0x50;     // carried unchanged
inline constexpr uint8_t kKindReserved60 = 0x60;     // carried unchanged
inline constexpr uint8_t kKindMacro = 0x70;          // p1 macro number, p2 play mode 0..3
inline constexpr uint8_t kKindMacroRepeat = 0x71;    // p1 macro number, p2 repeat count
inline constexpr uint8_t kKindCursorMacro = 0x72;    // p1 slot 0..3 (mouse)
inline constexpr uint8_t kKindSpecial = 0xA0;        // device special function
inline constexpr uint8_t kKindReservedB0 = 0xB0;     // carried unchanged
inline constexpr uint8_t kKindReservedC0 = 0xC0;     // carried unchanged

// Modifier bits of kKindKeyboard's p1.
inline constexpr uint8_t kModLeftCtrl = 0x01;
inline constexpr uint8_t kModLeftShift = 0x02;
inline constexpr uint8_t kModLeftAlt = 0x04;
inline constexpr uint8_t kModLeftWin = 0x08;
inline constexpr uint8_t kModRightCtrl = 0x10;
inline constexpr uint8_t kModRightShift = 0x20;
inline constexpr uint8_t kModRightAlt = 0x40;
inline constexpr uint8_t kModRightWin = 0x80;

struct FunctionTableEntry {
  uint16_t row;
  uint8_t kind;
  uint8_t p1;
  uint8_t p2;
  std::string_view textId;

  constexpr KeyFunction Function() const { return {kind, p1, p2}; }
};

// Mouse-button and DPI rows are told apart by p1 alone.
enum class RowMatch { P1AndP2, P1Only };

struct FunctionTable {
  std::span<const FunctionTableEntry> rows;
  RowMatch match;
};

inline constexpr auto kMouseButtonRows = std::to_array<FunctionTableEntry>({
    {0, kKindMouseButton, 0x01, 0x00, "mouse_key_left"},
    {1, kKindMouseButton, 0x04, 0x00, "mouse_key_middle"},
    {2, kKindMouseButton, 0x02, 0x00, "mouse_key_right"},
    {3, kKindMouseButton, 0x10, 0x00, "mouse_key_forward"},
    {4, kKindMouseButton, 0x08, 0x00, "mouse_key_back"},
});

// Direction rows; the page replaces p1 and p2 with the encoded values.
inline constexpr auto kTiltRows = std::to_array<FunctionTableEntry>({
    {0, kKindTilt, 0xFF, 0xFF, "mouse_key_left_Swing"},
    {1, kKindTilt, 0xFF, 0x01, "mouse_key_right_Swing"},
});
inline constexpr auto kWheelRows = std::to_array<FunctionTableEntry>({
    {0, kKindWheel, 0x01, 0x01, "mouse_key_up_Swing"},
    {1, kKindWheel, 0xFF, 0xFF, "mouse_key_down_Swing"},
});

inline constexpr auto kDpiRows = std::to_array<FunctionTableEntry>({
    {0, kKindDpi, 0x01, 0x00, "mouse_key_DPI_add"},
    {1, kKindDpi, 0x02, 0x00, "mouse_key_DPI_sub"},
    {2, kKindDpi, 0x03, 0x00, "mouse_key_DPI_loop"},
});

// Fixed entries chosen directly from the function combo.
inline constexpr FunctionTableEntry kFireEntry{0, kKindFire, 0x00, 0x00, "mouse_key_fire_key"};
inline constexpr FunctionTableEntry kPointerMoveEntry{0, kKindPointerMove, 0x00, 0x00, ""};
inline constexpr FunctionTableEntry kMouseDpiCycleEntry{0, kKindSpecial, 0x01, 0x00, "mouse_key_DPI_loop"};

// Left Ctrl + key.
inline constexpr auto kShortcutRows = std::to_array<FunctionTableEntry>({
    {0, kKindKeyboard, kModLeftCtrl, 0x12, "combo_open"},
    {1, kKindKeyboard, kModLeftCtrl, 0x11, "combo_new"},
    {2, kKindKeyboard, kModLeftCtrl, 0x1D, "combo_revocation"},
    {3, kKindKeyboard, kModLeftCtrl, 0x16, "combo_save"},
    {4, kKindKeyboard, kModLeftCtrl, 0x06, "combo_copy"},
    {5, kKindKeyboard, kModLeftCtrl, 0x1B, "combo_cut"},
    {6, kKindKeyboard, kModLeftCtrl, 0x19, "combo_paste"},
    {7, kKindKeyboard, kModLeftCtrl, 0x09, "combo_finde"},
    {8, kKindKeyboard, kModLeftCtrl, 0x04, "combo_all"},
    {9, kKindKeyboard, kModLeftCtrl, 0x2D, "combo_narrow"},
    {10, kKindKeyboard, kModLeftCtrl, 0x2E, "combo_magnify"},
});

// Consumer usages, p1 low byte, p2 high byte.
inline constexpr auto kMediaRows = std::to_array<FunctionTableEntry>({
    {0, kKindConsumer, 0x83, 0x01, "media_text"},
    {1, kKindConsumer, 0xCD, 0x00, "media_play"},
    {2, kKindConsumer, 0xB7, 0x00, "media_stop"},
    {3, kKindConsumer, 0xB6, 0x00, "media_prev"},
    {4, kKindConsumer, 0xB5, 0x00, "media_next"},
    {5, kKindConsumer, 0xEA, 0x00, "media_vol_sub"},
    {6, kKindConsumer, 0xE9, 0x00, "media_vol_add"},
    {7, kKindConsumer, 0xE2, 0x00, "media_mute"},
    {8, kKindConsumer, 0x23, 0x02, "web_text"},
    {9, kKindConsumer, 0x27, 0x02, "web_refresh"},
    {10, kKindConsumer, 0x26, 0x02, "wed_stop"},
    {11, kKindConsumer, 0x24, 0x02, "wed_back"},
    {12, kKindConsumer, 0x25, 0x02, "wed_forward"},
    {13, kKindConsumer, 0x2A, 0x02, "wed_favorite"},
    {14, kKindConsumer, 0x21, 0x02, "web_search"},
    {15, kKindConsumer, 0x94, 0x01, "media_mypc"},
    {16, kKindConsumer, 0x92, 0x01, "media_calc"},
    {17, kKindConsumer, 0x8A, 0x01, "media_mail"},
});

inline constexpr auto kSystemRows = std::to_array<FunctionTableEntry>({
    {0, kKindSystem, 0x01, 0x00, "system_power"},
    {1, kKindSystem, 0x02, 0x00, "system_sleep"},
    {2, kKindSystem, 0x04, 0x00, "system_wake_up"},
});

inline constexpr auto kCursorSlotRows = std::to_array<FunctionTableEntry>({
    {0, kKindCursorMacro, 0x00, 0x00, "GUN_1"},
    {1, kKindCursorMacro, 0x01, 0x00, "GUN_2"},
    {2, kKindCursorMacro, 0x02, 0x00, "GUN_3"},
    {3, kKindCursorMacro, 0x03, 0x00, "GUN_4"},
});

inline constexpr FunctionTable kMouseButtonTable{kMouseButtonRows, RowMatch::P1Only};
inline constexpr FunctionTable kTiltTable{kTiltRows, RowMatch::P1AndP2};
inline constexpr FunctionTable kWheelTable{kWheelRows, RowMatch::P1AndP2};
inline constexpr FunctionTable kDpiTable{kDpiRows, RowMatch::P1Only};
inline constexpr FunctionTable kShortcutTable{kShortcutRows, RowMatch::P1AndP2};
inline constexpr FunctionTable kMediaTable{kMediaRows, RowMatch::P1AndP2};
inline constexpr FunctionTable kSystemTable{kSystemRows, RowMatch::P1AndP2};
inline constexpr FunctionTable kCursorSlotTable{kCursorSlotRows, RowMatch::P1Only};

// First row of `table` whose p1 (and p2, unless the table matches by p1 only)
// equal the arguments; nullptr when none does.
const FunctionTableEntry* FindRow(const FunctionTable& table, uint8_t p1, uint8_t p2);

// Windows virtual-key codes of this system beyond the standard range.
inline constexpr uint16_t kVkNumpadEnter = 0x101;  // Enter with the extended-key flag
inline constexpr uint16_t kVkPower = 0x103;
inline constexpr uint16_t kVkSleep = 0x104;
inline constexpr uint16_t kVkWake = 0x105;

struct KeyCodeRow {
  uint16_t vk;
  uint8_t kind;
  uint8_t p1;
  uint8_t p2;
  std::string_view textId;

  constexpr KeyFunction Function() const { return {kind, p1, p2}; }
};

inline constexpr size_t kKeyCodeRowCount = 125;

// Order matters: lookups return the first match, and "Launch Media Select"
// stands twice.
inline constexpr auto KeyCodeTable = std::to_array<KeyCodeRow>({
    {0xA2, 0x20, 0x01, 0x00, "keyboard_key_LCtrl"},
    {0xA0, 0x20, 0x02, 0x00, "keyboard_key_LShift"},
    {0xA4, 0x20, 0x04, 0x00, "keyboard_key_LAlt"},
    {0x5B, 0x20, 0x08, 0x00, "keyboard_key_LWin"},
    {0xA3, 0x20, 0x10, 0x00, "keyboard_key_RCtrl"},
    {0xA1, 0x20, 0x20, 0x00, "keyboard_key_RShift"},
    {0xA5, 0x20, 0x40, 0x00, "keyboard_key_RAlt"},
    {0x5C, 0x20, 0x80, 0x00, "keyboard_key_RWin"},
    {0x41, 0x20, 0x00, 0x04, "keyboard_key_A"},
    {0x42, 0x20, 0x00, 0x05, "keyboard_key_B"},
    {0x43, 0x20, 0x00, 0x06, "keyboard_key_C"},
    {0x44, 0x20, 0x00, 0x07, "keyboard_key_D"},
    {0x45, 0x20, 0x00, 0x08, "keyboard_key_E"},
    {0x46, 0x20, 0x00, 0x09, "keyboard_key_F"},
    {0x47, 0x20, 0x00, 0x0A, "keyboard_key_G"},
    {0x48, 0x20, 0x00, 0x0B, "keyboard_key_H"},
    {0x49, 0x20, 0x00, 0x0C, "keyboard_key_I"},
    {0x4A, 0x20, 0x00, 0x0D, "keyboard_key_J"},
    {0x4B, 0x20, 0x00, 0x0E, "keyboard_key_K"},
    {0x4C, 0x20, 0x00, 0x0F, "keyboard_key_L"},
    {0x4D, 0x20, 0x00, 0x10, "keyboard_key_M"},
    {0x4E, 0x20, 0x00, 0x11, "keyboard_key_N"},
    {0x4F, 0x20, 0x00, 0x12, "keyboard_key_O"},
    {0x50, 0x20, 0x00, 0x13, "keyboard_key_P"},
    {0x51, 0x20, 0x00, 0x14, "keyboard_key_Q"},
    {0x52, 0x20, 0x00, 0x15, "keyboard_key_R"},
    {0x53, 0x20, 0x00, 0x16, "keyboard_key_S"},
    {0x54, 0x20, 0x00, 0x17, "keyboard_key_T"},
    {0x55, 0x20, 0x00, 0x18, "keyboard_key_U"},
    {0x56, 0x20, 0x00, 0x19, "keyboard_key_V"},
    {0x57, 0x20, 0x00, 0x1A, "keyboard_key_W"},
    {0x58, 0x20, 0x00, 0x1B, "keyboard_key_X"},
    {0x59, 0x20, 0x00, 0x1C, "keyboard_key_Y"},
    {0x5A, 0x20, 0x00, 0x1D, "keyboard_key_Z"},
    {0x31, 0x20, 0x00, 0x1E, "keyboard_key_1"},
    {0x32, 0x20, 0x00, 0x1F, "keyboard_key_2"},
    {0x33, 0x20, 0x00, 0x20, "keyboard_key_3"},
    {0x34, 0x20, 0x00, 0x21, "keyboard_key_4"},
    {0x35, 0x20, 0x00, 0x22, "keyboard_key_5"},
    {0x36, 0x20, 0x00, 0x23, "keyboard_key_6"},
    {0x37, 0x20, 0x00, 0x24, "keyboard_key_7"},
    {0x38, 0x20, 0x00, 0x25, "keyboard_key_8"},
    {0x39, 0x20, 0x00, 0x26, "keyboard_key_9"},
    {0x30, 0x20, 0x00, 0x27, "keyboard_key_0"},
    {0x0D, 0x20, 0x00, 0x28, "keyboard_key_Enter"},
    {0x1B, 0x20, 0x00, 0x29, "keyboard_key_Esc"},
    {0x08, 0x20, 0x00, 0x2A, "keyboard_key_BackSpace"},
    {0x09, 0x20, 0x00, 0x2B, "keyboard_key_Tab"},
    {0x20, 0x20, 0x00, 0x2C, "keyboard_key_Space"},
    {0xBD, 0x20, 0x00, 0x2D, "keyboard_key_-"},
    {0xBB, 0x20, 0x00, 0x2E, "keyboard_key_="},
    {0xDB, 0x20, 0x00, 0x2F, "keyboard_key_["},
    {0xDD, 0x20, 0x00, 0x30, "keyboard_key_]"},
    {0xDC, 0x20, 0x00, 0x31, "keyboard_key_xiegang"},
    {0xBA, 0x20, 0x00, 0x33, "keyboard_key_;"},
    {0xDE, 0x20, 0x00, 0x34, "keyboard_key_'"},
    {0xC0, 0x20, 0x00, 0x35, "keyboard_key_`"},
    {0xBC, 0x20, 0x00, 0x36, "keyboard_key_<"},
    {0xBE, 0x20, 0x00, 0x37, "keyboard_key_."},
    {0xBF, 0x20, 0x00, 0x38, "keyboard_key_/"},
    {0x14, 0x20, 0x00, 0x39, "keyboard_key_Caplk"},
    {0x70, 0x20, 0x00, 0x3A, "keyboard_key_F1"},
    {0x71, 0x20, 0x00, 0x3B, "keyboard_key_F2"},
    {0x72, 0x20, 0x00, 0x3C, "keyboard_key_F3"},
    {0x73, 0x20, 0x00, 0x3D, "keyboard_key_F4"},
    {0x74, 0x20, 0x00, 0x3E, "keyboard_key_F5"},
    {0x75, 0x20, 0x00, 0x3F, "keyboard_key_F6"},
    {0x76, 0x20, 0x00, 0x40, "keyboard_key_F7"},
    {0x77, 0x20, 0x00, 0x41, "keyboard_key_F8"},
    {0x78, 0x20, 0x00, 0x42, "keyboard_key_F9"},
    {0x79, 0x20, 0x00, 0x43, "keyboard_key_F10"},
    {0x7A, 0x20, 0x00, 0x44, "keyboard_key_F11"},
    {0x7B, 0x20, 0x00, 0x45, "keyboard_key_F12"},
    {0x2C, 0x20, 0x00, 0x46, "keyboard_key_Print Scr"},
    {0x91, 0x20, 0x00, 0x47, "keyboard_key_Scroll Lock"},
    {0x13, 0x20, 0x00, 0x48, "keyboard_key_Pause"},
    {0x2D, 0x20, 0x00, 0x49, "keyboard_key_Insert"},
    {0x24, 0x20, 0x00, 0x4A, "keyboard_key_Home"},
    {0x21, 0x20, 0x00, 0x4B, "keyboard_key_Page Up"},
    {0x2E, 0x20, 0x00, 0x4C, "keyboard_key_Delete"},
    {0x23, 0x20, 0x00, 0x4D, "keyboard_key_End"},
    {0x22, 0x20, 0x00, 0x4E, "keyboard_key_Page Down"},
    {0x27, 0x20, 0x00, 0x4F, "keyboard_key_Right"},
    {0x25, 0x20, 0x00, 0x50, "keyboard_key_Left"},
    {0x28, 0x20, 0x00, 0x51, "keyboard_key_Down"},
    {0x26, 0x20, 0x00, 0x52, "keyboard_key_Up"},
    {0x90, 0x20, 0x00, 0x53, "keyboard_key_Num Lock"},
    {0x6F, 0x20, 0x00, 0x54, "keyboard_key_Num /"},
    {0x6A, 0x20, 0x00, 0x55, "keyboard_key_Num *"},
    {0x6D, 0x20, 0x00, 0x56, "keyboard_key_Num -"},
    {0x6B, 0x20, 0x00, 0x57, "keyboard_key_Num +"},
    {0x101, 0x20, 0x00, 0x58, "keyboard_key_Num Enter"},
    {0x61, 0x20, 0x00, 0x59, "keyboard_key_Num 1"},
    {0x62, 0x20, 0x00, 0x5A, "keyboard_key_Num 2"},
    {0x63, 0x20, 0x00, 0x5B, "keyboard_key_Num 3"},
    {0x64, 0x20, 0x00, 0x5C, "keyboard_key_Num 4"},
    {0x65, 0x20, 0x00, 0x5D, "keyboard_key_Num 5"},
    {0x66, 0x20, 0x00, 0x5E, "keyboard_key_Num 6"},
    {0x67, 0x20, 0x00, 0x5F, "keyboard_key_Num 7"},
    {0x68, 0x20, 0x00, 0x60, "keyboard_key_Num 8"},
    {0x69, 0x20, 0x00, 0x61, "keyboard_key_Num 9"},
    {0x60, 0x20, 0x00, 0x62, "keyboard_key_Num 0"},
    {0x6E, 0x20, 0x00, 0x63, "keyboard_key_Decimal"},
    {0x5D, 0x20, 0x00, 0x65, "keyboard_key_App"},
    {0xB7, 0x30, 0x92, 0x01, "keyboard_key_Launch App2"},
    {0xAC, 0x30, 0x23, 0x02, "keyboard_key_Browaer Home"},
    {0xB3, 0x30, 0xCD, 0x00, "keyboard_key_Media Play Pause"},
    {0xAA, 0x30, 0x21, 0x02, "keyboard_key_Browser Search"},
    {0xB4, 0x30, 0x8A, 0x01, "keyboard_key_Launch Mail"},
    {0xAF, 0x30, 0xE9, 0x00, "keyboard_key_Volume Up"},
    {0xAD, 0x30, 0xE2, 0x00, "keyboard_key_Volume Mute"},
    {0xB2, 0x30, 0xB7, 0x00, "keyboard_key_Media Stop"},
    {0xAE, 0x30, 0xEA, 0x00, "keyboard_key_Volume Down"},
    {0xAB, 0x30, 0x2A, 0x02, "keyboard_key_Browser Favorites"},
    {0xA7, 0x30, 0x25, 0x02, "keyboard_key_Browser ForWard"},
    {0xA6, 0x30, 0x24, 0x02, "keyboard_key_Browser Back"},
    {0xB1, 0x30, 0xB6, 0x00, "keyboard_key_Media Prev Track"},
    {0xB0, 0x30, 0xB5, 0x00, "keyboard_key_Media Next Track"},
    {0xB6, 0x30, 0x94, 0x01, "keyboard_key_Computer"},
    {0xA8, 0x30, 0x27, 0x02, "keyboard_key_Browser Refresh"},
    {0xB5, 0x30, 0x83, 0x01, "keyboard_key_Launch Media Select"},
    {0xB5, 0x30, 0x83, 0x01, "keyboard_key_Launch Media Select"},
    {0x103, 0x40, 0x01, 0x00, "keyboard_key_Power"},
    {0x104, 0x40, 0x02, 0x00, "keyboard_key_Sleep"},
    {0x105, 0x40, 0x04, 0x00, "keyboard_key_Wakeup"},
});
static_assert(KeyCodeTable.size() == kKeyCodeRowCount);

// Label of the fire key, kept beside the key-code table's ids.
inline constexpr std::string_view kFireKeyTextId = "mouse_key_fire_key";

// First row with virtual-key code `vk`; nullptr when none.
const KeyCodeRow* FindKeyCodeRowByVk(uint16_t vk);
// First row whose p1 and p2 equal the arguments, whatever its kind; nullptr when none.
const KeyCodeRow* FindKeyCodeRow(uint8_t p1, uint8_t p2);
// First row equal to `function` in kind, p1 and p2; nullptr when none.
const KeyCodeRow* FindKeyCodeRow(KeyFunction function);

inline constexpr size_t kLayoutPositions = 126;

namespace layout_detail {
constexpr KeyFunction Key(uint8_t usage) { return {kKindKeyboard, 0x00, usage}; }
constexpr KeyFunction Mod(uint8_t mask) { return {kKindKeyboard, mask, 0x00}; }
inline constexpr KeyFunction kNone{kKindKeyboard, 0x00, 0x00};
}  // namespace layout_detail

// Standard function of each on-screen keyboard position (buttons kb_key_0 to
// kb_key_125); positions without a key of their own hold 20 00 00.
inline constexpr auto KeyboardLayoutTable = [] {
  using namespace layout_detail;
  return std::to_array<KeyFunction>({
      Key(0x29),  // 0 Esc
      Key(0x3A), Key(0x3B), Key(0x3C), Key(0x3D), Key(0x3E), Key(0x3F),  // 1-6 F1-F6
      Key(0x40), Key(0x41), Key(0x42), Key(0x43), Key(0x44), Key(0x45),  // 7-12 F7-F12
      Key(0x46), Key(0x47), Key(0x48),  // 13 Print Scr, 14 Scroll Lock, 15 Pause
      kNone, kNone, kNone, kNone, kNone,  // 16-20
      Key(0x35),  // 21 grave accent
      Key(0x1E), Key(0x1F), Key(0x20), Key(0x21), Key(0x22),  // 22-26 1-5
      Key(0x23), Key(0x24), Key(0x25), Key(0x26), Key(0x27),  // 27-31 6-9, 0
      Key(0x2D), Key(0x2E), Key(0x2A),  // 32 minus, 33 equals, 34 BackSpace
      Key(0x49), Key(0x4A), Key(0x4B),  // 35 Insert, 36 Home, 37 Page Up
      Key(0x53), Key(0x54), Key(0x55), Key(0x56),  // 38 Num Lock, 39 Num /, 40 Num *, 41 Num -
      Key(0x2B),  // 42 Tab
      Key(0x14), Key(0x1A), Key(0x08), Key(0x15), Key(0x17),  // 43-47 Q W E R T
      Key(0x1C), Key(0x18), Key(0x0C), Key(0x12), Key(0x13),  // 48-52 Y U I O P
      Key(0x2F), Key(0x30), Key(0x31),  // 53 [, 54 ], 55 backslash
      Key(0x4C), Key(0x4D), Key(0x4E),  // 56 Delete, 57 End, 58 Page Down
      Key(0x5F), Key(0x60), Key(0x61),  // 59-61 keypad 7-9
      kNone,      // 62
      Key(0x39),  // 63 Caps Lock
      Key(0x04), Key(0x16), Key(0x07), Key(0x09), Key(0x0A),  // 64-68 A S D F G
      Key(0x0B), Key(0x0D), Key(0x0E), Key(0x0F),  // 69-72 H J K L
      Key(0x33), Key(0x34), Key(0x28),  // 73 semicolon, 74 quote, 75 Enter
      Key(0x5C), Key(0x5D), Key(0x5E),  // 76-78 keypad 4-6
      kNone, kNone, kNone, kNone, kNone,  // 79-83
      Mod(kModLeftShift),  // 84
      Key(0x1D), Key(0x1B), Key(0x06), Key(0x19), Key(0x05), Key(0x11), Key(0x10),  // 85-91 Z-M
      Key(0x36), Key(0x37), Key(0x38),  // 92 comma, 93 period, 94 slash
      Mod(kModRightShift),  // 95
      Key(0x52),  // 96 Up
      Key(0x59), Key(0x5A), Key(0x5B),  // 97-99 keypad 1-3
      kNone, kNone,  // 100-101
      Key(0x64),     // 102 extra key of ISO layouts
      kNone, kNone,  // 103-104
      Mod(kModLeftCtrl), Mod(kModLeftWin), Mod(kModLeftAlt),  // 105-107
      Key(0x2C),  // 108 Space
      Mod(kModRightAlt),  // 109
      KeyFunction{kKindSpecial, 0x02, 0x02},  // 110 function key
      Key(0x65),  // 111 App
      Mod(kModRightCtrl),  // 112
      Key(0x50), Key(0x51), Key(0x4F),  // 113 Left, 114 Down, 115 Right
      Key(0x62), Key(0x63), Key(0x58), Key(0x57),  // 116 keypad 0, decimal, Enter, plus
      kNone, kNone, kNone, kNone, kNone,  // 120-124
      Mod(kModRightWin),  // 125
  });
}();
static_assert(KeyboardLayoutTable.size() == kLayoutPositions);

}  // namespace talvo::keys
