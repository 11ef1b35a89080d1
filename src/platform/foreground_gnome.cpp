#include "platform/foreground_gnome.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "platform/debug.h"
#include "platform/foreground_bus.h"

namespace talvo::platform {
namespace {

using namespace foreground_bus;

constexpr const char* kShellService = "org.gnome.Shell";
constexpr const char* kShellPath = "/org/gnome/Shell";
constexpr const char* kExtensionsInterface = "org.gnome.Shell.Extensions";
// The name the extension calls.
constexpr const char* kReportService = "org.talvo.Foreground";
// The shell's ExtensionState: 1 is enabled (named ACTIVE since GNOME 46).
constexpr double kExtensionEnabled = 1;
// An extension's information holds about a dozen entries.
constexpr int kMaxInfoEntries = 64;

enum class Extension { Unknown, Enabled, Off };

// The "state" of an extension's information (a{sv}) read from message;
// nothing when it has none, as for an extension the shell does not know.
std::optional<double> ExtensionState(sd_bus_message* message) {
  if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) return std::nullopt;
  std::optional<double> state;
  for (int entries = 0; entries < kMaxInfoEntries && sd_bus_message_enter_container(message, 'e', "sv") > 0;
       ++entries) {
    const char* key = nullptr;
    if (sd_bus_message_read(message, "s", &key) < 0 || !key) return std::nullopt;
    double value = 0;
    if (std::string_view(key) == "state" && sd_bus_message_read(message, "v", "d", &value) > 0) {
      state = value;
    } else if (sd_bus_message_skip(message, "v") < 0) {
      return std::nullopt;
    }
    if (sd_bus_message_exit_container(message) < 0) return std::nullopt;
  }
  return state;
}

Extension ExtensionFrom(std::optional<double> state) {
  return state == kExtensionEnabled ? Extension::Enabled : Extension::Off;
}

}  // namespace

struct GnomeForegroundProgram::Bus {
  Bus(GnomeForegroundProgram& owner, std::string busAddress)
      : source(owner), address(std::move(busAddress)), reports([this] { source.TellChanged(); }) {
    thread = std::jthread([this](std::stop_token stop) { Run(stop); });
  }

  ~Bus() {
    thread.request_stop();
    if (thread.joinable()) thread.join();
  }

  void SetExtension(Extension now) {
    bool changed;
    {
      std::lock_guard lock(mutex);
      changed = extension != now;
      extension = now;
      checked = true;
    }
    checkedChanged.notify_all();
    if (changed) {
      debug::Line(now == Extension::Enabled ? "foreground program: the GNOME Shell extension is enabled"
                                            : "foreground program: the GNOME Shell extension is not enabled");
      source.TellChanged();
    }
  }

  // What the shell has said so far, without waiting for it.
  Extension Known() const {
    std::lock_guard lock(mutex);
    return extension;
  }

  Extension Checked() const {
    std::unique_lock lock(mutex);
    checkedChanged.wait_for(lock, std::chrono::seconds(1), [this] { return checked; });
    return extension;
  }

  // Unknown when the shell does not answer (not GNOME, or not yet started).
  Extension AskShell(sd_bus* bus) {
    const std::string uuid(kGnomeExtensionUuid);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    Extension state = Extension::Unknown;
    if (sd_bus_call_method(bus, kShellService, kShellPath, kExtensionsInterface, "GetExtensionInfo", &error, &reply,
                           "s", uuid.c_str()) >= 0) {
      state = ExtensionFrom(ExtensionState(reply));
    } else {
      debug::Line(std::string("foreground program: GNOME Shell did not tell about its extensions: ") +
                  (error.message ? error.message : "no answer"));
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return state;
  }

  static int OnExtensionChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
    const char* uuid = nullptr;
    if (sd_bus_message_read(message, "s", &uuid) < 0 || !uuid || uuid != kGnomeExtensionUuid) return 0;
    static_cast<Bus*>(userdata)->SetExtension(ExtensionFrom(ExtensionState(message)));
    return 0;
  }

  // One connection to the bus, until it is lost or stop is requested.
  void Serve(sd_bus* bus, const std::stop_token& stop) {
    SlotPtr object = reports.Export(bus);
    OwnerWatch shell(bus, kShellService);
    sd_bus_slot* states = nullptr;
    const int matched = sd_bus_match_signal(bus, &states, kShellService, kShellPath, kExtensionsInterface,
                                            "ExtensionStateChanged", &Bus::OnExtensionChanged, this);
    SlotPtr stateWatch(states);
    if (!object || !shell.Watching() || matched < 0) return;
    // Without the name the extension cannot reach Talvo; XWayland's windows
    // are still followed.
    if (sd_bus_request_name(bus, kReportService, 0) < 0) {
      debug::Line("foreground program: another program holds org.talvo.Foreground");
    }
    backOff.Reset();
    while (!stop.stop_requested()) {
      if (shell.TakeChange()) {
        reports.SetReporter(shell.Owner());
        SetExtension(shell.Owner().empty() ? Extension::Unknown : AskShell(bus));
        source.TellChanged();
      }
      if (!waiter.Serve(bus, stop, std::chrono::steady_clock::time_point::max(), [&] { return shell.Changed(); })) {
        return;
      }
    }
  }

  void Run(std::stop_token stop) {
    if (!waiter.Ready()) return SetExtension(Extension::Unknown);
    KeepConnected(
        address, stop, waiter, backOff, [&](sd_bus* bus) { Serve(bus, stop); },
        [&] {
          reports.SetReporter({});
          SetExtension(Extension::Unknown);
        });
  }

  GnomeForegroundProgram& source;
  std::string address;
  ReportObject reports;
  BusWaiter waiter;
  BackOff backOff;  // bus thread only
  mutable std::mutex mutex;
  mutable std::condition_variable checkedChanged;
  bool checked = false;
  Extension extension = Extension::Unknown;
  std::jthread thread;  // last: it runs on the members above
};

GnomeForegroundProgram::GnomeForegroundProgram(const std::string& busAddress, const std::string& display) {
  const char* fromEnvironment = std::getenv("DISPLAY");
  if (!display.empty() || (fromEnvironment && fromEnvironment[0])) {
    x11_ = std::make_unique<X11ForegroundProgram>(display);
    x11Listener_ = x11_->ListenForChanges([this] { TellChanged(); });
  }
  bus_ = std::make_unique<Bus>(*this, busAddress);
}

GnomeForegroundProgram::~GnomeForegroundProgram() {
  bus_.reset();
  if (x11_) x11_->StopListening(x11Listener_);
}

ForegroundAvailability GnomeForegroundProgram::Availability() const {
  switch (bus_->Known()) {
    case Extension::Enabled: return ForegroundAvailability::Available;
    case Extension::Off: return ForegroundAvailability::GnomeExtensionOff;
    case Extension::Unknown: break;
  }
  return x11_ ? x11_->Availability() : ForegroundAvailability::Unreachable;
}

ForegroundAnswer GnomeForegroundProgram::Current() {
  const int pid = bus_->reports.Pid();
  if (pid > 0) return ExecutableOfProcess(pid);
  if (pid == 0) return {ForegroundStatus::NoWindow, {}};
  if (x11_) return x11_->Current();
  switch (bus_->Checked()) {
    case Extension::Enabled: return {ForegroundStatus::NoWindow, {}};
    case Extension::Off: return {ForegroundStatus::Unsupported, {}};
    case Extension::Unknown: break;
  }
  return {ForegroundStatus::Unreachable, {}};
}

std::vector<int> GnomeForegroundProgram::WindowPids() {
  if (bus_->reports.Pid() >= 0) return bus_->reports.WindowPids();
  return x11_ ? x11_->WindowPids() : std::vector<int>{};
}

}  // namespace talvo::platform
