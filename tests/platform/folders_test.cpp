#include "platform/folders.h"

#include <gtest/gtest.h>

#include "file_test_util.h"

namespace talvo::platform {
namespace {

using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteBytes;

class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.Set("HOME", folder_.path().string());
    environment_.Set("XDG_CONFIG_HOME", std::nullopt);
  }

  void WriteUserDirs(const std::filesystem::path& configFolder, std::string_view text) {
    std::filesystem::create_directories(configFolder);
    WriteBytes(configFolder / "user-dirs.dirs", text);
  }

  TempFolder folder_;
  ScopedEnvironment environment_;
};

TEST_F(FoldersTest, DocumentsDefaultToHomeDocumentsAndAreCreated) {
  EXPECT_EQ(DocumentsFolder(), folder_ / "Documents");
  EXPECT_TRUE(std::filesystem::is_directory(folder_ / "Documents"));
}

TEST_F(FoldersTest, DocumentsFollowUserDirsInTheConfigHome) {
  WriteUserDirs(folder_ / ".config", "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  EXPECT_EQ(DocumentsFolder(), folder_ / "Dokumente");

  // XDG_CONFIG_HOME moves the file.
  const auto elsewhere = folder_ / "cfg";
  WriteUserDirs(elsewhere, "XDG_DOCUMENTS_DIR=\"" + (folder_ / "my docs").string() + "\"\n");
  environment_.Set("XDG_CONFIG_HOME", elsewhere.string());
  EXPECT_EQ(DocumentsFolder(), folder_ / "my docs");
  EXPECT_TRUE(std::filesystem::is_directory(folder_ / "my docs"));
}

TEST_F(FoldersTest, DataAndDeviceFoldersAreCreatedOnDemand) {
  const auto data = folder_ / "Documents" / "Gaming MouseV1";
  EXPECT_EQ(DataFolder(), data);
  EXPECT_EQ(DataSubfolder("kb"), data / "kb");
  EXPECT_EQ(DataSubfolder("ms"), data / "ms");
  EXPECT_EQ(DataSubfolder("mp"), data / "mp");
  for (const char* name : {"kb", "ms", "mp"}) EXPECT_TRUE(std::filesystem::is_directory(data / name)) << name;
}

TEST_F(FoldersTest, ProgramFolderPrefersTheEnvironment) {
  environment_.Set("TALVO_PROGRAM_DIR", folder_.path().string());
  EXPECT_EQ(ProgramFolder(), folder_.path());
  environment_.Set("TALVO_PROGRAM_DIR", "");
  EXPECT_FALSE(ProgramFolder().empty());
  EXPECT_NE(ProgramFolder(), folder_.path());
}

TEST(UserDirsTest, ParsesTheDocumentsLine) {
  const std::string_view home = "/home/u";
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"", home), "/home/u/Docs");
  EXPECT_EQ(ParseUserDirsDocuments("  XDG_DOCUMENTS_DIR = \"/srv/docs\" # note\n", home), "/srv/docs");
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOME\"", home), "/home/u");
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\\\"", home), "/home/u/My \"Docs\\");
  // The last valid line wins; other variables are not the documents folder.
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"/a\"\nXDG_DOCUMENTS_DIR=\"/b\"\nXDG_MUSIC_DIR=\"/m\"", home),
            "/b");
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"/a\"\nXDG_DOCUMENTS_DIR=broken", home), "/a");
}

TEST(UserDirsTest, RejectsMalformedOrRelativeValues) {
  const std::string_view home = "/home/u";
  for (std::string_view text :
       {"", "XDG_DOCUMENTS_DIR=$HOME/Docs", "XDG_DOCUMENTS_DIR=\"Docs\"", "XDG_DOCUMENTS_DIR=\"$HOMEDocs\"",
        "XDG_DOCUMENTS_DIR=\"/unterminated", "XDG_DOCUMENTS_DIR=\"/a\\", "#XDG_DOCUMENTS_DIR=\"/a\"",
        "XDG_DOCUMENTS_DIRX=\"/a\"", "XDG_MUSIC_DIR=\"/m\""}) {
    EXPECT_EQ(ParseUserDirsDocuments(text, home), std::nullopt) << text;
  }
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"", ""), std::nullopt);
  using namespace std::literals;
  EXPECT_EQ(ParseUserDirsDocuments("XDG_DOCUMENTS_DIR=\"/a\0b\""sv, home), std::nullopt);
}

}  // namespace
}  // namespace talvo::platform
