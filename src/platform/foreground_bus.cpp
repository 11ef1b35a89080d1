#include "platform/foreground_bus.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/debug.h"
#include "platform/foreground_replies.h"

namespace talvo::platform::foreground_bus {
namespace {

constexpr uint64_t kCallTimeoutUsec = 5'000'000;

uint64_t NowUsec() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1000;
}

// The unique name that owns name now; empty when nobody does.
std::string NameOwner(sd_bus* bus, const char* name) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::string owner;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "GetNameOwner", &error, &reply, "s", name) >= 0) {
    const char* text = nullptr;
    if (sd_bus_message_read(reply, "s", &text) >= 0 && text) owner = text;
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return owner;
}

}  // namespace

BusPtr OpenBus(const std::string& address) {
  sd_bus* bus = nullptr;
  if (address.empty()) {
    if (sd_bus_open_user(&bus) < 0) return nullptr;
  } else {
    if (sd_bus_new(&bus) < 0) return nullptr;
    BusPtr owned(bus);
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
      return nullptr;
    }
    owned.release();
  }
  sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
  return BusPtr(bus);
}

OwnerWatch::OwnerWatch(sd_bus* bus, const char* name) {
  const std::string rule =
      std::string("type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                  "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='") +
      name + "'";
  sd_bus_slot* slot = nullptr;
  if (sd_bus_add_match(bus, &slot, rule.c_str(), &OwnerWatch::OnChanged, this) < 0) return;
  slot_.reset(slot);
  owner_ = NameOwner(bus, name);
}

int OwnerWatch::OnChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
  const char *name = nullptr, *before = nullptr, *after = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return 0;
  auto* self = static_cast<OwnerWatch*>(userdata);
  self->owner_ = after ? after : "";
  self->changed_ = true;
  return 0;
}

SlotPtr ReportObject::Export(sd_bus* bus) {
  static const sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Activated", "s", "", &ReportObject::OnActivated, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Windows", "s", "", &ReportObject::OnWindows, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  sd_bus_slot* slot = nullptr;
  if (sd_bus_add_object_vtable(bus, &slot, kReportPath, kReportInterface, kVtable, this) < 0) return nullptr;
  return SlotPtr(slot);
}

void ReportObject::SetReporter(std::string uniqueName) {
  reporter_ = std::move(uniqueName);
  pid_ = -1;
  std::lock_guard lock(mutex_);
  windowPids_.clear();
}

std::vector<int> ReportObject::WindowPids() const {
  std::lock_guard lock(mutex_);
  return windowPids_;
}

const char* ReportObject::ReporterText(sd_bus_message* message, sd_bus_error* error) const {
  const char* sender = sd_bus_message_get_sender(message);
  if (!sender || reporter_.empty() || reporter_ != sender) {
    debug::Line(std::string("foreground program: a report from ") + (sender ? sender : "nobody") + " was refused");
    sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "only the desktop reports");
    return nullptr;
  }
  const char* text = nullptr;
  if (sd_bus_message_read(message, "s", &text) < 0 || !text) {
    sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "expected text");
    return nullptr;
  }
  return text;
}

int ReportObject::OnActivated(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  auto* self = static_cast<ReportObject*>(userdata);
  const char* text = self->ReporterText(message, error);
  if (!text) return -EINVAL;
  debug::Line(std::string("foreground program: the desktop reports pid ") + text + " in front");
  const auto pid = ReadReportedPid(text);
  // A window without a usable pid is in front now: the last one no longer is.
  self->pid_ = pid.value_or(0);
  self->changed_();
  if (!pid) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "not a process id");
  return sd_bus_reply_method_return(message, "");
}

int ReportObject::OnWindows(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  auto* self = static_cast<ReportObject*>(userdata);
  const char* text = self->ReporterText(message, error);
  if (!text) return -EINVAL;
  auto pids = ReadReportedPids(text);
  if (!pids) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "not a list of process ids");
  {
    std::lock_guard lock(self->mutex_);
    self->windowPids_ = std::move(*pids);
  }
  return sd_bus_reply_method_return(message, "");
}

BusWaiter::BusWaiter() : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

BusWaiter::~BusWaiter() {
  if (wakeFd_ >= 0) close(wakeFd_);
}

void BusWaiter::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

bool BusWaiter::Serve(sd_bus* bus, const std::stop_token& stop, std::chrono::steady_clock::time_point until,
                      const std::function<bool()>& done) {
  std::stop_callback wake(stop, [this] { Wake(); });
  while (!stop.stop_requested()) {
    int r;
    while ((r = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (r < 0) return false;
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return true;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    uint64_t busUntil = 0;
    if (sd_bus_get_timeout(bus, &busUntil) > 0 && busUntil != UINT64_MAX) {
      const uint64_t nowUsec = NowUsec();
      left = std::min<int64_t>(left, busUntil > nowUsec ? int64_t((busUntil - nowUsec + 999) / 1000) : 0);
    }
    pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0}, {wakeFd_, POLLIN, 0}};
    poll(fds, 2, int(std::min<int64_t>(left, 60'000)));
    if (fds[1].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
      return true;
    }
  }
  return true;
}

void BusWaiter::Sleep(const std::stop_token& stop, std::chrono::milliseconds wait) {
  std::stop_callback wake(stop, [this] { Wake(); });
  if (stop.stop_requested()) return;
  pollfd fd{wakeFd_, POLLIN, 0};
  poll(&fd, 1, int(wait.count()));
  uint64_t count;
  [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
}

void KeepConnected(const std::string& address, const std::stop_token& stop, BusWaiter& waiter, BackOff& backOff,
                   const std::function<void(sd_bus*)>& serve, const std::function<void()>& lost) {
  while (!stop.stop_requested()) {
    if (BusPtr bus = OpenBus(address)) {
      serve(bus.get());
      if (stop.stop_requested()) return;
      debug::Line("foreground program: the session bus connection was lost");
    } else {
      debug::Line("foreground program: the session bus cannot be reached");
    }
    lost();
    waiter.Sleep(stop, backOff.Next());
  }
}

}  // namespace talvo::platform::foreground_bus
