// Lets threads sleep until something they watch may have changed, instead of
// looking again and again: whoever changes a watched value calls Notify()
// after the change, and every waiter looks at its condition once more.
//
// A thread that watches news of its own beside changes every thread
// watches (a device's lighting thread: colours streamed to its device)
// sleeps on a WakeSignal of its own, joined to a WakeFanOut that the
// shared changes are told to; news of its own then wakes it alone.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <vector>

namespace talvo::platform {

// Something a change is told to.
class Notifier {
 public:
  virtual void Notify() = 0;

 protected:
  ~Notifier() = default;
};

class WakeSignal final : public Notifier {
 public:
  // Wakes every waiter. Call it after the watched value has changed.
  void Notify() override {
    // Taking the mutex orders the change before a waiter's look at its
    // condition, so a waiter about to sleep cannot miss this wake.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
    notifications_.fetch_add(1, std::memory_order_relaxed);
  }

  // Sleeps until ready() holds, stop is requested, or the time-out passed;
  // returns ready(). ready() is evaluated with the signal's mutex held and
  // must only read.
  template <typename Ready>
  bool WaitFor(std::stop_token stop, std::chrono::milliseconds timeout, Ready ready) {
    std::unique_lock lock(mutex_);
    return wake_.wait_for(lock, stop, timeout, ready);
  }

  // How often it was notified: lets a test tell which threads a change woke.
  uint64_t Notifications() const { return notifications_.load(std::memory_order_relaxed); }

 private:
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::atomic<uint64_t> notifications_{0};
};

// Tells each change to every signal joined to it.
class WakeFanOut final : public Notifier {
 public:
  // A joined signal must leave before it is destroyed.
  void Join(WakeSignal& signal) {
    std::lock_guard lock(mutex_);
    signals_.push_back(&signal);
  }
  void Leave(WakeSignal& signal) {
    std::lock_guard lock(mutex_);
    std::erase(signals_, &signal);
  }
  void Notify() override {
    std::lock_guard lock(mutex_);
    for (WakeSignal* signal : signals_) signal->Notify();
  }

 private:
  std::mutex mutex_;
  std::vector<WakeSignal*> signals_;
};

}  // namespace talvo::platform
