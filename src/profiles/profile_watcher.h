// Profiles that follow the program in front. Each watched list has a watcher
// thread that asks which program is in front while the list has a link to
// follow, off the UI thread, and hands the answer on: each time the source
// tells of a change where it can, else every two seconds. The
// UI thread then decides the entry to show from the list's links and the
// user's choice ("select"), selects it and writes the user's choice back, all
// in one task, so a link or a choice changed in between is never overruled
// by a stale decision.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/peripheral.h"
#include "platform/foreground_program.h"
#include "profiles/profile_index.h"

namespace talvo::profiles {

inline constexpr std::chrono::milliseconds kWatchInterval{2000};

struct WatchedList {
  device::Peripheral peripheral;
  ProfileKind kind;
  std::string_view exitLine;  // debug line when its watcher ends
};

// Keyboard and mouse lighting links are stored but never followed.
inline constexpr std::array<WatchedList, 5> kWatchedLists{{
    {device::Peripheral::Keyboard, ProfileKind::Key, "keyboard key profile watcher ended"},
    {device::Peripheral::Keyboard, ProfileKind::Device, "keyboard device profile watcher ended"},
    {device::Peripheral::Mouse, ProfileKind::Key, "mouse key profile watcher ended"},
    {device::Peripheral::Mouse, ProfileKind::Device, "mouse device profile watcher ended"},
    {device::Peripheral::Mousepad, ProfileKind::Lighting, "mousepad lighting profile watcher ended"},
}};

// One entry's link as the index holds it, in any of the forms of
// program_links.h; `resolved` is a path link with its symbolic links followed
// (empty when it cannot be), because the program in front is always known by
// its real file.
struct ProfileLink {
  bool linked = false;
  std::string path;
  std::string resolved;
};

// The entry to show: the first linked entry, in list order, whose link names
// the program in front (LinkNames), else the user's choice; nothing when
// neither is an entry of the list.
std::optional<int> ChooseEntry(std::span<const ProfileLink> links, int userChoice,
                               const platform::ForegroundAnswer& foreground);

// The links of entries 0 .. itemCount-1 (itemCount bounded by kMaxProfiles).
std::vector<ProfileLink> ReadLinks(const ProfileIndex& index, int itemCount);

struct WatcherChoice {
  std::optional<int> show;  // the entry to select, when any
  int userChoice = 0;       // "select" as read, to write back after selecting
};

// Whether any of entries 0 .. itemCount-1 has a link ChooseEntry can match;
// without one the entry to show is the user's choice whatever is in front.
bool HasFollowableLink(const ProfileIndex& index, int itemCount);

// ChooseEntry over the index: "select" and the links of the list's items.
// Only a Found answer can match a link.
WatcherChoice DecideEntry(const ProfileIndex& index, int itemCount, const platform::ForegroundAnswer& foreground);

// Asks the foreground program for one watched list on its own thread until
// destroyed; each answer goes to `report` on that thread. It asks once when
// it starts (that answer makes the list show the user's choice), then while
// following: when the source tells a change if it tells them (it listens
// from start to end of the thread), else every interval. While resting it
// waits without a time-out, so an idle Talvo does not wake for a list that
// has nothing to follow. Destruction wakes the thread at once, even in the
// middle of a wait.
class ProfileWatcher {
 public:
  using Report = std::function<void(const platform::ForegroundAnswer&)>;

  ProfileWatcher(const WatchedList& list, platform::ForegroundProgram& foreground, Report report,
                 std::chrono::milliseconds interval = kWatchInterval, bool follow = true);
  ~ProfileWatcher();

  ProfileWatcher(const ProfileWatcher&) = delete;
  ProfileWatcher& operator=(const ProfileWatcher&) = delete;

  // From any thread. A resting watcher told to follow asks at once. One told
  // to rest still asks when its current pause ends, so a list that lost its
  // last link goes back to the user's choice as it always did, then rests;
  // with a source that tells changes that pause ends at once, and a
  // following watcher told to follow again asks again.
  void Follow(bool follow);

 private:
  void Run(std::stop_token stop);

  WatchedList list_;
  platform::ForegroundProgram& foreground_;
  Report report_;
  std::chrono::milliseconds interval_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  const bool events_;    // the source tells changes
  bool following_;       // guarded by mutex_
  bool told_ = false;    // guarded by mutex_: asked to ask again
  std::jthread thread_;  // last: it runs on the members above
};

}  // namespace talvo::profiles
