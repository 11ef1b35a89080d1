#include "profiles/profile_saver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "profile_test_env.h"

namespace talvo::profiles {
namespace {

using device::Peripheral;
using test::SavedBody;

class ProfileSaverTest : public test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    test::ChooseSavedProfiles({Peripheral::Mouse, Peripheral::Mousepad});
    saver = std::make_unique<ProfileSaver>(live);
    saver->SetMarkedHandler([this] { ++armed; });
  }
  void TearDown() override {
    saver.reset();
    ProfileFolders::TearDown();
  }

  LiveData live;
  std::unique_ptr<ProfileSaver> saver;
  int armed = 0;
};

TEST_F(ProfileSaverTest, ManyChangesBetweenTicksWriteEachFileOnceWithTheLastValues) {
  for (uint8_t brightness = 0; brightness < 50; ++brightness) {
    live.mouseLight.record.SetBrightness(brightness);
    saver->MarkLightAndDevice(Peripheral::Mouse);
  }
  EXPECT_EQ(armed, 1) << "the owner's tick is started once, by the first change";
  EXPECT_TRUE(SavedBody(Peripheral::Mouse, ".led").empty()) << "nothing is written before the tick";

  saver->Flush();
  EXPECT_EQ(saver->WriteCount(), 2u);
  EXPECT_EQ(SavedBody(Peripheral::Mouse, ".led").at(2), 49);
  EXPECT_EQ(SavedBody(Peripheral::Mouse, ".config").at(test::kLightInConfig + 2), 49);
  EXPECT_FALSE(saver->AnyMarked());

  saver->Flush();
  EXPECT_EQ(saver->WriteCount(), 2u) << "a flush with nothing marked writes nothing";
}

TEST_F(ProfileSaverTest, WhatIsStillMarkedIsWrittenWhenTheSaverEnds) {
  live.mousepadLight.record.SetMode(7);
  saver->Mark(Peripheral::Mousepad, ProfileKind::Lighting);
  saver.reset();
  EXPECT_EQ(SavedBody(Peripheral::Mousepad, ".led").at(1), 7);
  EXPECT_TRUE(SavedBody(Peripheral::Mouse, ".led").empty()) << "only marked files are written";
}

}  // namespace
}  // namespace talvo::profiles
