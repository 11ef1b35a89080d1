#include "macros/macro_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "macro_test_folder.h"
#include "platform/ini_file.h"

namespace talvo::macros {
namespace {

using device::Peripheral;
using Names = std::vector<std::string>;

struct NameCase {
  std::string name;
  bool safe;
};

class SafeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeNameTest, OnlyNamesThatStayInTheFolder) { EXPECT_EQ(IsSafeMacroName(GetParam().name), GetParam().safe); }

INSTANTIATE_TEST_SUITE_P(Names, SafeNameTest,
                         ::testing::Values(NameCase{"name_1", true}, NameCase{"宏 1", true},
                                           NameCase{std::string(251, 'a'), true}, NameCase{"Burst...", true},
                                           NameCase{"Wait..", true}, NameCase{"a..b", true},
                                           NameCase{std::string(252, 'a'), false}, NameCase{"", false},
                                           NameCase{"../x", false}, NameCase{"..", false}, NameCase{".", false},
                                           NameCase{"a/b", false}, NameCase{"a\\b", false}, NameCase{"a\tb", false},
                                           NameCase{"a\x7F", false}, NameCase{"\xFF", false}));

class MacroFilesTest : public test::MacroFolder {
 protected:
  std::filesystem::path Index() const { return Folder() / "msMacro.ini"; }
  void WriteIndex(const Names& names) {
    std::string text = "[MACROCOUNT]\ncount=" + std::to_string(names.size()) + "\n[MACRONAME]\n";
    for (size_t i = 0; i < names.size(); ++i) text += std::to_string(i) + "=" + names[i] + "\n";
    Write(Index(), text);
  }
  Names Stored() const { return ReadMacroNames(Peripheral::Mouse, Folder()); }
};

TEST_F(MacroFilesTest, MouseIndexGetsCursorSlotsOnceAndKeepsCursorFiles) {
  Write(Program() / "name_1.cur", "factory 1");
  Write(Program() / "name_2.cur", "factory 2");
  Write(Folder() / "name_1.cur", "mine");
  WriteIndex({"A"});
  EXPECT_EQ(LoadMacroList(Peripheral::Mouse, Folder(), Program()), Names{"A"});
  EXPECT_EQ(platform::ReadIniString(Index(), "CURSORCOUNT", "count", ""), "4");
  EXPECT_EQ(platform::ReadIniString(Index(), "CURSORNAME", "3", ""), "name_4");
  EXPECT_EQ(Read(Folder() / "name_1.cur"), "mine");
  EXPECT_EQ(Read(Folder() / "name_2.cur"), "factory 2");

  Write(Folder() / "kbMacro.ini", "");
  LoadMacroList(Peripheral::Keyboard, Folder(), Program());
  EXPECT_EQ(Read(Folder() / "kbMacro.ini"), "");
}

TEST_F(MacroFilesTest, NewMacroSkipsTakenNamesWithoutRegardToCase) {
  WriteIndex({"name_1", "NAME_3"});
  Names names = Stored();
  const NewMacroResult added = NewMacro(Peripheral::Mouse, Folder(), names);
  EXPECT_EQ(added.status, NewMacroResult::kAdded);
  EXPECT_EQ(added.name, "name_4");
  EXPECT_EQ(added.number, 2u);
  EXPECT_EQ(Stored(), (Names{"name_1", "NAME_3", "name_4"}));
  EXPECT_FALSE(std::filesystem::exists(Folder() / "name_4.mac"));
}

TEST_F(MacroFilesTest, FiftyMacrosIsTheLimit) {
  for (const size_t count : {49u, 50u}) {
    Names names;
    for (size_t i = 0; i < count; ++i) names.push_back("m" + std::to_string(i));
    WriteIndex(names);
    const NewMacroResult result = NewMacro(Peripheral::Mouse, Folder(), names);
    EXPECT_EQ(result.status, count < 50 ? NewMacroResult::kAdded : NewMacroResult::kListFull) << count;
    EXPECT_EQ(names.size(), 50u);
    EXPECT_EQ(Stored().size(), 50u);
    if (count == 50) {
      EXPECT_EQ(result.number, 50u);
    }
  }
}

struct RenameCase {
  const char* to;
  RenameResult result;
};

class RenameTest : public MacroFilesTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(RenameTest, ClashesWithOtherEntriesOnly) {
  WriteIndex({"A", "b"});
  Names names = Stored();
  const RenameResult result = RenameMacro(Peripheral::Mouse, Folder(), names, 1, GetParam().to, {"0,0,1,1,1,x"});
  EXPECT_EQ(result, GetParam().result);
  const std::string expected = result == RenameResult::kRenamed ? GetParam().to : "b";
  EXPECT_EQ(names, (Names{"A", expected}));
  EXPECT_EQ(Stored(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Renames, RenameTest,
    ::testing::Values(RenameCase{"B", RenameResult::kRenamed}, RenameCase{"b", RenameResult::kUnchanged},
                      RenameCase{"a", RenameResult::kDuplicate}, RenameCase{"A", RenameResult::kDuplicate},
                      RenameCase{"../b", RenameResult::kUnsafeName}, RenameCase{"", RenameResult::kUnsafeName}));

TEST_F(MacroFilesTest, RenameMovesTheStepsAndReplacesAStaleFileOfTheNewName) {
  WriteIndex({"old"});
  Write(Folder() / "old.mac", "[MACROACTIONCOUNT]\ncount=1\n[MACROACTION]\n0=1,0,1,1,1,a\n");
  Write(Folder() / "new.mac", "[MACROACTIONCOUNT]\ncount=3\n");
  Names names = Stored();
  ASSERT_EQ(RenameMacro(Peripheral::Mouse, Folder(), names, 0, "new", {"5,0,129,1,1,mouse_key_left", "junk"}),
            RenameResult::kRenamed);
  EXPECT_FALSE(std::filesystem::exists(Folder() / "old.mac"));
  EXPECT_EQ(ReadMacro(Folder(), "new"), (Names{"5,0,129,1,1,mouse_key_left", "junk"}));
  EXPECT_EQ(platform::ReadIniString(Folder() / "new.mac", "MACROSELECTNAME", "name", ""), "new");
}

TEST_F(MacroFilesTest, SaveWritesCountNameAndStepsKeepingUnparsableOnes) {
  WriteIndex({"A", "B"});
  Write(Folder() / "A.mac", "[MACROACTIONCOUNT]\ncount=5\n[MACROACTION]\n0=a\n1=b\n2=c\n3=d\n4=e\n");
  const Names steps{"120,0,129,1,1,mouse_key_left", "not a step"};
  ASSERT_EQ(SaveMacro(Peripheral::Mouse, Folder(), Stored(), 0, steps), SaveResult::kSaved);
  EXPECT_EQ(ReadMacro(Folder(), "A"), steps);
  EXPECT_EQ(platform::ReadIniString(Folder() / "A.mac", "MACROSELECTNAME", "name", ""), "A");
  EXPECT_EQ(SaveMacro(Peripheral::Mouse, Folder(), Stored(), 0, {"line\nbreak"}), SaveResult::kNotSaved);
  EXPECT_EQ(ReadMacro(Folder(), "A"), steps);
}

TEST_F(MacroFilesTest, MissingStepsReadAsZeroAndCountsAreWorthTheEntriesHeld) {
  Write(Folder() / "A.mac", "[MACROACTIONCOUNT]\ncount=2\n[MACROACTION]\n1=x\nnote=y\n");
  EXPECT_EQ(ReadMacro(Folder(), "A"), (Names{"0", "x"}));
  Write(Folder() / "A.mac", "[MACROACTIONCOUNT]\ncount=2000000000\n[MACROACTION]\n0=a\n");
  EXPECT_EQ(ReadMacro(Folder(), "A"), Names{"a"});
  Write(Folder() / "A.mac", "[MACROACTIONCOUNT]\ncount=-3\n");
  EXPECT_TRUE(ReadMacro(Folder(), "A").empty());
  EXPECT_TRUE(ReadMacro(Folder(), "absent").empty());
}

TEST_F(MacroFilesTest, HostileIndexChangesNothing) {
  const std::string hostile = "[MACROCOUNT]\ncount=2000000000\n[MACRONAME]\n0=../../escape\n";
  Write(Index(), hostile);
  Write(Root() / "data" / "escape.mac", "outside");
  Names names = Stored();
  EXPECT_EQ(names, Names{"../../escape"});
  EXPECT_TRUE(ReadMacro(Folder(), names[0]).empty());
  EXPECT_EQ(SaveMacro(Peripheral::Mouse, Folder(), names, 0, {"1,0,1,1,1,x"}), SaveResult::kUnsafeName);
  EXPECT_FALSE(ExportMacro(Folder(), names, 0, Root() / "out.mac"));
  EXPECT_EQ(Read(Index()), hostile);
  EXPECT_EQ(Read(Root() / "data" / "escape.mac"), "outside");
  EXPECT_FALSE(std::filesystem::exists(Root() / "out.mac"));
}

keys::KeyFunction Macro(uint8_t number) { return {0x70, number, 0}; }

TEST_F(MacroFilesTest, DeleteMovesEveryLaterMacroKeyDownWithItsMacro) {
  WriteIndex({"A", "B", "C", "D"});
  Write(Folder() / "A.mac", "[MACROACTIONCOUNT]\ncount=0\n");
  keys::DeviceKeyMaps maps = keys::NewDeviceKeyMaps(Peripheral::Mouse);
  keys::SetKey(maps.profiles[0], 2, Macro(2));
  keys::SetKey(maps.profiles[4], 6, {0x71, 3, 9});
  keys::SetKey(maps.profiles[1], 7, Macro(2));  // beyond the mouse's seven keys
  const keys::DeviceKeyMaps before = maps;
  EXPECT_FALSE(MacroInUse(maps, keys::kMouseKeyCount, 0));
  EXPECT_TRUE(MacroInUse(maps, keys::kMouseKeyCount, 3));

  Names names = Stored();
  ASSERT_TRUE(DeleteMacro(Peripheral::Mouse, Folder(), names, 0, maps, keys::kMouseKeyCount));
  EXPECT_EQ(names, (Names{"B", "C", "D"}));
  EXPECT_EQ(Stored(), names);
  EXPECT_FALSE(std::filesystem::exists(Folder() / "A.mac"));
  EXPECT_EQ(keys::KeyAt(maps.profiles[0], 2), Macro(1));
  EXPECT_EQ(keys::KeyAt(maps.profiles[4], 6), (keys::KeyFunction{0x71, 2, 9}));
  EXPECT_EQ(keys::KeyAt(maps.profiles[1], 7), keys::KeyAt(before.profiles[1], 7));
  EXPECT_EQ(platform::ReadIniString(Index(), "CURSORNAME", "0", ""), "name_1");
}

TEST_F(MacroFilesTest, DeleteResetsKeysOfTheDeletedMacroInEveryProfile) {
  WriteIndex({"A", "B", "C"});
  keys::DeviceKeyMaps maps = keys::NewDeviceKeyMaps(Peripheral::Mouse);
  for (unsigned p = 0; p < keys::kProfileCount; ++p) keys::SetKey(maps.profiles[p], 1, Macro(1));
  keys::SetKey(maps.profiles[3], 0, Macro(2));
  Names names = Stored();
  ASSERT_TRUE(DeleteMacro(Peripheral::Mouse, Folder(), names, 1, maps, keys::kMouseKeyCount));
  for (unsigned p = 0; p < keys::kProfileCount; ++p) EXPECT_TRUE(keys::IsDefault(maps, 1, p)) << p;
  EXPECT_EQ(keys::KeyAt(maps.profiles[3], 0), Macro(1));
  EXPECT_EQ(platform::ReadIniString(Index(), "MACRONAME", "2", "gone"), "gone");
}

TEST_F(MacroFilesTest, ImportTakesTheStoredNameOnlyWhenSafeAndFree) {
  struct Case {
    const char* stored;
    const char* expected;
  };
  for (const Case& c : {Case{"imported", "imported"}, Case{"../../escape", "name_2"}, Case{"A", "name_2"}}) {
    WriteIndex({"A"});
    std::filesystem::remove(Folder() / "imported.mac");
    std::filesystem::remove(Folder() / "name_2.mac");
    const auto source = Root() / "source.mac";
    Write(source, std::string("[MACROACTIONCOUNT]\ncount=1\n[MACROACTION]\n0=1,0,1,1,1,x\n[MACROSELECTNAME]\nname=") +
                      c.stored + "\n");
    Names names = Stored();
    ImportMacro(Peripheral::Mouse, Folder(), names, source);
    EXPECT_EQ(names, (Names{"A", c.expected})) << c.stored;
    EXPECT_EQ(Stored(), names);
    EXPECT_EQ(ReadMacro(Folder(), c.expected), Names{"1,0,1,1,1,x"}) << c.stored;
    EXPECT_FALSE(std::filesystem::exists(Root() / "escape.mac"));
  }
}

TEST_F(MacroFilesTest, ExportCopiesTheFileByteForByte) {
  WriteIndex({"A", "new"});
  const std::string bytes = "[MACROACTIONCOUNT]\r\ncount=0\r\n; kept\r\n";
  Write(Folder() / "A.mac", bytes);
  Write(Root() / "out.mac", "older");
  ASSERT_TRUE(ExportMacro(Folder(), Stored(), 0, Root() / "out.mac"));
  EXPECT_EQ(Read(Root() / "out.mac"), bytes);
  EXPECT_FALSE(ExportMacro(Folder(), Stored(), 2, Root() / "other.mac"));
  // A macro not saved yet goes out as one of no steps, under its name.
  ASSERT_TRUE(ExportMacro(Folder(), Stored(), 1, Root() / "new.mac"));
  EXPECT_EQ(platform::ReadIniString(Root() / "new.mac", "MACROSELECTNAME", "name", ""), "new");
}

// An earlier rename kept the spaces around a name in its file's name; the
// index reads the name back without them.
TEST_F(MacroFilesTest, AFileNamedWithSpacesAroundItsMacroIsFoundAndReplacedOnSave) {
  WriteIndex({"old"});
  Write(Folder() / "old .mac", "[MACROACTIONCOUNT]\ncount=1\n[MACROACTION]\n0=2,0,1,1,1,y\n");
  EXPECT_EQ(ReadMacro(Folder(), "old"), Names{"2,0,1,1,1,y"});
  ASSERT_EQ(SaveMacro(Peripheral::Mouse, Folder(), Stored(), 0, {"3,0,1,1,1,z"}), SaveResult::kSaved);
  EXPECT_FALSE(std::filesystem::exists(Folder() / "old .mac"));
  EXPECT_EQ(ReadMacro(Folder(), "old"), Names{"3,0,1,1,1,z"});
}

// A rename or delete cut short leaves a note of the files it was changing:
// the next start removes those the index does not name, and nothing else.
TEST_F(MacroFilesTest, TheNextStartRemovesOnlyListedFilesTheIndexDoesNotName) {
  WriteIndex({"old"});
  for (const char* file : {"old.mac", "new.mac", "mine.mac"}) Write(Folder() / file, "[MACROACTIONCOUNT]\ncount=0\n");
  Write(Folder().parent_path() / "outside.mac", "x");
  Write(Folder() / "msMacro.ini.pending", "[PENDING]\n0=old.mac\n1=new.mac\n2=../outside.mac\n3=msMacro.ini\n");
  LoadMacroList(Peripheral::Mouse, Folder(), Program());
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(Folder()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Names{"mine.mac", "msMacro.ini", "old.mac"}));
  EXPECT_TRUE(std::filesystem::exists(Folder().parent_path() / "outside.mac"));
}

}  // namespace
}  // namespace talvo::macros
