// Worker threads start in order, stop together on request, and a thread that
// does not stop cannot hold up the end of the program.
#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/shell/worker_threads.h"
#include "shell_test_util.h"

namespace talvo::app {
namespace {

using namespace std::chrono_literals;

using test::WaitForStop;

TEST(WorkerThreads, StartInOrderAndStopTogether) {
  WorkerThreads threads;
  std::atomic<int> running{0};
  std::vector<WorkerSpec> specs;
  std::mutex seenMutex;
  std::vector<std::string> seen;  // the names the system gives the threads
  for (const char* name : {"DeviceWatcher", "MouseListener", "KeyboardListener"}) {
    specs.push_back({name, [&](std::stop_token stop) {
                       char own[16] = {};
                       pthread_getname_np(pthread_self(), own, sizeof own);
                       {
                         std::lock_guard lock(seenMutex);
                         seen.push_back(own);
                       }
                       ++running;
                       WaitForStop(stop);
                       --running;
                     }});
  }
  threads.Start(std::move(specs));
  EXPECT_EQ(threads.Names(), (std::vector<std::string>{"DeviceWatcher", "MouseListener", "KeyboardListener"}));
  while (running.load() < 3) std::this_thread::sleep_for(1ms);
  {
    // The system keeps 15 characters of a thread's name.
    std::lock_guard lock(seenMutex);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"DeviceWatcher", "KeyboardListene", "MouseListener"}));
  }

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(threads.StopAll(), WorkerThreads::StopOutcome::AllEnded);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "a waiting worker must end at once";
  EXPECT_EQ(running.load(), 0);
  EXPECT_EQ(threads.Count(), 0u);
}

TEST(WorkerThreads, ThreadThatIgnoresStopIsLetGoAfterTheLimit) {
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  {
    WorkerThreads threads;
    threads.Start({{"quick", [](std::stop_token stop) { WaitForStop(stop); }},
                   {"stuck", [release, finished](std::stop_token) {
                      while (!release->load()) std::this_thread::sleep_for(1ms);
                      finished->store(true);
                    }}});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(threads.StopAll(50ms), WorkerThreads::StopOutcome::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);

    // The same object can start afresh; the stuck thread does not count.
    threads.Start({{"again", [](std::stop_token stop) { WaitForStop(stop); }}});
    EXPECT_EQ(threads.StopAll(), WorkerThreads::StopOutcome::AllEnded);
  }
  // The thread let go still ends cleanly once it is released.
  release->store(true);
  while (!finished->load()) std::this_thread::sleep_for(1ms);
}

TEST(WorkerThreads, DestructionStopsRunningThreads) {
  std::atomic<bool> ended{false};
  {
    WorkerThreads threads;
    threads.Start({{"w", [&ended](std::stop_token stop) {
                      WaitForStop(stop);
                      ended = true;
                    }}});
  }
  EXPECT_TRUE(ended.load());
}

}  // namespace
}  // namespace talvo::app
