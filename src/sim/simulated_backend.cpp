#include "sim/simulated_backend.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "device/device_report.h"
#include "platform/debug.h"
#include "sim/sim_state_file.h"

namespace talvo::sim {

using platform::AbortEvent;
using platform::HidIo;
using platform::HidOpenError;
using platform::HidOpenRequest;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kQueueCapacity = 64;

size_t Index(DeviceKind kind) { return static_cast<size_t>(kind); }

// One open handle's view of its collection: the access it was opened with,
// its input queue and an eventfd that wakes its reader when a report is
// queued or the device goes away.
class Endpoint {
 public:
  Endpoint(const SimInterface& iface, const HidOpenRequest& access, int wakeFd)
      : iface_(iface), access_(access), wakeFd_(wakeFd) {}
  ~Endpoint() { ::close(wakeFd_); }
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  const SimInterface& Iface() const { return iface_; }
  const HidOpenRequest& Access() const { return access_; }
  int WakeFd() const { return wakeFd_; }
  bool Dead() const { return dead_.load(); }

  void Kill() {
    dead_.store(true);
    Wake();
  }

  void Push(std::span<const uint8_t> report, Clock::time_point readyAt) {
    {
      std::lock_guard lock(mutex_);
      if (count_ == kQueueCapacity) DropHeadLocked();
      Queued& q = queue_[(head_ + count_++) % kQueueCapacity];
      q.readyAt = readyAt;
      q.size = std::min(report.size(), q.bytes.size());
      std::copy_n(report.begin(), q.size, q.bytes.begin());
    }
    // Only a reader that may be asleep needs the wake: one that has not
    // begun to wait finds the report when it looks at the queue.
    if (readers_.load() > 0) Wake();
  }

  // A reader is about to look at the queue and may then sleep on WakeFd();
  // pair with EndRead(). Announced before the look, so a report pushed after
  // the look always wakes it.
  void BeginRead() { ++readers_; }
  void EndRead() { --readers_; }

  // When the oldest queued report becomes readable; none when the queue is empty.
  std::optional<Clock::time_point> HeadReadyAt() const {
    std::lock_guard lock(mutex_);
    if (count_ == 0) return std::nullopt;
    return queue_[head_].readyAt;
  }

  // Moves the oldest report into `buffer` when it is readable at `now`.
  bool PopReady(Clock::time_point now, std::span<uint8_t> buffer, size_t& got) {
    std::lock_guard lock(mutex_);
    if (count_ == 0 || queue_[head_].readyAt > now) return false;
    const Queued& q = queue_[head_];
    got = std::min(q.size, buffer.size());
    std::copy_n(q.bytes.begin(), got, buffer.begin());
    DropHeadLocked();
    return true;
  }

  void DrainWake() {
    uint64_t count = 0;
    while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
  }

 private:
  struct Queued {
    Clock::time_point readyAt;
    std::array<uint8_t, device::kReportSize> bytes{};
    size_t size = 0;
  };

  void DropHeadLocked() {
    head_ = (head_ + 1) % kQueueCapacity;
    --count_;
  }

  void Wake() {
    const uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  const SimInterface& iface_;
  const HidOpenRequest access_;
  const int wakeFd_;
  std::atomic<bool> dead_{false};
  std::atomic<int> readers_{0};
  mutable std::mutex mutex_;
  // A ring: the oldest report at head_, count_ of them.
  std::array<Queued, kQueueCapacity> queue_;
  size_t head_ = 0;
  size_t count_ = 0;
};

enum class Woke { Abort, Wake, Timeout, Error };

// Waits until `until` (none: no limit) for the abort event or `wakeFd` (-1:
// none). A signalled abort wins and is consumed. `now` is the time the
// caller has just read, spared a second clock read before the first poll.
Woke Wait(AbortEvent& abort, int wakeFd, std::optional<Clock::time_point> until, Clock::time_point now) {
  for (bool first = true;; first = false) {
    std::array<pollfd, 2> fds = {{{abort.fd(), POLLIN, 0}, {wakeFd, POLLIN, 0}}};
    const nfds_t count = wakeFd >= 0 ? 2 : 1;
    timespec ts{};
    timespec* timeout = nullptr;
    if (until) {
      const auto left = std::max(Clock::duration::zero(), *until - (first ? now : Clock::now()));
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeout = &ts;
    }
    const int n = ::ppoll(fds.data(), count, timeout, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Woke::Error;
    }
    if ((fds[0].revents & POLLIN) != 0 && abort.Consume()) return Woke::Abort;
    if (count == 2 && (fds[1].revents & POLLIN) != 0) return Woke::Wake;
    if (n == 0) return Woke::Timeout;
    // Another waiter consumed the abort first: wait out the rest.
  }
}

std::optional<Clock::time_point> Deadline(Clock::time_point start, int timeoutMs) {
  if (timeoutMs < 0) return std::nullopt;
  return start + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

struct SimulatedBackend::State {
  explicit State(const std::filesystem::path& stateFolder) : epoch(Clock::now()) {
    if (!stateFolder.empty()) {
      std::error_code error;
      std::filesystem::create_directories(stateFolder, error);
      if (error) debug::Line("sim: cannot make " + stateFolder.string() + ": " + error.message());
    }
    for (DeviceKind kind : kAllDeviceKinds) {
      auto& device = devices[Index(kind)];
      const std::filesystem::path stateFile = stateFolder.empty() ? stateFolder : stateFolder / StateFileName(kind);
      device = std::make_unique<SimDevice>(kind, stateFile, epoch);
      // The state owns the devices, so it outlives every call of the sink.
      device->SetInputSink([this, kind](std::span<const uint8_t> report) {
        const auto readyAt = Clock::now() + devices[Index(kind)]->Latency();
        std::lock_guard lock(mutex);
        if (plugged[Index(kind)]) DeliverLocked(kind, Collection::Notification, report, readyAt);
      });
    }
  }

  // Visits the handles of the current instance of `kind` in place, with no
  // list built per report; forgets closed ones.
  template <typename Visit>
  void ForEachLiveLocked(DeviceKind kind, Visit visit) {
    std::erase_if(endpoints[Index(kind)], [&](const std::weak_ptr<Endpoint>& weak) {
      const auto endpoint = weak.lock();
      if (!endpoint || endpoint->Dead()) return true;
      visit(*endpoint);
      return false;
    });
  }

  void DeliverLocked(DeviceKind kind, Collection collection, std::span<const uint8_t> report,
                     Clock::time_point readyAt) {
    ForEachLiveLocked(kind, [&](Endpoint& endpoint) {
      if (endpoint.Iface().collection == collection && endpoint.Access().read) endpoint.Push(report, readyAt);
    });
  }

  void UnplugLocked(DeviceKind kind) {
    if (!plugged[Index(kind)]) return;
    plugged[Index(kind)] = false;
    ForEachLiveLocked(kind, [](Endpoint& endpoint) { endpoint.Kill(); });
    endpoints[Index(kind)].clear();
    ChangedLocked();
  }

  void ChangedLocked() {
    ++changes;
    changed.notify_all();
  }

  const Clock::time_point epoch;
  std::array<std::unique_ptr<SimDevice>, kAllDeviceKinds.size()> devices;
  std::mutex mutex;
  std::array<bool, kAllDeviceKinds.size()> plugged{};
  std::array<bool, kAllDeviceKinds.size()> denied{};
  std::array<std::vector<std::weak_ptr<Endpoint>>, kAllDeviceKinds.size()> endpoints;
  uint64_t changes = 0;  // plugs, unplugs and access changes so far
  uint64_t taken = 0;    // of those, the ones some WaitForChange has reported
  std::condition_variable_any changed;
};

namespace {

class SimHandle : public platform::HidHandle {
 public:
  SimHandle(std::shared_ptr<SimulatedBackend::State> state, std::shared_ptr<Endpoint> endpoint)
      : state_(std::move(state)), endpoint_(std::move(endpoint)) {}

  uint16_t VendorId() const override { return device::kVendorId; }
  uint16_t ProductId() const override { return Device().ProductId(); }
  std::span<const uint8_t> ReportDescriptor() const override { return endpoint_->Iface().descriptor; }
  size_t CollectionIndex() const override { return endpoint_->Iface().collectionIndex; }

  HidIo Write(std::span<const uint8_t> report, int timeoutMs, AbortEvent& abort, size_t& written) override {
    written = 0;
    const Endpoint& ep = *endpoint_;
    if (!ep.Access().write || ep.Iface().collection != Collection::Command || ep.Dead()) return HidIo::Failed;
    if (report.size() != device::kReportSize || report[0] != device::kReportId) return HidIo::Failed;
    const std::span<const uint8_t, device::kReportSize> request(report.data(), device::kReportSize);

    // The report is on the wire for one latency.
    SimDevice& device = Device();
    const auto latency = device.Latency();
    const auto start = Clock::now();
    const auto deadline = Deadline(start, timeoutMs);
    const auto sent = start + latency;
    const bool timesOut = deadline && *deadline < sent;
    switch (Wait(abort, -1, timesOut ? *deadline : sent, start)) {
      case Woke::Abort: return HidIo::Aborted;
      case Woke::Error: return HidIo::Failed;
      case Woke::Wake:
      case Woke::Timeout: break;
    }
    if (timesOut) return HidIo::TimedOut;

    // The write is over: the device logs the request at this time, and the
    // reply is readable one latency later.
    const auto arrived = Clock::now();
    // Under the backend lock so an unplug cannot slip in between the
    // liveness check and the delivery of the reply.
    std::lock_guard lock(state_->mutex);
    if (ep.Dead()) return HidIo::Failed;
    const SimDevice::Outcome outcome = device.Receive(request, arrived);
    switch (outcome.disposition) {
      case SimDevice::Disposition::WriteFail: return HidIo::Failed;
      case SimDevice::Disposition::Unplug: state_->UnplugLocked(device.Kind()); return HidIo::Failed;
      case SimDevice::Disposition::NoReply: break;
      case SimDevice::Disposition::Reply:
        state_->DeliverLocked(device.Kind(), Collection::Command, outcome.reply, arrived + latency);
        break;
    }
    written = report.size();
    return HidIo::Ok;
  }

  HidIo Read(std::span<uint8_t> buffer, int timeoutMs, AbortEvent& abort, size_t& got) override {
    got = 0;
    Endpoint& ep = *endpoint_;
    if (!ep.Access().read) return HidIo::Failed;
    const auto now = Clock::now();
    const auto deadline = Deadline(now, timeoutMs);
    ep.BeginRead();
    const HidIo result = ReadFor(ep, buffer, now, deadline, abort, got);
    ep.EndRead();
    return result;
  }

 private:
  // `now` is the time of the call; each later look reads the clock again,
  // except after a wait that ran out, which ended no earlier than it was
  // told to.
  HidIo ReadFor(Endpoint& ep, std::span<uint8_t> buffer, Clock::time_point now,
                std::optional<Clock::time_point> deadline, AbortEvent& abort, size_t& got) {
    for (;;) {
      if (ep.Dead()) return HidIo::Failed;
      // Sleep until the head of the queue is readable, the deadline passes,
      // or something new happens; a readable report only needs the abort
      // event checked first.
      const auto head = ep.HeadReadyAt();
      // A look that may not wait and finds nothing readable is over at once.
      if (deadline && *deadline <= now && (!head || *head > now)) return HidIo::TimedOut;
      std::optional<Clock::time_point> until = deadline;
      if (head && (!until || *head < *until)) until = std::max(*head, now);
      const Woke woke = Wait(abort, ep.WakeFd(), until, now);
      switch (woke) {
        case Woke::Abort: return HidIo::Aborted;
        case Woke::Error: return HidIo::Failed;
        case Woke::Wake: ep.DrainWake(); break;
        case Woke::Timeout: break;
      }
      if (ep.Dead()) return HidIo::Failed;
      now = woke == Woke::Timeout && until ? std::max(*until, now) : Clock::now();
      if (ep.PopReady(now, buffer, got)) return HidIo::Ok;
      if (deadline && now >= *deadline) return HidIo::TimedOut;
    }
  }

  SimDevice& Device() const { return *state_->devices[Index(endpoint_->Iface().kind)]; }

  std::shared_ptr<SimulatedBackend::State> state_;
  std::shared_ptr<Endpoint> endpoint_;
};

}  // namespace

SimulatedBackend::SimulatedBackend(const std::filesystem::path& stateFolder)
    : state_(std::make_shared<State>(stateFolder)) {}

SimulatedBackend::~SimulatedBackend() = default;

SimDevice& SimulatedBackend::Device(DeviceKind kind) { return *state_->devices[Index(kind)]; }

void SimulatedBackend::Plug(DeviceKind kind) {
  std::lock_guard lock(state_->mutex);
  if (state_->plugged[Index(kind)]) return;
  state_->plugged[Index(kind)] = true;
  state_->ChangedLocked();
}

void SimulatedBackend::Unplug(DeviceKind kind) {
  std::lock_guard lock(state_->mutex);
  state_->UnplugLocked(kind);
}

bool SimulatedBackend::IsPlugged(DeviceKind kind) const {
  std::lock_guard lock(state_->mutex);
  return state_->plugged[Index(kind)];
}

void SimulatedBackend::SetLatency(std::chrono::microseconds latency) {
  for (const auto& device : state_->devices) device->SetLatency(latency);
}

void SimulatedBackend::DenyOpen(DeviceKind kind, bool denied) {
  std::lock_guard lock(state_->mutex);
  if (state_->denied[Index(kind)] == denied) return;
  state_->denied[Index(kind)] = denied;
  state_->ChangedLocked();
}

std::string SimulatedBackend::PathOf(DeviceKind kind, Collection collection) {
  const SimInterface* iface = FindInterface(kind, collection);
  return iface != nullptr ? std::string(iface->path) : std::string();
}

bool SimulatedBackend::Enumerate(std::vector<platform::HidInterfaceInfo>& out) {
  out.clear();
  std::lock_guard lock(state_->mutex);
  for (const SimInterface& iface : InterfaceTable()) {
    if (!state_->plugged[Index(iface.kind)]) continue;
    platform::HidInterfaceInfo info;
    info.path = std::string(iface.path);
    info.vendorId = device::kVendorId;
    info.productId = state_->devices[Index(iface.kind)]->ProductId();
    info.usagePage = iface.usagePage;
    info.usage = iface.usage;
    info.interfaceNumber = iface.interfaceNumber;
    out.push_back(std::move(info));
  }
  return true;
}

std::unique_ptr<platform::HidHandle> SimulatedBackend::Open(const std::string& path, const HidOpenRequest& request,
                                                            HidOpenError* error) {
  auto fail = [error](HidOpenError why) -> std::unique_ptr<platform::HidHandle> {
    if (error != nullptr) *error = why;
    return nullptr;
  };
  const SimInterface* iface = FindInterface(path);
  if (iface == nullptr) return fail(HidOpenError::NotFound);
  const DeviceKind kind = iface->kind;

  std::lock_guard lock(state_->mutex);
  if (!state_->plugged[Index(kind)]) return fail(HidOpenError::NotFound);
  if (state_->denied[Index(kind)]) return fail(HidOpenError::PermissionDenied);
  bool busy = false;
  state_->ForEachLiveLocked(kind, [&](const Endpoint& other) {
    if (&other.Iface() != iface) return;
    busy = busy || (request.exclusive && other.Access().write) || (other.Access().exclusive && request.write);
  });
  if (busy) return fail(HidOpenError::Busy);
  const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd < 0) return fail(HidOpenError::Other);
  auto endpoint = std::make_shared<Endpoint>(*iface, request, wakeFd);
  state_->endpoints[Index(kind)].push_back(endpoint);
  if (error != nullptr) *error = HidOpenError::None;
  return std::make_unique<SimHandle>(state_, std::move(endpoint));
}

bool SimulatedBackend::WaitForChange(std::stop_token stop, std::chrono::milliseconds timeout) {
  std::unique_lock lock(state_->mutex);
  // As with udev events queued while nobody listened: a change no waiter
  // has reported yet ends the wait at once.
  const uint64_t seen = state_->taken;
  const bool changed = state_->changed.wait_for(lock, stop, timeout, [&] { return state_->changes != seen; });
  state_->taken = state_->changes;
  return changed;
}

std::optional<uint64_t> SimulatedBackend::ChangeMark() {
  std::lock_guard lock(state_->mutex);
  return state_->changes;
}

bool SimulatedBackend::WaitForChangeAfter(std::stop_token stop, uint64_t mark) {
  std::unique_lock lock(state_->mutex);
  return state_->changed.wait(lock, stop, [&] { return state_->changes != mark; });
}

bool SimulatedBackend::Exists(const std::string& path) {
  const SimInterface* iface = FindInterface(path);
  if (iface == nullptr) return false;
  std::lock_guard lock(state_->mutex);
  return state_->plugged[Index(iface->kind)];
}

}  // namespace talvo::sim
