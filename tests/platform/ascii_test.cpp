// Case folding touches only A..Z: names in other scripts compare as bytes.
#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace talvo::platform {
namespace {

TEST(Ascii, FoldsOnlyLatinCapitals) {
  EXPECT_EQ(AsciiLower("ms_Deng_FXL_Check"), "ms_deng_fxl_check");
  EXPECT_EQ(AsciiLower("配置1 ÄB"), "配置1 Äb");
  EXPECT_TRUE(EqualsIgnoreCase("PROFILESELECT", "profileSelect"));
  EXPECT_FALSE(EqualsIgnoreCase("profile", "profiles"));
  EXPECT_FALSE(EqualsIgnoreCase("Ä", "ä")) << "UTF-8 letters are not folded";
}

}  // namespace
}  // namespace talvo::platform
