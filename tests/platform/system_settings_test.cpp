#include "platform/system_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "file_test_util.h"
#include "platform/ini_file.h"

namespace talvo::platform {
namespace {

using testing::ReadBytes;
using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteBytes;

// "user" stands for $XDG_CONFIG_HOME; "first" and "second" for the entries of
// $XDG_CONFIG_DIRS, writable here as /etc is for root.
class SystemSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.Set("HOME", (folder_ / "home").string());
    environment_.Set("XDG_CONFIG_HOME", (folder_ / "user").string());
    environment_.Set("XDG_CONFIG_DIRS", (folder_ / "first").string() + ":" + (folder_ / "second").string());
  }

  std::filesystem::path File(const std::string& configFolder) {
    return folder_ / configFolder / "talvo" / "system.ini";
  }
  void Store(const std::string& configFolder, std::string_view value) {
    std::filesystem::create_directories(File(configFolder).parent_path());
    ASSERT_TRUE(WriteIniString(File(configFolder), "Gaming Mouse", "LANGUAGE", value));
  }

  TempFolder folder_;
  ScopedEnvironment environment_;
};

TEST_F(SystemSettingsTest, TheUsersValueWinsOverDefaultsWhichAreReadInOrder) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> stored;  // folder, value
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"nothing stored", {}, std::nullopt},
      {"a default only", {{"second", "1010"}}, "1010"},
      {"the first default", {{"second", "1010"}, {"first", "2020"}}, "2020"},
      {"the user's value over defaults", {{"first", "2020"}, {"user", "1010"}}, "1010"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder_.path());
    std::filesystem::create_directories(folder_.path());
    for (const auto& [where, value] : c.stored) Store(where, value);
    EXPECT_EQ(ReadSystemSetting("language"), c.expected) << c.what;
  }
}

TEST_F(SystemSettingsTest, WritesOnlyTheUsersOwnFile) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    std::string value;
    bool written;
    std::string userFile;  // relative to the test folder, where the value lands
  };
  const Case cases[] = {
      {"writable system folders are left alone", {}, "2020", true, "user/talvo/system.ini"},
      {"without XDG_CONFIG_HOME under HOME", {{"XDG_CONFIG_HOME", std::nullopt}}, "1010", true,
       "home/.config/talvo/system.ini"},
      {"a relative XDG_CONFIG_HOME is ignored", {{"XDG_CONFIG_HOME", "relative"}}, "1010", true,
       "home/.config/talvo/system.ini"},
      {"no folder of the user's is known", {{"XDG_CONFIG_HOME", std::nullopt}, {"HOME", std::nullopt}}, "1010",
       false, ""},
      {"the user's folder cannot be made", {{"XDG_CONFIG_HOME", (folder_ / "blocked").string()}}, "1010", false,
       ""},
      {"a value an INI file cannot hold", {}, "10\n10", false, ""},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder_.path());
    std::filesystem::create_directories(folder_.path());
    // A file where a folder should be cannot be written into, even by root.
    WriteBytes(folder_ / "blocked", "not a folder");
    ScopedEnvironment environment;
    for (const auto& [name, value] : c.environment) environment.Set(name, value);

    EXPECT_EQ(WriteSystemSetting("LANGUAGE", c.value), c.written) << c.what;
    if (c.written) {
      EXPECT_EQ(ReadBytes(folder_ / c.userFile), "[Gaming Mouse]\nLANGUAGE=" + c.value + "\n") << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(folder_ / "first")) << c.what;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "second")) << c.what;
  }
}

}  // namespace
}  // namespace talvo::platform
