#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "file_test_util.h"

namespace talvo::platform {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

std::span<const uint8_t> AsBytes(std::string_view text) {
  return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

size_t EntriesIn(const std::filesystem::path& folder) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(FilesTest, AtomicWriteReplacesContentAndKeepsPermissions) {
  TempFolder folder;
  const auto file = folder / "a.pro";
  ASSERT_TRUE(WriteFileAtomically(file, AsBytes("first, longer content")));
  EXPECT_EQ(ReadBytes(file), "first, longer content");
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(file, AsBytes("second")));
  EXPECT_EQ(ReadBytes(file), "second");
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(FilesTest, AtomicWriteFailsCleanlyWithoutAFolder) {
  TempFolder folder;
  EXPECT_FALSE(WriteFileAtomically(folder / "missing/a.pro", AsBytes("x")));
  // The target is a folder: nothing may replace it.
  std::filesystem::create_directory(folder / "taken");
  EXPECT_FALSE(WriteFileAtomically(folder / "taken", AsBytes("x")));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "taken"));
  EXPECT_EQ(EntriesIn(folder.path()), 1u) << "no temporary file is left";
}

TEST(FilesTest, ReadWholeFileReadsAtMostMaxBytes) {
  TempFolder folder;
  WriteBytes(folder / "f", std::string("ab\0cd", 5));
  EXPECT_EQ(ReadWholeFile(folder / "f", 100), (std::vector<uint8_t>{'a', 'b', 0, 'c', 'd'}));
  EXPECT_EQ(ReadWholeFile(folder / "f", 2), (std::vector<uint8_t>{'a', 'b'}));
  WriteBytes(folder / "empty", "");
  EXPECT_EQ(ReadWholeFile(folder / "empty", 10), std::vector<uint8_t>{});
  EXPECT_EQ(ReadWholeFile(folder / "absent", 10), std::nullopt);
  EXPECT_EQ(ReadWholeFile(folder.path(), 10), std::nullopt);
  // A FIFO must neither block nor be read.
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadWholeFile(folder / "fifo", 10), std::nullopt);
}

TEST(FilesTest, CopyReplacesOrKeepsTheTarget) {
  TempFolder folder;
  WriteBytes(folder / "src.mac", "source");
  WriteBytes(folder / "dst.mac", "target");
  EXPECT_FALSE(CopyFile(folder / "src.mac", folder / "dst.mac", /*failIfExists=*/true));
  EXPECT_EQ(ReadBytes(folder / "dst.mac"), "target");
  EXPECT_TRUE(CopyFile(folder / "src.mac", folder / "dst.mac"));
  EXPECT_EQ(ReadBytes(folder / "dst.mac"), "source");
  EXPECT_TRUE(CopyFile(folder / "src.mac", folder / "new.mac", true));
  EXPECT_EQ(ReadBytes(folder / "new.mac"), "source");
  EXPECT_FALSE(CopyFile(folder / "absent.mac", folder / "other.mac"));
  EXPECT_FALSE(std::filesystem::exists(folder / "other.mac"));
  EXPECT_EQ(EntriesIn(folder.path()), 3u);
}

TEST(FilesTest, RenameNeverReplacesAnExistingTarget) {
  TempFolder folder;
  WriteBytes(folder / "a.led", "a");
  WriteBytes(folder / "b.led", "b");
  EXPECT_FALSE(RenameFile(folder / "a.led", folder / "b.led"));
  EXPECT_EQ(ReadBytes(folder / "a.led"), "a");
  EXPECT_EQ(ReadBytes(folder / "b.led"), "b");
  EXPECT_TRUE(RenameFile(folder / "a.led", folder / "c.led"));
  EXPECT_FALSE(std::filesystem::exists(folder / "a.led"));
  EXPECT_EQ(ReadBytes(folder / "c.led"), "a");
  EXPECT_FALSE(RenameFile(folder / "a.led", folder / "d.led"));
}

TEST(FilesTest, DeleteRemovesFilesOnly) {
  TempFolder folder;
  WriteBytes(folder / "a.pro", "a");
  std::filesystem::create_directory(folder / "sub");
  EXPECT_TRUE(DeleteFile(folder / "a.pro"));
  EXPECT_FALSE(DeleteFile(folder / "a.pro"));
  EXPECT_FALSE(DeleteFile(folder / "sub"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "sub"));
}

TEST(FilesTest, FindFilesListsMatchingRegularFilesSorted) {
  TempFolder folder;
  for (const char* name : {"b.mac", "A.MAC", "c.mac.bak", "macro", "x.cur", ".b.mac.1.0.tmp"}) {
    WriteBytes(folder / name, "");
  }
  std::filesystem::create_directory(folder / "dir.mac");
  EXPECT_EQ(FindFiles(folder.path(), ".mac"), (std::vector<std::string>{"A.MAC", "b.mac"}));
  EXPECT_EQ(FindFiles(folder.path(), "cur"), (std::vector<std::string>{"x.cur"}));
  EXPECT_TRUE(FindFiles(folder / "absent", "mac").empty());
}

TEST(FilesTest, SafeFileNames) {
  for (std::string_view name : {"profile1", "配置1", "a..b", "v1.2", ".hidden", "name with spaces", "😀"}) {
    EXPECT_TRUE(IsSafeFileName(name)) << name;
  }
  using namespace std::literals;
  for (std::string_view name : {""sv, "."sv, ".."sv, "a/b"sv, "../x"sv, "a\\b"sv, "tab\there"sv, "nl\n"sv,
                                "nul\0x"sv, "del\x7F"sv, "\xFF"sv, "\xC0\xAF"sv, "\xED\xA0\x80"sv, "\xE9\x85"sv}) {
    EXPECT_FALSE(IsSafeFileName(name)) << ::testing::PrintToString(std::string(name));
  }
  EXPECT_TRUE(IsSafeFileName(std::string(200, 'a')));
  EXPECT_FALSE(IsSafeFileName(std::string(201, 'a')));
}

}  // namespace
}  // namespace talvo::platform
