// The live key maps and lighting records that profile loads fill and profile
// saves read. The main window owns one LiveData for the program's lifetime.
#pragma once

#include "device/peripheral.h"
#include "keys/key_map.h"
#include "lighting/light_records.h"

namespace talvo::profiles {

struct LiveData {
  keys::DeviceKeyMaps keyboardKeys = keys::NewDeviceKeyMaps(device::Peripheral::Keyboard);
  keys::DeviceKeyMaps mouseKeys = keys::NewDeviceKeyMaps(device::Peripheral::Mouse);
  lighting::KeyboardLighting keyboardLight{};
  lighting::MouseLighting mouseLight{};
  lighting::MousepadLighting mousepadLight{};
};

// The key map record that key and device profiles of the peripheral load into
// and save from: the keyboard keeps only profile 0 (the only one read from the
// keyboard); the mouse uses the record of its onboard profile named by the
// live settings record's `profile` byte (after a device profile load, the
// byte that profile carries), or profile 0 while that byte names no profile.
// Returns nullptr for the mousepad, which has no key map.
keys::KeyMapRecord* CurrentKeyMap(LiveData& live, device::Peripheral peripheral);
const keys::KeyMapRecord* CurrentKeyMap(const LiveData& live, device::Peripheral peripheral);

}  // namespace talvo::profiles
