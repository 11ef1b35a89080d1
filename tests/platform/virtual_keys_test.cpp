#include "platform/virtual_keys.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <optional>

namespace talvo::platform {
namespace {

struct Mapping {
  const char* name;
  uint32_t evdev;
  std::optional<VirtualKey> expected;
};

class VirtualKeyOfEvdevTest : public testing::TestWithParam<Mapping> {};

TEST_P(VirtualKeyOfEvdevTest, Maps) { EXPECT_EQ(VirtualKeyOfEvdev(GetParam().evdev), GetParam().expected); }

// Evdev numbers keys by their place on the board, not by letter: A sits
// between Left Ctrl and S.
INSTANTIATE_TEST_SUITE_P(Keys, VirtualKeyOfEvdevTest,
                         testing::Values(Mapping{"A", KEY_A, VirtualKey{0x41, false}},
                                         Mapping{"Q", KEY_Q, VirtualKey{0x51, false}},
                                         Mapping{"LeftCtrl", KEY_LEFTCTRL, VirtualKey{0xA2, false}},
                                         Mapping{"RightCtrl", KEY_RIGHTCTRL, VirtualKey{0xA3, true}},
                                         Mapping{"RightShiftIsNotExtended", KEY_RIGHTSHIFT, VirtualKey{0xA1, false}},
                                         Mapping{"RightAlt", KEY_RIGHTALT, VirtualKey{0xA5, true}},
                                         Mapping{"LeftMeta", KEY_LEFTMETA, VirtualKey{0x5B, true}},
                                         Mapping{"MainEnter", KEY_ENTER, VirtualKey{0x0D, false}},
                                         Mapping{"KeypadEnter", KEY_KPENTER, VirtualKey{0x101, true}},
                                         Mapping{"KeypadSlash", KEY_KPSLASH, VirtualKey{0x6F, true}},
                                         Mapping{"ArrowUp", KEY_UP, VirtualKey{0x26, true}},
                                         Mapping{"CapsLock", KEY_CAPSLOCK, VirtualKey{0x14, false}},
                                         Mapping{"NumLock", KEY_NUMLOCK, VirtualKey{0x90, true}},
                                         Mapping{"VolumeUp", KEY_VOLUMEUP, VirtualKey{0xAF, true}},
                                         Mapping{"Reserved", KEY_RESERVED, std::nullopt},
                                         Mapping{"BeyondTheTable", KEY_MAX, std::nullopt}),
                         [](const testing::TestParamInfo<Mapping>& info) { return info.param.name; });

}  // namespace
}  // namespace talvo::platform
