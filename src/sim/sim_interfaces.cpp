#include "sim/sim_interfaces.h"

#include <array>

#include "device/device_report.h"

namespace talvo::sim {
namespace {

// Five buttons, 16-bit relative X and Y, an 8-bit wheel; no report ids.
constexpr auto kBootMouse = std::to_array<uint8_t>({
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x02,        // Usage (Mouse)
    0xA1, 0x01,        // Collection (Application)
    0x09, 0x01,        //   Usage (Pointer)
    0xA1, 0x00,        //   Collection (Physical)
    0x05, 0x09,        //     Usage Page (Button)
    0x19, 0x01,        //     Usage Minimum (1)
    0x29, 0x05,        //     Usage Maximum (5)
    0x15, 0x00,        //     Logical Minimum (0)
    0x25, 0x01,        //     Logical Maximum (1)
    0x95, 0x05,        //     Report Count (5)
    0x75, 0x01,        //     Report Size (1)
    0x81, 0x02,        //     Input (Data, Variable, Absolute)
    0x95, 0x01,        //     Report Count (1)
    0x75, 0x03,        //     Report Size (3)
    0x81, 0x01,        //     Input (Constant)
    0x05, 0x01,        //     Usage Page (Generic Desktop)
    0x09, 0x30,        //     Usage (X)
    0x09, 0x31,        //     Usage (Y)
    0x16, 0x01, 0x80,  //     Logical Minimum (-32767)
    0x26, 0xFF, 0x7F,  //     Logical Maximum (32767)
    0x75, 0x10,        //     Report Size (16)
    0x95, 0x02,        //     Report Count (2)
    0x81, 0x06,        //     Input (Data, Variable, Relative)
    0x09, 0x38,        //     Usage (Wheel)
    0x15, 0x81,        //     Logical Minimum (-127)
    0x25, 0x7F,        //     Logical Maximum (127)
    0x75, 0x08,        //     Report Size (8)
    0x95, 0x01,        //     Report Count (1)
    0x81, 0x06,        //     Input (Data, Variable, Relative)
    0xC0,              //   End Collection
    0xC0,              // End Collection
});

// The standard boot keyboard: modifiers, a reserved byte, five LEDs out,
// six key slots.
constexpr auto kBootKeyboard = std::to_array<uint8_t>({
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x05, 0x07,        //   Usage Page (Keyboard)
    0x19, 0xE0,        //   Usage Minimum (Left Control)
    0x29, 0xE7,        //   Usage Maximum (Right GUI)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x95, 0x01,        //   Report Count (1)
    0x75, 0x08,        //   Report Size (8)
    0x81, 0x01,        //   Input (Constant)
    0x95, 0x05,        //   Report Count (5)
    0x75, 0x01,        //   Report Size (1)
    0x05, 0x08,        //   Usage Page (LEDs)
    0x19, 0x01,        //   Usage Minimum (Num Lock)
    0x29, 0x05,        //   Usage Maximum (Kana)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0x95, 0x01,        //   Report Count (1)
    0x75, 0x03,        //   Report Size (3)
    0x91, 0x01,        //   Output (Constant)
    0x95, 0x06,        //   Report Count (6)
    0x75, 0x08,        //   Report Size (8)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x05, 0x07,        //   Usage Page (Keyboard)
    0x19, 0x00,        //   Usage Minimum (0)
    0x2A, 0xFF, 0x00,  //   Usage Maximum (255)
    0x81, 0x00,        //   Input (Data, Array, Absolute)
    0xC0,              // End Collection
});

// The vendor command collection: report id 4, 63 data bytes each way.
constexpr auto kCommandCollection = std::to_array<uint8_t>({
    0x06, 0x1C, 0xFF,        // Usage Page (0xFF1C)
    0x09, 0x92,              // Usage (0x92)
    0xA1, 0x01,              // Collection (Application)
    0x85, device::kReportId, //   Report ID (4)
    0x15, 0x00,              //   Logical Minimum (0)
    0x26, 0xFF, 0x00,        //   Logical Maximum (255)
    0x75, 0x08,              //   Report Size (8)
    0x95, 0x3F,              //   Report Count (63)
    0x09, 0x01,              //   Usage (1)
    0x81, 0x02,              //   Input (Data, Variable, Absolute)
    0x09, 0x01,              //   Usage (1)
    0x91, 0x02,              //   Output (Data, Variable, Absolute)
    0xC0,                    // End Collection
});

// One 16-bit array element able to report any consumer usage up to 0xFFF,
// which covers the notification usages 0x401..0x403.
constexpr auto kNotifyCollection = std::to_array<uint8_t>({
    0x05, 0x0C,              // Usage Page (Consumer)
    0x09, 0x01,              // Usage (Consumer Control)
    0xA1, 0x01,              // Collection (Application)
    0x85, kNotifyReportId,   //   Report ID (3)
    0x19, 0x00,              //   Usage Minimum (0)
    0x2A, 0xFF, 0x0F,        //   Usage Maximum (0xFFF)
    0x15, 0x00,              //   Logical Minimum (0)
    0x26, 0xFF, 0x0F,        //   Logical Maximum (0xFFF)
    0x75, 0x10,              //   Report Size (16)
    0x95, 0x01,              //   Report Count (1)
    0x81, 0x00,              //   Input (Data, Array, Absolute)
    0xC0,                    // End Collection
});

template <size_t A, size_t B>
constexpr std::array<uint8_t, A + B> Concat(const std::array<uint8_t, A>& a, const std::array<uint8_t, B>& b) {
  std::array<uint8_t, A + B> out{};
  for (size_t i = 0; i < A; ++i) out[i] = a[i];
  for (size_t i = 0; i < B; ++i) out[A + i] = b[i];
  return out;
}

constexpr auto kNotifyAndCommand = Concat(kNotifyCollection, kCommandCollection);

constexpr std::array<SimInterface, 7> kInterfaces = {{
    {DeviceKind::Keyboard, Collection::Boot, "sim/vid_0c45&pid_6556&mi_00", 0, 0x0001, 0x0006, kBootKeyboard, 0},
    {DeviceKind::Keyboard, Collection::Notification, "sim/vid_0c45&pid_6556&mi_01&col01", 1, device::kNotifyUsagePage,
     device::kNotifyUsage, kNotifyAndCommand, 0},
    {DeviceKind::Keyboard, Collection::Command, "sim/vid_0c45&pid_6556&mi_01&col02", 1, device::kCommandUsagePage,
     device::kCommandUsage, kNotifyAndCommand, 1},
    {DeviceKind::Mouse, Collection::Boot, "sim/vid_0c45&pid_652c&mi_00", 0, 0x0001, 0x0002, kBootMouse, 0},
    {DeviceKind::Mouse, Collection::Notification, "sim/vid_0c45&pid_652c&mi_01&col01", 1, device::kNotifyUsagePage,
     device::kNotifyUsage, kNotifyAndCommand, 0},
    {DeviceKind::Mouse, Collection::Command, "sim/vid_0c45&pid_652c&mi_01&col02", 1, device::kCommandUsagePage,
     device::kCommandUsage, kNotifyAndCommand, 1},
    {DeviceKind::Mousepad, Collection::Command, "sim/vid_0c45&pid_5004&mi_00", 0, device::kCommandUsagePage,
     device::kCommandUsage, kCommandCollection, 0},
}};

}  // namespace

std::span<const SimInterface> InterfaceTable() { return kInterfaces; }

const SimInterface* FindInterface(std::string_view path) {
  for (const SimInterface& iface : kInterfaces) {
    if (iface.path == path) return &iface;
  }
  return nullptr;
}

const SimInterface* FindInterface(DeviceKind kind, Collection collection) {
  for (const SimInterface& iface : kInterfaces) {
    if (iface.kind == kind && iface.collection == collection) return &iface;
  }
  return nullptr;
}

}  // namespace talvo::sim
