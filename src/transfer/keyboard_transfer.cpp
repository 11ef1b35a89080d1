#include "transfer/keyboard_transfer.h"

#include <span>
#include <tuple>

#include "lighting/light_records.h"

namespace talvo::transfer {

namespace {

using device::CDeviceLink;
using lighting::KeyboardLighting;

constexpr uint8_t kBlockRead = std::tuple_size_v<KeyboardBlock>;
constexpr uint16_t kBlockOffset = 0;

// The chunked key-map reads keep the chunks that arrived before a failure;
// going through a scratch record keeps a failed read from leaving a map half
// old and half new.
template <typename Read>
void ReadWholeMap(keys::KeyMapRecord& destination, Read read) {
  keys::KeyMapRecord scratch = destination;
  if (read(std::span<uint8_t>(scratch)) == device::kResultOk) destination = scratch;
}

// Slot 0 holds the one block read from the keyboard; the live record always
// comes from there and names profile 0.
void RecordFromSlotZero(KeyboardLighting& kb) {
  std::array<uint8_t, lighting::LightRecord::kSize> head{};
  kb.slots[kKeyboardProfile].Store(head);
  kb.record.Load(head);
  kb.record.SetProfile(kKeyboardProfile);
}

}  // namespace

void KeyboardFullRead(CDeviceLink& link, KeyboardReadback& readback) {
  device::BeginTransfer(link);
  // Read into a copy: a key count the link refuses must not reach the data,
  // where it would drive loops over more keys than a record holds.
  device::DeviceInfo info = readback.data.info;
  const bool infoRead = device::ReadDeviceInfo(link, info) == device::kResultOk;
  const auto length = static_cast<uint16_t>(info.KeyCount() * keys::kKeyFunctionSize);
  if (link.SetTransferSize(length) != 1) {
    readback.result = KeyboardReadResult::KeyCountRefused;
    device::EndTransfer(link);
    return;
  }
  readback.result = KeyboardReadResult::Read;
  readback.infoRead = infoRead;
  readback.data.info = info;
  ReadWholeMap(readback.defaultMap, [&](std::span<uint8_t> out) { return device::ReadDefaultMap(link, out); });
  ReadWholeMap(readback.keyMap,
               [&](std::span<uint8_t> out) { return device::ReadKeyMap(link, kKeyboardProfile, out); });
  device::EndTransfer(link);
}

KeyboardReadResult ApplyKeyboardFullRead(const KeyboardReadback& readback, KeyboardData& data, profiles::LiveData& live,
                                         keys::PositionMap& positions) {
  if (readback.result == KeyboardReadResult::KeyCountRefused) return readback.result;
  data.info = readback.data.info;
  // Without the information block the link's length came from an earlier
  // read's block, which is the keyboard's only when that read had it.
  data.keyMapLengthKnown = data.keyMapLengthKnown || readback.infoRead;
  live.keyboardKeys.defaultMap = readback.defaultMap;
  live.keyboardKeys.profiles[kKeyboardProfile] = readback.keyMap;
  // The read has no lighting of its own: slot 0 takes a change the page made
  // and the deferred save has not yet put there, so the record keeps it.
  KeyboardLighting& kb = live.keyboardLight;
  kb.slots[kKeyboardProfile].Load(kb.record.Snapshot());
  RecordFromSlotZero(kb);
  keys::BuildPositionMap(live.keyboardKeys.defaultMap, data.info.KeyCount(), positions);
  return readback.result;
}

std::optional<KeyboardBlock> KeyboardSettingsReread(CDeviceLink& link) {
  KeyboardBlock block{};
  if (device::ReadSettings(link, kBlockRead, kBlockOffset, block) != device::kResultOk) return std::nullopt;
  return block;
}

void ApplyKeyboardSettingsReread(const std::optional<KeyboardBlock>& block, profiles::LiveData& live) {
  KeyboardLighting& kb = live.keyboardLight;
  // A record whose profile byte came from a file may name no slot; it then
  // has no block to go back to.
  const unsigned profile = kb.record.profile();
  if (profile <= device::kMaxProfile) kb.slots[profile].Load(kb.record.Snapshot());
  if (block) kb.slots[kKeyboardProfile].Load(*block);
  // Byte 0 read at offset 0 is the keyboard's active-profile register; the
  // block is kept as profile 0's whatever it says.
  kb.slots[kKeyboardProfile].Set(lighting::LightRecord::kProfile, kKeyboardProfile);
  RecordFromSlotZero(kb);
}

}  // namespace talvo::transfer
