// What the desktop sources that listen on the session bus share: KWin's
// script and GNOME Shell's extension both call Talvo's report object, and
// both sources keep one connection on a thread of their own that reconnects
// when the bus or the desktop goes away. sd-bus rather than Qt D-Bus: this
// folder stays free of Qt, and the bus does not wait on the UI thread.
#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace talvo::platform::foreground_bus {

inline constexpr const char* kReportPath = "/org/talvo/Foreground";
inline constexpr const char* kReportInterface = "org.talvo.Foreground";

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusCloser>;
struct SlotCloser {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotCloser>;

// An empty address means the user's session bus. Calls time out after 5 s.
BusPtr OpenBus(const std::string& address);

// Who owns a bus name, followed through NameOwnerChanged; bus thread only.
class OwnerWatch {
 public:
  // Watches first, then asks, so no change falls between the two.
  OwnerWatch(sd_bus* bus, const char* name);
  bool Watching() const { return slot_ != nullptr; }
  // The unique name of the owner; empty when nobody owns the name.
  const std::string& Owner() const { return owner_; }
  // True once after each change, and at first.
  bool Changed() const { return changed_; }
  bool TakeChange() { return std::exchange(changed_, false); }

 private:
  static int OnChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);

  std::string owner_;
  bool changed_ = true;
  SlotPtr slot_;
};

// The object the desktop's own code calls: Activated(s pid) with the pid of
// the window now in front ("0": none), Windows(s pids) with the pids of all
// normal windows, comma-separated. Only the connection set as the reporter
// is heard: any other client of the session bus could otherwise pick which
// profile is applied.
class ReportObject {
 public:
  // changed runs on the bus thread after each accepted report.
  explicit ReportObject(std::function<void()> changed) : changed_(std::move(changed)) {}

  // Bus thread only.
  SlotPtr Export(sd_bus* bus);
  // A new reporter (empty: nobody); what the last one said is forgotten.
  void SetReporter(std::string uniqueName);

  // Any thread. -1 until the reporter first reports, 0 when no window is
  // in front.
  int Pid() const { return pid_; }
  std::vector<int> WindowPids() const;

 private:
  static int OnActivated(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnWindows(sd_bus_message* message, void* userdata, sd_bus_error* error);
  // The text argument of a call from the reporter; nullptr (and error set)
  // for anyone else.
  const char* ReporterText(sd_bus_message* message, sd_bus_error* error) const;

  std::function<void()> changed_;
  std::string reporter_;  // bus thread only
  std::atomic<int> pid_{-1};
  mutable std::mutex mutex_;
  std::vector<int> windowPids_;
};

// The thread's waits: on the bus, on a back-off timer, each cut short by a
// stop.
class BusWaiter {
 public:
  BusWaiter();
  ~BusWaiter();
  BusWaiter(const BusWaiter&) = delete;
  BusWaiter& operator=(const BusWaiter&) = delete;

  bool Ready() const { return wakeFd_ >= 0; }
  // Serves bus until `until`, a stop, or done() turning true after a
  // message; false when the connection was lost.
  bool Serve(sd_bus* bus, const std::stop_token& stop, std::chrono::steady_clock::time_point until,
             const std::function<bool()>& done);
  // Sleeps for `wait` unless stopped first.
  void Sleep(const std::stop_token& stop, std::chrono::milliseconds wait);

 private:
  void Wake();

  int wakeFd_;
};

// Retry waits: 0.5 s, doubling up to 30 s; a success starts over.
class BackOff {
 public:
  std::chrono::milliseconds Next() {
    const auto wait = wait_;
    wait_ = std::min(wait_ * 2, kLongest);
    return wait;
  }
  void Reset() { wait_ = kFirst; }

 private:
  static constexpr std::chrono::milliseconds kFirst{500};
  static constexpr std::chrono::milliseconds kLongest{30'000};
  std::chrono::milliseconds wait_ = kFirst;
};

// The bus thread's life: connects to the bus at address (empty: the user's
// session bus) and hands the connection to serve, which returns when it was
// lost or stop was requested; then, unless stopped, calls lost() and tries
// again after the next back-off wait.
void KeepConnected(const std::string& address, const std::stop_token& stop, BusWaiter& waiter, BackOff& backOff,
                   const std::function<void(sd_bus*)>& serve, const std::function<void()>& lost);

}  // namespace talvo::platform::foreground_bus
