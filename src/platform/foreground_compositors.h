// Wayland compositors that tell the window in front over a socket of their
// own: sway (and anything else speaking i3's IPC) and Hyprland. Each keeps a
// connection on a thread of its own and is told each focus change; when the
// compositor goes away it answers Unreachable and connects again once the
// compositor is back.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/compositor_link.h"
#include "platform/foreground_program.h"

namespace talvo::platform {

// Follows sway's window events; each focused container carries the pid of
// its program, windows of XWayland clients included.
class SwayForegroundProgram final : public ForegroundProgram {
 public:
  // An empty path means $SWAYSOCK, else $I3SOCK.
  explicit SwayForegroundProgram(std::string socketPath = {});

  std::string_view Name() const override { return "sway"; }
  ForegroundAvailability Availability() const override { return link_.Availability(); }
  ForegroundAnswer Current() override { return link_.Current(); }
  bool TellsChanges() const override { return true; }
  std::vector<int> WindowPids() override;

 private:
  void Serve(CompositorLink& link, std::stop_token stop);

  std::string socketPath_;
  CompositorLink link_;  // last: its thread uses the members above
};

// Follows Hyprland's event socket; on each change of the active window asks
// its request socket which process that window belongs to.
class HyprlandForegroundProgram final : public ForegroundProgram {
 public:
  // The folder holding .socket.sock and .socket2.sock; empty means the
  // instance named by $HYPRLAND_INSTANCE_SIGNATURE.
  explicit HyprlandForegroundProgram(std::string instanceFolder = {});

  std::string_view Name() const override { return "hyprland"; }
  ForegroundAvailability Availability() const override { return link_.Availability(); }
  ForegroundAnswer Current() override { return link_.Current(); }
  bool TellsChanges() const override { return true; }
  std::vector<int> WindowPids() override;

 private:
  void Serve(CompositorLink& link, std::stop_token stop);
  std::string Folder() const;

  std::string instanceFolder_;
  CompositorLink link_;  // last: its thread uses the members above
};

}  // namespace talvo::platform
