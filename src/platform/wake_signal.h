// Lets threads sleep until something they watch may have changed, instead of
// looking again and again: whoever changes a watched value calls Notify()
// after the change, and every waiter looks at its condition once more.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace talvo::platform {

class WakeSignal {
 public:
  // Wakes every waiter. Call it after the watched value has changed.
  void Notify() {
    // Taking the mutex orders the change before a waiter's look at its
    // condition, so a waiter about to sleep cannot miss this wake.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
  }

  // Sleeps until ready() holds, stop is requested, or the time-out passed;
  // returns ready(). ready() is evaluated with the signal's mutex held and
  // must only read.
  template <typename Ready>
  bool WaitFor(std::stop_token stop, std::chrono::milliseconds timeout, Ready ready) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, stop, timeout, ready);
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any wake_;
};

}  // namespace talvo::platform
