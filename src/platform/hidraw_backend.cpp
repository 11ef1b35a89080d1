#include "platform/hidraw_backend.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hid.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

#include "platform/debug.h"
#include "platform/hid_report_descriptor.h"

namespace talvo::platform {
namespace {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_;
};

template <typename T, T* (*Unref)(T*)>
struct UdevDeleter {
  void operator()(T* object) const { Unref(object); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter<udev, udev_unref>>;
using UdevEnumeratePtr =
    std::unique_ptr<udev_enumerate, UdevDeleter<udev_enumerate, udev_enumerate_unref>>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevDeleter<udev_device, udev_device_unref>>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevDeleter<udev_monitor, udev_monitor_unref>>;

// What is left of a time-out, in the form poll() takes.
class Deadline {
 public:
  explicit Deadline(int timeoutMs)
      : unlimited_(timeoutMs < 0),
        end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0))) {}

  int RemainingMs() const {
    if (unlimited_) return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
  }
  bool Passed() const { return !unlimited_ && std::chrono::steady_clock::now() >= end_; }

 private:
  bool unlimited_;
  std::chrono::steady_clock::time_point end_;
};

void SignalEventFd(int fd) {
  const uint64_t one = 1;
  while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ClearEventFd(int fd) {
  uint64_t count = 0;
  while (::read(fd, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

struct NodePath {
  std::string devnode;
  size_t collection = 0;
};

// "/dev/hidrawN" or "/dev/hidrawN#<decimal collection index>".
std::optional<NodePath> SplitPath(const std::string& path) {
  const size_t hash = path.rfind('#');
  if (hash == std::string::npos) return NodePath{path, 0};
  const char* first = path.data() + hash + 1;
  const char* last = path.data() + path.size();
  size_t index = 0;
  const auto [end, ec] = std::from_chars(first, last, index);
  if (ec != std::errc{} || end != last) return std::nullopt;
  return NodePath{path.substr(0, hash), index};
}

std::optional<uint16_t> ParseHexField(std::string_view field) {
  // The kernel writes up to eight digits, zero-padded.
  if (field.empty() || field.size() > 8) return std::nullopt;
  uint16_t value = 0;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
  if (ec != std::errc{} || end != field.data() + field.size()) return std::nullopt;
  return value;
}

// bInterfaceNumber is two hexadecimal digits.
int ParseInterfaceNumber(const char* text) {
  if (text == nullptr) return -1;
  const auto value = ParseHexField(text);
  return value && *value <= 0xFF ? *value : -1;
}

std::vector<uint8_t> ReadDescriptorFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return {};
  // The kernel never keeps a longer descriptor.
  std::vector<uint8_t> bytes(HID_MAX_DESCRIPTOR_SIZE);
  size_t size = 0;
  while (size < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + size, bytes.size() - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {};
    if (n == 0) break;
    size += static_cast<size_t>(n);
  }
  bytes.resize(size);
  return bytes;
}

// From the node itself; from sysfs when the ioctls are refused.
std::vector<uint8_t> ReadNodeDescriptor(int fd) {
  int size = 0;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = static_cast<uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, descriptor.get()) == 0) {
      return std::vector<uint8_t>(descriptor->value, descriptor->value + size);
    }
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return {};
  return ReadDescriptorFile("/sys/dev/char/" + std::to_string(major(info.st_rdev)) + ":" +
                            std::to_string(minor(info.st_rdev)) + "/device/report_descriptor");
}

HidOpenError OpenErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return HidOpenError::NotFound;
    case EACCES:
    case EPERM:
      return HidOpenError::PermissionDenied;
    case EBUSY:
      return HidOpenError::Busy;
    default:
      return HidOpenError::Other;
  }
}

// What a handle shares with its writer thread. The writer may outlive the
// handle while the kernel finishes a write, so the node's fd lives here and
// is closed by whichever of the two lets go last.
struct DeviceShared {
  explicit DeviceShared(UniqueFd fd)
      : device(std::move(fd)),
        jobDone(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        stopWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  bool Valid() const { return device && jobDone && stopWake; }

  UniqueFd device;
  UniqueFd jobDone;   // signalled each time the writer finishes a job
  UniqueFd stopWake;  // ends the writer's wait for room on the device

  std::mutex mutex;
  std::condition_variable_any jobPosted;
  // The writer's own copy of the report: a caller that gave up waiting may
  // free its buffer while the write is still under way.
  std::vector<uint8_t> job;
  bool busy = false;  // a job is posted and not finished
  uint64_t posted = 0;
  uint64_t finished = 0;
  HidIo result = HidIo::Failed;
  size_t written = 0;
};

// Writes the posted job; nullopt when stopped while waiting for room.
std::optional<ssize_t> WriteJob(DeviceShared& shared, const std::stop_token& stop) {
  for (;;) {
    const ssize_t n = ::write(shared.device.get(), shared.job.data(), shared.job.size());
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return -1;
    pollfd fds[2] = {{shared.device.get(), POLLOUT, 0}, {shared.stopWake.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return -1;
    if (stop.stop_requested()) return std::nullopt;
    if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[0].revents & POLLOUT)) return -1;
  }
}

// One job at a time. A hidraw write() can block in the kernel for a whole
// USB transfer and cannot be interrupted, so callers wait for the job to
// finish (bounded, abortable) instead of for write() itself.
void RunWriter(std::stop_token stop, std::shared_ptr<DeviceShared> shared) {
  std::stop_callback wake(stop, [&shared] { SignalEventFd(shared->stopWake.get()); });
  for (;;) {
    {
      std::unique_lock lock(shared->mutex);
      if (!shared->jobPosted.wait(lock, stop, [&] { return shared->busy; })) return;
    }
    // `job` is only replaced while no job is busy, so it is read unlocked.
    const std::optional<ssize_t> n = WriteJob(*shared, stop);
    if (!n) return;
    {
      std::lock_guard lock(shared->mutex);
      const bool whole = *n == static_cast<ssize_t>(shared->job.size());
      shared->result = whole ? HidIo::Ok : HidIo::Failed;
      shared->written = whole ? shared->job.size() : 0;
      shared->busy = false;
      ++shared->finished;
    }
    SignalEventFd(shared->jobDone.get());
  }
}

class HidrawHandle : public HidHandle {
 public:
  HidrawHandle(std::shared_ptr<DeviceShared> shared, uint16_t vendorId, uint16_t productId,
               std::vector<uint8_t> descriptorBytes, hid::ReportDescriptor descriptor, size_t collection,
               bool writable)
      : vendorId_(vendorId),
        productId_(productId),
        descriptorBytes_(std::move(descriptorBytes)),
        descriptor_(std::move(descriptor)),
        collection_(collection),
        shared_(std::move(shared)) {
    uint16_t longestInput = 1;
    uint16_t longestOutput = 1;
    for (const auto& top : descriptor_.collections) {
      longestInput = std::max(longestInput, top.inputReportByteLength);
      longestOutput = std::max(longestOutput, top.outputReportByteLength);
    }
    // The longest report and a byte more; without report ids the data is
    // read in behind a 0 id byte.
    readBuffer_.resize(longestInput + 1u);
    shared_->job.reserve(longestOutput);
    if (writable) writer_ = std::jthread(RunWriter, shared_);
  }

  ~HidrawHandle() override {
    if (!writer_.joinable()) return;
    bool busy;
    {
      std::lock_guard lock(shared_->mutex);
      busy = shared_->busy;
    }
    writer_.request_stop();
    // A writer stuck in the kernel finishes on its own and then drops the
    // shared state (closing the node); nobody waits for it.
    if (busy) {
      writer_.detach();
    } else {
      writer_.join();
    }
  }

  uint16_t VendorId() const override { return vendorId_; }
  uint16_t ProductId() const override { return productId_; }
  std::span<const uint8_t> ReportDescriptor() const override { return descriptorBytes_; }
  size_t CollectionIndex() const override { return collection_; }

  HidIo Write(std::span<const uint8_t> report, int timeoutMs, AbortEvent& abort,
              size_t& written) override {
    written = 0;
    if (!writer_.joinable() || report.empty()) return HidIo::Failed;
    std::lock_guard serial(writeSerial_);
    const Deadline deadline(timeoutMs);
    // A job left behind by an earlier call that gave up still owns the writer.
    HidIo waited = WaitForWriter(deadline, abort, [this] { return !shared_->busy; });
    if (waited != HidIo::Ok) return waited;
    uint64_t ticket;
    {
      std::lock_guard lock(shared_->mutex);
      shared_->job.assign(report.begin(), report.end());
      shared_->busy = true;
      ticket = ++shared_->posted;
    }
    shared_->jobPosted.notify_one();
    waited = WaitForWriter(deadline, abort, [this, ticket] { return shared_->finished >= ticket; });
    if (waited != HidIo::Ok) return waited;
    std::lock_guard lock(shared_->mutex);
    written = shared_->written;
    return shared_->result;
  }

  HidIo Read(std::span<uint8_t> buffer, int timeoutMs, AbortEvent& abort, size_t& got) override {
    got = 0;
    std::lock_guard serial(readSerial_);
    const Deadline deadline(timeoutMs);
    const int fd = shared_->device.get();
    const bool ids = descriptor_.usesReportIds;
    for (;;) {
      pollfd fds[2] = {{abort.fd(), POLLIN, 0}, {fd, POLLIN, 0}};
      const int ready = ::poll(fds, 2, deadline.RemainingMs());
      if (ready < 0) {
        if (errno == EINTR) continue;
        return HidIo::Failed;
      }
      if ((fds[0].revents & POLLIN) && abort.Consume()) return HidIo::Aborted;
      if (fds[1].revents & POLLIN) {
        // Reports still queued are delivered before an unplug is reported.
        const size_t skip = ids ? 0 : 1;
        const ssize_t n = ::read(fd, readBuffer_.data() + skip, readBuffer_.size() - skip);
        if (n > 0) {
          if (!ids) readBuffer_[0] = 0;
          const size_t length = static_cast<size_t>(n) + skip;
          if (!ids || hid::CollectionOfInputReport(descriptor_, readBuffer_[0]) ==
                          static_cast<int>(collection_)) {
            got = std::min(length, buffer.size());
            std::copy_n(readBuffer_.begin(), got, buffer.begin());
            return HidIo::Ok;
          }
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          return HidIo::Failed;
        }
      } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        return HidIo::Failed;
      }
      if (ready == 0 || deadline.Passed()) return HidIo::TimedOut;
    }
  }

 private:
  template <typename Ready>
  HidIo WaitForWriter(const Deadline& deadline, AbortEvent& abort, Ready ready) {
    for (;;) {
      {
        std::lock_guard lock(shared_->mutex);
        if (ready()) return HidIo::Ok;
      }
      pollfd fds[2] = {{abort.fd(), POLLIN, 0}, {shared_->jobDone.get(), POLLIN, 0}};
      const int n = ::poll(fds, 2, deadline.RemainingMs());
      if (n < 0) {
        if (errno == EINTR) continue;
        return HidIo::Failed;
      }
      if ((fds[0].revents & POLLIN) && abort.Consume()) return HidIo::Aborted;
      if (fds[1].revents & POLLIN) {
        ClearEventFd(shared_->jobDone.get());
        continue;
      }
      if (n == 0 || deadline.Passed()) return HidIo::TimedOut;
    }
  }

  const uint16_t vendorId_;
  const uint16_t productId_;
  const std::vector<uint8_t> descriptorBytes_;
  const hid::ReportDescriptor descriptor_;
  const size_t collection_;
  std::shared_ptr<DeviceShared> shared_;
  std::mutex readSerial_;
  std::vector<uint8_t> readBuffer_;
  std::mutex writeSerial_;
  std::jthread writer_;
};

// One entry per top-level collection of a hidraw node; one entry with usage
// page and usage 0 when its descriptor cannot be read or parsed.
void AppendNode(udev_device* node, const char* devnode, std::vector<HidInterfaceInfo>& out) {
  HidInterfaceInfo base;
  base.path = devnode;
  std::vector<uint8_t> descriptor;
  if (udev_device* hidDevice = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr)) {
    if (const char* text = udev_device_get_property_value(hidDevice, "HID_ID")) {
      if (const auto id = ParseHidId(text)) {
        base.vendorId = id->vendorId;
        base.productId = id->productId;
      }
    }
    if (const char* syspath = udev_device_get_syspath(hidDevice)) {
      descriptor = ReadDescriptorFile(std::string(syspath) + "/report_descriptor");
    }
  }
  if (udev_device* usbInterface =
          udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_interface")) {
    base.interfaceNumber =
        ParseInterfaceNumber(udev_device_get_sysattr_value(usbInterface, "bInterfaceNumber"));
  }

  const auto parsed = hid::ParseReportDescriptor(descriptor);
  if (!parsed || parsed->collections.empty()) {
    out.push_back(base);
    return;
  }
  const auto& collections = parsed->collections;
  for (size_t i = 0; i < collections.size(); ++i) {
    HidInterfaceInfo info = base;
    if (collections.size() > 1) info.path += "#" + std::to_string(i);
    info.usagePage = collections[i].usagePage;
    info.usage = collections[i].usage;
    out.push_back(std::move(info));
  }
}

}  // namespace

// udev's announcements of hidraw nodes. libudev objects are not thread-safe,
// so events are taken under a lock; any number of threads may poll the
// socket at once. Every event taken advances a counter, so a waiter whose
// wake-up another waiter took still sees that something happened.
class HidrawBackend::Monitor {
 public:
  static std::unique_ptr<Monitor> Create() {
    UdevPtr context(udev_new());
    if (!context) return nullptr;
    // Events from udev rather than the kernel: by then the node has its
    // permissions and can be opened.
    UdevMonitorPtr monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
      return nullptr;
    }
    const int fd = udev_monitor_get_fd(monitor.get());
    if (fd < 0) return nullptr;
    return std::unique_ptr<Monitor>(new Monitor(std::move(context), std::move(monitor), fd));
  }

  int fd() const { return fd_; }

  // Takes every event queued now; the number of events taken so far.
  uint64_t Drain() {
    std::lock_guard lock(mutex_);
    // The socket is non-blocking: null once the queue is empty.
    while (UdevDevicePtr device{udev_monitor_receive_device(monitor_.get())}) ++events_;
    return events_;
  }

  uint64_t Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  Monitor(UdevPtr context, UdevMonitorPtr monitor, int fd)
      : context_(std::move(context)), monitor_(std::move(monitor)), fd_(fd) {}

  UdevPtr context_;
  UdevMonitorPtr monitor_;
  const int fd_;
  std::mutex mutex_;
  uint64_t events_ = 0;
};

HidrawBackend::HidrawBackend() = default;

HidrawBackend::~HidrawBackend() = default;

HidrawBackend::Monitor* HidrawBackend::EnsureMonitor() {
  std::call_once(monitorOnce_, [this] {
    monitor_ = Monitor::Create();
    if (!monitor_) debug::Line("hidraw: cannot listen to udev; plug-ins are seen on the next poll");
  });
  return monitor_.get();
}

bool HidrawBackend::WaitForChange(std::stop_token stop, std::chrono::milliseconds timeout) {
  Monitor* monitor = EnsureMonitor();
  if (monitor == nullptr) return HidBackend::WaitForChange(std::move(stop), timeout);
  return WaitForEvents(*monitor, std::move(stop), monitor->Events(),
                       static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, INT_MAX)));
}

std::optional<uint64_t> HidrawBackend::ChangeMark() {
  Monitor* monitor = EnsureMonitor();
  if (monitor == nullptr) return std::nullopt;
  return monitor->Drain();
}

bool HidrawBackend::WaitForChangeAfter(std::stop_token stop, uint64_t mark) {
  Monitor* monitor = EnsureMonitor();
  if (monitor == nullptr) return HidBackend::WaitForChangeAfter(std::move(stop), mark);
  return WaitForEvents(*monitor, std::move(stop), mark, -1);
}

bool HidrawBackend::WaitForEvents(Monitor& monitor, std::stop_token stop, uint64_t seen, int timeoutMs) {
  const Deadline deadline(timeoutMs);
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake) {
    // Nothing to cut a poll short on a stop: a second at a time, and a wait
    // without end says a change may have come, so its caller looks again.
    SleepUnlessStopped(stop, std::chrono::milliseconds(timeoutMs < 0 ? 1000 : timeoutMs));
    return !stop.stop_requested() && (timeoutMs < 0 || monitor.Drain() != seen);
  }
  std::stop_callback onStop(stop, [&wake] { SignalEventFd(wake.get()); });
  for (;;) {
    if (stop.stop_requested()) return false;
    if (monitor.Drain() != seen) return true;
    pollfd fds[2] = {{wake.get(), POLLIN, 0}, {monitor.fd(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, deadline.RemainingMs());
    if (ready < 0 && errno != EINTR) {
      SleepUnlessStopped(stop, std::chrono::milliseconds(timeoutMs < 0 ? 1000 : deadline.RemainingMs()));
      return !stop.stop_requested() && timeoutMs < 0;
    }
    if (ready == 0 || deadline.Passed()) return !stop.stop_requested() && monitor.Drain() != seen;
  }
}

std::optional<HidId> ParseHidId(std::string_view text) {
  const size_t first = text.find(':');
  if (first == std::string_view::npos) return std::nullopt;
  const size_t second = text.find(':', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto bus = ParseHexField(text.substr(0, first));
  const auto vendor = ParseHexField(text.substr(first + 1, second - first - 1));
  const auto product = ParseHexField(text.substr(second + 1));
  if (!bus || !vendor || !product) return std::nullopt;
  return HidId{*bus, *vendor, *product};
}

bool HidrawBackend::Enumerate(std::vector<HidInterfaceInfo>& out) {
  UdevPtr context(udev_new());
  if (!context) return false;
  UdevEnumeratePtr scan(udev_enumerate_new(context.get()));
  if (!scan || udev_enumerate_add_match_subsystem(scan.get(), "hidraw") < 0 ||
      udev_enumerate_scan_devices(scan.get()) < 0) {
    return false;
  }
  std::vector<HidInterfaceInfo> found;
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan.get())) {
    // A node that went away since the scan, or has no device file, is skipped.
    UdevDevicePtr node(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
    if (!node) continue;
    const char* devnode = udev_device_get_devnode(node.get());
    if (devnode == nullptr) continue;
    AppendNode(node.get(), devnode, found);
  }
  out = std::move(found);
  return true;
}

std::unique_ptr<HidHandle> HidrawBackend::Open(const std::string& path, const HidOpenRequest& request,
                                               HidOpenError* error) {
  const auto fail = [error](HidOpenError reason) -> std::unique_ptr<HidHandle> {
    if (error != nullptr) *error = reason;
    return nullptr;
  };
  const auto node = SplitPath(path);
  if (!node) return fail(HidOpenError::NotFound);

  // hidraw has no access-free open; asking for neither reads.
  const int access = request.write ? (request.read ? O_RDWR : O_WRONLY) : O_RDONLY;
  UniqueFd fd(::open(node->devnode.c_str(), access | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return fail(OpenErrorFromErrno(errno));
  // Advisory: only openers that lock too (every Talvo handle) are kept out.
  if (::flock(fd.get(), (request.exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    return fail(errno == EWOULDBLOCK ? HidOpenError::Busy : HidOpenError::Other);
  }

  hidraw_devinfo info{};
  if (::ioctl(fd.get(), HIDIOCGRAWINFO, &info) != 0) return fail(HidOpenError::Other);
  std::vector<uint8_t> bytes = ReadNodeDescriptor(fd.get());
  auto parsed = hid::ParseReportDescriptor(bytes);
  if (!parsed || node->collection >= parsed->collections.size()) return fail(HidOpenError::Other);

  auto shared = std::make_shared<DeviceShared>(std::move(fd));
  if (!shared->Valid()) return fail(HidOpenError::Other);
  if (error != nullptr) *error = HidOpenError::None;
  return std::make_unique<HidrawHandle>(std::move(shared), static_cast<uint16_t>(info.vendor),
                                        static_cast<uint16_t>(info.product), std::move(bytes),
                                        std::move(*parsed), node->collection, request.write);
}

bool HidrawBackend::Exists(const std::string& path) {
  const auto node = SplitPath(path);
  struct stat info {};
  return node && ::stat(node->devnode.c_str(), &info) == 0;
}

std::unique_ptr<HidHandle> HidrawBackend::WrapForTest(int fd, uint16_t vendorId, uint16_t productId,
                                                      std::vector<uint8_t> descriptor,
                                                      size_t collectionIndex) {
  UniqueFd owned(fd);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return nullptr;
  auto parsed = hid::ParseReportDescriptor(descriptor);
  if (!parsed || collectionIndex >= parsed->collections.size()) return nullptr;
  auto shared = std::make_shared<DeviceShared>(std::move(owned));
  if (!shared->Valid()) return nullptr;
  return std::make_unique<HidrawHandle>(std::move(shared), vendorId, productId, std::move(descriptor),
                                        std::move(*parsed), collectionIndex, true);
}

}  // namespace talvo::platform
