#include "device/device_watcher.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

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

// `owed` is set when the pass changed the link's presence or met its device
// without being able to open it: another pass is owed within a second.
Pass RunMousePass(CDeviceLink& mouse, const CDeviceLink& keyboard, const CDeviceLink& mousepad,
                  DeviceWatcherHost& host, bool firstPass, bool& denied, bool& owed) {
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
      owed = true;
    }
  }

  bool deniedNow = false;
  if (!mouse.IsConnected()) {
    bool enumerationFailed = false;
    bool openFailed = false;
    if (mouse.Attach(&enumerationFailed, &deniedNow, &openFailed)) {
      deniedNow = false;
      owed = true;
      const int deviceProfile = host.SelectedDeviceProfile();
      host.ReadCursorMacros(mouse);
      host.MouseAttached(deviceProfile);
      if (firstPass) host.FirstPassFoundMouse();
    } else if (enumerationFailed) {
      return Pass::EnumerationFailed;
    } else {
      owed = owed || openFailed;
    }
  }
  FollowDenial(host, Peripheral::Mouse, deniedNow, denied);
  return Pass::Done;
}

// The keyboard and the mousepad follow the mouse's rules, with their reads
// and tabs left to the host.
Pass RunOtherPass(CDeviceLink& link, Peripheral peripheral, DeviceWatcherHost& host, bool& denied, bool& owed) {
  std::lock_guard lock(link.IoLock());
  if (link.IsConnected() && !link.Hid().Exists(link.Hid().DevicePath())) {
    link.Detach();
    host.OtherDetached(peripheral);
    owed = true;
  }
  bool deniedNow = false;
  if (!link.IsConnected()) {
    bool enumerationFailed = false;
    bool openFailed = false;
    if (link.Attach(&enumerationFailed, &deniedNow, &openFailed)) {
      deniedNow = false;
      host.OtherAttached(peripheral);
      owed = true;
    } else if (enumerationFailed) {
      return Pass::EnumerationFailed;
    } else {
      owed = owed || openFailed;
    }
  }
  FollowDenial(host, peripheral, deniedNow, denied);
  return Pass::Done;
}

Pass RunPass(CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad, DeviceWatcherHost& host,
             bool firstPass, Denials& denials, bool& owed) {
  if (RunMousePass(mouse, keyboard, mousepad, host, firstPass, denials.mouse, owed) == Pass::EnumerationFailed ||
      RunOtherPass(keyboard, Peripheral::Keyboard, host, denials.keyboard, owed) == Pass::EnumerationFailed ||
      RunOtherPass(mousepad, Peripheral::Mousepad, host, denials.mousepad, owed) == Pass::EnumerationFailed)
    return Pass::EnumerationFailed;
  return Pass::Done;
}

}  // namespace

void RunDeviceWatcher(std::stop_token stop, CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad,
                      DeviceWatcherHost& host, DeviceWatcherWake* wake) {
  DeviceWatcherWake ownWake;
  DeviceWatcherWake& woken = wake ? *wake : ownWake;
  const std::stop_callback stopWakes(stop, [&woken] { woken.Wake(); });
  Denials denials;
  for (bool firstPass = true;; firstPass = false) {
    if (stop.stop_requested()) {
      debug::Line("device watcher thread ended");
      return;
    }
    // Both taken before the pass looks, so a change or a wake during the
    // pass ends the sleep after it instead of being missed.
    const std::stop_token sleep = woken.Arm(stop);
    const std::optional<uint64_t> mark = mouse.Hid().InterfaceChangeMark();
    bool owed = false;
    if (RunPass(mouse, keyboard, mousepad, host, firstPass, denials, owed) == Pass::EnumerationFailed) return;
    owed = owed || (mouse.IsConnected() && host.FollowsSameMode());
    // A plug-in or unplug ends either wait early; the next pass is the same.
    if (mark && !owed) {
      mouse.Hid().WaitForInterfaceChangeAfter(sleep, *mark);
    } else {
      mouse.Hid().WaitForInterfaceChange(sleep, kPassInterval);
    }
  }
}

}  // namespace talvo::device
