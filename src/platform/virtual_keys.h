// Key events as Windows virtual-key codes: the codes the key-code table and
// the macro steps are written in, from the evdev codes the desktop reports.
#pragma once

#include <cstdint>
#include <optional>

namespace talvo::platform {

// Codes the input capture treats apart.
inline constexpr uint16_t kVkEnter = 0x0D;
inline constexpr uint16_t kVkCapsLock = 0x14;
inline constexpr uint16_t kVkNumLock = 0x90;
inline constexpr uint16_t kVkScrollLock = 0x91;
// The keypad's Enter: Windows reports it as Enter with the extended flag.
inline constexpr uint16_t kVkNumpadEnter = 0x101;

struct VirtualKey {
  uint16_t vk;
  bool extended;  // Windows sets its extended-key flag for this key

  friend bool operator==(const VirtualKey&, const VirtualKey&) = default;
};

// The key for a Linux evdev key code (KEY_*); nothing for keys that have no
// virtual-key code or that the table leaves out. Left and right modifiers
// keep their own codes.
std::optional<VirtualKey> VirtualKeyOfEvdev(uint32_t evdevCode);

// Enter with the extended flag is the keypad's Enter; every other code is
// itself.
constexpr uint16_t DistinctVirtualKey(uint16_t vk, bool extended) {
  return vk == kVkEnter && extended ? kVkNumpadEnter : vk;
}

constexpr bool IsLockKey(uint16_t vk) { return vk == kVkCapsLock || vk == kVkNumLock || vk == kVkScrollLock; }

}  // namespace talvo::platform
