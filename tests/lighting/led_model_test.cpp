#include "lighting/led_model.h"

#include <gtest/gtest.h>

#include <set>

namespace talvo::lighting {
namespace {

LedStates AllLit(Rgb colour, uint8_t level) {
  LedStates leds;
  for (size_t i = 0; i < kKeyboardLeds; ++i) leds.Set(i, colour, level);
  return leds;
}

TEST(LedModelTest, FrameMapAndMatrixNameEveryPlaceOnce) {
  std::set<uint8_t> positions;
  for (uint8_t p : kLedFrameMap) {
    if (p == kNoLed) continue;
    EXPECT_LT(p, kNoLed);
    EXPECT_TRUE(positions.insert(p).second) << "position " << int{p} << " mapped twice";
  }
  std::set<uint8_t> keys;
  for (const auto& column : kKeyMatrix)
    for (uint8_t k : column) {
      if (k == kNoLed) continue;
      EXPECT_TRUE(keys.insert(k).second) << "LED " << int{k} << " in two cells";
      // Every key the effects move across reaches the device.
      EXPECT_NE(kLedFrameMap[k], kNoLed) << "LED " << int{k};
    }
  EXPECT_EQ(kLedFrameMap[84], 84);
  EXPECT_EQ(kLedFrameMap[85], 86);
  EXPECT_EQ(kLedFrameMap[94], 95);
  EXPECT_EQ(kLedFrameMap[95], 97);
  EXPECT_EQ(kLedFrameMap[118], 104);
  EXPECT_EQ(kLedFrameMap[119], 62);
}

TEST(KeyboardFrameTest, BytesAreColourTimesLevel) {
  KeyboardFrame frame;
  KeyboardPreview preview;

  BuildKeyboardFrame(AllLit({255, 255, 255}, 0), frame, preview);
  for (uint8_t b : frame) ASSERT_EQ(b, 0);

  BuildKeyboardFrame(AllLit({255, 255, 255}, 255), frame, preview);
  EXPECT_EQ(frame[0], 254);  // 255 × 255 >> 8

  LedStates leds;
  leds.Set(13, {200, 100, 10}, 128);  // lands at frame position 14
  BuildKeyboardFrame(leds, frame, preview);
  EXPECT_EQ(frame[42], 100);
  EXPECT_EQ(frame[43], 50);
  EXPECT_EQ(frame[44], 5);
  EXPECT_EQ(frame[39], 0);  // position 13 belongs to no LED
  EXPECT_EQ(preview.colour[13], 200u | 10u << 8 | 100u << 16);
  EXPECT_EQ(preview.level[13], 128);
}

TEST(KeyboardFrameTest, UnmappedLedsNeverReachTheDeviceAndUnmappedPositionsStayDark) {
  KeyboardFrame frame;
  KeyboardPreview preview;
  BuildKeyboardFrame(AllLit({255, 255, 255}, 255), frame, preview);
  const std::set<size_t> dark{13, 17, 18, 19, 20, 75, 77, 78, 79, 83, 85,
                              96, 98, 100, 112, 114, 115, 116, 117, 118, 122, 125};
  for (size_t p = 0; p < kKeyboardLeds; ++p) {
    const uint8_t expected = dark.count(p) ? 0 : 254;
    EXPECT_EQ(frame[3 * p], expected) << "position " << p;
    EXPECT_EQ(frame[3 * p + 2], expected) << "position " << p;
  }

  // Lighting only the LEDs without a place leaves the whole frame dark, yet
  // the preview still shows them.
  LedStates leds;
  for (size_t i : {16, 17, 18, 19, 20, 62, 79, 80, 81, 82, 83, 100, 101, 102, 103, 104, 120, 121, 122, 123, 124, 125})
    leds.Set(i, {255, 255, 255}, 255);
  BuildKeyboardFrame(leds, frame, preview);
  for (uint8_t b : frame) ASSERT_EQ(b, 0);
  EXPECT_EQ(preview.level[62], 255);
}

TEST(KeyboardFrameTest, EarlierFrameContentsAreCleared) {
  KeyboardFrame frame;
  frame.fill(0xAA);
  KeyboardPreview preview;
  BuildKeyboardFrame(LedStates{}, frame, preview);
  for (uint8_t b : frame) ASSERT_EQ(b, 0);
}

}  // namespace
}  // namespace talvo::lighting
