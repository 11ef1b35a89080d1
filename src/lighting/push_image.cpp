#include "lighting/push_image.h"

#include "device/device_commands.h"

namespace talvo::lighting {
namespace {

// A write of record bytes [first, first + count) to the same settings
// offset, zero-padded to `length`.
template <size_t N>
SettingsWrite RecordWrite(const ByteRecord<N>& record, size_t first, size_t count, uint8_t length) {
  SettingsWrite w;
  w.offset = static_cast<uint16_t>(first);
  w.length = length;
  for (size_t i = 0; i < count; ++i) w.data[i] = record.Get(first + i);
  return w;
}

}  // namespace

std::array<SettingsWrite, 1> LightRecordPushImage(const LightRecord& record) {
  SettingsWrite w = RecordWrite(record, 0, LightRecord::kSize, kSettingsWriteMax);
  // Byte 0 makes that onboard profile active: a record loaded from a file
  // may name one the device does not have.
  if (w.data[0] >= kProfileSlots) w.data[0] = 0;
  return {w};
}

std::array<SettingsWrite, 3> MousePushImage(const MouseSettingsRecord& record) {
  using R = MouseSettingsRecord;
  static_assert(R::kReportRate == 14 && R::kActiveDpiStage == 19 && R::kSize == 34);
  return {
      RecordWrite(record, 0, R::kReportRate, 14),
      RecordWrite(record, R::kDpiStage1, R::kDpiStages, 4),
      RecordWrite(record, R::kActiveDpiStage + 1, R::kSize - (R::kActiveDpiStage + 1), 44),
  };
}

int SendPushImage(device::CDeviceLink& link, std::span<const SettingsWrite> writes) {
  int result = device::kResultOk;
  for (const SettingsWrite& w : writes) {
    const int r = device::WriteSettings(link, w.length, w.offset, w.data);
    if (r != device::kResultOk) result = r;
  }
  return result;
}

std::vector<PendingPush> TakePendingPushes(LightPushFlags& flags, const KeyboardLighting& kb,
                                           const MouseLighting& ms, const MousepadLighting& mp) {
  using device::Peripheral;
  std::vector<PendingPush> pushes;
  const auto add = [&](Peripheral p, auto image) {
    if (flags.Take(p)) pushes.push_back({p, {image.begin(), image.end()}});
  };
  add(Peripheral::Keyboard, LightRecordPushImage(kb.record));
  add(Peripheral::Mouse, MousePushImage(ms.record));
  add(Peripheral::Mousepad, LightRecordPushImage(mp.record));
  return pushes;
}

}  // namespace talvo::lighting
