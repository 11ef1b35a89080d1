// HID backend whose devices are firmware models: the keyboard, the mouse and
// the mousepad, each plugged in and out on demand.
//
// Transport model:
// - Every report spends the device's latency on the wire: a write returns
//   after it, and a reply becomes readable one latency after the write. Waits
//   end early on the caller's AbortEvent (abort wins over a ready report) and
//   on its time-out (negative: none).
// - Each open handle has its own input queue of at most 64 reports; when it
//   is full the oldest report is dropped. A reply goes to every handle open
//   for reading on the command collection, a notification to every handle
//   open for reading on the consumer-control collection. A reply that arrives
//   after the reader gave up stays queued for the next read.
// - Only the command collection takes writes, and only 64-byte reports with
//   report id 4.
// - Sharing follows Windows share modes: an exclusive open fails with Busy
//   while another handle can write, and an open for writing fails while an
//   exclusive handle is open.
// - Plug and Unplug (also an unplug injected as a fault) wake WaitForChange,
//   as does a change of DenyOpen.
// - The device models persist across unplug and plug, like non-volatile
//   memory; each plug is a new device instance, so handles opened before an
//   unplug fail with HidIo::Failed for good. With a state folder they also
//   persist across runs of the program: each device keeps its memory in a
//   file of its own there (StateFileName, SimDevice).
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/hid_backend.h"
#include "sim/sim_device.h"
#include "sim/sim_interfaces.h"

namespace talvo::sim {

class SimulatedBackend : public platform::HidBackend {
 public:
  // All three devices exist, none plugged in. Time zero of the request logs
  // is the construction. A `stateFolder` is made when it does not exist.
  explicit SimulatedBackend(const std::filesystem::path& stateFolder = {});
  ~SimulatedBackend() override;
  SimulatedBackend(const SimulatedBackend&) = delete;
  SimulatedBackend& operator=(const SimulatedBackend&) = delete;

  SimDevice& Device(DeviceKind kind);
  void Plug(DeviceKind kind);
  // Every handle open on the device fails from now on.
  void Unplug(DeviceKind kind);
  bool IsPlugged(DeviceKind kind) const;
  // Latency of all three devices.
  void SetLatency(std::chrono::microseconds latency);
  // While denied, every open of the device's interfaces fails with
  // PermissionDenied, as a node without the udev rule's access does; handles
  // already open go on working. A change wakes WaitForChange, as udev
  // announces a node whose permissions changed.
  void DenyOpen(DeviceKind kind, bool denied);

  // The path of a device's collection, empty when it has none of that kind.
  static std::string PathOf(DeviceKind kind, Collection collection);

  bool Enumerate(std::vector<platform::HidInterfaceInfo>& out) override;
  std::unique_ptr<platform::HidHandle> Open(const std::string& path, const platform::HidOpenRequest& request,
                                            platform::HidOpenError* error = nullptr) override;
  bool Exists(const std::string& path) override;
  // True when a device was plugged or unplugged during the wait, or before
  // it without any wait having reported it yet.
  bool WaitForChange(std::stop_token stop, std::chrono::milliseconds timeout) override;
  // The plug-ins, unplugs and access changes so far.
  std::optional<uint64_t> ChangeMark() override;
  bool WaitForChangeAfter(std::stop_token stop, uint64_t mark) override;

  struct State;

 private:
  // Shared with the open handles, which may outlive the backend.
  std::shared_ptr<State> state_;
};

}  // namespace talvo::sim
