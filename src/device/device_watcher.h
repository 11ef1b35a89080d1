// DeviceWatcher: the thread that attaches each peripheral's command link
// (mouse, keyboard, mousepad) when the device is plugged in and detaches it
// when the device is gone.
//
// Whenever the backend reports interfaces coming or going it runs one pass
// over the links, the mouse first, holding each link's I/O lock while it
// looks at that link: a connected link is probed (asking for no access) and
// detached when its interface has disappeared; a link that is not connected
// is attached to the first interface with its identity, and the host hears
// when its device is there but refuses to be opened.
//
// Between changes it sleeps, except while a pass is owed without one: then
// passes come once a second, as they do where the backend gives no news of
// changes. A pass is owed after a pass that attached or detached a link (the
// mouse's synchronized-mode control follows the others' presence on the
// next pass), while a device is there but could not be opened (access may
// be granted without an interface change), and while the host follows the
// synchronized-mode control with the mouse attached.
#pragma once

#include <mutex>
#include <stop_token>

#include "device/device_link.h"
#include "device/peripheral.h"

namespace talvo::device {

// What the watcher needs of the main window. Every call comes on the
// watcher thread during a pass, with the I/O lock of the link it is about
// held; the calls that change the window queue their work on the UI thread
// and return without waiting for it.
class DeviceWatcherHost {
 public:
  virtual ~DeviceWatcherHost() = default;

  // On attach, in this order:
  // the selected device profile of the mouse profile index, as stored; the
  // host bounds it by the profiles it lists.
  virtual int SelectedDeviceProfile() = 0;
  // Has the mouse's cursor-macro image read over the freshly attached link
  // (queued on the mouse's session; the watcher does not wait for it).
  virtual void ReadCursorMacros(CDeviceLink& mouse) = 0;
  // Starts the delayed full read of the mouse, selects `deviceProfile` in
  // the device-profile combo and shows the mouse tab.
  virtual void MouseAttached(int deviceProfile) = 0;

  // The mouse disappeared (the link is already detached): hide the mouse
  // tab and fall back to another device's tab, or report that none is left.
  virtual void MouseDetached() = 0;
  // The attached mouse is still there: the synchronized-mode control is
  // shown while the keyboard or the mousepad is connected too.
  virtual void SameModeVisible(bool visible) = 0;
  // The first pass found the mouse: bring the window to the front.
  virtual void FirstPassFoundMouse() = 0;

  // The keyboard's or the mousepad's link was attached: its full read is due
  // and its tab shows.
  virtual void OtherAttached(Peripheral peripheral) = 0;
  // The keyboard or the mousepad disappeared (its link already detached).
  virtual void OtherDetached(Peripheral peripheral) = 0;

  // The peripheral is there but may not be opened: permission was denied.
  // Told when a pass first finds it so, and again only after a pass found
  // it otherwise (attached, or gone).
  virtual void AccessDenied(Peripheral) {}

  // Whether SameModeVisible should come every second while the mouse is
  // attached, for pages that change the control meanwhile (the window is
  // shown). A host that turns it on wakes the watcher.
  virtual bool FollowsSameMode() { return false; }
};

// Ends the watcher's sleep from another thread, for news the interface list
// does not carry: a pass follows at once.
class DeviceWatcherWake {
 public:
  void Wake() {
    std::lock_guard lock(mutex_);
    source_.request_stop();
  }
  // The watcher's: a token for the sleep after the pass about to run,
  // stopped by any Wake() from now on and by `stop`.
  std::stop_token Arm(const std::stop_token& stop) {
    std::lock_guard lock(mutex_);
    source_ = {};
    if (stop.stop_requested()) source_.request_stop();
    return source_.get_token();
  }

 private:
  std::mutex mutex_;
  std::stop_source source_;
};

// The watcher thread's body; returns when `stop` is requested, or at once
// when the interfaces cannot be listed (presence is then no longer
// followed). `wake`, when given, lets the host end its sleep.
void RunDeviceWatcher(std::stop_token stop, CDeviceLink& mouse, CDeviceLink& keyboard, CDeviceLink& mousepad,
                      DeviceWatcherHost& host, DeviceWatcherWake* wake = nullptr);

}  // namespace talvo::device
