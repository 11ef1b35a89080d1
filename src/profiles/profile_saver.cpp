#include "profiles/profile_saver.h"

#include <pthread.h>

#include <algorithm>
#include <utility>

#include "profiles/profile_data_file.h"
#include "profiles/profile_store.h"

namespace talvo::profiles {
namespace {

size_t ComboIndex(const ProfileCombo* combo) { return size_t(combo - kProfileCombos.data()); }

}  // namespace

ProfileSaver::ProfileSaver(LiveData& live) : live_(live), writer_([this](std::stop_token stop) { Serve(stop); }) {}

ProfileSaver::~ProfileSaver() {
  Flush();
  writer_.request_stop();
}

void ProfileSaver::Mark(device::Peripheral peripheral, ProfileKind kind) {
  const ProfileCombo* combo = FindCombo(peripheral, kind);
  if (!combo) return;
  const bool first = !AnyMarked();
  dirty_[ComboIndex(combo)] = true;
  if (first && marked_) marked_();
}

bool ProfileSaver::AnyMarked() const {
  return std::ranges::any_of(dirty_, [](bool d) { return d; });
}

void ProfileSaver::Tick() {
  if (!AnyMarked()) return;
  std::vector<Job> jobs;
  for (size_t i = 0; i < kProfileCombos.size(); ++i) {
    if (!std::exchange(dirty_[i], false)) continue;
    const ProfileCombo& combo = kProfileCombos[i];
    // The target is fixed now, on the records' thread: the profile the live
    // settings belong to.
    if (const auto path = ProfilePath(combo, AppliedProfileName(live_, combo)))
      jobs.push_back({&combo, *path, BuildBody(live_, combo.peripheral, combo.kind)});
  }
  {
    std::lock_guard lock(mutex_);
    for (Job& job : jobs) {
      // A body still waiting for the same file is replaced, not written twice.
      const auto same = std::ranges::find(queue_, job.path, &Job::path);
      if (same != queue_.end()) {
        same->body = std::move(job.body);
      } else {
        queue_.push_back(std::move(job));
      }
    }
  }
  wake_.notify_one();
}

void ProfileSaver::Flush() {
  Tick();
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && !writing_; });
}

uint64_t ProfileSaver::WriteCount() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

void ProfileSaver::Serve(std::stop_token stop) {
  pthread_setname_np(pthread_self(), "ProfileSaver");
  std::unique_lock lock(mutex_);
  while (wake_.wait(lock, stop, [this] { return !queue_.empty(); })) {
    Job job = std::move(queue_.front());
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    WriteProfileFile(job.path, job.body, device::DeviceCode(job.combo->peripheral));
    lock.lock();
    writing_ = false;
    ++writes_;
    if (queue_.empty()) idle_.notify_all();
  }
}

}  // namespace talvo::profiles
