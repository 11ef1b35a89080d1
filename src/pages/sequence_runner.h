// Device sequences asked for by the window: each runs on its device's
// session thread, and its apply step comes back to the UI thread with the
// outcome, so the live data and the pages change in one step and the window
// never waits on the device. A page or room that reads or writes a device
// goes through one of these.
#pragma once

#include <functional>
#include <memory>

#include "toolkit/toolkit.h"
#include "device/device_session.h"

namespace talvo::pages {

class SequenceRunner {
 public:
  using Outcome = device::DeviceSession::Outcome;
  using Apply = std::function<void(Outcome)>;

  // showProgress / endProgress show and end the window's progress display.
  SequenceRunner(toolkit::Toolkit& toolkit, std::function<void()> showProgress, std::function<void()> endProgress);
  // Apply steps still on their way are dropped.
  ~SequenceRunner();
  SequenceRunner(const SequenceRunner&) = delete;
  SequenceRunner& operator=(const SequenceRunner&) = delete;

  // Runs `sequence` on the session; `apply` then runs on the UI thread with
  // its outcome, at once (as Absent) when the device is not there. With
  // `progress` the progress display shows until the apply step has run.
  // Called on the UI thread.
  void Run(device::DeviceSession& session, bool progress, device::DeviceSession::Sequence sequence, Apply apply);

 private:
  toolkit::Toolkit& toolkit_;
  std::function<void()> showProgress_;
  std::function<void()> endProgress_;
  // Cleared when the runner goes; read and written on the UI thread only.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace talvo::pages
