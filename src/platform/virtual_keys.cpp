#include "platform/virtual_keys.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <array>

namespace talvo::platform {
namespace {

struct Row {
  uint16_t evdev;
  uint16_t vk;
  bool extended;
};

constexpr bool kExt = true;

// Sorted by evdev code. The extended flags are those Windows gives the keys
// whose scan codes carry the E0 prefix.
constexpr auto kRows = std::to_array<Row>({
    {KEY_ESC, 0x1B, false},
    {KEY_1, 0x31, false},
    {KEY_2, 0x32, false},
    {KEY_3, 0x33, false},
    {KEY_4, 0x34, false},
    {KEY_5, 0x35, false},
    {KEY_6, 0x36, false},
    {KEY_7, 0x37, false},
    {KEY_8, 0x38, false},
    {KEY_9, 0x39, false},
    {KEY_0, 0x30, false},
    {KEY_MINUS, 0xBD, false},
    {KEY_EQUAL, 0xBB, false},
    {KEY_BACKSPACE, 0x08, false},
    {KEY_TAB, 0x09, false},
    {KEY_Q, 0x51, false},
    {KEY_W, 0x57, false},
    {KEY_E, 0x45, false},
    {KEY_R, 0x52, false},
    {KEY_T, 0x54, false},
    {KEY_Y, 0x59, false},
    {KEY_U, 0x55, false},
    {KEY_I, 0x49, false},
    {KEY_O, 0x4F, false},
    {KEY_P, 0x50, false},
    {KEY_LEFTBRACE, 0xDB, false},
    {KEY_RIGHTBRACE, 0xDD, false},
    {KEY_ENTER, kVkEnter, false},
    {KEY_LEFTCTRL, 0xA2, false},
    {KEY_A, 0x41, false},
    {KEY_S, 0x53, false},
    {KEY_D, 0x44, false},
    {KEY_F, 0x46, false},
    {KEY_G, 0x47, false},
    {KEY_H, 0x48, false},
    {KEY_J, 0x4A, false},
    {KEY_K, 0x4B, false},
    {KEY_L, 0x4C, false},
    {KEY_SEMICOLON, 0xBA, false},
    {KEY_APOSTROPHE, 0xDE, false},
    {KEY_GRAVE, 0xC0, false},
    {KEY_LEFTSHIFT, 0xA0, false},
    {KEY_BACKSLASH, 0xDC, false},
    {KEY_Z, 0x5A, false},
    {KEY_X, 0x58, false},
    {KEY_C, 0x43, false},
    {KEY_V, 0x56, false},
    {KEY_B, 0x42, false},
    {KEY_N, 0x4E, false},
    {KEY_M, 0x4D, false},
    {KEY_COMMA, 0xBC, false},
    {KEY_DOT, 0xBE, false},
    {KEY_SLASH, 0xBF, false},
    {KEY_RIGHTSHIFT, 0xA1, false},
    {KEY_KPASTERISK, 0x6A, false},
    {KEY_LEFTALT, 0xA4, false},
    {KEY_SPACE, 0x20, false},
    {KEY_CAPSLOCK, kVkCapsLock, false},
    {KEY_F1, 0x70, false},
    {KEY_F2, 0x71, false},
    {KEY_F3, 0x72, false},
    {KEY_F4, 0x73, false},
    {KEY_F5, 0x74, false},
    {KEY_F6, 0x75, false},
    {KEY_F7, 0x76, false},
    {KEY_F8, 0x77, false},
    {KEY_F9, 0x78, false},
    {KEY_F10, 0x79, false},
    {KEY_NUMLOCK, kVkNumLock, kExt},
    {KEY_SCROLLLOCK, kVkScrollLock, false},
    {KEY_KP7, 0x67, false},
    {KEY_KP8, 0x68, false},
    {KEY_KP9, 0x69, false},
    {KEY_KPMINUS, 0x6D, false},
    {KEY_KP4, 0x64, false},
    {KEY_KP5, 0x65, false},
    {KEY_KP6, 0x66, false},
    {KEY_KPPLUS, 0x6B, false},
    {KEY_KP1, 0x61, false},
    {KEY_KP2, 0x62, false},
    {KEY_KP3, 0x63, false},
    {KEY_KP0, 0x60, false},
    {KEY_KPDOT, 0x6E, false},
    {KEY_102ND, 0xE2, false},
    {KEY_F11, 0x7A, false},
    {KEY_F12, 0x7B, false},
    {KEY_KPENTER, kVkNumpadEnter, kExt},
    {KEY_RIGHTCTRL, 0xA3, kExt},
    {KEY_KPSLASH, 0x6F, kExt},
    {KEY_SYSRQ, 0x2C, kExt},
    {KEY_RIGHTALT, 0xA5, kExt},
    {KEY_HOME, 0x24, kExt},
    {KEY_UP, 0x26, kExt},
    {KEY_PAGEUP, 0x21, kExt},
    {KEY_LEFT, 0x25, kExt},
    {KEY_RIGHT, 0x27, kExt},
    {KEY_END, 0x23, kExt},
    {KEY_DOWN, 0x28, kExt},
    {KEY_PAGEDOWN, 0x22, kExt},
    {KEY_INSERT, 0x2D, kExt},
    {KEY_DELETE, 0x2E, kExt},
    {KEY_MUTE, 0xAD, kExt},
    {KEY_VOLUMEDOWN, 0xAE, kExt},
    {KEY_VOLUMEUP, 0xAF, kExt},
    {KEY_PAUSE, 0x13, false},
    {KEY_LEFTMETA, 0x5B, kExt},
    {KEY_RIGHTMETA, 0x5C, kExt},
    {KEY_COMPOSE, 0x5D, kExt},
    {KEY_STOP, 0xA9, kExt},
    {KEY_CALC, 0xB7, kExt},
    {KEY_SLEEP, 0x5F, kExt},
    {KEY_MAIL, 0xB4, kExt},
    {KEY_BOOKMARKS, 0xAB, kExt},
    {KEY_COMPUTER, 0xB6, kExt},
    {KEY_BACK, 0xA6, kExt},
    {KEY_FORWARD, 0xA7, kExt},
    {KEY_NEXTSONG, 0xB0, kExt},
    {KEY_PLAYPAUSE, 0xB3, kExt},
    {KEY_PREVIOUSSONG, 0xB1, kExt},
    {KEY_STOPCD, 0xB2, kExt},
    {KEY_HOMEPAGE, 0xAC, kExt},
    {KEY_REFRESH, 0xA8, kExt},
    {KEY_F13, 0x7C, false},
    {KEY_F14, 0x7D, false},
    {KEY_F15, 0x7E, false},
    {KEY_F16, 0x7F, false},
    {KEY_F17, 0x80, false},
    {KEY_F18, 0x81, false},
    {KEY_F19, 0x82, false},
    {KEY_F20, 0x83, false},
    {KEY_F21, 0x84, false},
    {KEY_F22, 0x85, false},
    {KEY_F23, 0x86, false},
    {KEY_F24, 0x87, false},
    {KEY_SEARCH, 0xAA, kExt},
    {KEY_MEDIA, 0xB5, kExt},
});

constexpr bool Sorted() {
  for (size_t i = 1; i < kRows.size(); ++i) {
    if (kRows[i - 1].evdev >= kRows[i].evdev) return false;
  }
  return true;
}
static_assert(Sorted(), "the lookup is a binary search");

}  // namespace

std::optional<VirtualKey> VirtualKeyOfEvdev(uint32_t evdevCode) {
  const auto it = std::lower_bound(kRows.begin(), kRows.end(), evdevCode,
                                   [](const Row& row, uint32_t code) { return row.evdev < code; });
  if (it == kRows.end() || it->evdev != evdevCode) return std::nullopt;
  return VirtualKey{it->vk, it->extended};
}

}  // namespace talvo::platform
