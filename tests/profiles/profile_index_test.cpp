#include "profiles/profile_index.h"

#include <gtest/gtest.h>

#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profile_test_env.h"

namespace talvo::profiles {
namespace {

using device::Peripheral;

class ProfileIndexTest : public test::ProfileFolders {};

TEST(FindCombo, MousepadHasLightingProfilesOnly) {
  EXPECT_NE(FindCombo(Peripheral::Mousepad, ProfileKind::Lighting), nullptr);
  EXPECT_EQ(FindCombo(Peripheral::Mousepad, ProfileKind::Key), nullptr);
  EXPECT_EQ(FindCombo(Peripheral::Mousepad, ProfileKind::Device), nullptr);
}

TEST_F(ProfileIndexTest, MissingFileOrValuesReadAsZero) {
  const ProfileIndex index(*FindCombo(Peripheral::Mouse, ProfileKind::Key));
  EXPECT_EQ(index.File(), DeviceFolder(Peripheral::Mouse) / "msProfile.ini");
  EXPECT_EQ(index.Count(), 0);
  EXPECT_EQ(index.Name(0), "0");
  EXPECT_EQ(index.Select(), 0);
  EXPECT_FALSE(index.IsLinked(0));
  EXPECT_EQ(index.Process(0), "0");
}

TEST_F(ProfileIndexTest, WritesLandInTheKindsOwnSections) {
  const ProfileIndex lights(*FindCombo(Peripheral::Keyboard, ProfileKind::Lighting));
  ASSERT_TRUE(lights.SetCount(2));
  ASSERT_TRUE(lights.SetName(1, "night"));
  ASSERT_TRUE(lights.SetSelect(1));
  ASSERT_TRUE(lights.SetLinked(1, true));
  ASSERT_TRUE(lights.SetProcess(1, "/usr/bin/game"));

  const auto file = lights.File();
  EXPECT_EQ(platform::ReadIniString(file, "PROFILEDENGCOUNT", "count", ""), "2");
  EXPECT_EQ(platform::ReadIniString(file, "PROFILEDENGNAME", "1", ""), "night");
  EXPECT_EQ(platform::ReadIniString(file, "PROFILEDENGSELECT", "select", ""), "1");
  EXPECT_EQ(platform::ReadIniString(file, "PROFILELIKEDENGEXE", "1", ""), "1");
  EXPECT_EQ(platform::ReadIniString(file, "DENGPROCESS", "1", ""), "/usr/bin/game");

  // The other kinds of the same file see none of it.
  const ProfileIndex keys(*FindCombo(Peripheral::Keyboard, ProfileKind::Key));
  EXPECT_EQ(keys.Count(), 0);
  EXPECT_EQ(keys.Name(1), "0");
  EXPECT_FALSE(keys.IsLinked(1));

  ASSERT_TRUE(lights.SetLinked(1, false));
  EXPECT_EQ(platform::ReadIniString(file, "PROFILELIKEDENGEXE", "1", ""), "0");
  EXPECT_FALSE(lights.IsLinked(1));
}

TEST_F(ProfileIndexTest, EveryListKeepsItsOwnLinkPaths) {
  const ProfileIndex kbKey(*FindCombo(Peripheral::Keyboard, ProfileKind::Key));
  const ProfileIndex kbDevice(*FindCombo(Peripheral::Keyboard, ProfileKind::Device));
  kbKey.SetProcess(2, "/opt/a");
  kbDevice.SetProcess(2, "/opt/b");
  EXPECT_EQ(kbKey.Process(2), "/opt/a");
  EXPECT_EQ(kbDevice.Process(2), "/opt/b");
  EXPECT_EQ(platform::ReadIniString(kbDevice.File(), "DEVICEPROCESS", "2", ""), "/opt/b");

  const ProfileIndex msKey(*FindCombo(Peripheral::Mouse, ProfileKind::Key));
  const ProfileIndex msDevice(*FindCombo(Peripheral::Mouse, ProfileKind::Device));
  msKey.SetProcess(2, "/opt/a");
  msDevice.SetProcess(2, "/opt/b");
  EXPECT_EQ(msKey.Process(2), "/opt/a");
  EXPECT_EQ(platform::ReadIniString(msDevice.File(), "DEVICEPROCESS", "2", ""), "/opt/b");
}

TEST_F(ProfileIndexTest, KeyboardDeviceLinksStillInTheSharedSectionReadAndStayPut) {
  // An older "kbProfile.ini": both lists' paths in [PROCESS].
  const ProfileIndex kbKey(*FindCombo(Peripheral::Keyboard, ProfileKind::Key));
  const ProfileIndex kbDevice(*FindCombo(Peripheral::Keyboard, ProfileKind::Device));
  const std::string text =
      "[PROFILEDEVICECOUNT]\ncount=2\n[PROFILEDEVICENAME]\n0=d0\n1=d1\n"
      "[PROFILELIKEDEVICEEXE]\n0=0\n1=1\n[PROCESS]\n0= \n1=/usr/bin/game\n";
  test::WriteBytes(kbKey.File(), std::vector<uint8_t>(text.begin(), text.end()));
  EXPECT_EQ(kbDevice.Process(1), "/usr/bin/game");
  EXPECT_EQ(kbDevice.Entries()[1].process, "/usr/bin/game");

  // The key list linking its entry 1 no longer re-links device profile 1.
  ASSERT_TRUE(kbKey.SetProcess(1, "/usr/bin/other"));
  EXPECT_EQ(kbKey.Process(1), "/usr/bin/other");
  EXPECT_EQ(kbDevice.Process(1), "/usr/bin/game");
  EXPECT_EQ(platform::ReadIniString(kbDevice.File(), "DEVICEPROCESS", "1", ""), "/usr/bin/game");
}

TEST_F(ProfileIndexTest, DamagedCountsStayWithinBounds) {
  const ProfileIndex index(*FindCombo(Peripheral::Mousepad, ProfileKind::Lighting));
  index.SetCount(-4);
  EXPECT_EQ(index.Count(), 0);
  EXPECT_TRUE(index.Names().empty());
  index.SetCount(2000000000);
  EXPECT_EQ(index.Count(), kMaxProfiles);
}

TEST_F(ProfileIndexTest, NamesListsTheNamedEntriesInOrderNeverAMissingOneAsZero) {
  const ProfileIndex index(*FindCombo(Peripheral::Mouse, ProfileKind::Device));
  index.SetCount(3);
  index.SetName(0, "配置1");
  index.SetName(2, "  spaced  ");
  index.SetName(3, "left over");
  EXPECT_EQ(index.Names(), (std::vector<std::string>{"配置1", "spaced"}));
  EXPECT_EQ(index.Name(2), "spaced");
}

TEST_F(ProfileIndexTest, CompactingKeepsListPositionsAndIndexEntriesTogether) {
  const ProfileIndex index(*FindCombo(Peripheral::Mouse, ProfileKind::Lighting));
  const auto file = index.File();
  // Entry 1 lost its name; entry 2 is linked and chosen; the count was
  // damaged far beyond the entries.
  index.SetCount(2000000000);
  index.SetName(0, "a");
  index.SetName(2, "c");
  index.SetLinked(2, true);
  index.SetProcess(2, "/usr/bin/game");
  index.SetName(3, "d");
  index.SetSelect(2);
  EXPECT_EQ(index.CompactNames(), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(index.Count(), 3);
  EXPECT_EQ(index.Names(), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(index.Select(), 1) << "the choice follows its entry";
  EXPECT_TRUE(index.IsLinked(1));
  EXPECT_EQ(index.Process(1), "/usr/bin/game");
  EXPECT_FALSE(index.IsLinked(2));
  EXPECT_EQ(index.Name(2), "d");

  // A whole index is left byte for byte.
  const auto before = test::ReadBytes(file);
  EXPECT_EQ(index.CompactNames(), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(test::ReadBytes(file), before);
}

TEST_F(ProfileIndexTest, ALargeIndexListsEveryName) {
  // 10,000 names after 4 MB of other entries in their section: the file is
  // read once into a lookup, not scanned once per entry (bench_profile_index
  // measures it).
  const ProfileIndex index(*FindCombo(Peripheral::Mouse, ProfileKind::Device));
  std::string text = "[PROFILEDEVICECOUNT]\ncount=10000\n[PROFILEDEVICENAME]\n";
  for (int n = 0; n < 420000; ++n) text += "x" + std::to_string(n) + "=v\n";
  std::vector<std::string> expected;
  for (int n = 0; n < 10000; ++n) {
    expected.push_back("p" + std::to_string(n));
    text += std::to_string(n) + "=" + expected.back() + "\n";
  }
  ASSERT_GT(text.size(), 4u << 20);
  test::WriteBytes(index.File(), std::vector<uint8_t>(text.begin(), text.end()));
  EXPECT_EQ(index.CompactNames(), expected);
}

TEST_F(ProfileIndexTest, NamesCutLikeSingleReads) {
  const ProfileIndex index(*FindCombo(Peripheral::Mouse, ProfileKind::Key));
  const std::string longName(300, 'n');
  index.SetCount(1);
  index.SetName(0, longName);
  ASSERT_EQ(index.Names().size(), 1u);
  EXPECT_EQ(index.Names()[0], index.Name(0));
  EXPECT_EQ(index.Name(0).size(), 259u);
}

TEST_F(ProfileIndexTest, ProfilePathKeepsNamesInsideTheDeviceFolder) {
  const ProfileCombo& combo = *FindCombo(Peripheral::Mouse, ProfileKind::Device);
  EXPECT_EQ(ProfilePath(combo, "配置1"), DeviceFolder(Peripheral::Mouse) / "配置1.config");
  EXPECT_EQ(ProfilePath(combo, "v1.2 Final"), DeviceFolder(Peripheral::Mouse) / "v1.2 Final.config");
  for (const char* bad : {"", "..", "../x", "a/b", "a\\b", "/etc/passwd", "tab\there"}) {
    EXPECT_FALSE(ProfilePath(combo, bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace talvo::profiles
