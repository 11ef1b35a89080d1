// Key functions and the per-profile key-map records that hold one function per
// key. A record travels unchanged to and from the device (read/write key map
// commands) and to and from key profile files, so it stays a plain byte array.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "device/peripheral.h"

namespace talvo::keys {

// Three-byte code the device executes when a key is pressed.
struct KeyFunction {
  uint8_t kind = 0;
  uint8_t p1 = 0;
  uint8_t p2 = 0;
  friend constexpr bool operator==(const KeyFunction&, const KeyFunction&) = default;
};

inline constexpr size_t kKeyMapSize = 512;
inline constexpr size_t kKeysPerMap = 170;      // keys 0..169; bytes 510, 511 are carried only
inline constexpr size_t kKeyFunctionSize = 3;
inline constexpr unsigned kProfileCount = 5;    // profile indices 0..4, as the key-map commands accept
inline constexpr size_t kMouseKeyCount = 7;     // buttons shown for the mouse

// Key k occupies bytes 3k, 3k+1, 3k+2.
using KeyMapRecord = std::array<uint8_t, kKeyMapSize>;

// Function of `key`; a key number outside the record reads as all zero.
KeyFunction KeyAt(const KeyMapRecord& record, size_t key);
// Stores `function` at `key`; false (record unchanged) for a key outside the record.
bool SetKey(KeyMapRecord& record, size_t key, KeyFunction function);

// The key maps one device keeps: five profile records and the factory map.
struct DeviceKeyMaps {
  std::array<KeyMapRecord, kProfileCount> profiles{};  // all zero until loaded
  KeyMapRecord defaultMap{};                            // InitialDefaultMap until the device is read
};

// The default map in force before the device's own map has been read.
KeyMapRecord InitialDefaultMap(device::Peripheral peripheral);
DeviceKeyMaps NewDeviceKeyMaps(device::Peripheral peripheral);

// True when `key` of `profile` equals the key's default entry; false for a key
// or profile out of range.
bool IsDefault(const DeviceKeyMaps& maps, size_t key, unsigned profile);
// Copies the key's default entry into the profile's record; false (nothing
// changed) for a key or profile out of range.
bool ResetKey(DeviceKeyMaps& maps, size_t key, unsigned profile);

// Macro `removed` left the device's list: among keys 0 .. keyCount-1, those
// that played it get their default entry and those of later macros follow
// their macro down by one, so every key keeps playing the macro it had.
// True when the record changed.
bool ForgetMacro(KeyMapRecord& record, const KeyMapRecord& defaultMap, size_t keyCount, size_t removed);

// The mouse stores each onboard profile's map as 126 bytes at profile × 126,
// and a key-map write sends 512: the bytes past a profile's own 126 land on
// the profiles after it.
inline constexpr size_t kMouseMapStride = 126;
// The 512 bytes a key-map write for the mouse's onboard profile `profile`
// (0..4) sends: its own 126 bytes, then the first 126 bytes of each later
// profile's record, as the mouse holds them now; bytes past the fifth
// profile are the record's own, as read.
KeyMapRecord MouseKeyMapImage(const DeviceKeyMaps& maps, unsigned profile);

}  // namespace talvo::keys
