// KDE Plasma on Wayland: a KWin script reports each activation and the
// windows there are; KWin going away or restarting is followed, and the
// script is loaded again into the new KWin.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/debug.h"
#include "platform/files.h"
#include "platform/foreground_bus.h"
#include "platform/foreground_program.h"
#include "platform/foreground_replies.h"

namespace talvo::platform {
namespace {

using namespace foreground_bus;

constexpr const char* kKWinService = "org.kde.KWin";
constexpr const char* kScriptingPath = "/Scripting";
constexpr const char* kScriptingInterface = "org.kde.kwin.Scripting";

// Plasma 6 names the signals windowActivated, windowAdded, windowRemoved,
// the property activeWindow and the list windowList(); Plasma 5 says client
// for window. Pids travel as text, so their D-Bus type does not depend on how
// the script engine converts numbers. A window being removed is still listed
// while its signal runs, so it is left out by hand.
constexpr const char* kScript = R"(var talvoSix = !!workspace.windowActivated;
function talvoCall(member, text) {
  callDBus("%SERVICE%", "%PATH%", "%INTERFACE%", member, text);
}
function talvoWindows(leaving) {
  var windows = talvoSix ? workspace.windowList() : workspace.clientList();
  var pids = [];
  for (var i = 0; i < windows.length && pids.length < %MAX%; ++i) {
    var w = windows[i];
    if (w !== leaving && w.normalWindow && w.pid > 0 && pids.indexOf(w.pid) < 0) pids.push(w.pid);
  }
  talvoCall("Windows", pids.join(","));
}
function talvoActivated(window) {
  talvoCall("Activated", window ? String(window.pid) : "0");
  talvoWindows(null);
}
function talvoAdded(window) { talvoWindows(null); }
function talvoRemoved(window) { talvoWindows(window); }
if (talvoSix) {
  workspace.windowActivated.connect(talvoActivated);
  workspace.windowAdded.connect(talvoAdded);
  workspace.windowRemoved.connect(talvoRemoved);
  talvoActivated(workspace.activeWindow);
} else {
  workspace.clientActivated.connect(talvoActivated);
  workspace.clientAdded.connect(talvoAdded);
  workspace.clientRemoved.connect(talvoRemoved);
  talvoActivated(workspace.activeClient);
}
)";

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
  Bus(KWinForegroundProgram& owner, std::string busAddress)
      : source(owner), address(std::move(busAddress)), reports([this] { source.TellChanged(); }) {
    const std::string tag = "talvo-foreground-" + std::to_string(getpid());
    plugin = tag;
    scriptFile = ScriptFolder() / (tag + ".js");
    thread = std::jthread([this](std::stop_token stop) { Run(stop); });
  }

  ~Bus() {
    thread.request_stop();
    if (thread.joinable()) thread.join();
    if (scriptWritten) {
      std::error_code ignored;
      std::filesystem::remove(scriptFile, ignored);
    }
  }

  void SetReachable(bool now) {
    if (reachable.exchange(now) != now) source.TellChanged();
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

  // Loads and starts the script; true when KWin runs it. The script names
  // this connection, so a new connection needs a new script, and a script
  // of an earlier connection that KWin still holds goes first.
  bool LoadScript(sd_bus* bus) {
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus, &unique) < 0 || !PlainBusName(unique ? unique : "")) return false;
    std::string text = Replace(kScript, "%SERVICE%", unique);
    text = Replace(std::move(text), "%PATH%", kReportPath);
    text = Replace(std::move(text), "%INTERFACE%", kReportInterface);
    text = Replace(std::move(text), "%MAX%", std::to_string(kMaxReportedWindows));
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    if (!WriteFileAtomically(scriptFile, {bytes, text.size()})) return false;
    scriptWritten = true;

    Unload(bus);
    sd_bus_message* reply = nullptr;
    if (!Call(bus, "loadScript", &reply, "ss", scriptFile.c_str(), plugin.c_str())) return false;
    int32_t id = -1;
    const int read = sd_bus_message_read(reply, "i", &id);
    sd_bus_message_unref(reply);
    if (read < 0 || id < 0) return false;
    return Call(bus, "start", nullptr, "");
  }

  void Unload(sd_bus* bus) { Call(bus, "unloadScript", nullptr, "s", plugin.c_str()); }

  // One connection to the bus, until it is lost or stop is requested.
  void Serve(sd_bus* bus, const std::stop_token& stop) {
    SlotPtr object = reports.Export(bus);
    OwnerWatch kwin(bus, kKWinService);
    if (!object || !kwin.Watching()) return;
    bool running = false;
    auto retryAt = std::chrono::steady_clock::now();
    while (!stop.stop_requested()) {
      if (kwin.TakeChange()) {
        running = false;
        retryAt = std::chrono::steady_clock::now();
        backOff.Reset();
        debug::Line(kwin.Owner().empty() ? "foreground program: KWin is not on the bus"
                                         : "foreground program: KWin is on the bus");
        reports.SetReporter(kwin.Owner());
        source.TellChanged();
      }
      if (kwin.Owner().empty()) {
        SetReachable(false);
      } else if (!running && std::chrono::steady_clock::now() >= retryAt) {
        running = LoadScript(bus);
        SetReachable(running);
        if (running) {
          backOff.Reset();
        } else {
          retryAt = std::chrono::steady_clock::now() + backOff.Next();
        }
      }
      const auto until = running || kwin.Owner().empty() ? std::chrono::steady_clock::time_point::max() : retryAt;
      if (!waiter.Serve(bus, stop, until, [&] { return kwin.Changed(); })) return;
    }
    if (running) Unload(bus);
  }

  void Run(std::stop_token stop) {
    if (!waiter.Ready()) return SetReachable(false);
    KeepConnected(
        address, stop, waiter, backOff, [&](sd_bus* bus) { Serve(bus, stop); },
        [&] {
          reports.SetReporter({});
          SetReachable(false);
        });
  }

  KWinForegroundProgram& source;
  std::string address;
  ReportObject reports;
  BusWaiter waiter;
  BackOff backOff;  // bus thread only
  std::string plugin;
  std::filesystem::path scriptFile;
  bool scriptWritten = false;  // bus thread, then the destructor after it
  std::atomic<bool> reachable{true};
  std::jthread thread;  // last: it runs on the members above
};

KWinForegroundProgram::KWinForegroundProgram(const std::string& busAddress)
    : bus_(std::make_unique<Bus>(*this, busAddress)) {}

KWinForegroundProgram::~KWinForegroundProgram() = default;

ForegroundAvailability KWinForegroundProgram::Availability() const {
  return bus_->reachable ? ForegroundAvailability::Available : ForegroundAvailability::Unreachable;
}

ForegroundAnswer KWinForegroundProgram::Current() {
  if (!bus_->reachable) return {ForegroundStatus::Unreachable, {}};
  const int pid = bus_->reports.Pid();
  if (pid <= 0) return {ForegroundStatus::NoWindow, {}};
  return ExecutableOfProcess(pid);
}

std::vector<int> KWinForegroundProgram::WindowPids() {
  if (!bus_->reachable) return {};
  return bus_->reports.WindowPids();
}

}  // namespace talvo::platform
