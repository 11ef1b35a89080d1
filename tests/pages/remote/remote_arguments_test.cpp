#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "pages/remote/page_actions.h"
#include "profiles/main_settings.h"

namespace talvo::pages::remote {
namespace {

TEST(RemoteArgumentsTest, ColoursAreSixHexDigitsAndNothingElse) {
  struct Case {
    std::string_view text;
    std::optional<lighting::Rgb> colour;
  };
  const Case cases[] = {
      {"0a141e", lighting::Rgb{10, 20, 30}}, {"#FFfF00", lighting::Rgb{255, 255, 0}},
      {"0a141", std::nullopt},               {"0a141e0", std::nullopt},
      {"+a141e", std::nullopt},              {"##0a141e", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = ParseHexColour(c.text);
    ASSERT_EQ(got.has_value(), c.colour.has_value()) << c.text;
    if (got) {
      EXPECT_EQ(HexColour(*got), HexColour(*c.colour)) << c.text;
    }
  }
}

TEST(RemoteArgumentsTest, TheSdkServerListensOnLoopbackAddressesOnly) {
  for (std::string_view address : {"127.0.0.1", "127.255.0.9", "::1"})
    EXPECT_TRUE(talvo::profiles::IsLoopbackAddress(address)) << address;
  for (std::string_view address : {"0.0.0.0", "192.168.1.2", "127.0.0.256", "127.0.0", "127.0.0.1.5", "127..0.1",
                                   "127.0.0.1 ", "::", "localhost", "1270.0.0.1", "127.0001.0.1", ""})
    EXPECT_FALSE(talvo::profiles::IsLoopbackAddress(address)) << address;
}

}  // namespace
}  // namespace talvo::pages::remote
