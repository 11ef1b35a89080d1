// The program chooser's rows: what each program with a window is offered as,
// from the answers a desktop source and /proc would give.
#include "pages/profiles/program_rows.h"

#include <gtest/gtest.h>

namespace talvo::pages::profiles {
namespace {

using platform::ForegroundAnswer;
using platform::ForegroundStatus;
using toolkit::ProgramRow;

ForegroundAnswer Found(std::string path, std::string windowsProgram = {}, std::string steamApp = {}) {
  return {ForegroundStatus::Found, std::move(path), std::move(windowsProgram), std::move(steamApp)};
}

TEST(ProgramRows, NamedByProgramOfferedAsTheirLinkMergedAndSortedWithoutTalvo) {
  const struct {
    const char* what;
    std::vector<ForegroundAnswer> answers;
    std::vector<ProgramRow> rows;
  } cases[] = {
      {"each form, sorted by name whatever its case",
       {Found("/usr/bin/zed"), Found("/opt/wine/bin/wine64-preloader", "Game.exe"),
        Found("/home/u/.steam/common/dota/dota2", "", "570"), Found("/usr/bin/alpha")},
       {{"alpha", "/usr/bin/alpha"}, {"dota2", "steam:570"}, {"Game.exe", "Game.exe"}, {"zed", "/usr/bin/zed"}}},
      {"Talvo itself and answers without a program are left out",
       {Found("/opt/talvo/bin/talvo"), {ForegroundStatus::Unreadable, {}}, Found("/usr/bin/foo")},
       {{"foo", "/usr/bin/foo"}}},
      {"processes of one program are one row; Windows names merge whatever their case",
       {Found("/usr/bin/foo"), Found("/usr/bin/foo"), Found("/usr/bin/wine", "GAME.EXE"),
        Found("/usr/bin/wine", "game.exe")},
       {{"foo", "/usr/bin/foo"}, {"GAME.EXE", "GAME.EXE"}}},
      {"paths merge only byte for byte",
       {Found("/usr/bin/Foo"), Found("/usr/bin/foo")},
       {{"Foo", "/usr/bin/Foo"}, {"foo", "/usr/bin/foo"}}},
      {"a Steam game's launcher and game are one row, under the first name",
       {Found("/games/x/game", "", "42"), Found("/games/x/launcher", "", "42")},
       {{"game", "steam:42"}}},
      {"nothing with windows", {}, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProgramRows(c.answers, "/opt/talvo/bin/talvo"), c.rows) << c.what;
}

}  // namespace
}  // namespace talvo::pages::profiles
