#include "platform/pointer_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "file_test_util.h"
#include "platform/ini_file.h"

namespace talvo::platform {
namespace {

namespace fs = std::filesystem;

TEST(PointerSpeedScale, NeutralIsZeroAndEndsAreTheAccelerationLimits) {
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(1), -1.0);
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(10), 0.0);
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(20), 1.0);
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(15), 0.5);
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(4), -6.0 / 9.0);
  // Out of range speeds are clamped, never beyond the scale.
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(0), -1.0);
  EXPECT_DOUBLE_EQ(SpeedToAcceleration(40), 1.0);
}

TEST(PointerSpeedScale, AccelerationTextReadsBackExactly) {
  EXPECT_EQ(FormatAcceleration(-1.0), "-1");
  EXPECT_EQ(FormatAcceleration(0.0), "0");
  EXPECT_EQ(FormatAcceleration(0.5), "0.5");
  const double third = SpeedToAcceleration(7);
  EXPECT_EQ(std::stod(FormatAcceleration(third)), third);
}

TEST(PointerDesktopChoice, FirstKnownEntryOfTheListWins) {
  EXPECT_EQ(PointerDesktopFrom("GNOME"), PointerDesktop::Gnome);
  EXPECT_EQ(PointerDesktopFrom("ubuntu:GNOME"), PointerDesktop::Gnome);
  EXPECT_EQ(PointerDesktopFrom("gnome"), PointerDesktop::Gnome);
  EXPECT_EQ(PointerDesktopFrom("KDE"), PointerDesktop::Kde);
  EXPECT_EQ(PointerDesktopFrom("KDE:GNOME"), PointerDesktop::Kde);
  EXPECT_EQ(PointerDesktopFrom("XFCE"), PointerDesktop::Other);
  EXPECT_EQ(PointerDesktopFrom("GNOME-Flashback"), PointerDesktop::Other);
  EXPECT_EQ(PointerDesktopFrom(""), PointerDesktop::Other);
  EXPECT_EQ(PointerDesktopFrom(":"), PointerDesktop::Other);
}

// A private HOME for each test; every variable a test sets through env_ is
// restored afterwards.
class PointerSettingsFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "home");
    env_.Set("HOME", (root_ / "home").string());
    env_.Set("XDG_CONFIG_HOME", std::nullopt);
  }

  fs::path Config() const { return root_ / "home" / ".config"; }

  // A gsettings stand-in that logs its arguments, one call a line, and
  // answers "range" with the given exit status.
  fs::path FakeGsettings(int rangeStatus) {
    const fs::path script = root_ / "gsettings";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" >> '" << (root_ / "calls").string() << "'\n"
                          << "[ \"$1\" = range ] && exit " << rangeStatus << "\nexit 0\n";
    fs::permissions(script, fs::perms::owner_all);
    return script;
  }
  std::string Calls() const { return testing::ReadBytes(root_ / "calls"); }

  testing::TempFolder root_;
  testing::ScopedEnvironment env_;
};

TEST_F(PointerSettingsFiles, KdeWritesBothFilesInTheUsersConfigFolder) {
  KdePointerSettings kde;
  std::error_code ignored;
  fs::create_directories(Config(), ignored);
  std::ofstream(Config() / "kdeglobals") << "[General]\nColorScheme=Breeze\n\n[KDE]\nSingleClick=false\n";

  ASSERT_TRUE(kde.ApplyWheelLines(7));
  ASSERT_TRUE(kde.ApplySpeed(15));

  EXPECT_EQ(ReadIniString(Config() / "kdeglobals", "KDE", "WheelScrollLines", ""), "7");
  EXPECT_EQ(ReadIniString(Config() / "kcminputrc", "Mouse", "PointerAcceleration", ""), "0.5");
  // The rest of the desktop's own file survives.
  EXPECT_EQ(testing::ReadBytes(Config() / "kdeglobals"),
            "[General]\nColorScheme=Breeze\n\n[KDE]\nSingleClick=false\nWheelScrollLines=7\n");

  ASSERT_TRUE(kde.ApplySpeed(1));
  ASSERT_TRUE(kde.ApplyWheelLines(250));
  EXPECT_EQ(ReadIniString(Config() / "kcminputrc", "Mouse", "PointerAcceleration", ""), "-1");
  EXPECT_EQ(ReadIniString(Config() / "kdeglobals", "KDE", "WheelScrollLines", ""), "100");
}

TEST_F(PointerSettingsFiles, KdeFollowsXdgConfigHome) {
  const fs::path elsewhere = Config().parent_path() / "elsewhere";
  env_.Set("XDG_CONFIG_HOME", elsewhere.string());
  KdePointerSettings kde;
  ASSERT_TRUE(kde.ApplySpeed(10));
  EXPECT_EQ(ReadIniString(elsewhere / "kcminputrc", "Mouse", "PointerAcceleration", ""), "0");
  EXPECT_FALSE(fs::exists(Config() / "kcminputrc"));
}

TEST_F(PointerSettingsFiles, GnomeSetsTheSpeedKeyAfterFindingTheSchema) {
  GnomePointerSettings gnome(FakeGsettings(0).string());
  EXPECT_TRUE(gnome.CanSetSpeed());
  EXPECT_FALSE(gnome.CanSetWheelLines());
  EXPECT_TRUE(gnome.ApplySpeed(1));
  EXPECT_TRUE(gnome.ApplySpeed(20));
  EXPECT_TRUE(gnome.ApplySpeed(10));
  EXPECT_FALSE(gnome.ApplyWheelLines(5));
  // The schema is asked for once.
  EXPECT_EQ(Calls(),
            "range org.gnome.desktop.peripherals.mouse speed\n"
            "set org.gnome.desktop.peripherals.mouse speed -1\n"
            "set org.gnome.desktop.peripherals.mouse speed 1\n"
            "set org.gnome.desktop.peripherals.mouse speed 0\n");
}

TEST_F(PointerSettingsFiles, GnomeWithoutTheSchemaWritesNothing) {
  GnomePointerSettings gnome(FakeGsettings(1).string());
  EXPECT_FALSE(gnome.ApplySpeed(12));
  EXPECT_FALSE(gnome.CanSetSpeed());
  EXPECT_EQ(Calls(), "range org.gnome.desktop.peripherals.mouse speed\n");

  GnomePointerSettings missing((Config() / "no-such-program").string());
  EXPECT_FALSE(missing.CanSetSpeed());
  EXPECT_FALSE(missing.ApplySpeed(12));
}

TEST_F(PointerSettingsFiles, SessionDesktopChoosesTheBackend) {
  env_.Set("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
  EXPECT_EQ(MakePointerSettings()->Name(), "gnome");
  env_.Set("XDG_CURRENT_DESKTOP", "KDE");
  EXPECT_EQ(MakePointerSettings()->Name(), "kde");
  env_.Set("XDG_CURRENT_DESKTOP", std::nullopt);
  const auto none = MakePointerSettings();
  EXPECT_EQ(none->Name(), "none");
  EXPECT_FALSE(none->CanSetSpeed());
  EXPECT_FALSE(none->CanSetWheelLines());
  EXPECT_FALSE(none->ApplySpeed(10));
  EXPECT_FALSE(none->ApplyWheelLines(3));
}

TEST(RecordingPointerSettingsTest, KeepsTheLastClampedValues) {
  RecordingPointerSettings rec;
  EXPECT_EQ(rec.Speed(), 0);
  EXPECT_EQ(rec.WheelLines(), 0);
  rec.ApplySpeed(12);
  rec.ApplySpeed(30);
  rec.ApplyWheelLines(0);
  EXPECT_EQ(rec.Speed(), 20);
  EXPECT_EQ(rec.WheelLines(), 1);
  EXPECT_EQ(rec.ApplyCount(), 3);
}

}  // namespace
}  // namespace talvo::platform
