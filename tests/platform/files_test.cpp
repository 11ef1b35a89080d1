#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

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

mode_t ModeOf(const std::filesystem::path& file) {
  struct stat info {};
  return ::lstat(file.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(FilesTest, ReplacementTakesTheModeOfTheFileItReplacesNeverThroughASymlinkAndStaysTheOwners) {
  TempFolder folder;
  const mode_t oldMask = ::umask(022);
  // A profile that is a symlink to a world-writable file: the new file
  // replaces the link and does not take the link target's mode.
  const auto shared = folder / "shared.bin";
  WriteBytes(shared, "shared");
  ::chmod(shared.c_str(), 0666);
  const auto linked = folder / "linked.pro";
  std::filesystem::create_symlink(shared, linked);
  ASSERT_TRUE(WriteFileAtomically(linked, AsBytes("new")));
  EXPECT_TRUE(S_ISREG(ModeOf(linked)));
  EXPECT_EQ(ModeOf(linked) & 0777, 0644u);
  EXPECT_EQ(ReadBytes(shared), "shared");
  EXPECT_EQ(ModeOf(shared) & 0777, 0666u);

  struct Case {
    mode_t before;
    mode_t after;
  };
  for (const Case c : {Case{0640, 0640}, Case{0400, 0600}, Case{0000, 0600}, Case{04755, 0755}}) {
    SCOPED_TRACE(c.before);
    const auto file = folder / "a.pro";
    WriteBytes(file, "old");
    ::chmod(file.c_str(), c.before);
    ASSERT_TRUE(WriteFileAtomically(file, AsBytes("new")));
    EXPECT_EQ(ModeOf(file) & 07777, c.after);
  }
  // However strict the umask, the owner can read and write the new file.
  ::umask(0277);
  ASSERT_TRUE(WriteFileAtomically(folder / "fresh.pro", AsBytes("x")));
  EXPECT_EQ(ModeOf(folder / "fresh.pro") & 0777, 0600u);
  ::umask(oldMask);
}

TEST(FilesTest, TemporaryFilesOfEndedProcessesAreRemovedOthersKept) {
  TempFolder folder;
  // A process that has ended: its number is free (until reused).
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = std::to_string(child);
  const std::string self = std::to_string(::getpid());

  const std::vector<std::string> stale = {"." "msProfile.ini." + dead + ".0.tmp", ".配置1.config." + dead + ".17.tmp"};
  const std::vector<std::string> kept = {
      ".profile1.led." + self + ".3.tmp",  // our own write, in progress
      ".a.pro." + dead + ".x.tmp", "a.pro." + dead + ".0.tmp", ".a.pro." + dead + ".0.tmpx", "profile1.led"};
  for (const auto& name : stale) WriteBytes(folder / name, "half");
  for (const auto& name : kept) WriteBytes(folder / name, "keep");
  // Our own number on a file written long before we started: the number was
  // reused, the writer is gone.
  const auto reused = folder / (".old.pro." + self + ".0.tmp");
  WriteBytes(reused, "half");
  std::filesystem::last_write_time(reused, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 30));
  // A symlink named like one of ours is not ours.
  std::filesystem::create_symlink(folder / "profile1.led", folder / (".link." + dead + ".1.tmp"));

  EXPECT_EQ(RemoveStaleTemporaryFiles(folder.path()), 3);
  for (const auto& name : stale) EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
  EXPECT_FALSE(std::filesystem::exists(reused));
  for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
  EXPECT_TRUE(std::filesystem::is_symlink(folder / (".link." + dead + ".1.tmp")));
  EXPECT_EQ(RemoveStaleTemporaryFiles(folder / "absent"), 0);
}

TEST(FilesTest, FailedSavesAreToldOncePerFolderAndReasonAndAgainAfterASuccess) {
  TempFolder folder;
  std::vector<std::pair<std::filesystem::path, int>> told;
  SetSaveFailureHandler(folder / "data", [&](const std::filesystem::path& where, int error) {
    told.emplace_back(where, error);
  });
  // "Documents" is a file: nothing below it can be written.
  WriteBytes(folder / "data", "not a folder");
  const auto ms = folder / "data" / "ms";
  const auto kb = folder / "data" / "kb";
  for (int step = 0; step < 3; ++step) EXPECT_FALSE(WriteFileAtomically(ms / "a.led", AsBytes("x")));
  EXPECT_FALSE(WriteFileAtomically(kb / "a.led", AsBytes("x")));
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0], std::make_pair(ms, ENOTDIR));
  EXPECT_EQ(told[1], std::make_pair(kb, ENOTDIR));

  // Another reason in the same folder is told; a success there resets it.
  NoteSaveResult(ms, false, ENOSPC);
  NoteSaveResult(ms, false, ENOSPC);
  EXPECT_EQ(told.size(), 3u);
  NoteSaveResult(ms, true, 0);
  NoteSaveResult(ms, false, ENOSPC);
  EXPECT_EQ(told.size(), 4u);
  NoteSaveResult(kb, false, ENOTDIR);
  EXPECT_EQ(told.size(), 4u) << "a success elsewhere does not repeat kb's";

  // Writes outside the watched folder are never told.
  EXPECT_FALSE(WriteFileAtomically(folder / "elsewhere" / "x.ini", AsBytes("x")));
  EXPECT_EQ(told.size(), 4u);
  SetSaveFailureHandler({}, {});
  NoteSaveResult(ms, false, EROFS);
  EXPECT_EQ(told.size(), 4u);
}

}  // namespace
}  // namespace talvo::platform
