#include "transfer/mouse_transfer.h"

#include <optional>

#include "device/peripheral.h"
#include "keys/key_map.h"
#include "lighting/light_records.h"
#include "profiles/profile_store.h"

namespace talvo::transfer {

namespace {

using device::CDeviceLink;
using lighting::MouseLighting;

constexpr uint8_t kBlockRead = MouseDeviceBlocks::kCopySize;
constexpr uint16_t kActiveProfileOffset = 0;

uint16_t BlockOffset(unsigned profile) { return static_cast<uint16_t>(profile * MouseDeviceBlocks::kStride); }

// Profile numbers come from the mouse and index the five light image slots.
// One above 4 names no slot, and guessing one (clamping to 0 or 4) would put
// another profile's settings into the live record, which the next push then
// writes into whatever block the mouse has active. Such a reply is therefore
// treated like no reply at all: the sequence leaves everything as it was.
bool NamesASlot(unsigned profile) { return profile <= device::kMaxProfile; }

// The active profile the mouse reports, or nothing when it did not answer or
// answered a number that names no slot.
std::optional<unsigned> ReadActiveProfile(CDeviceLink& link) {
  std::array<uint8_t, 1> active{};
  if (device::ReadSettings(link, 1, kActiveProfileOffset, active) != device::kResultOk) return std::nullopt;
  if (!NamesASlot(active[0])) return std::nullopt;
  return active[0];
}

// The chunked key-map reads keep the chunks that arrived before a failure;
// going through a scratch record keeps a failed read from leaving a map half
// old and half new.
template <typename Read>
void ReadWholeMap(keys::KeyMapRecord& destination, Read read) {
  keys::KeyMapRecord scratch = destination;
  if (read(std::span<uint8_t>(scratch)) == device::kResultOk) destination = scratch;
}

void StoreRecordInSlot(MouseLighting& ms, unsigned slot) { ms.slots[slot].Load(ms.record.Snapshot()); }

void RecordFromSlot(MouseLighting& ms, unsigned slot) {
  std::array<uint8_t, lighting::MouseSettingsRecord::kSize> head{};
  ms.slots[slot].Store(head);
  ms.record.Load(head);
}

// The slot keeps its bytes when the read fails.
void ReadBlockIntoSlot(CDeviceLink& link, MouseLighting& ms, unsigned profile) {
  std::array<uint8_t, kBlockRead> block{};
  if (device::ReadSettings(link, kBlockRead, BlockOffset(profile), block) == device::kResultOk) {
    ms.slots[profile].Load(block);
  }
}

}  // namespace

void MouseFullRead(CDeviceLink& link, MouseDeviceData& data, profiles::LiveData& live) {
  device::BeginTransfer(link);
  device::ReadDeviceInfo(link, data.info);
  ReadWholeMap(live.mouseKeys.defaultMap, [&](std::span<uint8_t> out) { return device::ReadDefaultMap(link, out); });
  for (unsigned p = 0; p < MouseDeviceBlocks::kCopies; ++p) {
    device::ReadSettings(link, kBlockRead, BlockOffset(p), data.blocks.Copy(p));
    ReadWholeMap(live.mouseKeys.profiles[p], [&](std::span<uint8_t> out) { return device::ReadKeyMap(link, p, out); });
  }
  // Without a read this is the copy an earlier read left (0 at first). A
  // number naming no slot leaves the live record as it was; the device data
  // read above is still the mouse's own and is kept and saved.
  const unsigned active = data.blocks.Copy(MouseDeviceBlocks::kCopies - 1)[0];
  if (NamesASlot(active)) {
    RecordFromSlot(live.mouseLight, active);
    live.mouseLight.record.SetProfile(static_cast<uint8_t>(active));
  }
  device::EndTransfer(link);
  profiles::SaveDeviceProfile(live, device::Peripheral::Mouse);
}

bool MouseSettingsReread(CDeviceLink& link, MouseDeviceData& data, profiles::LiveData& live) {
  // The active profile is asked first so that an unusable answer changes
  // nothing at all, not even the slot the live record is put back into.
  const auto active = ReadActiveProfile(link);
  if (!active) return false;
  MouseLighting& ms = live.mouseLight;
  // A record whose profile byte came from a file may name no slot; it then
  // has no block to go back to.
  if (NamesASlot(ms.record.profile())) StoreRecordInSlot(ms, ms.record.profile());
  ReadBlockIntoSlot(link, ms, *active);
  ms.slots[*active].Set(0, static_cast<uint8_t>(*active));
  ms.slots[*active].Store(data.blocks.Copy(0));
  RecordFromSlot(ms, *active);
  profiles::SaveLightProfile(live, device::Peripheral::Mouse);
  profiles::SaveDeviceProfile(live, device::Peripheral::Mouse);
  return true;
}

bool SelectMouseProfile(CDeviceLink& link, MouseDeviceData& data, profiles::LiveData& live, unsigned n) {
  if (!NamesASlot(n)) return false;
  const auto active = ReadActiveProfile(link);
  if (!active || *active == n) return false;
  MouseLighting& ms = live.mouseLight;
  StoreRecordInSlot(ms, *active);
  // A refusal is not checked: the block read next shows what the mouse has.
  const std::array<uint8_t, 1> select{static_cast<uint8_t>(n)};
  device::WriteSettings(link, 1, kActiveProfileOffset, select);
  ReadBlockIntoSlot(link, ms, n);
  ms.slots[n].Store(data.blocks.Copy(0));
  RecordFromSlot(ms, n);
  ms.record.SetProfile(static_cast<uint8_t>(n));
  return true;
}

}  // namespace talvo::transfer
