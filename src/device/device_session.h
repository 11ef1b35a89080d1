// One peripheral's device session: its command link and the queue of
// sequences that run on the session's own thread, one at a time, in the
// order asked. Nothing that waits on the device runs on the caller's thread.
//
// A sequence holds the link from its first report to its last (see
// CDeviceLink::BeginSequence), so no lighting frame or settings push lands
// between a sequence's begin- and end-transfer. Sequences read into copies
// of their own; their finish callback hands the result on (the main window
// posts it to the UI thread, which applies it in one step).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>

#include "device/device_link.h"
#include "platform/hid_backend.h"

namespace talvo::device {

class DeviceSession {
 public:
  enum class Outcome {
    Whole,   // ran to its end; the results it read are the device's
    Absent,  // not run: the device was not connected when its turn came
    Cut,     // cut short (the device went away, or the session stops); its results
             // are partial
  };
  using Sequence = std::function<void(CDeviceLink&)>;
  using Finished = std::function<void(Outcome)>;

  explicit DeviceSession(platform::HidBackend& backend) : link_(backend) {}
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  CDeviceLink& Link() { return link_; }
  const CDeviceLink& Link() const { return link_; }

  // Queues `sequence`; `finished` (may be empty) runs on the session's
  // thread after it. A device that is not connected queues nothing: false
  // at once, and `finished` is never called, so no request waits for a
  // device that may never come.
  bool Run(Sequence sequence, Finished finished = {});

  // Whether a sequence is queued or running.
  bool Busy() const;

  // The session thread's body: runs the queued sequences until `stop` is
  // requested. A sequence running then is cut short at its next report, and
  // the sequences still queued finish as Cut without running.
  void Serve(std::stop_token stop);

 private:
  struct Job {
    Sequence sequence;
    Finished finished;
  };

  Outcome RunOne(Job& job, const std::stop_token& stop);

  CDeviceLink link_;
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<Job> queue_;
  bool running_ = false;
};

}  // namespace talvo::device
