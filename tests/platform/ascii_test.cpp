#include "platform/ascii.h"

#include <gtest/gtest.h>

#include <climits>

namespace talvo::platform {
namespace {

// Case folding touches only A..Z: names in other scripts compare as bytes.
TEST(Ascii, FoldsOnlyLatinCapitals) {
  EXPECT_EQ(AsciiLower("ms_Deng_FXL_Check"), "ms_deng_fxl_check");
  EXPECT_EQ(AsciiLower("配置1 ÄB"), "配置1 Äb");
  EXPECT_TRUE(EqualsIgnoreCase("PROFILESELECT", "profileSelect"));
  EXPECT_FALSE(EqualsIgnoreCase("profile", "profiles"));
  EXPECT_FALSE(EqualsIgnoreCase("Ä", "ä")) << "UTF-8 letters are not folded";
}

TEST(LeadingNumberTest, ReadsAsAtoiDoes) {
  EXPECT_EQ(LeadingNumber(""), 0);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber("12x"), 12);
  EXPECT_EQ(LeadingNumber("  250"), 250);
  EXPECT_EQ(LeadingNumber("-4"), -4);
  EXPECT_EQ(LeadingNumber("+7"), 7);
  EXPECT_EQ(LeadingNumber("- 7"), 0);
  EXPECT_EQ(LeadingNumber("99999999999999"), INT_MAX);
  EXPECT_EQ(LeadingNumber("-99999999999999"), INT_MIN);
}

}  // namespace
}  // namespace talvo::platform
