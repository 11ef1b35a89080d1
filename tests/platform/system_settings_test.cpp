#include "platform/system_settings.h"

#include <gtest/gtest.h>

#include "file_test_util.h"
#include "platform/ini_file.h"

namespace talvo::platform {
namespace {

using testing::ReadBytes;
using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteBytes;

class SystemSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.Set("HOME", (folder_ / "home").string());
    environment_.Set("XDG_CONFIG_HOME", (folder_ / "user").string());
    environment_.Set("XDG_CONFIG_DIRS", (folder_ / "first").string() + ":" + (folder_ / "second").string());
  }

  void Store(const std::string& configFolder, std::string_view value) {
    const auto file = folder_ / configFolder / "talvo" / "system.ini";
    std::filesystem::create_directories(file.parent_path());
    ASSERT_TRUE(WriteIniString(file, "Gaming Mouse", "LANGUAGE", value));
  }

  TempFolder folder_;
  ScopedEnvironment environment_;
};

TEST_F(SystemSettingsTest, ReadsTheFirstFolderThatHasTheValue) {
  EXPECT_EQ(ReadSystemSetting("LANGUAGE"), std::nullopt);
  Store("second", "1010");
  EXPECT_EQ(ReadSystemSetting("LANGUAGE"), "1010");
  Store("first", "2020");
  EXPECT_EQ(ReadSystemSetting("language"), "2020");
  Store("user", "1010");
  EXPECT_EQ(ReadSystemSetting("LANGUAGE"), "1010");
}

TEST_F(SystemSettingsTest, WritesTheFirstWritableSystemFolder) {
  ASSERT_TRUE(WriteSystemSetting("LANGUAGE", "2020"));
  EXPECT_EQ(ReadBytes(folder_ / "first/talvo/system.ini"), "[Gaming Mouse]\nLANGUAGE=2020\n");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "second/talvo"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "user/talvo"));

  // A file where the first folder should be makes it unwritable (this holds
  // for root too, unlike permissions).
  environment_.Set("XDG_CONFIG_DIRS", (folder_ / "blocked").string() + "::relative:" + (folder_ / "second").string());
  WriteBytes(folder_ / "blocked", "not a folder");
  ASSERT_TRUE(WriteSystemSetting("LANGUAGE", "1010"));
  EXPECT_EQ(ReadBytes(folder_ / "second/talvo/system.ini"), "[Gaming Mouse]\nLANGUAGE=1010\n");
}

TEST_F(SystemSettingsTest, FailsWhenNothingIsWritableOrTheValueCannotBeStored) {
  WriteBytes(folder_ / "blocked", "not a folder");
  environment_.Set("XDG_CONFIG_DIRS", (folder_ / "blocked").string());
  EXPECT_FALSE(WriteSystemSetting("LANGUAGE", "1010"));
  environment_.Set("XDG_CONFIG_DIRS", (folder_ / "first").string());
  EXPECT_FALSE(WriteSystemSetting("LANGUAGE", "10\n10"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "first"));
}

}  // namespace
}  // namespace talvo::platform
