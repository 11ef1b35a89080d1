#include "keys/encodings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace talvo::keys {
namespace {

TEST(Tilt, EncodesAndDecodesBothDirections) {
  const auto right = EncodeTilt(TiltDirection::Right, 2, 9, 5);
  ASSERT_TRUE(right);
  EXPECT_EQ(*right, (KeyFunction{0x11, 0x29, 0x85}));
  EXPECT_EQ(DecodeTilt(*right), (Tilt{TiltDirection::Right, 2, 9, 5}));

  const auto left = EncodeTilt(TiltDirection::Left, 15, 0, 127);
  ASSERT_TRUE(left);
  EXPECT_EQ(*left, (KeyFunction{0x11, 0xF0, 0x7F}));
  EXPECT_EQ(DecodeTilt(*left), (Tilt{TiltDirection::Left, 15, 0, 127}));

  EXPECT_EQ(EncodeTilt(TiltDirection::Right, 0, 0, 0)->p2, 0x80);
  EXPECT_EQ(EncodeTilt(TiltDirection::Right, 0, 0, 127)->p2, 0xFF);
}

TEST(Wheel, EncodesAndDecodesBothDirections) {
  const auto down = EncodeWheel(WheelDirection::Down, 0, 1, 1);
  ASSERT_TRUE(down);
  EXPECT_EQ(*down, (KeyFunction{0x12, 0x01, 0xFF}));
  EXPECT_EQ(DecodeWheel(*down), (Wheel{WheelDirection::Down, 0, 1, 1}));

  const auto down127 = EncodeWheel(WheelDirection::Down, 3, 4, 127);
  EXPECT_EQ(down127->p2, 0x81);
  EXPECT_EQ(DecodeWheel(*down127).amount, 127);

  const auto up = EncodeWheel(WheelDirection::Up, 1, 1, 127);
  EXPECT_EQ(*up, (KeyFunction{0x12, 0x11, 0x7F}));
  EXPECT_EQ(DecodeWheel(*up), (Wheel{WheelDirection::Up, 1, 1, 127}));

  // Down by nothing is the same step as up by nothing.
  EXPECT_EQ(EncodeWheel(WheelDirection::Down, 0, 0, 0)->p2, 0x00);
  // The one byte no encoding produces still decodes to a sensible step.
  EXPECT_EQ(DecodeWheel({0x12, 0x00, 0x80}), (Wheel{WheelDirection::Down, 0, 0, 128}));
}

TEST(StepEncodings, ValuesOutsideTheirRangesAreRefused) {
  const std::tuple<int, int, int> cases[] = {{16, 0, 0}, {0, 16, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, 128}, {0, 0, -1}};
  for (auto [a, b, amount] : cases) {
    EXPECT_FALSE(EncodeTilt(TiltDirection::Left, a, b, amount)) << a << " " << b << " " << amount;
    EXPECT_FALSE(EncodeWheel(WheelDirection::Up, a, b, amount)) << a << " " << b << " " << amount;
  }
}

TEST(Fire, StoresTheLowBytes) {
  EXPECT_EQ(EncodeFire(10, 255), (KeyFunction{0x14, 10, 255}));
  EXPECT_EQ(EncodeFire(0x1FF, 0x100), (KeyFunction{0x14, 0xFF, 0x00}));
}

TEST(Macro, PlayModeRepeatAndCursorSlots) {
  EXPECT_EQ(EncodeMacro(7, 3), (KeyFunction{0x70, 7, 3}));
  EXPECT_EQ(EncodeMacro(255, 0), (KeyFunction{0x70, 255, 0}));
  EXPECT_FALSE(EncodeMacro(7, 4));
  EXPECT_FALSE(EncodeMacro(7, -1));
  EXPECT_FALSE(EncodeMacro(256, 0));
  EXPECT_FALSE(EncodeMacro(-1, 0));

  EXPECT_EQ(EncodeRepeatedMacro(2, 200), (KeyFunction{0x71, 2, 200}));
  EXPECT_FALSE(EncodeRepeatedMacro(2, 256));
  EXPECT_FALSE(EncodeRepeatedMacro(256, 1));

  EXPECT_EQ(EncodeCursorMacro(3), (KeyFunction{0x72, 3, 0}));
  EXPECT_EQ(EncodeCursorMacro(0), (KeyFunction{0x72, 0, 0}));
  EXPECT_FALSE(EncodeCursorMacro(4));
  EXPECT_FALSE(EncodeCursorMacro(-1));
}

}  // namespace
}  // namespace talvo::keys
