// The program chooser's rows: what each program with a window is offered as.
#include "pages/profiles/program_rows.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Stands in for a desktop source: the processes it says have windows.
class FakeWindows final : public platform::ForegroundProgram {
 public:
  explicit FakeWindows(std::vector<int> pids) : pids_(std::move(pids)) {}
  std::string_view Name() const override { return "fake"; }
  platform::ForegroundAvailability Availability() const override { return platform::ForegroundAvailability::Available; }
  ForegroundAnswer Current() override { return {}; }
  std::vector<int> WindowPids() override { return pids_; }

 private:
  std::vector<int> pids_;
};

TEST(WindowProgramLister, AsksEachProcessOnceForItsExecutableAndLeavesItselfOut) {
  pid_t child = -1;
  char sleep[] = "sleep", seconds[] = "30";
  char* argv[] = {sleep, seconds, nullptr};
  ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
  const std::string executable = platform::ExecutableOfProcess(child).path;
  const auto rows = WindowProgramLister(std::make_shared<FakeWindows>(std::vector<int>{getpid(), child, child, 0}))();
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(rows, (std::vector<ProgramRow>{{"sleep", executable}}));
}

}  // namespace
}  // namespace talvo::pages::profiles
