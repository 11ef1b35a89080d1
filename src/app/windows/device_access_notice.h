// Tells the user that one of Talvo's devices is plugged in but may not be
// opened, and how to allow it: "message_text_30" with the device's name and
// the path of the udev rule filled in as text. The device watcher tells each
// denial once (DeviceWatcherHost::AccessDenied); here the boxes are shown one
// at a time, and a device told about again while its box waits or is open
// gets no second one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "toolkit/toolkit.h"
#include "device/peripheral.h"

namespace talvo::app {

class DeviceAccessNotice {
 public:
  DeviceAccessNotice(toolkit::Toolkit& toolkit, toolkit::Window& window, std::string rulePath);

  // On the UI thread; returns once no box is left to show, or at once when a
  // box is already open (its loop shows this one next).
  void Denied(device::Peripheral peripheral);

  // `pattern` with its "%s" placeholders replaced, in order, by device and
  // rule, as text; "%%" reads as "%".
  static std::string FormatText(std::string_view pattern, std::string_view device, std::string_view rule);

  // The udev rule to copy: the one installed beside the program
  // (../lib/udev/rules.d from its folder), else the one in the source tree it
  // was built from, else the rule's bare file name.
  static std::string UdevRulePath();

 private:
  toolkit::Toolkit& toolkit_;
  toolkit::Window& window_;
  const std::string rule_;
  std::vector<device::Peripheral> waiting_;
  bool showing_ = false;
};

}  // namespace talvo::app
