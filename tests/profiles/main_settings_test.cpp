#include "profiles/main_settings.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "platform/system_settings.h"
#include "profile_test_env.h"

namespace talvo::profiles {
namespace {

class MainSettingsTest : public test::ProfileFolders {
 protected:
  static std::string MainValue(std::string_view key) {
    return platform::ReadIniString(MainIniPath(), "SKINIMAGE", key, "absent");
  }
};

TEST_F(MainSettingsTest, SkinImageIsUsedOnlyWhileFlagged) {
  EXPECT_FALSE(HasSkinImage());
  EXPECT_EQ(SkinImage(), "0");

  ASSERT_TRUE(StoreSkinImage("skins/forest.png"));
  EXPECT_TRUE(HasSkinImage());
  EXPECT_EQ(SkinImage(), "skins/forest.png");
  EXPECT_EQ(MainValue("FLAGS"), "1");

  ASSERT_TRUE(ResetSkinImage("common/background.png"));
  EXPECT_FALSE(HasSkinImage());
  EXPECT_EQ(MainValue("FLAGS"), "0");
  EXPECT_EQ(MainValue("IMAGE"), "common/background.png");
}

TEST(SkinImageName, AcceptsOnlyRelativePngNamesOfTheSkinFolder) {
  for (const auto& [image, accepted] : std::vector<std::pair<std::string, bool>>{
           {"common/skin_1.png", true},
           {"common/background.png", true},
           {"a-b/c.d_e.png", true},
           {"skin.png", true},
           {"", false},
           {"0", false},
           {"common/skin_1.jpg", false},
           {"common/skin_1.PNG", false},
           {"/tmp/a.png", false},
           {"../a.png", false},
           {"common/../../a.png", false},
           {"common/.hidden.png", false},
           {"common//a.png", false},
           {"common/a.png/", false},
           {"common\\a.png", false},
           {"a b.png", false},
           {"a\")}{.png", false},
           {"a\n.png", false},
           {"a\xC3\xA9.png", false},
           {std::string(125, 'a') + ".png", false},
           {std::string(124, 'a') + ".png", true}}) {
    EXPECT_EQ(IsSkinImageName(image), accepted) << image;
  }
}

TEST_F(MainSettingsTest, StartUpFallsBackForAValueTheChooserCannotWriteAndKeepsMainIni) {
  ASSERT_TRUE(StoreSkinImage("common/skin_2.png"));
  EXPECT_EQ(StartupSkinImage("common/background.png"), "common/skin_2.png");

  const std::string hostile = "x.png\"); } * { background: red; } #a { x: url(\"";
  ASSERT_TRUE(StoreSkinImage(hostile));
  testing::internal::CaptureStderr();
  EXPECT_EQ(StartupSkinImage("common/background.png"), "common/background.png");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("IMAGE"), std::string::npos);
  EXPECT_EQ(MainValue("IMAGE"), hostile);
  EXPECT_EQ(MainValue("FLAGS"), "1");
}

TEST_F(MainSettingsTest, StoredLanguageIsEnglishOnlyForZero) {
  EXPECT_EQ(StoredLanguage(), Language::English);
  for (const auto& [value, language] : std::vector<std::pair<std::string, Language>>{
           {"0", Language::English}, {"1", Language::Chinese}, {"2", Language::Chinese},
           {"x", Language::English}}) {
    platform::WriteIniString(MainIniPath(), "SKINIMAGE", "LANGUAGE", value);
    EXPECT_EQ(StoredLanguage(), language) << value;
  }
}

TEST_F(MainSettingsTest, SystemLanguageAtStartUpMapsOnly2020ToChinese) {
  for (const auto& [system, stored] : std::vector<std::pair<std::string, std::string>>{
           {"2020", "1"}, {" 2020", "1"}, {"2020abc", "1"}, {"1010", "0"}, {"", "0"},
           {"abc", "0"}, {"-2020", "0"}, {"20200", "0"}, {"99999999999999999999", "0"}}) {
    ASSERT_TRUE(platform::WriteSystemSetting("LANGUAGE", system));
    const auto imported = ImportSystemLanguage();
    ASSERT_TRUE(imported.has_value()) << system;
    EXPECT_EQ(MainValue("LANGUAGE"), stored) << system;
    EXPECT_EQ(*imported, stored == "1" ? Language::Chinese : Language::English);
  }
}

TEST_F(MainSettingsTest, UnreadableSystemLanguageKeepsMainIni) {
  ASSERT_TRUE(StoreLanguage(Language::Chinese));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ImportSystemLanguage().has_value());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("system language setting could not be read"), std::string::npos);
  EXPECT_EQ(MainValue("LANGUAGE"), "1");
}

TEST_F(MainSettingsTest, ChoosingALanguageWritesBothPlacesAndTheNextStartAgrees) {
  ASSERT_TRUE(ChooseLanguage(Language::English));
  EXPECT_EQ(MainValue("LANGUAGE"), "0");
  EXPECT_EQ(platform::ReadSystemSetting("LANGUAGE"), "1010");

  ASSERT_TRUE(ChooseLanguage(Language::Chinese));
  EXPECT_EQ(MainValue("LANGUAGE"), "1");
  EXPECT_EQ(platform::ReadSystemSetting("LANGUAGE"), "2020");
  ASSERT_TRUE(ImportSystemLanguage().has_value());
  EXPECT_EQ(StoredLanguage(), Language::Chinese);
}

}  // namespace
}  // namespace talvo::profiles
