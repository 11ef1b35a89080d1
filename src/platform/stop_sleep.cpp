#include "platform/stop_sleep.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace talvo::platform {

static_assert(std::chrono::steady_clock::is_steady);
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "the futex word is the atomic itself");

// The callback is registered last, so `stopped_` exists by the time it can run.
StopSleep::StopSleep(std::stop_token stop) : stop_(std::move(stop)), callback_(stop_, Wake{this}) {}

void StopSleep::Wake::operator()() const noexcept {
  self->stopped_.store(1);
  ::syscall(SYS_futex, &self->stopped_, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

bool StopSleep::Until(std::chrono::steady_clock::time_point end) {
  using std::chrono::nanoseconds;
  // steady_clock reads CLOCK_MONOTONIC, the clock FUTEX_WAIT_BITSET's
  // absolute time-out is on.
  const auto ns = std::chrono::duration_cast<nanoseconds>(end.time_since_epoch()).count();
  const timespec at{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  for (;;) {
    if (stop_.stop_requested()) return false;
    if (end <= std::chrono::steady_clock::now()) return true;
    // Returns at once when the word is no longer 0 (stop came in between).
    if (::syscall(SYS_futex, &stopped_, FUTEX_WAIT_BITSET_PRIVATE, 0, &at, nullptr, FUTEX_BITSET_MATCH_ANY) != 0 &&
        errno == ETIMEDOUT)
      return !stop_.stop_requested();
  }
}

}  // namespace talvo::platform
