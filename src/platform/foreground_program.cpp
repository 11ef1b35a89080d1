#include "platform/foreground_program.h"

#include <limits.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/debug.h"
#include "platform/foreground_compositors.h"
#include "platform/foreground_gnome.h"
#include "platform/foreground_replies.h"
#include "platform/pointer_settings.h"
#include "platform/process_identity.h"

namespace talvo::platform {

ForegroundAnswer ExecutableOfProcess(int pid) {
  if (!ValidPid(static_cast<uint64_t>(pid < 0 ? 0 : pid))) return {ForegroundStatus::NoProcess, {}};
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char target[PATH_MAX + 1];
  const ssize_t length = readlink(link.c_str(), target, sizeof target);
  // A result that fills the buffer may have been cut short.
  if (length <= 0 || size_t(length) >= sizeof target) return {ForegroundStatus::Unreadable, {}};
  auto path = ExecutableFromProcLink(std::string_view(target, size_t(length)));
  if (!path) return {ForegroundStatus::Unreadable, {}};
  ForegroundAnswer answer{ForegroundStatus::Found, std::move(*path)};
  answer.windowsProgram = WindowsProgramOfProcess(pid, answer.path);
  answer.steamApp = SteamAppOfProcess(pid);
  return answer;
}

ForegroundSession ForegroundSessionFrom(std::string_view sessionType, std::string_view waylandDisplay,
                                        std::string_view display, std::string_view currentDesktop,
                                        std::string_view swaySocket, std::string_view hyprlandSignature) {
  const bool wayland = sessionType == "wayland" || (sessionType != "x11" && !waylandDisplay.empty());
  if (!wayland) return display.empty() ? ForegroundSession::NoDisplay : ForegroundSession::X11;
  switch (PointerDesktopFrom(currentDesktop)) {
    case PointerDesktop::Kde: return ForegroundSession::KdeWayland;
    case PointerDesktop::Gnome: return ForegroundSession::GnomeWayland;
    case PointerDesktop::Other: break;
  }
  if (!swaySocket.empty()) return ForegroundSession::Sway;
  if (!hyprlandSignature.empty()) return ForegroundSession::Hyprland;
  return ForegroundSession::OtherWayland;
}

std::unique_ptr<ForegroundProgram> MakeForegroundProgram() {
  auto env = [](const char* name) -> std::string_view {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  switch (ForegroundSessionFrom(env("XDG_SESSION_TYPE"), env("WAYLAND_DISPLAY"), env("DISPLAY"),
                                env("XDG_CURRENT_DESKTOP"), env("SWAYSOCK"), env("HYPRLAND_INSTANCE_SIGNATURE"))) {
    case ForegroundSession::X11: return std::make_unique<X11ForegroundProgram>();
    case ForegroundSession::KdeWayland: return std::make_unique<KWinForegroundProgram>();
    case ForegroundSession::Sway: return std::make_unique<SwayForegroundProgram>();
    case ForegroundSession::Hyprland: return std::make_unique<HyprlandForegroundProgram>();
    case ForegroundSession::GnomeWayland: return std::make_unique<GnomeForegroundProgram>();
    case ForegroundSession::OtherWayland:
    case ForegroundSession::NoDisplay: break;
  }
  debug::Line("foreground program: this desktop does not tell which program is in front");
  return std::make_unique<UnsupportedForegroundProgram>();
}

int ForegroundProgram::ListenForChanges(std::function<void()> listener) {
  std::lock_guard lock(listenersMutex_);
  listeners_.emplace(nextListener_, std::move(listener));
  return nextListener_++;
}

void ForegroundProgram::StopListening(int id) {
  std::lock_guard lock(listenersMutex_);
  listeners_.erase(id);
}

void ForegroundProgram::TellChanged() {
  // Held while calling, so StopListening waits for a call in progress.
  std::lock_guard lock(listenersMutex_);
  for (const auto& [id, listener] : listeners_) listener();
}

ForegroundAnswer ScriptedForegroundProgram::Current() {
  std::lock_guard lock(mutex_);
  if (path_.empty()) return {ForegroundStatus::NoWindow, {}};
  return {ForegroundStatus::Found, path_};
}

void ScriptedForegroundProgram::Set(std::string path) {
  {
    std::lock_guard lock(mutex_);
    path_ = std::move(path);
  }
  TellChanged();
}

}  // namespace talvo::platform
