#include "app/windows/device_access_notice.h"

#include <gtest/gtest.h>

#include <string>

namespace talvo::app {
namespace {

TEST(DeviceAccessNotice, FillsTheDeviceAndTheRuleInAsTextOnly) {
  struct Case {
    const char* pattern;
    const char* device;
    const char* rule;
    const char* expected;
  };
  const Case cases[] = {
      {"%s: copy %s, then reload", "Mouse", "/r/70-talvo.rules", "Mouse: copy /r/70-talvo.rules, then reload"},
      // What is filled in is never read as a pattern.
      {"100%% %s and %s", "%s%d%%", "%s", "100% %s%d%% and %s"},
      {"%s %s %s %d end%", "a", "b", "a b %s %d end%"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeviceAccessNotice::FormatText(c.pattern, c.device, c.rule), c.expected) << c.pattern;
}

}  // namespace
}  // namespace talvo::app
