#include "profiles/profile_watcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "profile_test_env.h"

namespace talvo::profiles {
namespace {

using namespace std::chrono_literals;
using platform::ForegroundAnswer;
using platform::ForegroundStatus;

ProfileLink Linked(std::string path, std::string resolved = {}) { return {true, std::move(path), std::move(resolved)}; }

ForegroundAnswer Found(std::string path, std::string windowsProgram = {}, std::string steamApp = {}) {
  return {ForegroundStatus::Found, std::move(path), std::move(windowsProgram), std::move(steamApp)};
}

TEST(ChooseEntry, FirstLinkedEntryNamingTheProgramElseTheUsersChoice) {
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const ForegroundAnswer wineGame = Found("/opt/proton/bin/wine64-preloader", "Game.EXE", "4000");
  struct Case {
    const char* what;
    std::vector<ProfileLink> links;
    int userChoice;
    ForegroundAnswer foreground;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {"two entries linked to one program", {{}, Linked("/usr/bin/game"), Linked("/usr/bin/game")}, 0,
       Found("/usr/bin/game"), 1},
      {"this utility in front, not linked", {Linked("/usr/bin/game"), {}}, 1, Found(self), 1},
      {"this utility in front, linked", {{}, Linked(self)}, 0, Found(self), 1},
      {"no match", {Linked("/usr/bin/game"), {}, {}}, 2, Found("/usr/bin/editor"), 2},
      {"flag 0 with a matching path", {{false, "/usr/bin/game", {}}}, 0, Found("/usr/bin/game"), 0},
      {"unlinked path \" \"", {Linked(" "), {}}, 1, Found(" "), 1},
      {"path \"0\" of a missing value", {Linked("0"), {}}, 1, Found("0"), 1},
      {"program moved", {Linked("/opt/game/game"), {}}, 1, Found("/home/u/game/game"), 1},
      {"case differs", {Linked("/usr/bin/Game"), {}}, 1, Found("/usr/bin/game"), 1},
      {"link names a symbolic link", {{}, Linked("/usr/bin/game", "/usr/games/game-1.2")}, 0,
       Found("/usr/games/game-1.2"), 1},
      {"nothing in front", {Linked("/usr/bin/game")}, 0, {}, 0},
      {"choice outside the list, no match", {Linked("/usr/bin/game")}, 3, Found("/usr/bin/editor"), std::nullopt},
      {"empty list", {}, 0, Found("/usr/bin/game"), std::nullopt},
      {"first of the forms in list order", {{}, Linked("steam:4000"), Linked("game.exe")}, 0, wineGame, 1},
      {"the loader's path names the loader", {{}, Linked("/opt/proton/bin/wine64-preloader")}, 0, wineGame, 1},
  };
  // Which link form names which program is the links' own table
  // (program_links_test); here, the list's order and the user's choice.
  for (const auto& c : cases) EXPECT_EQ(ChooseEntry(c.links, c.userChoice, c.foreground), c.expected) << c.what;
}

class DecideEntryTest : public test::ProfileFolders {};

TEST_F(DecideEntryTest, ReadsTheUsersChoiceAndTheListsLinksFromTheIndex) {
  const ProfileIndex index(*FindCombo(device::Peripheral::Mouse, ProfileKind::Device));
  index.SetCount(3);
  index.SetSelect(2);
  const auto game = Root() / "game";
  const auto launcher = Root() / "bin-game";
  { std::ofstream(game) << "#!"; }
  std::filesystem::create_symlink(game, launcher);
  index.SetLinked(1, true);
  index.SetProcess(1, launcher.string());
  // Linked beyond the list's items: the list decides, not the index count.
  index.SetLinked(3, true);
  index.SetProcess(3, "/usr/bin/editor");

  const ForegroundAnswer inFront = Found(std::filesystem::canonical(game).string());
  const WatcherChoice linked = DecideEntry(index, 3, inFront);
  EXPECT_EQ(linked.show, 1);
  EXPECT_EQ(linked.userChoice, 2);

  EXPECT_EQ(DecideEntry(index, 3, {ForegroundStatus::Found, "/usr/bin/editor"}).show, 2);
  EXPECT_EQ(DecideEntry(index, 3, {ForegroundStatus::Unsupported, {}}).show, 2);
  EXPECT_EQ(DecideEntry(index, 2, {ForegroundStatus::NoWindow, {}}).show, std::nullopt);
  // Only links among the list's items that can name a program keep a watcher
  // asking; a Windows program is one of them.
  index.SetLinked(0, true);
  index.SetProcess(0, "C:\\Games\\game");
  EXPECT_FALSE(HasFollowableLink(index, 1));
  EXPECT_TRUE(HasFollowableLink(index, 2));
  index.SetProcess(0, "C:\\Games\\game.exe");
  EXPECT_TRUE(HasFollowableLink(index, 1));
  EXPECT_EQ(DecideEntry(index, 3, Found("/opt/wine/wine", "game.exe")).show, 0);
}

// Answers from a list, then the last one again.
class ScriptedForeground final : public platform::ForegroundProgram {
 public:
  std::string_view Name() const override { return "scripted"; }
  platform::ForegroundAvailability Availability() const override { return platform::ForegroundAvailability::Available; }
  ForegroundAnswer Current() override {
    std::lock_guard lock(mutex_);
    return answers_.at(std::min(calls_++, answers_.size() - 1));
  }
  std::vector<ForegroundAnswer> answers_;

 private:
  std::mutex mutex_;
  size_t calls_ = 0;
};

// Collects a watcher's reports and waits for them.
class Reports {
 public:
  ProfileWatcher::Report Sink() {
    return [this](const ForegroundAnswer& answer) {
      std::lock_guard lock(mutex_);
      answers_.push_back(answer);
    };
  }
  std::vector<ForegroundAnswer> WaitFor(size_t count) {
    for (int i = 0; i < 1000; ++i) {
      {
        std::lock_guard lock(mutex_);
        if (answers_.size() >= count) return answers_;
      }
      std::this_thread::sleep_for(5ms);
    }
    std::lock_guard lock(mutex_);
    return answers_;
  }

 private:
  std::mutex mutex_;
  std::vector<ForegroundAnswer> answers_;
};

TEST(ProfileWatcherLoop, ReportsEachPollAndStopsWithoutWaitingOutItsPause) {
  ScriptedForeground foreground;
  foreground.answers_ = {{ForegroundStatus::Found, "/usr/bin/game"}, {ForegroundStatus::NoWindow, {}}};
  Reports polls;
  {
    ProfileWatcher watcher(kWatchedLists[3], foreground, polls.Sink(), 10ms);
    const auto answers = polls.WaitFor(3);
    ASSERT_GE(answers.size(), 3u);
    EXPECT_EQ(answers[0].path, "/usr/bin/game");
    EXPECT_EQ(answers[1].status, ForegroundStatus::NoWindow);
  }

  Reports once;
  std::optional<ProfileWatcher> paused;
  paused.emplace(kWatchedLists[0], foreground, once.Sink(), 1h);
  ASSERT_EQ(once.WaitFor(1).size(), 1u);
  const auto start = std::chrono::steady_clock::now();
  paused.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// Every report is one question. Resting, a watcher asks only when it starts;
// told to follow it asks at once and keeps asking; told to rest it asks once
// more, then waits until stopped, which is at once.
TEST(ProfileWatcherLoop, AsksOnlyWhileFollowing) {
  ScriptedForeground foreground;
  foreground.answers_ = {{ForegroundStatus::NoWindow, {}}};
  Reports polls, slow;
  ProfileWatcher hourly(kWatchedLists[2], foreground, slow.Sink(), 1h, false);
  std::optional<ProfileWatcher> watcher;
  watcher.emplace(kWatchedLists[1], foreground, polls.Sink(), 10ms, false);
  std::this_thread::sleep_for(100ms);
  ASSERT_EQ(polls.WaitFor(1).size(), 1u);
  ASSERT_EQ(slow.WaitFor(1).size(), 1u);
  hourly.Follow(true);
  EXPECT_EQ(slow.WaitFor(2).size(), 2u) << "asked at once, not an hour later";

  watcher->Follow(true);
  EXPECT_GE(polls.WaitFor(5).size(), 5u);
  watcher->Follow(false);
  std::this_thread::sleep_for(200ms);
  const size_t rested = polls.WaitFor(0).size();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(polls.WaitFor(0).size(), rested);
  const auto start = std::chrono::steady_clock::now();
  watcher.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

// A source that tells its changes, counting the questions it is asked.
class TellingForeground final : public platform::ForegroundProgram {
 public:
  std::string_view Name() const override { return "telling"; }
  platform::ForegroundAvailability Availability() const override { return platform::ForegroundAvailability::Available; }
  ForegroundAnswer Current() override {
    ++calls;
    return {ForegroundStatus::NoWindow, {}};
  }
  bool TellsChanges() const override { return true; }
  void Change() { TellChanged(); }
  std::atomic<int> calls{0};
};

// With a source that tells changes no timer is used, however short the
// interval: a change is asked about at once, nothing in between, and after
// the watcher is gone a change reaches nobody.
TEST(ProfileWatcherLoop, AsksWhenTheSourceTellsAChangeAndOnlyThen) {
  TellingForeground foreground;
  Reports reports;
  {
    ProfileWatcher watcher(kWatchedLists[3], foreground, reports.Sink(), 1ms);
    ASSERT_EQ(reports.WaitFor(1).size(), 1u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(foreground.calls, 1) << "asked on a timer";
    foreground.Change();
    EXPECT_EQ(reports.WaitFor(2).size(), 2u);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(foreground.calls, 2);
    // A list changed while followed is decided again; told to rest it asks
    // once more, then a change is not asked about.
    watcher.Follow(true);
    EXPECT_EQ(reports.WaitFor(3).size(), 3u);
    watcher.Follow(false);
    EXPECT_EQ(reports.WaitFor(4).size(), 4u);
    foreground.Change();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(foreground.calls, 4);
  }
  foreground.Change();
  EXPECT_EQ(foreground.calls, 4);
}

}  // namespace
}  // namespace talvo::profiles
