#include <gtest/gtest.h>

#include "pages/mouse/mouse_performance_page.h"

namespace talvo::mouse {
namespace {

TEST(DpiScaleTest, ReadsTheLittleEndianFieldsOfTheInformationBlock) {
  device::DeviceInfo info;
  info.bytes[9] = 0x60;
  info.bytes[10] = 0x33;
  info.bytes[11] = 100;
  info.bytes[12] = 119;
  info.bytes[13] = 0x2C;
  info.bytes[14] = 0x01;
  const DpiScale scale = DpiScale::From(info);
  EXPECT_EQ(scale.sensorCode, 0x3360);
  EXPECT_EQ(scale.dpiStep, 100);
  EXPECT_EQ(scale.sliderMax, 119);
  EXPECT_EQ(scale.dpiBase, 300);
  EXPECT_EQ(scale.Dpi(0), 300);
  EXPECT_EQ(scale.Dpi(119), 12200);
}

}  // namespace
}  // namespace talvo::mouse
