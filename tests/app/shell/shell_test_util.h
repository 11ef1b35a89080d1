// Helpers shared by the shell tests.
#pragma once

#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace talvo::app::test {

// Waits on the token as every worker body does.
inline void WaitForStop(std::stop_token stop) {
  std::mutex m;
  std::condition_variable_any cv;
  std::unique_lock lock(m);
  cv.wait(lock, stop, [] { return false; });
}

}  // namespace talvo::app::test
