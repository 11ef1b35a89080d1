// Hyprland writes one line per event to .socket2.sock and answers one
// request per connection on .socket.sock, closing it after the reply.
#include <cstdlib>
#include <filesystem>

#include "platform/compositor_replies.h"
#include "platform/debug.h"
#include "platform/foreground_compositors.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;

constexpr size_t kMaxEventLine = 4096;
constexpr auto kRequestTimeout = 3s;

}  // namespace

HyprlandForegroundProgram::HyprlandForegroundProgram(std::string instanceFolder)
    : instanceFolder_(std::move(instanceFolder)),
      link_(
          "Hyprland", [this](CompositorLink& link, std::stop_token stop) { Serve(link, stop); },
          [this] { TellChanged(); }) {}

// Older releases kept the sockets under /tmp/hypr, newer ones under
// the runtime folder. Looked up on each connection, as Hyprland may not
// have made its folder yet when Talvo starts.
std::string HyprlandForegroundProgram::Folder() const {
  if (!instanceFolder_.empty()) return instanceFolder_;
  const char* signature = std::getenv("HYPRLAND_INSTANCE_SIGNATURE");
  const std::string_view name = signature ? signature : "";
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return {};
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    const auto folder = std::filesystem::path(runtime) / "hypr" / name;
    std::error_code ignored;
    if (std::filesystem::exists(folder, ignored)) return folder.string();
  }
  return (std::filesystem::path("/tmp/hypr") / name).string();
}

void HyprlandForegroundProgram::Serve(CompositorLink& link, std::stop_token stop) {
  const std::string folder = Folder();
  if (folder.empty()) return;
  UnixSocket events = UnixSocket::Connect(folder + "/.socket2.sock");
  if (!events.Valid()) return;
  const int wake = link.WakeFd();
  // False when the request socket does not answer: Hyprland is going away.
  auto askActive = [&] {
    const auto reply = RequestUntilClosed(folder + "/.socket.sock", "j/activewindow", kJsonEventLimits.maxBytes,
                                          wake, kRequestTimeout);
    if (!reply) return false;
    const auto json = ParseJson(*reply, kJsonEventLimits);
    const auto pid = json ? HyprlandActivePid(*json) : std::nullopt;
    if (!pid) debug::Line("foreground program: Hyprland's answer names no window");
    link.SetFront(pid.value_or(0));
    return true;
  };
  if (!askActive()) return;
  LineReader lines(kMaxEventLine);
  std::string chunk;
  while (!stop.stop_requested()) {
    if (events.Receive(chunk, wake, -1ms) != UnixSocket::Result::Done) return;
    lines.Feed(chunk);
    // Hyprland tells each change twice (activewindow and activewindowv2):
    // one question answers every line read together.
    bool changed = false;
    while (auto line = lines.Next()) changed = IsHyprlandActiveWindowLine(*line) || changed;
    if (changed && !askActive()) return;
  }
}

std::vector<int> HyprlandForegroundProgram::WindowPids() {
  const std::string folder = Folder();
  if (folder.empty()) return {};
  const auto reply =
      RequestUntilClosed(folder + "/.socket.sock", "j/clients", kJsonTreeLimits.maxBytes, -1, kRequestTimeout);
  const auto json = reply ? ParseJson(*reply, kJsonTreeLimits) : std::nullopt;
  return json ? HyprlandClientPids(*json) : std::vector<int>{};
}

}  // namespace talvo::platform
