#include "app/shell/worker_threads.h"

#include <pthread.h>

#include "platform/debug.h"

namespace talvo::app {

WorkerThreads::~WorkerThreads() {
  if (!threads_.empty()) StopAll();
}

void WorkerThreads::Start(std::vector<WorkerSpec> workers) {
  for (auto& w : workers) {
    auto done = std::make_shared<bool>(false);
    // Named so that ps, top and debuggers tell the workers apart; the system
    // keeps at most 15 characters.
    std::jthread thread([shared = shared_, done, body = std::move(w.body),
                         label = w.name.substr(0, 15)](std::stop_token stop) {
      pthread_setname_np(pthread_self(), label.c_str());
      body(stop);
      std::lock_guard lock(shared->mutex);
      *done = true;
      ++shared->endedCount;
      shared->ended.notify_all();
    });
    threads_.push_back({std::move(w.name), std::move(done), std::move(thread)});
  }
}

WorkerThreads::StopOutcome WorkerThreads::StopAll(std::chrono::milliseconds limit) {
  for (auto& t : threads_) t.thread.request_stop();
  bool allEnded;
  {
    std::unique_lock lock(shared_->mutex);
    allEnded = shared_->ended.wait_for(lock, limit, [&] { return shared_->endedCount == threads_.size(); });
  }
  for (auto& t : threads_) {
    bool done;
    {
      std::lock_guard lock(shared_->mutex);
      done = *t.done;
    }
    if (done) {
      t.thread.join();
    } else {
      t.thread.detach();
    }
  }
  threads_.clear();
  if (allEnded) {
    std::lock_guard lock(shared_->mutex);
    shared_->endedCount = 0;
  } else {
    // A thread let go keeps its own reference to the old counters.
    shared_ = std::make_shared<Shared>();
  }
  debug::Line(allEnded ? "all threads ended" : "threads still running after the stop time-out; let go");
  return allEnded ? StopOutcome::AllEnded : StopOutcome::TimedOut;
}

std::vector<std::string> WorkerThreads::Names() const {
  std::vector<std::string> names;
  for (const auto& t : threads_) names.push_back(t.name);
  return names;
}

}  // namespace talvo::app
