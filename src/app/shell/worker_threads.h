// The main window's worker threads: started in a fixed order, each with its
// own stop token, and stopped together within a time limit.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace talvo::app {

struct WorkerSpec {
  std::string name;
  // Runs until the token asks it to stop; every wait inside it waits on the
  // token too, so stopping is immediate.
  std::function<void(std::stop_token)> body;
};

class WorkerThreads {
 public:
  enum class StopOutcome { AllEnded, TimedOut };

  WorkerThreads() = default;
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;
  // Stops whatever still runs, with the usual limit.
  ~WorkerThreads();

  static constexpr std::chrono::milliseconds kStopLimit{10000};

  // Starts each worker in the order given.
  void Start(std::vector<WorkerSpec> workers);
  // Asks every thread to stop and waits until all have ended, at most limit.
  // A thread still running then is let go: the program is ending and must
  // not hang on it. Writes the outcome as a debug line.
  StopOutcome StopAll(std::chrono::milliseconds limit = kStopLimit);

  // Names in start order, of the threads started and not yet stopped.
  std::vector<std::string> Names() const;
  size_t Count() const { return threads_.size(); }

 private:
  // Outlives a thread that is let go, so its last write lands somewhere.
  struct Shared {
    std::mutex mutex;
    std::condition_variable ended;
    size_t endedCount = 0;
  };
  struct Thread {
    std::string name;
    std::shared_ptr<bool> done;  // guarded by Shared::mutex
    std::jthread thread;
  };

  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::vector<Thread> threads_;
};

}  // namespace talvo::app
