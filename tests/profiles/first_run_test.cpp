#include "profiles/first_run.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profile_test_env.h"
#include "profiles/profile_data_file.h"

namespace talvo::profiles {
namespace {

using device::Peripheral;
using test::Pattern;
using test::ReadBytes;
using test::WriteBytes;

class FirstRunTest : public test::ProfileFolders {
 protected:
  // A default file as a factory would ship it: the body behind a header whose
  // device code and reserved bytes need not match a fresh one.
  std::vector<uint8_t> InstallDefault(const ProfileCombo& combo) const {
    const auto body = Pattern(combo.bodySize, static_cast<uint8_t>(combo.defaultFile.size()));
    auto bytes = BuildProfileFile(body, 9);
    bytes[3] = 0x42;
    bytes[12] = 0x17;
    WriteBytes(Program() / std::string(combo.defaultFile), bytes);
    return body;
  }

  void InstallAllDefaults() const {
    for (const ProfileCombo& combo : kProfileCombos) InstallDefault(combo);
  }

  static std::filesystem::path FileOf(const ProfileCombo& combo, std::string_view name) {
    return DeviceFolder(combo.peripheral) / (std::string(name) + std::string(combo.extension));
  }
};

TEST_F(FirstRunTest, EmptyFoldersGetOneProfilePerKindInDeviceLightingKeyOrder) {
  InstallAllDefaults();
  const auto lists = PopulateProfileLists(Peripheral::Mouse);
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[0].combo, FindCombo(Peripheral::Mouse, ProfileKind::Device));
  EXPECT_EQ(lists[1].combo, FindCombo(Peripheral::Mouse, ProfileKind::Lighting));
  EXPECT_EQ(lists[2].combo, FindCombo(Peripheral::Mouse, ProfileKind::Key));
  EXPECT_EQ(lists[0].names, std::vector<std::string>{"配置1"});
  EXPECT_EQ(lists[1].names, std::vector<std::string>{"profile1"});
  EXPECT_EQ(lists[2].names, std::vector<std::string>{"profile1"});

  for (const auto& list : lists) {
    const ProfileCombo& combo = *list.combo;
    SCOPED_TRACE(std::string(combo.defaultFile));
    EXPECT_TRUE(list.message.empty());
    const auto defaultBytes = ReadBytes(Program() / std::string(combo.defaultFile));
    const std::vector<uint8_t> body(defaultBytes.begin() + kHeaderSize, defaultBytes.end());
    EXPECT_EQ(ReadBytes(FileOf(combo, combo.firstRunName)), BuildProfileFile(body, 2));

    const auto ini = ProfileIndex(combo).File();
    EXPECT_EQ(platform::ReadIniString(ini, combo.countSection, "count", ""), "1");
    EXPECT_EQ(platform::ReadIniString(ini, combo.nameSection, "0", ""), combo.firstRunName);
    EXPECT_EQ(platform::ReadIniString(ini, combo.linkedSection, "0", ""), "0");
    EXPECT_EQ(platform::ReadIniString(ini, combo.selectSection, "select", ""), "0");
  }
}

TEST_F(FirstRunTest, MousepadHasOnlyItsLightingList) {
  InstallAllDefaults();
  const auto lists = PopulateProfileLists(Peripheral::Mousepad);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].combo, FindCombo(Peripheral::Mousepad, ProfileKind::Lighting));
  EXPECT_EQ(lists[0].names, std::vector<std::string>{"profile1"});
  EXPECT_EQ(ReadBytes(FileOf(*lists[0].combo, "profile1")).size(), kHeaderSize + 64);
}

TEST_F(FirstRunTest, ExistingListsAreShownAsStoredAndNothingIsWritten) {
  InstallAllDefaults();
  const ProfileCombo& combo = *FindCombo(Peripheral::Keyboard, ProfileKind::Lighting);
  const ProfileIndex index(combo);
  index.SetCount(3);
  index.SetName(0, "day");
  index.SetName(1, "night");
  index.SetName(2, "party");
  index.SetSelect(2);

  const auto lists = PopulateProfileLists(Peripheral::Keyboard);
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[1].names, (std::vector<std::string>{"day", "night", "party"}));
  EXPECT_EQ(index.Select(), 2);
  EXPECT_FALSE(std::filesystem::exists(FileOf(combo, "profile1")));
  // The other kinds of the keyboard were empty and got their first profile.
  EXPECT_EQ(lists[0].names, std::vector<std::string>{"profile1"});
  EXPECT_EQ(lists[2].names, std::vector<std::string>{"profile1"});
}

TEST_F(FirstRunTest, AnIndexCutBetweenItsWritesStartsItsListAgainWhole) {
  InstallAllDefaults();
  // What a kill between the count and the name left: a count, no name.
  const ProfileCombo& device = *FindCombo(Peripheral::Mouse, ProfileKind::Device);
  const ProfileIndex index(device);
  index.SetCount(1);
  // The other kinds: a damaged count over a few named entries.
  const ProfileIndex lighting(*FindCombo(Peripheral::Mouse, ProfileKind::Lighting));
  lighting.SetCount(2000000000);
  lighting.SetName(0, "day");
  lighting.SetName(1, "night");

  const auto lists = PopulateProfileLists(Peripheral::Mouse);
  EXPECT_EQ(lists[0].names, std::vector<std::string>{"配置1"});
  EXPECT_EQ(index.Names(), std::vector<std::string>{"配置1"});
  EXPECT_EQ(index.Count(), 1);
  EXPECT_TRUE(std::filesystem::exists(FileOf(device, "配置1")));
  EXPECT_FALSE(std::filesystem::exists(FileOf(device, "0")));
  EXPECT_EQ(lists[1].names, (std::vector<std::string>{"day", "night"}));
  EXPECT_EQ(lighting.Count(), 2);

  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(DeviceFolder(Peripheral::Mouse)))
    files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"msProfile.ini", "配置1.config", "profile1.pro"}));
}

TEST_F(FirstRunTest, MissingDefaultReportsOncePerKindAndTheNextStartTriesAgain) {
  const ProfileCombo& lighting = *FindCombo(Peripheral::Keyboard, ProfileKind::Lighting);
  InstallDefault(*FindCombo(Peripheral::Keyboard, ProfileKind::Key));

  auto lists = PopulateProfileLists(Peripheral::Keyboard);
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[0].message, "message_text_8");
  EXPECT_EQ(lists[1].message, "message_text_8");
  EXPECT_TRUE(lists[2].message.empty());
  EXPECT_TRUE(lists[0].names.empty());
  EXPECT_TRUE(lists[1].names.empty());
  EXPECT_EQ(lists[2].names, std::vector<std::string>{"profile1"});
  EXPECT_FALSE(std::filesystem::exists(FileOf(lighting, "profile1")));
  EXPECT_EQ(platform::ReadIniString(ProfileIndex(lighting).File(), lighting.countSection, "count", "absent"),
            "absent");

  InstallAllDefaults();
  lists = PopulateProfileLists(Peripheral::Keyboard);
  EXPECT_TRUE(lists[1].message.empty());
  EXPECT_EQ(lists[1].names, std::vector<std::string>{"profile1"});
  EXPECT_TRUE(std::filesystem::exists(FileOf(lighting, "profile1")));
}

TEST_F(FirstRunTest, DefaultWithWrongMagicReportsFormatAndCreatesNothing) {
  InstallAllDefaults();
  const ProfileCombo& combo = *FindCombo(Peripheral::Mousepad, ProfileKind::Lighting);
  const auto path = Program() / std::string(combo.defaultFile);
  auto bytes = ReadBytes(path);
  bytes[1] = 0;
  WriteBytes(path, bytes);

  const auto lists = PopulateProfileLists(Peripheral::Mousepad);
  EXPECT_EQ(lists[0].message, "message_text_9");
  EXPECT_TRUE(lists[0].names.empty());
  EXPECT_FALSE(std::filesystem::exists(FileOf(combo, "profile1")));
  EXPECT_EQ(ProfileIndex(combo).Count(), 0);
}

TEST_F(FirstRunTest, AProfileFileLeftWithoutItsIndexIsKeptNotOverwritten) {
  InstallAllDefaults();
  const ProfileCombo& combo = *FindCombo(Peripheral::Mouse, ProfileKind::Lighting);
  const auto users = BuildProfileFile(Pattern(64, 123), 2);
  WriteBytes(FileOf(combo, "profile1"), users);

  const auto lists = PopulateProfileLists(Peripheral::Mouse);
  EXPECT_EQ(lists[1].names, std::vector<std::string>{"profile1"});
  EXPECT_EQ(ReadBytes(FileOf(combo, "profile1")), users);
  EXPECT_EQ(ProfileIndex(combo).Count(), 1);

  // A leftover that is not a profile file is replaced by the default.
  const ProfileCombo& keys = *FindCombo(Peripheral::Keyboard, ProfileKind::Key);
  WriteBytes(FileOf(keys, "profile1"), {1, 2, 3});
  PopulateProfileLists(Peripheral::Keyboard);
  EXPECT_EQ(ReadBytes(FileOf(keys, "profile1")).size(), kHeaderSize + 512);
}

}  // namespace
}  // namespace talvo::profiles
