// Hands pointer speed and wheel lines to the desktop off the UI thread: a
// desktop may take a while to take a setting (a program to start, a file to
// replace), and the page must never wait for it. Requests go to one worker
// thread; a request made while an earlier one of the same kind still waits
// replaces it, so the desktop always ends with the latest value.
#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "lighting/light_records.h"
#include "platform/pointer_settings.h"

namespace talvo::mouse {

class PointerApplier {
 public:
  PointerApplier(platform::PointerSettings& settings, lighting::MouseLighting& mouse);
  // Applies what is still waiting, then ends the worker.
  ~PointerApplier();
  PointerApplier(const PointerApplier&) = delete;
  PointerApplier& operator=(const PointerApplier&) = delete;

  // The profile's pointer speed, clamped to 1..20 first (the clamped value
  // is stored back), becomes the desktop's.
  void ApplyPointerSpeed();
  // The profile's wheel lines become the desktop's.
  void ApplyWheelLines();
  // Given values for the desktop; the profile's values are left alone.
  void SetSpeed(int speed);
  void SetWheelLines(int lines);

  // Returns once every request made so far has been carried out.
  void WaitIdle();

 private:
  struct Request {
    bool pending = false;
    bool fromProfile = false;
    int value = 0;
  };

  void Queue(Request& slot, bool fromProfile, int value);
  void Run(std::stop_token stop);
  void Carry(const Request& speed, const Request& lines);

  platform::PointerSettings& settings_;
  lighting::MouseLighting& mouse_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::condition_variable_any idle_;
  Request speed_;
  Request lines_;
  bool busy_ = false;
  std::jthread worker_;  // last, so it starts after and stops before the rest
};

}  // namespace talvo::mouse
