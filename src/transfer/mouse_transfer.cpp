#include "transfer/mouse_transfer.h"

#include <optional>

#include "keys/key_map.h"
#include "lighting/light_records.h"

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

// Profile n's block read into `read.block`, when the read succeeds.
void ReadBlock(CDeviceLink& link, unsigned profile, MouseBlockRead& read) {
  std::array<uint8_t, kBlockRead> block{};
  if (device::ReadSettings(link, kBlockRead, BlockOffset(profile), block) == device::kResultOk) read.block = block;
}

// The slot keeps its bytes when the read failed.
void LoadBlockIntoSlot(const MouseBlockRead& read, MouseLighting& ms, unsigned profile) {
  if (read.block) ms.slots[profile].Load(*read.block);
}

}  // namespace

void MouseFullRead(CDeviceLink& link, MouseReadback& readback) {
  device::BeginTransfer(link);
  readback.infoRead = device::ReadDeviceInfo(link, readback.data.info) == device::kResultOk;
  ReadWholeMap(readback.keys.defaultMap, [&](std::span<uint8_t> out) { return device::ReadDefaultMap(link, out); });
  for (unsigned p = 0; p < MouseDeviceBlocks::kCopies; ++p) {
    device::ReadSettings(link, kBlockRead, BlockOffset(p), readback.data.blocks.Copy(p));
    ReadWholeMap(readback.keys.profiles[p], [&](std::span<uint8_t> out) { return device::ReadKeyMap(link, p, out); });
  }
  device::EndTransfer(link);
}

void ApplyMouseFullRead(const MouseReadback& readback, MouseDeviceData& data, profiles::LiveData& live) {
  const bool read = data.read || readback.infoRead;
  data = readback.data;
  data.read = read;
  live.mouseKeys = readback.keys;
  // Without a read this is the copy an earlier read left (0 at first). A
  // number naming no slot leaves the live record as it was; the device data
  // read is still the mouse's own and is kept.
  const unsigned active = data.blocks.Copy(MouseDeviceBlocks::kCopies - 1)[0];
  if (NamesASlot(active)) {
    RecordFromSlot(live.mouseLight, active);
    live.mouseLight.record.SetProfile(static_cast<uint8_t>(active));
  }
}

MouseBlockRead MouseSettingsReread(CDeviceLink& link) {
  MouseBlockRead read;
  read.active = ReadActiveProfile(link);
  if (read.active) ReadBlock(link, *read.active, read);
  return read;
}

bool ApplyMouseSettingsReread(const MouseBlockRead& read, MouseDeviceData& data, profiles::LiveData& live) {
  // An unusable active profile changes nothing at all, not even the slot
  // the live record is put back into.
  if (!read.active) return false;
  const unsigned active = *read.active;
  MouseLighting& ms = live.mouseLight;
  // A record whose profile byte came from a file may name no slot; it then
  // has no block to go back to.
  if (NamesASlot(ms.record.profile())) StoreRecordInSlot(ms, ms.record.profile());
  LoadBlockIntoSlot(read, ms, active);
  ms.slots[active].Set(0, static_cast<uint8_t>(active));
  ms.slots[active].Store(data.blocks.Copy(0));
  RecordFromSlot(ms, active);
  return true;
}

MouseBlockRead SelectMouseProfile(CDeviceLink& link, unsigned n) {
  MouseBlockRead read;
  if (!NamesASlot(n)) return read;
  read.active = ReadActiveProfile(link);
  if (!read.active || *read.active == n) return read;
  // A refusal is not checked: the block read next shows what the mouse has.
  const std::array<uint8_t, 1> select{static_cast<uint8_t>(n)};
  device::WriteSettings(link, 1, kActiveProfileOffset, select);
  ReadBlock(link, n, read);
  return read;
}

bool ApplyMouseProfileSwitch(const MouseBlockRead& read, unsigned n, MouseDeviceData& data,
                             profiles::LiveData& live) {
  if (!NamesASlot(n) || !read.active || *read.active == n) return false;
  MouseLighting& ms = live.mouseLight;
  StoreRecordInSlot(ms, *read.active);
  LoadBlockIntoSlot(read, ms, n);
  ms.slots[n].Store(data.blocks.Copy(0));
  RecordFromSlot(ms, n);
  ms.record.SetProfile(static_cast<uint8_t>(n));
  return true;
}

}  // namespace talvo::transfer
