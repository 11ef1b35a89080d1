#include "lighting/light_bodies.h"

namespace talvo::lighting {
namespace {

// The live record becomes the first bytes of light image slot 0, so that a
// saved body carries the block as the device will hold it.
template <size_t N>
void CopyRecordIntoSlot0(const ByteRecord<N>& record, LightImage& slot0) {
  static_assert(N <= LightImage::kSize);
  const auto bytes = record.Snapshot();
  slot0.Load(bytes);
}

// A pointer speed or wheel-lines value of 0 would mean "stop the pointer" or
// "never scroll"; a body that holds 0 never set them.
uint8_t AtLeastOne(uint8_t v) { return v == 0 ? 1 : v; }

}  // namespace

void PackLightBody(KeyboardLighting& kb, std::span<uint8_t, kKeyboardLightBodySize> body) {
  LightImage& slot0 = kb.slots[0];
  CopyRecordIntoSlot0(kb.record, slot0);
  slot0.Store(body.subspan<kKeyboardBodyImage, LightImage::kSize>());
  kb.paint.Store(body.subspan<kKeyboardBodyCustomSetIndex, CustomPaint::kSize>());
  kb.custom.Store(body.subspan<kKeyboardBodyColourSets, CustomColourSets::kSize>());
}

void PackLightBody(MouseLighting& ms, std::span<uint8_t, kMouseLightBodySize> body) {
  LightImage& slot0 = ms.slots[0];
  CopyRecordIntoSlot0(ms.record, slot0);
  slot0.Set(kMouseBodyPointerSpeed, ms.pointerSpeed());
  slot0.Set(kMouseBodyWheelLines, ms.wheelLines());
  slot0.Store(body);
}

void PackLightBody(MousepadLighting& mp, std::span<uint8_t, kMousepadLightBodySize> body) {
  LightImage& slot0 = mp.slots[0];
  CopyRecordIntoSlot0(mp.record, slot0);
  slot0.Store(body);
}

void UnpackLightBody(std::span<const uint8_t, kKeyboardLightBodySize> body, KeyboardLighting& kb) {
  kb.slots[0].Load(body.subspan<kKeyboardBodyImage, LightImage::kSize>());
  kb.record.Load(body.subspan<kKeyboardBodyImage, LightRecord::kSize>());
  kb.paint.Load(body.subspan<kKeyboardBodyCustomSetIndex, CustomPaint::kSize>());
  kb.custom.Load(body.subspan<kKeyboardBodyColourSets, CustomColourSets::kSize>());
}

void UnpackLightBody(std::span<const uint8_t, kMouseLightBodySize> body, MouseLighting& ms) {
  ms.slots[0].Load(body);
  ms.record.Load(body.first<MouseSettingsRecord::kSize>());
  ms.SetPointerSpeed(AtLeastOne(body[kMouseBodyPointerSpeed]));
  ms.SetWheelLines(AtLeastOne(body[kMouseBodyWheelLines]));
}

void UnpackLightBody(std::span<const uint8_t, kMousepadLightBodySize> body, MousepadLighting& mp) {
  mp.slots[0].Load(body);
  mp.record.Load(body.first<LightRecord::kSize>());
}

}  // namespace talvo::lighting
