// The HID transport as the device layer sees it: list the HID interfaces
// present (one entry per top-level collection), open one by path, and move
// single reports with a time-out that another thread can cut short.
//
// Two implementations exist: the hidraw backend for real devices and the
// simulated backend for tests and --simulate. Reports use the same convention
// in both: byte 0 is the report id (0 when the interface declares none),
// followed by the report's data, so lengths count the id byte.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace talvo::platform {

// Sleeps for `duration` unless `stop` is requested first; true when stopped.
inline bool SleepUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds duration) {
  std::mutex mutex;
  std::condition_variable_any never;
  std::unique_lock lock(mutex);
  never.wait_for(lock, stop, duration, [] { return false; });
  return stop.stop_requested();
}

// One top-level collection of one HID interface.
struct HidInterfaceInfo {
  std::string path;           // what Open() takes; unique per collection
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint16_t usagePage = 0;     // of the top-level collection
  uint16_t usage = 0;
  int interfaceNumber = -1;   // USB interface number, -1 when unknown
};

// Auto-reset event that ends one pending (or the next) read or write wait.
// Backed by an eventfd so waits can poll() on it together with a device.
class AbortEvent {
 public:
  AbortEvent();
  ~AbortEvent();
  AbortEvent(const AbortEvent&) = delete;
  AbortEvent& operator=(const AbortEvent&) = delete;

  void Signal();
  // Clears the event; true when it was signalled.
  bool Consume();
  int fd() const { return fd_; }

 private:
  int fd_;
};

enum class HidIo {
  Ok,
  TimedOut,
  Aborted,
  Failed,  // an error, or the device went away
};

struct HidOpenRequest {
  bool read = false;
  bool write = false;
  bool exclusive = false;  // others may only read while we hold it
};

enum class HidOpenError {
  None,
  NotFound,
  PermissionDenied,
  Busy,  // held exclusively by another opener
  Other,
};

// One open top-level collection. Read() and Write() may run at the same time
// on two threads; neither touches the caller's buffer after it has returned.
class HidHandle {
 public:
  virtual ~HidHandle() = default;

  virtual uint16_t VendorId() const = 0;
  virtual uint16_t ProductId() const = 0;
  // The whole report descriptor of the interface, and the index of the
  // top-level collection (in descriptor order) that this handle stands for.
  virtual std::span<const uint8_t> ReportDescriptor() const = 0;
  virtual size_t CollectionIndex() const = 0;

  // Writes one report (byte 0 the report id). `written` is the byte count
  // moved, 0 unless the result is Ok.
  virtual HidIo Write(std::span<const uint8_t> report, int timeoutMs, AbortEvent& abort,
                      size_t& written) = 0;
  // Reads one input report of this collection into `buffer` (byte 0 the
  // report id). `got` is the byte count, 0 unless the result is Ok. A report
  // longer than the buffer is cut to it.
  virtual HidIo Read(std::span<uint8_t> buffer, int timeoutMs, AbortEvent& abort,
                     size_t& got) = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;

  // Replaces `out` with the interfaces present now; false when the list
  // could not be built.
  virtual bool Enumerate(std::vector<HidInterfaceInfo>& out) = 0;
  virtual std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenRequest& request,
                                          HidOpenError* error = nullptr) = 0;
  // Whether the interface behind `path` is still present; asks for no access,
  // so it succeeds while another handle holds the interface.
  virtual bool Exists(const std::string& path) = 0;

  // Waits up to `timeout` for interfaces to be added or removed. True when
  // they were (or may have been); false on time-out or stop. Lets a poller
  // see a plug-in at once instead of on its next round. Without a source of
  // such news the whole time-out is waited, ending early only on stop.
  virtual bool WaitForChange(std::stop_token stop, std::chrono::milliseconds timeout) {
    SleepUnlessStopped(stop, timeout);
    return false;
  }

  // For a waiter that looks at the interfaces and then waits for them to
  // change: the number of changes announced so far, taken before the look,
  // so a change during the look ends the wait that follows instead of being
  // missed. None without a source of such news (wait with a time-out then).
  virtual std::optional<uint64_t> ChangeMark() { return std::nullopt; }
  // Waits, with no time-out, until more changes than `mark` counted have
  // been announced (true) or the stop (false). Only for a mark ChangeMark
  // gave; a backend that gives none waits here as WaitForChange does for a
  // second.
  virtual bool WaitForChangeAfter(std::stop_token stop, uint64_t /*mark*/) {
    return WaitForChange(std::move(stop), std::chrono::seconds(1));
  }
};

}  // namespace talvo::platform
