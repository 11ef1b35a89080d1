#include "device/notification_listener.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>
#include <string>

#include "device/chid_device.h"
#include "device/device_report.h"
#include "platform/debug.h"

namespace talvo::device {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kIdleInterval{1000};
// A stop cuts the read short (see RunNotificationListener), so the time-out
// only bounds how long a quiet device goes without a presence probe.
constexpr int kReadTimeoutMs = 1000;

struct ListenerTraits {
  uint16_t productId;
  const char* endText;
  // Said when the listen loop itself sees the stop; null for none.
  const char* listenStopText;
};

ListenerTraits TraitsOf(ListenerKind kind) {
  switch (kind) {
    case ListenerKind::Keyboard: return {kKeyboardProductId, "keyboard notification listener ended", "keyboard notification listener ended"};
    case ListenerKind::Mouse: return {kMouseProductId, "mouse notification listener ended", nullptr};
  }
  return {};
}

// The first usage of the first button item, when this report filled it; 0
// otherwise. Items of other report ids keep an earlier report's usages,
// which must not be taken for a new notification.
uint16_t NotificationUsage(std::span<const HidDataItem> items, uint8_t reportId) {
  for (const HidDataItem& item : items) {
    if (!item.isButton) continue;
    if ((item.reportId & 0xFF) != reportId || item.usages.empty()) return 0;
    return item.usages.front();
  }
  return 0;
}

// Reads and passes on notifications until the stop or until the interface
// has gone.
void Listen(const std::stop_token& stop, CHidDevice& hid, ListenerKind kind, const ListenerTraits& traits,
            const NotificationHandler& handler) {
  const std::string path = hid.DevicePath();
  for (;;) {
    // Looked at before every read, without sleeping: an idle listener
    // wakes only when a read ends.
    if (stop.stop_requested()) {
      if (traits.listenStopText) debug::Line(traits.listenStopText);
      return;
    }
    const std::span<uint8_t> report = hid.InputReport();
    size_t got = 0;
    const auto started = std::chrono::steady_clock::now();
    if (!hid.ReadHidReport(report, &got, kReadTimeoutMs)) {
      // A quiet device is not a gone one: only a failed probe ends listening.
      if (!hid.Exists(path)) return;
      // A read that failed before its time-out (and not for the stop) has a
      // dead handle: the device went and came back between the read and the
      // probe. Reading on would fail at once, forever.
      if (!stop.stop_requested() && std::chrono::steady_clock::now() - started < milliseconds(kReadTimeoutMs)) {
        return;
      }
      continue;
    }
    const std::span<const uint8_t> received = report.first(std::min(got, report.size()));
    if (received.empty()) continue;
    CHidDevice::UnpackInputReport(received, hid.InputItems(), hid.Collection());
    const uint16_t usage = NotificationUsage(hid.InputItems(), received[0]);
    if (HandlesUsage(kind, usage)) handler(usage);
  }
}

}  // namespace

bool HandlesUsage(ListenerKind kind, uint16_t usage) {
  switch (usage) {
    case kUsageSettingsChanged:
    case kUsageEverythingChanged: return true;
    case kUsageFlash: return kind == ListenerKind::Mouse;
    default: return false;
  }
}

void RunNotificationListener(std::stop_token stop, platform::HidBackend& backend, ListenerKind kind,
                             const NotificationHandler& handler) {
  const ListenerTraits traits = TraitsOf(kind);
  CHidDevice hid(backend);
  // A stop also ends the read in progress instead of letting it time out.
  std::stop_callback cancelRead(stop, [&hid] { hid.CancelPendingIo(); });

  // Listening ends only on the stop or when the device has gone, so every
  // round ends idle: wait for the interface list to change. The mark is
  // taken before the list is looked at, so a device that comes meanwhile
  // ends the wait; without news of changes the list is looked at again
  // after a second.
  while (!stop.stop_requested()) {
    const std::optional<uint64_t> mark = hid.InterfaceChangeMark();
    if (!hid.EnumerateHidInterfaces()) return;
    while (const auto path = hid.NextInterfacePath()) {
      if (hid.PathVendorId(*path) != kVendorId || hid.PathProductId(*path) != traits.productId) continue;
      if (!hid.OpenHidDevice(*path, true, false, true, false)) continue;
      const HidAttributes& attributes = hid.Attributes();
      const HidCaps& caps = hid.Caps();
      const bool matches = attributes.vendorId == kVendorId && attributes.productId == traits.productId &&
                           caps.usagePage == kNotifyUsagePage && caps.usage == kNotifyUsage;
      if (matches) Listen(stop, hid, kind, traits, handler);
      hid.CloseHidDevice();
      if (matches) break;
    }
    hid.FreeInterfacePaths();
    if (mark) {
      hid.WaitForInterfaceChangeAfter(stop, *mark);
    } else {
      hid.WaitForInterfaceChange(stop, kIdleInterval);
    }
  }
  debug::Line(traits.endText);
}

}  // namespace talvo::device
