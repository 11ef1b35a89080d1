// The keyboard's read sequences.
//
// Talvo treats the keyboard as a single-profile device: only onboard profile
// 0's key map and settings block are read, and key maps are written to it as
// profile 0. Its key-map transfers are as long as its keys need (three bytes
// per key, taken from the information block), so the link learns that length
// from the first full read. Each sequence comes in two halves: the device
// side, which runs on the keyboard's session thread and reads into a result
// of its own, and the apply side, which runs on the UI thread. Refreshing the
// pages and saving the profiles afterwards is the caller's job. Device replies
// are parsed by the commands themselves.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "keys/key_map.h"
#include "keys/position_map.h"
#include "profiles/live_data.h"

namespace talvo::transfer {

// The only onboard profile Talvo reads from or writes to the keyboard.
inline constexpr unsigned kKeyboardProfile = 0;

// The settings block the keyboard's re-read gets, from settings offset 0.
using KeyboardBlock = std::array<uint8_t, 56>;

// What the main window keeps of the keyboard besides the key maps and the
// lighting records of profiles::LiveData.
struct KeyboardData {
  device::DeviceInfo info;
  // True once a full read has had the keyboard's information block and the
  // link has taken the key-map transfer length it gives. Key maps go to the
  // keyboard only from then on (as kKeyboardProfile): before, the link's
  // length is not the keyboard's and a write would cut or overrun its map.
  bool keyMapLengthKnown = false;
};

enum class KeyboardReadResult {
  Read,
  // The keyboard reports more keys than a key-map record holds (transfer
  // length above 512): the read was ended after the information block and
  // nothing it read is taken.
  KeyCountRefused,
};

// What the keyboard's full read reads, in copies of its own: taken from the
// live data before the read (on the UI thread), filled on the keyboard's
// session thread and applied back in one step.
struct KeyboardReadback {
  KeyboardData data;
  keys::KeyMapRecord defaultMap{};
  keys::KeyMapRecord keyMap{};  // of kKeyboardProfile
  KeyboardReadResult result = KeyboardReadResult::Read;
  // Whether this read got the information block.
  bool infoRead = false;

  static KeyboardReadback Of(const KeyboardData& data, const profiles::LiveData& live) {
    return {.data = data,
            .defaultMap = live.keyboardKeys.defaultMap,
            .keyMap = live.keyboardKeys.profiles[kKeyboardProfile]};
  }
};

// Within one transfer: the information block, the link's key-map transfer
// length from its key count, the default map and profile 0's key map. When
// the link refuses the length the transfer is ended at once and
// `readback.result` says so. A command that fails leaves its destination as
// it was; a key map arrives whole or not at all.
void KeyboardFullRead(device::CDeviceLink& link, KeyboardReadback& readback);
// Unless the key count was refused (then nothing changes): takes the
// information block and the maps, keeps the live record (which light image
// slot 0 takes first) as profile 0, and rebuilds `positions` from the
// default map. Returns
// the read's result; after Read the caller saves the keyboard's key and
// device profiles, after KeyCountRefused it tells the user.
KeyboardReadResult ApplyKeyboardFullRead(const KeyboardReadback& readback, KeyboardData& data, profiles::LiveData& live,
                                         keys::PositionMap& positions);

// After the keyboard changed its settings on its own: the 56-byte block at
// settings offset 0, when the read succeeds.
std::optional<KeyboardBlock> KeyboardSettingsReread(device::CDeviceLink& link);
// Puts the live record back into its slot, loads the re-read block (when
// there is one) into slot 0 as profile 0 and takes the live record from it.
// The caller then saves the keyboard device profile.
void ApplyKeyboardSettingsReread(const std::optional<KeyboardBlock>& block, profiles::LiveData& live);

}  // namespace talvo::transfer
