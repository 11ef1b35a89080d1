#include "profiles/profile_operations.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "platform/ini_file.h"
#include "profile_test_env.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_store.h"

namespace talvo::profiles {
namespace {

using device::Peripheral;
using S = OperationStatus;
using test::Pattern;
using test::ReadBytes;
using test::WriteBytes;

const ProfileCombo& Combo(Peripheral p, ProfileKind k) { return *FindCombo(p, k); }

class ProfileOperationsTest : public test::ProfileFolders {
 protected:
  static std::filesystem::path FileOf(const ProfileCombo& combo, std::string_view name) {
    return DeviceFolder(combo.peripheral) / (std::string(name) + std::string(combo.extension));
  }

  // A profile file holding body as the given device wrote it.
  static std::vector<uint8_t> WriteProfile(const std::filesystem::path& path, const std::vector<uint8_t>& body,
                                           uint16_t code = 2) {
    auto bytes = BuildProfileFile(body, code);
    WriteBytes(path, bytes);
    return body;
  }

  std::vector<uint8_t> InstallDefault(const ProfileCombo& combo) const {
    return WriteProfile(Program() / std::string(combo.defaultFile), Pattern(combo.bodySize, 0x30), 9);
  }

  // A list of these names, each with a file of its own pattern; entry n
  // linked to "/usr/bin/gameN" where linked[n].
  static void MakeList(const ProfileCombo& combo, const std::vector<std::string>& names,
                       const std::vector<bool>& linked = {}, int select = 0) {
    std::vector<ProfileEntry> entries;
    for (std::size_t n = 0; n < names.size(); ++n) {
      const bool link = n < linked.size() && linked[n];
      entries.push_back({names[n], std::string(link ? "1" : "0"),
                         link ? std::optional<std::string>("/usr/bin/game" + std::to_string(n)) : std::nullopt});
      WriteProfile(FileOf(combo, names[n]), Pattern(combo.bodySize, static_cast<uint8_t>(n * 16)));
    }
    ASSERT_TRUE(ProfileIndex(combo).WriteEntries(entries, select));
  }

  static std::vector<uint8_t> BodyOf(const ProfileCombo& combo, std::string_view name) {
    const auto bytes = ReadBytes(FileOf(combo, name));
    if (bytes.size() < kHeaderSize) return {};
    return {bytes.begin() + kHeaderSize, bytes.end()};
  }

  // Link paths of the list in order ("" for an unlinked entry).
  static std::vector<std::string> Links(const ProfileCombo& combo) {
    const ProfileIndex index(combo);
    std::vector<std::string> links;
    for (int n = 0; n < index.Count(); ++n) links.push_back(index.IsLinked(n) ? index.Process(n) : "");
    return links;
  }
};

// Add, for every list: the smallest free number, names compared without
// regard to case; the default body under the new name; nothing without it.
TEST_F(ProfileOperationsTest, AddTakesTheSmallestFreeNumberForEveryList) {
  for (const ProfileCombo& combo : kProfileCombos) {
    SCOPED_TRACE(std::string(combo.defaultFile));
    const std::string p(combo.newNamePrefix);
    MakeList(combo, {p + "1", p + "3"});

    // No default file: nothing is added.
    const auto indexBefore = ReadBytes(ProfileIndex(combo).File());
    OperationResult failed = AddProfile(combo);
    EXPECT_EQ(failed.status, S::FileAbsent);
    EXPECT_EQ(failed.message, "message_text_8");
    EXPECT_EQ(ReadBytes(ProfileIndex(combo).File()), indexBefore);
    EXPECT_FALSE(std::filesystem::exists(FileOf(combo, p + "2")));

    const auto defaults = InstallDefault(combo);
    OperationResult added = AddProfile(combo);
    ASSERT_TRUE(added.Ok());
    EXPECT_EQ(added.name, p + "2");
    EXPECT_EQ(added.select, 2);
    EXPECT_EQ(added.body, defaults);
    EXPECT_EQ(BodyOf(combo, p + "2"), defaults);
    EXPECT_EQ(added.applyBodyNow,
              combo.peripheral == Peripheral::Keyboard && combo.kind != ProfileKind::Key);

    // A capitalised "PROFILE4" counts as taken.
    std::string upper = p + "4";
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    ProfileIndex(combo).WriteEntries(
        {{p + "1", "0", {}}, {p + "3", "0", {}}, {p + "2", "0", {}}, {upper, "0", {}}}, 0);
    EXPECT_EQ(AddProfile(combo).name, p + "5");
    EXPECT_EQ(ProfileIndex(combo).Names().back(), p + "5");
    EXPECT_FALSE(ProfileIndex(combo).IsLinked(4));
  }
}

TEST_F(ProfileOperationsTest, CopyTwiceGivesACopyCopy) {
  const ProfileCombo& combo = Combo(Peripheral::Mouse, ProfileKind::Lighting);
  MakeList(combo, {"A", "B"});
  const auto source = BodyOf(combo, "A");

  OperationResult first = CopyProfile(combo, 0);
  ASSERT_TRUE(first.Ok());
  EXPECT_EQ(first.name, "A copy");
  OperationResult second = CopyProfile(combo, 0);
  ASSERT_TRUE(second.Ok());
  EXPECT_EQ(second.name, "A copy copy");
  EXPECT_EQ(second.select, 3);
  EXPECT_EQ(second.names, (std::vector<std::string>{"A", "B", "A copy", "A copy copy"}));
  EXPECT_EQ(BodyOf(combo, "A copy copy"), source);
  EXPECT_FALSE(second.applyBodyNow);

  EXPECT_EQ(CopyProfile(combo, -1).status, S::NothingSelected);
  std::filesystem::remove(FileOf(combo, "B"));
  EXPECT_EQ(CopyProfile(combo, 1).status, S::FileAbsent);
  EXPECT_EQ(ProfileIndex(combo).Count(), 4);
}

TEST_F(ProfileOperationsTest, RenameMovesTheFileAndKeepsPositionAndLink) {
  const ProfileCombo& combo = Combo(Peripheral::Mouse, ProfileKind::Device);
  MakeList(combo, {"a", "b", "c"}, {false, true, false}, 1);
  const auto body = BodyOf(combo, "b");

  OperationResult renamed = RenameProfile(combo, 1, "  night  ");
  ASSERT_TRUE(renamed.Ok());
  EXPECT_EQ(renamed.name, "night");
  EXPECT_EQ(renamed.names, (std::vector<std::string>{"a", "night", "c"}));
  EXPECT_EQ(BodyOf(combo, "night"), body);
  EXPECT_FALSE(std::filesystem::exists(FileOf(combo, "b")));
  EXPECT_EQ(Links(combo), (std::vector<std::string>{"", "/usr/bin/game1", ""}));
  EXPECT_EQ(ProfileIndex(combo).Select(), 1);
}

// Names checked before anything changes; nothing selected does nothing.
TEST_F(ProfileOperationsTest, RenameRefusesNamesWithTheirMessages) {
  const ProfileCombo& combo = Combo(Peripheral::Keyboard, ProfileKind::Lighting);
  MakeList(combo, {"Game", "work"});
  const auto indexBefore = ReadBytes(ProfileIndex(combo).File());
  struct Case {
    int selected;
    const char* typed;
    OperationStatus status;
    std::string_view message;
  };
  const Case cases[] = {
      {0, "game", S::NameTaken, "message_text_15"},  // a case variant of itself
      {0, "WORK", S::NameTaken, "message_text_15"},
      {0, "", S::EmptyName, "message_text_14"},
      {0, "   ", S::EmptyName, "message_text_14"},
      {0, "../x", S::UnsafeName, ""},
      {0, "a/b", S::UnsafeName, ""},
      {0, "..", S::UnsafeName, ""},
      {0, "tab\there", S::UnsafeName, ""},
      {-1, "fresh", S::NothingSelected, ""},
      {2, "fresh", S::NothingSelected, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const OperationResult result = RenameProfile(combo, c.selected, c.typed);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.message, c.message);
  }
  EXPECT_EQ(ReadBytes(ProfileIndex(combo).File()), indexBefore);
  EXPECT_TRUE(std::filesystem::exists(FileOf(combo, "Game")));
}

TEST_F(ProfileOperationsTest, RenameThatCannotReadOrWriteKeepsTheOldName) {
  const ProfileCombo& combo = Combo(Peripheral::Keyboard, ProfileKind::Key);
  MakeList(combo, {"a", "b"});
  const auto indexBefore = ReadBytes(ProfileIndex(combo).File());

  // The old file is missing.
  std::filesystem::remove(FileOf(combo, "a"));
  OperationResult missing = RenameProfile(combo, 0, "new");
  EXPECT_EQ(missing.status, S::FileAbsent);
  EXPECT_EQ(missing.message, "message_text_8");
  EXPECT_FALSE(std::filesystem::exists(FileOf(combo, "new")));

  // The old file lacks the magic.
  WriteBytes(FileOf(combo, "a"), std::vector<uint8_t>(40, 0x11));
  EXPECT_EQ(RenameProfile(combo, 0, "new").status, S::BadFormat);

  // The new file cannot be written (a folder stands in its place).
  std::filesystem::create_directory(FileOf(combo, "new"));
  const auto body = BodyOf(combo, "b");
  EXPECT_EQ(RenameProfile(combo, 1, "new").status, S::WriteFailed);
  EXPECT_EQ(BodyOf(combo, "b"), body);

  EXPECT_EQ(ReadBytes(ProfileIndex(combo).File()), indexBefore);
}

// Delete of the first, the last and the only entry, in a list that selects
// the new last entry and in one that selects the entry now at the position.
TEST_F(ProfileOperationsTest, DeleteMovesLinksAlongAndChoosesTheNextSelection) {
  struct Case {
    Peripheral peripheral;
    ProfileKind kind;
    int deleted;
    std::vector<std::string> names;
    std::vector<std::string> links;
    int select;
  };
  const Case cases[] = {
      {Peripheral::Keyboard, ProfileKind::Key, 0, {"b", "c"}, {"/usr/bin/game1", ""}, 1},
      {Peripheral::Keyboard, ProfileKind::Key, 2, {"a", "b"}, {"", "/usr/bin/game1"}, 1},
      {Peripheral::Mousepad, ProfileKind::Lighting, 1, {"a", "c"}, {"", ""}, 1},
      {Peripheral::Mouse, ProfileKind::Device, 0, {"b", "c"}, {"/usr/bin/game1", ""}, 0},
      {Peripheral::Mouse, ProfileKind::Device, 2, {"a", "b"}, {"", "/usr/bin/game1"}, 1},
      {Peripheral::Keyboard, ProfileKind::Device, 1, {"a", "c"}, {"", ""}, 1},
  };
  for (const Case& c : cases) {
    const ProfileCombo& combo = Combo(c.peripheral, c.kind);
    SCOPED_TRACE(std::string(combo.countSection) + " " + std::string(device::Prefix(c.peripheral)) + " delete " +
                 std::to_string(c.deleted));
    MakeList(combo, {"a", "b", "c"}, {false, true, false}, 1);
    const char* removed[] = {"a", "b", "c"};
    int asked = 0;
    OperationResult result = DeleteProfile(combo, c.deleted, [&] { return ++asked == 1; });
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(result.names, c.names);
    EXPECT_EQ(result.select, c.select);
    EXPECT_EQ(ProfileIndex(combo).Names(), c.names);
    EXPECT_EQ(ProfileIndex(combo).Select(), c.select);
    EXPECT_EQ(Links(combo), c.links);
    EXPECT_FALSE(std::filesystem::exists(FileOf(combo, removed[c.deleted])));
    for (const auto& name : c.names) EXPECT_TRUE(std::filesystem::exists(FileOf(combo, name))) << name;

    // Down to the only profile: refused with its message; a refused
    // confirmation changes nothing either.
    EXPECT_EQ(DeleteProfile(combo, 0, [] { return false; }).status, S::NotConfirmed);
    ASSERT_TRUE(DeleteProfile(combo, 0).Ok());
    const auto indexBefore = ReadBytes(ProfileIndex(combo).File());
    OperationResult only = DeleteProfile(combo, 0, [&] { return ++asked > 0; });
    EXPECT_EQ(only.status, S::OnlyProfile);
    EXPECT_EQ(only.message, "message_text_11");
    EXPECT_EQ(asked, 1) << "no confirmation for the only profile";
    EXPECT_EQ(DeleteProfile(combo, -1).status, S::NothingSelected);
    EXPECT_EQ(ReadBytes(ProfileIndex(combo).File()), indexBefore);
    EXPECT_EQ(ProfileIndex(combo).Count(), 1);
    std::filesystem::remove(ProfileIndex(combo).File());
  }
}

// Keyboard device links live in [DEVICEPROCESS]; an older index keeps
// them in the key list's [PROCESS], and a key list delete must not shift them.
TEST_F(ProfileOperationsTest, KeyListDeleteLeavesKeyboardDeviceLinksOfTheSharedSection) {
  const ProfileCombo& keysCombo = Combo(Peripheral::Keyboard, ProfileKind::Key);
  const ProfileCombo& deviceCombo = Combo(Peripheral::Keyboard, ProfileKind::Device);
  MakeList(keysCombo, {"k0", "k1", "k2"});
  for (const char* name : {"d0", "d1", "d2"}) WriteProfile(FileOf(deviceCombo, name), Pattern(deviceCombo.bodySize, 1));
  const auto file = ProfileIndex(keysCombo).File();
  ASSERT_TRUE(platform::WriteIniStrings(
      file, std::vector<platform::IniValue>{{"PROFILEDEVICECOUNT", "count", "3"},
                                            {"PROFILEDEVICENAME", "0", "d0"},
                                            {"PROFILEDEVICENAME", "1", "d1"},
                                            {"PROFILEDEVICENAME", "2", "d2"},
                                            {"PROFILELIKEDEVICEEXE", "2", "1"},
                                            {"PROCESS", "2", "/usr/bin/game"}}));
  EXPECT_EQ(Links(deviceCombo), (std::vector<std::string>{"", "", "/usr/bin/game"}));

  ASSERT_TRUE(DeleteProfile(keysCombo, 0).Ok());
  EXPECT_EQ(Links(deviceCombo), (std::vector<std::string>{"", "", "/usr/bin/game"}));
  EXPECT_EQ(platform::ReadIniString(file, "DEVICEPROCESS", "2", ""), "/usr/bin/game");

  // A device list delete moves its own links and leaves the key list's.
  ProfileIndex(keysCombo).SetProcess(1, "/usr/bin/keys");
  ASSERT_TRUE(DeleteProfile(deviceCombo, 0).Ok());
  EXPECT_EQ(Links(deviceCombo), (std::vector<std::string>{"", "/usr/bin/game"}));
  EXPECT_EQ(ProfileIndex(keysCombo).Process(1), "/usr/bin/keys");
}

TEST_F(ProfileOperationsTest, ImportIntoEntryZeroAndIntoADeviceList) {
  const ProfileCombo& combo = Combo(Peripheral::Mouse, ProfileKind::Key);
  MakeList(combo, {"a", "b"});
  // A file of the keyboard (device code 1) with a body of the same size.
  const auto source = Root() / "from keyboard.pro";
  const auto body = WriteProfile(source, Pattern(combo.bodySize, 0x77), 1);

  OperationResult imported = ImportProfile(combo, 0, source);
  ASSERT_TRUE(imported.Ok());
  EXPECT_EQ(imported.select, 0);
  EXPECT_TRUE(imported.reselect);
  EXPECT_EQ(imported.body, body);
  EXPECT_EQ(ReadBytes(FileOf(combo, "a")), BuildProfileFile(body, 2));
  EXPECT_EQ(ProfileIndex(combo).Names(), (std::vector<std::string>{"a", "b"}));

  // Device lists add an entry for the import; a short file is padded with zeros.
  const ProfileCombo& device = Combo(Peripheral::Mouse, ProfileKind::Device);
  MakeList(device, {"配置1"});
  auto shortBody = Pattern(100, 0x21);
  WriteProfile(source, shortBody);
  OperationResult added = ImportProfile(device, 0, source);
  ASSERT_TRUE(added.Ok());
  EXPECT_EQ(added.name, "配置2");
  EXPECT_EQ(added.select, 1);
  EXPECT_TRUE(added.reselect);
  shortBody.resize(device.bodySize, 0);
  EXPECT_EQ(BodyOf(device, "配置2"), shortBody);
  EXPECT_EQ(added.body, shortBody);
}

TEST_F(ProfileOperationsTest, ImportThatCannotReadItsFileAddsNothing) {
  const auto source = Root() / "bad.config";
  WriteBytes(source, std::vector<uint8_t>(600, 0x55));  // 55 55: not the magic
  for (const ProfileCombo* combo : {&Combo(Peripheral::Keyboard, ProfileKind::Device),
                                    &Combo(Peripheral::Keyboard, ProfileKind::Lighting)}) {
    MakeList(*combo, {"one"});
    const auto indexBefore = ReadBytes(ProfileIndex(*combo).File());
    const auto fileBefore = ReadBytes(FileOf(*combo, "one"));
    OperationResult bad = ImportProfile(*combo, 0, source);
    EXPECT_EQ(bad.status, S::BadFormat);
    EXPECT_EQ(bad.message, "message_text_9");
    EXPECT_TRUE(bad.body.empty());
    EXPECT_EQ(ImportProfile(*combo, 0, Root() / "absent.config").status, S::FileAbsent);
    EXPECT_EQ(ImportProfile(*combo, -1, source).status, S::NothingSelected);
    EXPECT_EQ(ReadBytes(ProfileIndex(*combo).File()), indexBefore);
    EXPECT_EQ(ReadBytes(FileOf(*combo, "one")), fileBefore);
    EXPECT_FALSE(std::filesystem::exists(FileOf(*combo, "profile1")));
  }
}

TEST_F(ProfileOperationsTest, ExportWritesTheBodyWithAFreshHeader) {
  const ProfileCombo& combo = Combo(Peripheral::Mousepad, ProfileKind::Lighting);
  MakeList(combo, {"a"});
  auto bytes = ReadBytes(FileOf(combo, "a"));
  bytes[6] = 0x99;  // a reserved byte the export does not carry
  WriteBytes(FileOf(combo, "a"), bytes);
  const auto target = Root() / "out.led";
  WriteBytes(target, {1, 2, 3});
  ASSERT_TRUE(ExportProfile(combo, 0, target).Ok());
  EXPECT_EQ(ReadBytes(target), BuildProfileFile(BodyOf(combo, "a"), 3));
  EXPECT_EQ(ExportProfile(combo, 1, target).status, S::NothingSelected);
}

TEST_F(ProfileOperationsTest, ResetOfMouseLightingKeepsTheLastEightBytesOfTheLiveImage) {
  const ProfileCombo& combo = Combo(Peripheral::Mouse, ProfileKind::Lighting);
  MakeList(combo, {"a", "b"});
  auto live = std::make_unique<LiveData>();
  ASSERT_EQ(LoadProfile(*live, Peripheral::Mouse, ProfileKind::Lighting, 0), kReadOk);
  const auto before = BuildBody(*live, Peripheral::Mouse, ProfileKind::Lighting);
  EXPECT_EQ(ResetProfile(combo, 1, *live).status, S::FileAbsent);
  EXPECT_EQ(BuildBody(*live, Peripheral::Mouse, ProfileKind::Lighting), before);

  const auto defaults = InstallDefault(combo);
  OperationResult reset = ResetProfile(combo, 1, *live);
  ASSERT_TRUE(reset.Ok());
  const auto after = BuildBody(*live, Peripheral::Mouse, ProfileKind::Lighting);
  EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 56),
            std::vector<uint8_t>(defaults.begin(), defaults.begin() + 56));
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 56, after.end()),
            std::vector<uint8_t>(before.begin() + 56, before.end()));
  EXPECT_EQ(BodyOf(combo, "b"), after);
  EXPECT_EQ(reset.body, after);
  EXPECT_NE(BodyOf(combo, "a"), after) << "the selected entry's file, not the chosen one's";
}

// Names that would leave the device folder, whether typed or stored in a
// hand-edited index, never reach the file system.
TEST_F(ProfileOperationsTest, UnsafeStoredNamesAreRefused) {
  const ProfileCombo& combo = Combo(Peripheral::Mouse, ProfileKind::Key);
  InstallDefault(combo);
  MakeList(combo, {"ok"});
  ProfileIndex(combo).WriteEntries({{"ok", "0", {}}, {"../x", "0", {}}, {"a/b", "0", {}}, {"", "0", {}}}, 0);
  const auto outside = DeviceFolder(Peripheral::Mouse).parent_path() / "x.pro";
  WriteProfile(outside, Pattern(combo.bodySize, 3));
  auto live = std::make_unique<LiveData>();
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(CopyProfile(combo, n).status, S::UnsafeName);
    EXPECT_EQ(RenameProfile(combo, n, "fine").status, S::UnsafeName);
    EXPECT_EQ(ExportProfile(combo, n, Root() / "out.pro").status, S::UnsafeName);
    EXPECT_EQ(ImportProfile(combo, n, outside).status, S::UnsafeName);
    EXPECT_EQ(ResetProfile(combo, n, *live).status, S::UnsafeName);
  }
  EXPECT_EQ(ReadBytes(outside), BuildProfileFile(Pattern(combo.bodySize, 3), 2));
  // Deleting such an entry removes it from the list and no file.
  ASSERT_TRUE(DeleteProfile(combo, 1).Ok());
  EXPECT_TRUE(std::filesystem::exists(outside));
  EXPECT_EQ(ProfileIndex(combo).Names(), (std::vector<std::string>{"ok", "a/b", ""}));
}

TEST_F(ProfileOperationsTest, AHandEditedCountBeyondItsNamesListsTheNamedEntries) {
  const ProfileCombo& combo = Combo(Peripheral::Keyboard, ProfileKind::Key);
  InstallDefault(combo);
  MakeList(combo, {"a", "b"}, {false, true});
  ProfileIndex(combo).SetCount(7);
  OperationResult added = AddProfile(combo);
  ASSERT_TRUE(added.Ok());
  EXPECT_EQ(added.select, 2);
  EXPECT_EQ(added.names, (std::vector<std::string>{"a", "b", "profile1"}));
  EXPECT_EQ(ProfileIndex(combo).Count(), 3);
  EXPECT_EQ(Links(combo), (std::vector<std::string>{"", "/usr/bin/game1", ""}));

  // A gap in the names: the entries close up with their links.
  ProfileIndex(combo).SetCount(5);
  ProfileIndex(combo).SetName(4, "e");
  WriteProfile(FileOf(combo, "e"), Pattern(combo.bodySize, 9));
  ProfileIndex(combo).SetLinked(4, true);
  ProfileIndex(combo).SetProcess(4, "/usr/bin/e");
  OperationResult deleted = DeleteProfile(combo, 0);
  ASSERT_TRUE(deleted.Ok());
  EXPECT_EQ(deleted.names, (std::vector<std::string>{"b", "profile1", "e"}));
  EXPECT_EQ(Links(combo), (std::vector<std::string>{"/usr/bin/game1", "", "/usr/bin/e"}));
}

}  // namespace
}  // namespace talvo::profiles
