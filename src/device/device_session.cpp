#include "device/device_session.h"

#include <utility>

namespace talvo::device {

bool DeviceSession::Run(Sequence sequence, Finished finished) {
  if (!link_.IsConnected()) return false;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({std::move(sequence), std::move(finished)});
  }
  wake_.notify_one();
  return true;
}

bool DeviceSession::Busy() const {
  std::lock_guard lock(mutex_);
  return running_ || !queue_.empty();
}

DeviceSession::Outcome DeviceSession::RunOne(Job& job, const std::stop_token& stop) {
  std::lock_guard io(link_.IoLock());
  if (!link_.IsConnected()) return Outcome::Absent;
  link_.BeginSequence(stop);
  job.sequence(link_);
  return link_.EndSequence() ? Outcome::Cut : Outcome::Whole;
}

void DeviceSession::Serve(std::stop_token stop) {
  // A stop ends the report the sequence waits for now, not only the next.
  std::stop_callback cancel(stop, [this] { link_.Hid().CancelPendingIo(); });
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [this] { return !queue_.empty(); })) break;
      job = std::move(queue_.front());
      queue_.pop_front();
      running_ = true;
    }
    const Outcome outcome = RunOne(job, stop);
    if (job.finished) job.finished(outcome);
    std::lock_guard lock(mutex_);
    running_ = false;
  }
  std::deque<Job> left;
  {
    std::lock_guard lock(mutex_);
    left.swap(queue_);
  }
  for (Job& job : left)
    if (job.finished) job.finished(Outcome::Cut);
}

}  // namespace talvo::device
