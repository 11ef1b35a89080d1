#include "device/device_watcher.h"

#include <chrono>
#include <mutex>

#include "platform/debug.h"
#include "platform/hid_backend.h"

namespace talvo::device {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPassInterval{1000};

enum class Pass { Done, EnumerationFailed };

// Whether each link's last attempt met a device it may not open.
struct Denials {
  bool mouse = false;
  bool keyboard = false;
  bool mousepad = false;
};

void FollowDenial(DeviceWatcherHost& host, Peripheral peripheral, bool deniedNow, bool& deniedBefore) {
  if (deniedNow && !deniedBefore) host.AccessDenied(peripheral);
  deniedBefore = deniedNow;
}

Pass RunMousePass(CDeviceLink& mouse, const CDeviceLink& keyboard, const CDeviceLink& mousepad,
                  DeviceWatcherHost& host, bool firstPass, bool& denied) {
  // Held for the whole look at the mouse: no exchange on the link overlaps
  // the probe, the reopen or the attach steps, which run commands under it
  // (re-entrant).
  std::lock_guard lock(mouse.IoLock());

  if (mouse.IsConnected()) {
    // The link keeps its interface open, so presence is asked of the
    // backend without opening it again.
    if (mouse.Hid().Exists(mouse.Hid().DevicePath())) {
      host.SameModeVisible(keyboard.IsConnected() || mousepad.IsConnected());
    } else {
      mouse.Detach();
      host.MouseDetached();
    }
  }

  bool deniedNow = false;
  if (!mouse.IsConnected()) {
    bool enumerationFailed = false;
    if (mouse.Attach(&enumerationFailed, &deniedNow)) {
      deniedNow = false;
      const int deviceProfile = host.SelectedDeviceProfile();
      host.ReadCursorMacros(mouse);
      host.MouseAttached(deviceProfile);
      if (firstPass) host.FirstPassFoundMouse();
    } else if (enumerationFailed) {
      return Pass::EnumerationFailed;
    }
  }
  FollowDenial(host, Peripheral::Mouse, deniedNow, denied);
  return Pass::Done;
}

// The keyboard and the mousepad follow the mouse's rules, with their reads
// and tabs left to the host.
Pass RunOtherPass(CDeviceLink& link, Peripheral peripheral, DeviceWatcherHost& host, bool& denied) {
  std::lock_guard lock(link.IoLock());
  if (link.IsConnected() && !link.Hid().Exists(link.Hid().DevicePath())) {
    link.Detach();
    host.OtherDetached(peripheral);
  }
  bool deniedNow = false;
  if (!link.IsConnected()) {
    bool enumerationFailed = false;
    if (link.Attach(&enumerationFailed, &deniedNow)) {
      deniedNow = false;
      host.OtherAttached(peripheral);
    } else if (enumerationFailed) {
      return Pass::EnumerationFailed;
    }
  }
  FollowDenial(host, peripheral, deniedNow, denied);
  return Pass::Done;
}

Pass RunPass(CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad, DeviceWatcherHost& host,
             bool firstPass, Denials& denials) {
  if (RunMousePass(mouse, keyboard, mousepad, host, firstPass, denials.mouse) == Pass::EnumerationFailed ||
      RunOtherPass(keyboard, Peripheral::Keyboard, host, denials.keyboard) == Pass::EnumerationFailed ||
      RunOtherPass(mousepad, Peripheral::Mousepad, host, denials.mousepad) == Pass::EnumerationFailed)
    return Pass::EnumerationFailed;
  return Pass::Done;
}

}  // namespace

void RunDeviceWatcher(std::stop_token stop, CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad,
                      DeviceWatcherHost& host) {
  Denials denials;
  for (bool firstPass = true;; firstPass = false) {
    if (stop.stop_requested()) {
      debug::Line("device watcher thread ended");
      return;
    }
    if (RunPass(mouse, keyboard, mousepad, host, firstPass, denials) == Pass::EnumerationFailed) return;
    // A plug-in or unplug ends the wait early; the next pass is the same.
    mouse.Hid().WaitForInterfaceChange(stop, kPassInterval);
  }
}

}  // namespace talvo::device
