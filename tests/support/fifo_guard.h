// A FIFO standing in for a file, with a watchdog for code that must never
// block on it: once the time-out has passed, the watchdog keeps opening the
// FIFO for writing and closing it again, which releases a reader stuck in
// open() (it then reads end of file). A regression so fails the test instead
// of hanging it. The time-out bounds a failure; it is not a speed goal.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <thread>

namespace talvo::test_support {

class FifoGuard {
 public:
  explicit FifoGuard(std::filesystem::path path, std::chrono::milliseconds timeout = std::chrono::seconds(10))
      : path_(std::move(path)),
        created_(::mkfifo(path_.c_str(), 0600) == 0),
        watchdog_([this, timeout](std::stop_token stop) { Watch(stop, timeout); }) {}
  ~FifoGuard() {
    watchdog_.request_stop();
    watchdog_.join();
    ::unlink(path_.c_str());
  }
  FifoGuard(const FifoGuard&) = delete;
  FifoGuard& operator=(const FifoGuard&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  bool Created() const { return created_; }
  // Whether a reader was found blocked after the time-out and released.
  bool Released() const { return released_; }

 private:
  void Watch(std::stop_token stop, std::chrono::milliseconds timeout) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    if (wake.wait_for(lock, stop, timeout, [] { return false; })) return;
    while (!stop.stop_requested()) {
      // Succeeds only while some reader has the FIFO open or is opening it.
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        released_ = true;
        ::close(fd);
      }
      wake.wait_for(lock, stop, std::chrono::milliseconds(50), [] { return false; });
    }
  }

  std::filesystem::path path_;
  bool created_;
  std::atomic<bool> released_{false};
  std::jthread watchdog_;
};

}  // namespace talvo::test_support
