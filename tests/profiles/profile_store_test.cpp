#include "profiles/profile_store.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/folders.h"
#include "profile_test_env.h"
#include "profiles/profile_data_file.h"

namespace talvo::profiles {
namespace {

using device::Peripheral;
using test::Pattern;
using test::ReadBytes;
using test::WriteBytes;

struct Combination {
  Peripheral peripheral;
  ProfileKind kind;
};

constexpr Combination kAll[] = {
    {Peripheral::Keyboard, ProfileKind::Key},    {Peripheral::Keyboard, ProfileKind::Lighting},
    {Peripheral::Keyboard, ProfileKind::Device}, {Peripheral::Mouse, ProfileKind::Key},
    {Peripheral::Mouse, ProfileKind::Lighting},  {Peripheral::Mouse, ProfileKind::Device},
    {Peripheral::Mousepad, ProfileKind::Lighting},
};

class ProfileStoreTest : public test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    live_ = std::make_unique<LiveData>();
  }

  // One entry, chosen, named `name`, in the kind's index.
  static const ProfileCombo& Listed(Peripheral p, ProfileKind k, const std::string& name, int n = 0) {
    const ProfileCombo& combo = *FindCombo(p, k);
    const ProfileIndex index(combo);
    index.SetCount(n + 1);
    index.SetName(n, name);
    index.SetSelect(n);
    return combo;
  }

  static std::filesystem::path PathOf(const ProfileCombo& combo, const std::string& name) {
    return DeviceFolder(combo.peripheral) / (name + std::string(combo.extension));
  }

  std::unique_ptr<LiveData> live_;
};

TEST_F(ProfileStoreTest, EveryCombinationRoundTripsByteForByte) {
  for (const auto [p, k] : kAll) {
    const ProfileCombo& combo = Listed(p, k, "round");
    SCOPED_TRACE(std::string(combo.defaultFile));
    const auto body = Pattern(combo.bodySize, static_cast<uint8_t>(combo.bodySize));

    LiveData saved;
    ASSERT_TRUE(ApplyBody(saved, p, k, body));
    ASSERT_TRUE(SaveProfile(saved, p, k));
    const auto file = ReadBytes(PathOf(combo, "round"));
    ASSERT_EQ(file.size(), kHeaderSize + combo.bodySize);
    EXPECT_EQ(file, BuildProfileFile(body, device::DeviceCode(p)));

    LiveData loaded;
    ASSERT_EQ(LoadProfile(loaded, p, k, 0), kReadOk);
    EXPECT_EQ(BuildBody(loaded, p, k), body);
  }
}

TEST_F(ProfileStoreTest, DeviceBodyIsTheKeyBodyFollowedByTheLightBody) {
  for (const auto p : {Peripheral::Keyboard, Peripheral::Mouse}) {
    const auto light = Pattern(FindCombo(p, ProfileKind::Lighting)->bodySize, 40);
    const auto keys = Pattern(512, 90);
    ApplyBody(*live_, p, ProfileKind::Lighting, light);
    ApplyBody(*live_, p, ProfileKind::Key, keys);

    auto expected = keys;
    expected.insert(expected.end(), light.begin(), light.end());
    EXPECT_EQ(BuildBody(*live_, p, ProfileKind::Device), expected);
  }
}

TEST_F(ProfileStoreTest, AbsentOrMalformedFilesLeaveTheLiveRecordsAlone) {
  const ProfileCombo& combo = Listed(Peripheral::Keyboard, ProfileKind::Device, "kept");
  const auto before = Pattern(combo.bodySize, 11);
  ApplyBody(*live_, Peripheral::Keyboard, ProfileKind::Device, before);

  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadProfile(*live_, Peripheral::Keyboard, ProfileKind::Device, 0), kReadAbsent);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("profile file missing: "), std::string::npos);

  auto bytes = BuildProfileFile(Pattern(combo.bodySize, 99), 1);
  bytes[0] = 0;
  WriteBytes(PathOf(combo, "kept"), bytes);
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadProfile(*live_, Peripheral::Keyboard, ProfileKind::Device, 0), kReadBadFormat);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("profile file not in the profile format: "), std::string::npos);

  EXPECT_EQ(BuildBody(*live_, Peripheral::Keyboard, ProfileKind::Device), before);
}

TEST_F(ProfileStoreTest, ShortFileLoadsWhatIsThereAndZerosAfter) {
  const ProfileCombo& combo = Listed(Peripheral::Keyboard, ProfileKind::Key, "short");
  ApplyBody(*live_, Peripheral::Keyboard, ProfileKind::Key, Pattern(512, 5));
  const auto present = Pattern(100, 200);
  auto bytes = BuildProfileFile(present, 1);
  WriteBytes(PathOf(combo, "short"), bytes);

  ASSERT_EQ(LoadProfile(*live_, Peripheral::Keyboard, ProfileKind::Key, 0), kReadOk);
  auto expected = present;
  expected.resize(512, 0);
  EXPECT_EQ(BuildBody(*live_, Peripheral::Keyboard, ProfileKind::Key), expected);
}

TEST_F(ProfileStoreTest, AnotherDevicesFileOfTheRightSizeLoads) {
  const ProfileCombo& mouse = Listed(Peripheral::Mouse, ProfileKind::Lighting, "shared");
  const ProfileCombo& pad = Listed(Peripheral::Mousepad, ProfileKind::Lighting, "shared");
  const auto body = Pattern(64, 77);
  WriteProfileFile(PathOf(mouse, "shared"), body, 2);
  std::filesystem::copy_file(PathOf(mouse, "shared"), PathOf(pad, "shared"));

  ASSERT_EQ(LoadProfile(*live_, Peripheral::Mousepad, ProfileKind::Lighting, 0), kReadOk);
  EXPECT_EQ(live_->mousepadLight.record.Snapshot()[20], body[20]);
  EXPECT_EQ(BuildBody(*live_, Peripheral::Mousepad, ProfileKind::Lighting), body);
}

TEST_F(ProfileStoreTest, MouseLightWithZeroPointerValuesLoadsThemAsOne) {
  const ProfileCombo& combo = Listed(Peripheral::Mouse, ProfileKind::Device, "配置1");
  auto body = Pattern(combo.bodySize, 1);
  body[512 + 34] = 0;
  body[512 + 35] = 0;
  WriteProfileFile(PathOf(combo, "配置1"), body, 2);

  ASSERT_EQ(LoadProfile(*live_, Peripheral::Mouse, ProfileKind::Device, 0), kReadOk);
  EXPECT_EQ(live_->mouseLight.pointerSpeed(), 1);
  EXPECT_EQ(live_->mouseLight.wheelLines(), 1);
}

TEST_F(ProfileStoreTest, KeyProfilesUseTheActiveOnboardProfilesKeyMap) {
  const ProfileCombo& msKeys = Listed(Peripheral::Mouse, ProfileKind::Key, "keys");
  const auto body = Pattern(512, 33);
  WriteProfileFile(PathOf(msKeys, "keys"), body, 2);
  live_->mouseLight.record.SetProfile(3);

  ASSERT_EQ(LoadProfile(*live_, Peripheral::Mouse, ProfileKind::Key, 0), kReadOk);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), live_->mouseKeys.profiles[3].begin()));
  EXPECT_EQ(live_->mouseKeys.profiles[0], keys::KeyMapRecord{});

  // A profile byte naming no onboard profile falls back to profile 0.
  live_->mouseLight.record.SetProfile(200);
  ASSERT_EQ(LoadProfile(*live_, Peripheral::Mouse, ProfileKind::Key, 0), kReadOk);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), live_->mouseKeys.profiles[0].begin()));

  const ProfileCombo& kbKeys = Listed(Peripheral::Keyboard, ProfileKind::Key, "keys");
  WriteProfileFile(PathOf(kbKeys, "keys"), body, 1);
  live_->keyboardLight.record.SetProfile(2);
  ASSERT_EQ(LoadProfile(*live_, Peripheral::Keyboard, ProfileKind::Key, 0), kReadOk);
  EXPECT_TRUE(std::equal(body.begin(), body.end(), live_->keyboardKeys.profiles[0].begin()));
}

TEST_F(ProfileStoreTest, MouseDeviceProfileKeyMapFollowsTheProfileItsSettingsName) {
  const ProfileCombo& combo = Listed(Peripheral::Mouse, ProfileKind::Device, "dev");
  auto body = Pattern(combo.bodySize, 8);
  body[512] = 2;  // the settings record's profile byte
  WriteProfileFile(PathOf(combo, "dev"), body, 2);

  ASSERT_EQ(LoadProfile(*live_, Peripheral::Mouse, ProfileKind::Device, 0), kReadOk);
  EXPECT_EQ(live_->mouseLight.record.profile(), 2);
  EXPECT_TRUE(std::equal(body.begin(), body.begin() + 512, live_->mouseKeys.profiles[2].begin()));
  EXPECT_EQ(live_->mouseKeys.profiles[0], keys::KeyMapRecord{});
}

// A linked program in front loads another entry than the list's stored
// choice: saves then go to the entry loaded, never into the stored choice.
TEST_F(ProfileStoreTest, SavesGoToTheProfileLoadedNotTheStoredChoice) {
  const ProfileCombo& combo = Listed(Peripheral::Keyboard, ProfileKind::Lighting, "first", 0);
  const ProfileIndex index(combo);
  index.SetCount(2);
  index.SetName(1, "second");
  index.SetSelect(1);
  SaveProfile(*live_, Peripheral::Keyboard, ProfileKind::Lighting);
  const std::vector<uint8_t> second = ReadBytes(PathOf(combo, "second"));
  ASSERT_FALSE(second.empty()) << "before any load, the stored choice";
  WriteProfileFile(PathOf(combo, "first"), Pattern(combo.bodySize, 1), 1);
  const std::vector<uint8_t> first = ReadBytes(PathOf(combo, "first"));

  ASSERT_EQ(LoadProfile(*live_, Peripheral::Keyboard, ProfileKind::Lighting, 0), kReadOk);
  live_->keyboardLight.record.SetBrightness(uint8_t(live_->keyboardLight.record.brightness() + 1));
  ASSERT_TRUE(SaveProfile(*live_, Peripheral::Keyboard, ProfileKind::Lighting));
  EXPECT_NE(ReadBytes(PathOf(combo, "first")), first);
  EXPECT_EQ(ReadBytes(PathOf(combo, "second")), second);
}

// An index that chooses no named entry leaves nothing to save into: no
// stray file named after the index's "0".
TEST_F(ProfileStoreTest, WithoutAChosenProfileNothingIsSaved) {
  const ProfileCombo& combo = *FindCombo(Peripheral::Mousepad, ProfileKind::Lighting);
  EXPECT_FALSE(SaveProfile(*live_, Peripheral::Mousepad, ProfileKind::Lighting));
  const ProfileIndex index(combo);
  index.SetCount(1);
  index.SetName(0, "pad");
  index.SetSelect(3);
  EXPECT_FALSE(SaveProfile(*live_, Peripheral::Mousepad, ProfileKind::Lighting));
  EXPECT_FALSE(std::filesystem::exists(PathOf(combo, "0")));
  EXPECT_FALSE(std::filesystem::exists(PathOf(combo, "pad")));
}

TEST_F(ProfileStoreTest, UnsafeStoredNamesNeverReachTheFileSystem) {
  const ProfileCombo& combo = Listed(Peripheral::Mouse, ProfileKind::Key, "../escape");
  const auto outside = platform::DataFolder() / "escape.pro";
  WriteProfileFile(outside, Pattern(512, 1), 2);
  const auto before = ReadBytes(outside);

  EXPECT_EQ(LoadProfile(*live_, Peripheral::Mouse, ProfileKind::Key, 0), kReadAbsent);
  EXPECT_EQ(live_->mouseKeys.profiles[0], keys::KeyMapRecord{});
  EXPECT_FALSE(SaveProfile(*live_, Peripheral::Mouse, ProfileKind::Key));
  EXPECT_EQ(ReadBytes(outside), before);

  ProfileIndex(combo).SetName(0, "/tmp/absolute");
  EXPECT_EQ(LoadProfile(*live_, Peripheral::Mouse, ProfileKind::Key, 0), kReadAbsent);
  EXPECT_FALSE(SaveProfile(*live_, Peripheral::Mouse, ProfileKind::Key));
}

TEST_F(ProfileStoreTest, MousepadHasNoKeyOrDeviceProfiles) {
  EXPECT_EQ(LoadProfile(*live_, Peripheral::Mousepad, ProfileKind::Key, 0), kReadAbsent);
  EXPECT_FALSE(SaveProfile(*live_, Peripheral::Mousepad, ProfileKind::Device));
  EXPECT_FALSE(ApplyBody(*live_, Peripheral::Mousepad, ProfileKind::Device, Pattern(576, 0)));
  EXPECT_FALSE(ApplyBody(*live_, Peripheral::Mouse, ProfileKind::Device, Pattern(575, 0)));
}

}  // namespace
}  // namespace talvo::profiles
