#include "profiles/profile_watcher.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/debug.h"

namespace talvo::profiles {
namespace {

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// Only links to an absolute path can name the program in front.
bool Followable(const ProfileLink& link) { return link.linked && IsAbsolute(link.path); }

bool Names(const ProfileLink& link, std::string_view program) {
  if (!Followable(link)) return false;
  return link.path == program || (!link.resolved.empty() && link.resolved == program);
}

}  // namespace

std::optional<int> ChooseEntry(std::span<const ProfileLink> links, int userChoice, std::string_view foreground) {
  if (IsAbsolute(foreground)) {
    const auto match = std::find_if(links.begin(), links.end(), [&](const ProfileLink& l) { return Names(l, foreground); });
    if (match != links.end()) return static_cast<int>(match - links.begin());
  }
  if (userChoice >= 0 && size_t(userChoice) < links.size()) return userChoice;
  return std::nullopt;
}

std::vector<ProfileLink> ReadLinks(const ProfileIndex& index, int itemCount) {
  std::vector<ProfileLink> links(size_t(std::clamp(itemCount, 0, kMaxProfiles)));
  for (size_t n = 0; n < links.size(); ++n) {
    ProfileLink& link = links[n];
    link.linked = index.IsLinked(int(n));
    if (!link.linked) continue;
    link.path = index.Process(int(n));
    if (!IsAbsolute(link.path)) continue;
    // Links chosen in a file dialog often name a symbolic link such as
    // /usr/bin/game, while the running process is known by its target.
    std::error_code error;
    const auto target = std::filesystem::canonical(link.path, error);
    if (!error && target.native() != link.path) link.resolved = target.native();
  }
  return links;
}

bool HasFollowableLink(const ProfileIndex& index, int itemCount) {
  const std::vector<ProfileLink> links = ReadLinks(index, itemCount);
  return std::any_of(links.begin(), links.end(), Followable);
}

WatcherChoice DecideEntry(const ProfileIndex& index, int itemCount, const platform::ForegroundAnswer& foreground) {
  WatcherChoice choice;
  choice.userChoice = index.Select();
  const int count = std::clamp(itemCount, 0, kMaxProfiles);
  if (foreground.status == platform::ForegroundStatus::Found) {
    choice.show = ChooseEntry(ReadLinks(index, count), choice.userChoice, foreground.path);
  } else if (choice.userChoice >= 0 && choice.userChoice < count) {
    choice.show = choice.userChoice;
  }
  return choice;
}

ProfileWatcher::ProfileWatcher(const WatchedList& list, platform::ForegroundProgram& foreground, Report report,
                               std::chrono::milliseconds interval, bool follow)
    : list_(list),
      foreground_(foreground),
      report_(std::move(report)),
      interval_(interval),
      following_(follow),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

// The thread's destructor asks it to stop and waits for it.
ProfileWatcher::~ProfileWatcher() = default;

void ProfileWatcher::Follow(bool follow) {
  {
    std::lock_guard lock(mutex_);
    if (following_ == follow) return;
    following_ = follow;
  }
  // Only a resting watcher waits for this; one that pauses keeps its time.
  if (follow) wake_.notify_all();
}

void ProfileWatcher::Run(std::stop_token stop) {
  bool unreadable = false;
  while (!stop.stop_requested()) {
    const platform::ForegroundAnswer answer = foreground_.Current();
    // Told once when it starts, not on every poll while it lasts.
    const bool nowUnreadable = answer.status == platform::ForegroundStatus::Unreadable;
    if (nowUnreadable && !unreadable) debug::Line("program watcher: the program in front cannot be read");
    unreadable = nowUnreadable;
    report_(answer);
    std::unique_lock lock(mutex_);
    if (following_) {
      wake_.wait_for(lock, stop, interval_, [] { return false; });
    } else {
      wake_.wait(lock, stop, [this] { return following_; });
    }
  }
  debug::Line(list_.exitLine);
}

}  // namespace talvo::profiles
