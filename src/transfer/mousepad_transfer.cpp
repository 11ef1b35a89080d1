#include "transfer/mousepad_transfer.h"

namespace talvo::transfer {

namespace {

using device::CDeviceLink;
using lighting::MousepadLighting;

constexpr uint16_t kActiveProfileOffset = 0;
constexpr size_t kBlockStride = 64;

uint16_t BlockOffset(unsigned profile) { return static_cast<uint16_t>(profile * kBlockStride); }

// Profile numbers come from the mousepad and index the five light image
// slots. One above 4 names no slot and is treated like no answer: a guessed
// slot would put another profile's lighting into the live record, which the
// next push writes back over the block the mousepad has active.
bool NamesASlot(unsigned profile) { return profile <= device::kMaxProfile; }

std::optional<unsigned> ReadActiveProfile(CDeviceLink& link) {
  std::array<uint8_t, 1> active{};
  if (device::ReadSettings(link, 1, kActiveProfileOffset, active) != device::kResultOk) return std::nullopt;
  if (!NamesASlot(active[0])) return std::nullopt;
  return active[0];
}

std::optional<MousepadBlock> ReadBlock(CDeviceLink& link, unsigned profile) {
  MousepadBlock block{};
  if (device::ReadSettings(link, kMousepadBlockRead, BlockOffset(profile), block) != device::kResultOk) {
    return std::nullopt;
  }
  return block;
}

void RecordFromSlot(MousepadLighting& mp, unsigned slot) {
  std::array<uint8_t, lighting::LightRecord::kSize> head{};
  mp.slots[slot].Store(head);
  mp.record.Load(head);
  mp.record.SetProfile(static_cast<uint8_t>(slot));
}

}  // namespace

MousepadReadback MousepadFullRead(CDeviceLink& link) {
  MousepadReadback readback;
  device::BeginTransfer(link);
  device::DeviceInfo info;
  if (device::ReadDeviceInfo(link, info) == device::kResultOk) readback.info = info;
  for (unsigned p = 0; p < readback.blocks.size(); ++p) readback.blocks[p] = ReadBlock(link, p);
  readback.active = ReadActiveProfile(link);
  device::EndTransfer(link);
  return readback;
}

unsigned ApplyMousepadFullRead(const MousepadReadback& readback, MousepadData& data, profiles::LiveData& live) {
  if (readback.info) data.info = *readback.info;
  MousepadLighting& mp = live.mousepadLight;
  for (size_t p = 0; p < readback.blocks.size(); ++p) {
    if (readback.blocks[p]) mp.slots[p].Load(*readback.blocks[p]);
  }
  // The readback is public; its active profile is bounded again here.
  const unsigned active = readback.active && NamesASlot(*readback.active) ? *readback.active : 0;
  RecordFromSlot(mp, active);
  return active;
}

MousepadBlockRead SelectMousepadProfile(CDeviceLink& link, unsigned n) {
  MousepadBlockRead read;
  if (!NamesASlot(n)) return read;
  read.active = ReadActiveProfile(link);
  if (!read.active || *read.active == n) return read;
  // A refusal is not checked: the block read next shows what the mousepad has.
  const std::array<uint8_t, 1> select{static_cast<uint8_t>(n)};
  device::WriteSettings(link, 1, kActiveProfileOffset, select);
  read.block = ReadBlock(link, n);
  return read;
}

std::optional<unsigned> ApplyMousepadProfileSwitch(const MousepadBlockRead& read, unsigned n,
                                                   profiles::LiveData& live) {
  MousepadLighting& mp = live.mousepadLight;
  if (!read.active || !NamesASlot(*read.active)) {
    const unsigned shown = mp.record.profile();
    return NamesASlot(shown) ? std::optional<unsigned>(shown) : std::nullopt;
  }
  if (!NamesASlot(n) || *read.active == n) return read.active;
  mp.slots[*read.active].Load(mp.record.Snapshot());
  if (read.block) mp.slots[n].Load(*read.block);
  RecordFromSlot(mp, n);
  return n;
}

int RestoreMousepadDefaults(CDeviceLink& link) { return device::RestoreDefaults(link); }

}  // namespace talvo::transfer
