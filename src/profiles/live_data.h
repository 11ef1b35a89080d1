// The live key maps and lighting records that profile loads fill and profile
// saves read. The main window owns one LiveData for the program's lifetime.
#pragma once

#include <array>
#include <string>

#include "device/peripheral.h"
#include "keys/key_map.h"
#include "lighting/light_records.h"
#include "profiles/profile_index.h"

namespace talvo::profiles {

struct LiveData {
  keys::DeviceKeyMaps keyboardKeys = keys::NewDeviceKeyMaps(device::Peripheral::Keyboard);
  keys::DeviceKeyMaps mouseKeys = keys::NewDeviceKeyMaps(device::Peripheral::Mouse);
  lighting::KeyboardLighting keyboardLight{};
  lighting::MouseLighting mouseLight{};
  lighting::MousepadLighting mousepadLight{};
  // Per profile list (in kProfileCombos order), the profile the live records
  // were last loaded from; empty before the first load. Saves go there: while
  // a linked program is in front the list's stored choice is another one.
  std::array<std::string, kProfileCombos.size()> applied{};
};

// The name of the profile the kind's live settings belong to: the one last
// loaded, else the list's stored choice; empty when neither names an entry.
std::string AppliedProfileName(const LiveData& live, const ProfileCombo& combo);

// The key map record that key and device profiles of the peripheral load into
// and save from: the keyboard keeps only profile 0 (the only one read from the
// keyboard); the mouse uses the record of its onboard profile named by the
// live settings record's `profile` byte (after a device profile load, the
// byte that profile carries), or profile 0 while that byte names no profile.
// Returns nullptr for the mousepad, which has no key map.
keys::KeyMapRecord* CurrentKeyMap(LiveData& live, device::Peripheral peripheral);
const keys::KeyMapRecord* CurrentKeyMap(const LiveData& live, device::Peripheral peripheral);

}  // namespace talvo::profiles
