#include "lighting/light_bodies.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace talvo::lighting {
namespace {

// Distinct, position-dependent byte values, so a byte landing at the wrong
// offset shows.
uint8_t Mix(size_t i, uint8_t salt) { return static_cast<uint8_t>(i * 7 + salt); }

uint8_t SetChannel(size_t s, size_t p, size_t c) { return static_cast<uint8_t>(s * 31 + p * 3 + c + 1); }

template <size_t N>
std::array<uint8_t, N> Bytes(uint8_t salt) {
  std::array<uint8_t, N> a{};
  for (size_t i = 0; i < N; ++i) a[i] = Mix(i, salt);
  return a;
}

void FillKeyboard(KeyboardLighting& kb, uint8_t salt) {
  kb.record.Load(Bytes<21>(salt));
  for (size_t s = 0; s < kProfileSlots; ++s) kb.slots[s].Load(Bytes<64>(static_cast<uint8_t>(salt + 100 + s)));
  kb.paint.SetCustomSetIndex(3);
  kb.paint.SetPaintColour({0xA1, 0xA2, 0xA3});
  for (size_t s = 0; s < 5; ++s)
    for (size_t p = 0; p < 126; ++p)
      kb.custom.SetColour(s, p, {SetChannel(s, p, 0), SetChannel(s, p, 1), SetChannel(s, p, 2)});
}

TEST(KeyboardBody, PackPlacesEveryPart) {
  KeyboardLighting kb;
  FillKeyboard(kb, 1);
  std::vector<uint8_t> expected(1958, 0);
  for (size_t i = 0; i < 21; ++i) expected[i] = Mix(i, 1);
  for (size_t i = 21; i < 64; ++i) expected[i] = Mix(i, 101);
  expected[64] = 3;
  expected[65] = 0xA1;
  expected[66] = 0xA2;
  expected[67] = 0xA3;
  for (size_t s = 0; s < 5; ++s)
    for (size_t p = 0; p < 126; ++p)
      for (size_t c = 0; c < 3; ++c) expected[68 + s * 378 + p * 3 + c] = SetChannel(s, p, c);

  std::array<uint8_t, kKeyboardLightBodySize> body{};
  PackLightBody(kb, body);
  EXPECT_EQ(std::vector<uint8_t>(body.begin(), body.end()), expected);
  EXPECT_EQ(kb.slots[0].Get(20), Mix(20, 1)) << "the live record is copied into slot 0";
  EXPECT_EQ(kb.slots[1].Get(0), Mix(0, 102)) << "other slots are left alone";
}

TEST(KeyboardBody, LoadReplacesRecordPaintAndAllSets) {
  KeyboardLighting kb;
  FillKeyboard(kb, 1);
  const auto body = Bytes<kKeyboardLightBodySize>(50);
  UnpackLightBody(body, kb);

  EXPECT_EQ(kb.record.profile(), body[0]);
  EXPECT_EQ(kb.record.stepCounter(), body[9]);
  EXPECT_EQ(kb.record.Get(20), body[20]);
  for (size_t i = 0; i < 64; ++i) ASSERT_EQ(kb.slots[0].Get(i), body[i]) << i;
  EXPECT_EQ(kb.slots[1].Get(0), Mix(0, 102));
  EXPECT_EQ(kb.paint.customSetIndex(), body[64]);
  EXPECT_EQ(kb.paint.paintColour(), (Rgb{body[65], body[66], body[67]}));
  for (size_t s = 0; s < 5; ++s) {
    for (size_t p = 0; p < 126; ++p) {
      const size_t at = 68 + s * 378 + p * 3;
      ASSERT_EQ(kb.custom.Colour(s, p), (Rgb{body[at], body[at + 1], body[at + 2]})) << s << "/" << p;
    }
  }

  std::array<uint8_t, kKeyboardLightBodySize> again{};
  PackLightBody(kb, again);
  EXPECT_EQ(again, body);
}

TEST(MouseBody, PackCarriesPointerSettingsAndTheRestOfSlot0) {
  MouseLighting ms;
  ms.record.Load(Bytes<34>(3));
  ms.slots[0].Load(Bytes<64>(200));
  ms.SetPointerSpeed(10);
  ms.SetWheelLines(0);

  std::array<uint8_t, kMouseLightBodySize> body{};
  PackLightBody(ms, body);
  for (size_t i = 0; i < 34; ++i) EXPECT_EQ(body[i], Mix(i, 3)) << i;
  EXPECT_EQ(body[34], 10);
  EXPECT_EQ(body[35], 0) << "saved as it is; only loading turns 0 into 1";
  for (size_t i = 36; i < 64; ++i) EXPECT_EQ(body[i], Mix(i, 200)) << i;
  EXPECT_EQ(ms.slots[0].Get(34), 10);
}

TEST(MouseBody, ZeroPointerSpeedAndWheelLinesLoadAsOne) {
  MouseLighting ms;
  auto body = Bytes<kMouseLightBodySize>(9);
  body[34] = 0;
  body[35] = 0;
  UnpackLightBody(body, ms);
  EXPECT_EQ(ms.pointerSpeed(), 1);
  EXPECT_EQ(ms.wheelLines(), 1);
  EXPECT_EQ(ms.slots[0].Get(34), 0) << "slot 0 holds the body as read";
  for (size_t i = 0; i < 34; ++i) ASSERT_EQ(ms.record.Get(i), body[i]);

  body[34] = 20;
  body[35] = 100;
  UnpackLightBody(body, ms);
  EXPECT_EQ(ms.pointerSpeed(), 20);
  EXPECT_EQ(ms.wheelLines(), 100);
}

TEST(MousepadBody, RoundTripAndAMouseBodyLoadsIntoTheRecord) {
  MouseLighting ms;
  ms.record.Load(Bytes<34>(40));
  ms.SetPointerSpeed(7);
  ms.SetWheelLines(3);
  std::array<uint8_t, kMouseLightBodySize> mouseBody{};
  PackLightBody(ms, mouseBody);

  MousepadLighting mp;
  mp.record.Load(Bytes<21>(90));
  UnpackLightBody(mouseBody, mp);
  for (size_t i = 0; i < 21; ++i) EXPECT_EQ(mp.record.Get(i), mouseBody[i]) << i;
  EXPECT_EQ(mp.slots[0].Snapshot(), mouseBody);

  mp.record.SetMode(8);
  std::array<uint8_t, kMousepadLightBodySize> padBody{};
  PackLightBody(mp, padBody);
  EXPECT_EQ(padBody[1], 8);
  for (size_t i = 21; i < 64; ++i) EXPECT_EQ(padBody[i], mouseBody[i]) << "carried byte " << i;

  MousepadLighting fresh;
  UnpackLightBody(padBody, fresh);
  EXPECT_EQ(fresh.record, mp.record);
  EXPECT_EQ(fresh.slots[0], mp.slots[0]);
}

}  // namespace
}  // namespace talvo::lighting
