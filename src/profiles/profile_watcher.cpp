#include "profiles/profile_watcher.h"

#include <algorithm>
#include <optional>
#include <filesystem>
#include <system_error>

#include "platform/debug.h"
#include "profiles/program_links.h"

namespace talvo::profiles {
namespace {

bool Followable(const ProfileLink& link) { return link.linked && FormOf(link.path) != LinkForm::None; }

}  // namespace

std::optional<int> ChooseEntry(std::span<const ProfileLink> links, int userChoice,
                               const platform::ForegroundAnswer& foreground) {
  const auto match = std::find_if(links.begin(), links.end(), [&](const ProfileLink& l) {
    return Followable(l) && LinkNames(l.path, l.resolved, foreground);
  });
  if (match != links.end()) return static_cast<int>(match - links.begin());
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
    if (FormOf(link.path) != LinkForm::Path) continue;
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
    choice.show = ChooseEntry(ReadLinks(index, count), choice.userChoice, foreground);
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
      events_(foreground.TellsChanges()),
      following_(follow),
      thread_([this](std::stop_token stop) { Run(stop); }) {}

// The thread's destructor asks it to stop and waits for it.
ProfileWatcher::~ProfileWatcher() = default;

void ProfileWatcher::Follow(bool follow) {
  {
    std::lock_guard lock(mutex_);
    // A source that tells changes is asked again after any change of the
    // list while it is followed, since no poll would catch a link made to
    // the program already in front.
    const bool askAgain = events_ && (follow || following_);
    if (following_ == follow && !askAgain) return;
    following_ = follow;
    told_ = told_ || askAgain;
  }
  wake_.notify_all();
}

void ProfileWatcher::Run(std::stop_token stop) {
  std::optional<int> listener;
  if (events_) {
    listener = foreground_.ListenForChanges([this] {
      {
        std::lock_guard lock(mutex_);
        told_ = true;
      }
      wake_.notify_all();
    });
  }
  bool unreadable = false;
  while (!stop.stop_requested()) {
    const platform::ForegroundAnswer answer = foreground_.Current();
    // Told once when it starts, not on every poll while it lasts.
    const bool nowUnreadable = answer.status == platform::ForegroundStatus::Unreadable;
    if (nowUnreadable && !unreadable) debug::Line("program watcher: the program in front cannot be read");
    unreadable = nowUnreadable;
    report_(answer);
    std::unique_lock lock(mutex_);
    if (!following_) {
      wake_.wait(lock, stop, [this] { return following_; });
    } else if (events_) {
      // A change while it was asking is asked about again at once.
      wake_.wait(lock, stop, [this] { return told_ || !following_; });
    } else {
      wake_.wait_for(lock, stop, interval_, [] { return false; });
    }
    told_ = false;
  }
  if (listener) foreground_.StopListening(*listener);
  debug::Line(list_.exitLine);
}

}  // namespace talvo::profiles
