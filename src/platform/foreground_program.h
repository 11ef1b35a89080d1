// The program in front: the absolute path of the executable whose window is
// active, so profiles linked to a program can follow it. X11 answers through
// the window manager's root window properties, KDE Plasma on Wayland through a
// KWin script and GNOME through a Shell extension (foreground_gnome.h), both
// reporting each activation over the session bus, sway and Hyprland through
// their IPC sockets (foreground_compositors.h); other Wayland desktops do
// not tell, and the link row says so.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace talvo::platform {

enum class ForegroundStatus {
  Found,        // path holds the executable
  NoWindow,     // no window is active (or none reported yet)
  NoProcess,    // the active window names no process of this machine
  Unreadable,   // the process's executable cannot be read: another user's, or it ended
  Unsupported,  // the desktop does not tell which program is in front
  Unreachable,  // the display server or the window manager could not be reached
};

struct ForegroundAnswer {
  ForegroundStatus status = ForegroundStatus::NoWindow;
  std::string path;  // absolute; empty unless status is Found
  // Set only with Found. A Windows program run by Wine or Proton: the last
  // component of its argv[0] ("game.exe"), since its executable is the
  // loader. A Steam game: its app id (digits), from the environment of the
  // process or of a parent.
  std::string windowsProgram{};
  std::string steamApp{};
};

// What the link row tells the user about this session.
enum class ForegroundAvailability {
  Available,
  UnsupportedDesktop,  // this desktop does not tell Talvo which program is in front
  Unreachable,         // the display server or window manager did not answer
  GnomeExtensionOff,   // GNOME tells only through Talvo's Shell extension, which is not enabled
};

class ForegroundProgram {
 public:
  virtual ~ForegroundProgram() = default;

  // For diagnostics: "x11", "kwin", "none".
  virtual std::string_view Name() const = 0;
  // Never waits: the UI thread reads it whenever it may have changed. A
  // source whose availability changes tells it as a change.
  virtual ForegroundAvailability Availability() const = 0;
  // May wait on the display server: call it off the UI thread. Safe to call
  // from several threads at once.
  virtual ForegroundAnswer Current() = 0;
  // True when the source tells each change of the window in front to its
  // listeners, so nobody needs to ask it on a timer.
  virtual bool TellsChanges() const { return false; }
  // The processes that have windows now, for choosing a program to link; may
  // wait on the display server like Current().
  virtual std::vector<int> WindowPids() { return {}; }

  // A listener is called, on the source's own thread, whenever the program
  // in front may have changed; it must only hand the news on. Returns the id
  // that StopListening takes; once StopListening returns, the listener is
  // not running and will not be called again.
  int ListenForChanges(std::function<void()> listener);
  void StopListening(int id);

 protected:
  void TellChanged();

 private:
  std::mutex listenersMutex_;
  std::map<int, std::function<void()>> listeners_;
  int nextListener_ = 0;
};

// The executable of a local process from /proc/PID/exe, with the " (deleted)"
// the kernel appends to a replaced or removed file taken off; for the user's
// own processes also the Windows program a Wine loader runs and the Steam app
// of the process or its parents.
ForegroundAnswer ExecutableOfProcess(int pid);

// X11: _NET_ACTIVE_WINDOW of the root window, then that window's _NET_WM_PID
// when WM_CLIENT_MACHINE names this machine, else the X server's own record
// of the client's process (XRes client ids). A thread of its own, on a
// connection of its own, watches the root window and tells each change of
// _NET_ACTIVE_WINDOW; when the server goes away it connects again, waiting
// longer after each failure, and tells a change once it is back.
class X11ForegroundProgram final : public ForegroundProgram {
 public:
  // An empty display means $DISPLAY. The first connection is made here.
  explicit X11ForegroundProgram(const std::string& display = {});
  ~X11ForegroundProgram() override;

  std::string_view Name() const override { return "x11"; }
  // Unreachable while the server is away.
  ForegroundAvailability Availability() const override;
  ForegroundAnswer Current() override;
  bool TellsChanges() const override { return true; }
  // The processes of the windows in _NET_CLIENT_LIST (at most
  // kMaxListedWindows windows), each once.
  std::vector<int> WindowPids() override;

  static constexpr uint32_t kMaxListedWindows = 512;

 private:
  struct Connection;
  struct Watch;
  void WatchRoot(std::stop_token stop);

  std::string display_;
  std::mutex mutex_;
  std::unique_ptr<Connection> query_;  // guarded by mutex_; what Current() asks on
  std::unique_ptr<Watch> watch_;  // last: its thread uses the members above
};

// KDE Plasma on Wayland: loads a KWin script over the session bus that calls
// back with the pid of each newly active window and the pids of all normal
// windows. When KWin leaves the bus, or the bus connection is lost, the
// source is unreachable until KWin is back and runs the script again (tried
// after 0.5 s, doubling up to 30 s). The script is unloaded and its file
// removed when the object is destroyed. Setting up runs on the object's own
// thread, so constructing it never waits on the bus.
class KWinForegroundProgram final : public ForegroundProgram {
 public:
  // An empty address means the user's session bus.
  explicit KWinForegroundProgram(const std::string& busAddress = {});
  ~KWinForegroundProgram() override;

  std::string_view Name() const override { return "kwin"; }
  // Available until setting up fails (no bus, no KWin, no KWin scripting),
  // and again once the script runs.
  ForegroundAvailability Availability() const override;
  ForegroundAnswer Current() override;
  bool TellsChanges() const override { return true; }
  std::vector<int> WindowPids() override;

 private:
  struct Bus;
  std::unique_ptr<Bus> bus_;
};

// A desktop that does not tell which program is in front.
class UnsupportedForegroundProgram final : public ForegroundProgram {
 public:
  std::string_view Name() const override { return "none"; }
  ForegroundAvailability Availability() const override { return ForegroundAvailability::UnsupportedDesktop; }
  ForegroundAnswer Current() override { return {ForegroundStatus::Unsupported, {}}; }
};

// The program in front as the automation interface says; nothing in front
// until told.
class ScriptedForegroundProgram final : public ForegroundProgram {
 public:
  std::string_view Name() const override { return "scripted"; }
  ForegroundAvailability Availability() const override { return ForegroundAvailability::Available; }
  ForegroundAnswer Current() override;
  bool TellsChanges() const override { return true; }
  void Set(std::string path);

 private:
  std::mutex mutex_;
  std::string path_;
};

enum class ForegroundSession { X11, KdeWayland, GnomeWayland, Sway, Hyprland, OtherWayland, NoDisplay };

// The session from XDG_SESSION_TYPE, WAYLAND_DISPLAY, DISPLAY,
// XDG_CURRENT_DESKTOP, SWAYSOCK and HYPRLAND_INSTANCE_SIGNATURE. A Wayland
// session also sets DISPLAY for XWayland, but XWayland sees only its own
// clients' windows, so Wayland wins. A desktop the session names comes
// before a compositor's socket, which a program started from another
// session may have inherited.
ForegroundSession ForegroundSessionFrom(std::string_view sessionType, std::string_view waylandDisplay,
                                        std::string_view display, std::string_view currentDesktop,
                                        std::string_view swaySocket = {}, std::string_view hyprlandSignature = {});

// The backend for this session's environment.
std::unique_ptr<ForegroundProgram> MakeForegroundProgram();

}  // namespace talvo::platform
