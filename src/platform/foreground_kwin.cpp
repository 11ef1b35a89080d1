// The KWin backend talks D-Bus through sd-bus rather than Qt D-Bus: this
// folder stays free of Qt, and the bus gets a thread of its own instead of
// the UI thread's event loop.
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/debug.h"
#include "platform/files.h"
#include "platform/foreground_program.h"
#include "platform/foreground_replies.h"

namespace talvo::platform {
namespace {

constexpr const char* kKWinService = "org.kde.KWin";
constexpr const char* kScriptingPath = "/Scripting";
constexpr const char* kScriptingInterface = "org.kde.kwin.Scripting";
constexpr const char* kReportPath = "/org/talvo/Foreground";
constexpr const char* kReportInterface = "org.talvo.Foreground";
constexpr uint64_t kCallTimeoutUsec = 5'000'000;

// Plasma 6 names the signal windowActivated and the property activeWindow;
// Plasma 5 has clientActivated and activeClient. The pid travels as text, so
// its D-Bus type does not depend on how the script engine converts numbers.
constexpr const char* kScript = R"(function talvoReport(window) {
  callDBus("%SERVICE%", "%PATH%", "%INTERFACE%", "Activated", window ? String(window.pid) : "0");
}
if (workspace.windowActivated) {
  workspace.windowActivated.connect(talvoReport);
  talvoReport(workspace.activeWindow);
} else {
  workspace.clientActivated.connect(talvoReport);
  talvoReport(workspace.activeClient);
}
)";

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusCloser>;

std::string Replace(std::string text, std::string_view field, std::string_view value) {
  for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + value.size())) {
    text.replace(at, field.size(), value);
  }
  return text;
}

// A unique bus name (":1.42") goes into the script's source; anything else
// could break out of the string it sits in.
bool PlainBusName(std::string_view name) {
  if (name.empty() || name.size() > 255) return false;
  for (char c : name) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::filesystem::path ScriptFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return runtime;
  return std::filesystem::temp_directory_path();
}

}  // namespace

struct KWinForegroundProgram::Bus {
  explicit Bus(std::string busAddress) : address(std::move(busAddress)), wakeFd(eventfd(0, EFD_CLOEXEC)) {
    const std::string tag = "talvo-foreground-" + std::to_string(getpid());
    plugin = tag;
    scriptFile = ScriptFolder() / (tag + ".js");
    thread = std::jthread([this](std::stop_token stop) { Run(stop); });
  }

  ~Bus() {
    thread.request_stop();
    if (thread.joinable()) thread.join();
    if (wakeFd >= 0) close(wakeFd);
  }

  void Fail(const char* why) {
    debug::Line(std::string("foreground program: ") + why);
    failed = true;
  }

  BusPtr Open() {
    sd_bus* bus = nullptr;
    if (address.empty()) {
      if (sd_bus_open_user(&bus) < 0) return nullptr;
      return BusPtr(bus);
    }
    if (sd_bus_new(&bus) < 0) return nullptr;
    BusPtr owned(bus);
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
      return nullptr;
    }
    return owned;
  }

  static int OnActivated(sd_bus_message* message, void* userdata, sd_bus_error* error) {
    auto* self = static_cast<Bus*>(userdata);
    const char* sender = sd_bus_message_get_sender(message);
    // Only KWin itself reports; any other client of the session bus could
    // otherwise pick which profile is applied.
    if (!sender || self->kwinOwner != sender) {
      return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "only the window manager reports");
    }
    const char* text = nullptr;
    const int read = sd_bus_message_read(message, "s", &text);
    if (read < 0) return read;
    const auto pid = ReadReportedPid(text ? text : "");
    // A window without a usable pid is in front now: the last one no longer is.
    self->pid = pid.value_or(0);
    if (!pid) return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "not a process id");
    return sd_bus_reply_method_return(message, "");
  }

  bool Call(sd_bus* bus, const char* member, sd_bus_message** reply, const char* types, auto... args) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(bus, kKWinService, kScriptingPath, kScriptingInterface, member, &error, reply,
                                     types, args...);
    if (r < 0) debug::Line(std::string("foreground program: KWin ") + member + " failed: " +
                           (error.message ? error.message : "no answer"));
    sd_bus_error_free(&error);
    return r >= 0;
  }

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

  // Loads and starts the script; true when KWin runs it.
  bool LoadScript(sd_bus* bus) {
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus, &unique) < 0 || !PlainBusName(unique ? unique : "")) return false;
    std::string text = Replace(kScript, "%SERVICE%", unique);
    text = Replace(std::move(text), "%PATH%", kReportPath);
    text = Replace(std::move(text), "%INTERFACE%", kReportInterface);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (!WriteFileAtomically(scriptFile, {bytes, text.size()})) return false;
    scriptWritten = true;

    sd_bus_message* reply = nullptr;
    if (!Call(bus, "loadScript", &reply, "ss", scriptFile.c_str(), plugin.c_str())) return false;
    int32_t id = -1;
    const int read = sd_bus_message_read(reply, "i", &id);
    sd_bus_message_unref(reply);
    if (read < 0 || id < 0) return false;
    scriptLoaded = true;
    return Call(bus, "start", nullptr, "");
  }

  void Unload(sd_bus* bus) {
    if (scriptLoaded) Call(bus, "unloadScript", nullptr, "s", plugin.c_str());
    if (scriptWritten) {
      std::error_code ignored;
      std::filesystem::remove(scriptFile, ignored);
    }
  }

  // Serves the bus until stop is requested.
  void Serve(sd_bus* bus, std::stop_token stop) {
    while (!stop.stop_requested()) {
      int r;
      while ((r = sd_bus_process(bus, nullptr)) > 0) {
      }
      if (r < 0) {
        Fail("the session bus connection was lost");
        return;
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0}, {wakeFd, POLLIN, 0}};
      uint64_t until = 0;
      int timeoutMs = -1;
      if (sd_bus_get_timeout(bus, &until) > 0 && until != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const uint64_t nowUsec = uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1000;
        timeoutMs = until > nowUsec ? int(std::min<uint64_t>((until - nowUsec + 999) / 1000, 60'000)) : 0;
      }
      poll(fds, 2, timeoutMs);
    }
  }

  void Run(std::stop_token stop) {
    std::stop_callback wake(stop, [this] {
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t written = write(wakeFd, &one, sizeof one);
    });
    BusPtr bus = Open();
    if (!bus || wakeFd < 0) return Fail("the session bus cannot be reached");
    sd_bus_set_method_call_timeout(bus.get(), kCallTimeoutUsec);

    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Activated", "s", "", &Bus::OnActivated, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus.get(), &slot, kReportPath, kReportInterface, kVtable, this) < 0) {
      return Fail("the report object cannot be exported");
    }
    kwinOwner = NameOwner(bus.get(), kKWinService);
    if (kwinOwner.empty()) {
      sd_bus_slot_unref(slot);
      return Fail("KWin is not on the session bus");
    }
    if (LoadScript(bus.get())) {
      Serve(bus.get(), stop);
    } else {
      Fail("KWin did not run the script");
    }
    Unload(bus.get());
    sd_bus_slot_unref(slot);
  }

  std::string address;
  int wakeFd;
  std::string plugin;
  std::filesystem::path scriptFile;
  bool scriptWritten = false;
  bool scriptLoaded = false;
  std::string kwinOwner;         // bus thread only
  std::atomic<int> pid{-1};      // -1 until KWin first reports
  std::atomic<bool> failed{false};
  std::jthread thread;  // last: it runs on the members above
};

KWinForegroundProgram::KWinForegroundProgram(const std::string& busAddress)
    : bus_(std::make_unique<Bus>(busAddress)) {}

KWinForegroundProgram::~KWinForegroundProgram() = default;

ForegroundAvailability KWinForegroundProgram::Availability() const {
  return bus_->failed ? ForegroundAvailability::Unreachable : ForegroundAvailability::Available;
}

ForegroundAnswer KWinForegroundProgram::Current() {
  if (bus_->failed) return {ForegroundStatus::Unreachable, {}};
  const int pid = bus_->pid;
  if (pid <= 0) return {ForegroundStatus::NoWindow, {}};
  return ExecutableOfProcess(pid);
}

}  // namespace talvo::platform
