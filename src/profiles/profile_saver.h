// Coalesced profile saves. A change marks the profile files it affects; the
// owner's tick builds their bodies from the live records and hands them to
// the saver's own thread, which writes each file (atomically, as every save
// is). A slider dragged across many steps thus writes each file at most
// once per tick, and the UI thread never waits on a disk.
//
// Flush() writes at once and waits: before anything reads the files back
// (choosing another profile, export, copy), on suspend and on exit.
//
// Mark, Tick and Flush belong to the thread that owns the live records.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "device/peripheral.h"
#include "profiles/live_data.h"
#include "profiles/profile_index.h"

namespace talvo::profiles {

class ProfileSaver {
 public:
  explicit ProfileSaver(LiveData& live);
  // Writes what is still marked or waiting, then ends the writer.
  ~ProfileSaver();
  ProfileSaver(const ProfileSaver&) = delete;
  ProfileSaver& operator=(const ProfileSaver&) = delete;

  // Runs when a file becomes marked while none was, so the owner can start
  // its tick; set before the first Mark.
  void SetMarkedHandler(std::function<void()> handler) { marked_ = std::move(handler); }

  // The kind's selected profile file is to be written from the live records.
  void Mark(device::Peripheral peripheral, ProfileKind kind);
  void MarkLightAndDevice(device::Peripheral peripheral) {
    Mark(peripheral, ProfileKind::Lighting);
    Mark(peripheral, ProfileKind::Device);
  }
  bool AnyMarked() const;

  // Builds the bodies of the marked files and hands them to the writer.
  void Tick();
  // Tick, then waits until every body handed over is written.
  void Flush();

  // Files written since construction; for measurements and tests.
  uint64_t WriteCount() const;

 private:
  struct Job {
    const ProfileCombo* combo;
    std::filesystem::path path;  // the profile the body belongs to
    std::vector<uint8_t> body;
  };

  void Serve(std::stop_token stop);

  LiveData& live_;
  std::function<void()> marked_;
  std::array<bool, kProfileCombos.size()> dirty_{};

  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::condition_variable idle_;
  std::deque<Job> queue_;
  bool writing_ = false;
  uint64_t writes_ = 0;
  std::jthread writer_;  // last: starts after and stops before the rest
};

}  // namespace talvo::profiles
