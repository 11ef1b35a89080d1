// GNOME: the program in front as Talvo's GNOME Shell extension reports it
// (data/gnome-shell/), and as XWayland's window manager tells it until the
// extension has reported.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foreground_program.h"

namespace talvo::platform {

// The extension Talvo ships for GNOME Shell.
inline constexpr std::string_view kGnomeExtensionUuid = "talvo-foreground@talvo.org";

// Owns the bus name org.talvo.Foreground while it runs, so the extension
// finds it; the extension calls the same report object the KWin script does,
// and only the connection that owns org.gnome.Shell is heard. Whether the
// extension is enabled comes from the shell (GetExtensionInfo, then each
// ExtensionStateChanged). X11 windows under XWayland are visible through an
// X11 source, which answers while the extension has not reported. The bus is
// served on the object's own thread, reconnecting as the KWin source does.
class GnomeForegroundProgram final : public ForegroundProgram {
 public:
  // An empty address means the user's session bus; an empty display means
  // $DISPLAY, and no X11 source when that is unset too.
  explicit GnomeForegroundProgram(const std::string& busAddress = {}, const std::string& display = {});
  ~GnomeForegroundProgram() override;

  std::string_view Name() const override { return "gnome"; }
  // What the shell has said of the extension so far, without waiting; its
  // first word, and each change after, is told as a change.
  ForegroundAvailability Availability() const override;
  ForegroundAnswer Current() override;
  // Whatever it learns is told: the extension's reports, XWayland's
  // changes, and the extension turned on or off. Without either there is
  // nothing a poll could find, and asking the shell here would hold up the
  // watchers' start.
  bool TellsChanges() const override { return true; }
  std::vector<int> WindowPids() override;

 private:
  struct Bus;
  std::unique_ptr<X11ForegroundProgram> x11_;
  int x11Listener_ = -1;
  std::unique_ptr<Bus> bus_;
};

}  // namespace talvo::platform
