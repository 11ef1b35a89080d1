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

Pass RunMousePass(CDeviceLink& mouse, const CDeviceLink& keyboard, const CDeviceLink& mousepad,
                  DeviceWatcherHost& host, bool firstPass) {
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

  if (!mouse.IsConnected()) {
    bool enumerationFailed = false;
    if (mouse.Attach(&enumerationFailed)) {
      const int deviceProfile = host.SelectedDeviceProfile();
      host.ReadCursorMacros(mouse);
      host.MouseAttached(deviceProfile);
      if (firstPass) host.FirstPassFoundMouse();
    } else if (enumerationFailed) {
      return Pass::EnumerationFailed;
    }
  }
  return Pass::Done;
}

// The keyboard and the mousepad follow the mouse's rules, with their reads
// and tabs left to the host.
Pass RunOtherPass(CDeviceLink& link, Peripheral peripheral, DeviceWatcherHost& host) {
  std::lock_guard lock(link.IoLock());
  if (link.IsConnected() && !link.Hid().Exists(link.Hid().DevicePath())) {
    link.Detach();
    host.OtherDetached(peripheral);
  }
  if (!link.IsConnected()) {
    bool enumerationFailed = false;
    if (link.Attach(&enumerationFailed)) {
      host.OtherAttached(peripheral);
    } else if (enumerationFailed) {
      return Pass::EnumerationFailed;
    }
  }
  return Pass::Done;
}

Pass RunPass(CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad, DeviceWatcherHost& host,
             bool firstPass) {
  if (RunMousePass(mouse, keyboard, mousepad, host, firstPass) == Pass::EnumerationFailed ||
      RunOtherPass(keyboard, Peripheral::Keyboard, host) == Pass::EnumerationFailed ||
      RunOtherPass(mousepad, Peripheral::Mousepad, host) == Pass::EnumerationFailed)
    return Pass::EnumerationFailed;
  return Pass::Done;
}

}  // namespace

void RunDeviceWatcher(std::stop_token stop, CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad,
                      DeviceWatcherHost& host) {
  for (bool firstPass = true;; firstPass = false) {
    if (stop.stop_requested()) {
      debug::Line("鼠标设备侦测线程设定退出");
      return;
    }
    if (RunPass(mouse, keyboard, mousepad, host, firstPass) == Pass::EnumerationFailed) return;
    // A plug-in or unplug ends the wait early; the next pass is the same.
    mouse.Hid().WaitForInterfaceChange(stop, kPassInterval);
  }
}

}  // namespace talvo::device
