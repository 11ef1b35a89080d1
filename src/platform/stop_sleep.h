// A sleep until a point in time that ends early, and for good, once its stop
// token is signalled. Each sleep is a single futex wait on the monotonic
// clock: no mutex to retake after it and no stop callback to register per
// sleep, so a thread that sleeps a hundred times a second pays only for the
// sleeps themselves.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stop_token>

namespace talvo::platform {

class StopSleep {
 public:
  explicit StopSleep(std::stop_token stop);
  StopSleep(const StopSleep&) = delete;
  StopSleep& operator=(const StopSleep&) = delete;

  // False when stop is requested (at once when it already was); true when
  // `end` came first.
  bool Until(std::chrono::steady_clock::time_point end);
  bool Stopped() const { return stop_.stop_requested(); }
  const std::stop_token& Token() const { return stop_; }

 private:
  struct Wake {
    StopSleep* self;
    void operator()() const noexcept;
  };

  std::stop_token stop_;
  // 0 until stop is requested; the word the sleeps wait on.
  std::atomic<uint32_t> stopped_{0};
  std::stop_callback<Wake> callback_;
};

}  // namespace talvo::platform
