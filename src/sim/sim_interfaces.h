// The HID interfaces of the simulated peripherals, modelled on the real
// hardware: one entry per top-level collection, with its path, USB interface
// number, usage and the report descriptor of its interface.
//
// Mouse and keyboard: interface 0 is a boot mouse / boot keyboard; interface
// 1 carries a consumer-control collection (the notifications) and the vendor
// command collection. The mousepad has the command collection only. Paths
// carry Windows-like "vid_"/"pid_" markers so path id parsing works on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "sim/sim_device.h"

namespace talvo::sim {

enum class Collection { Boot, Notification, Command };

struct SimInterface {
  DeviceKind kind;
  Collection collection;
  std::string_view path;
  int interfaceNumber;
  uint16_t usagePage;
  uint16_t usage;
  std::span<const uint8_t> descriptor;  // of the whole USB interface
  size_t collectionIndex;               // of this collection within it
};

std::span<const SimInterface> InterfaceTable();
const SimInterface* FindInterface(std::string_view path);
// Null when the device has no such collection.
const SimInterface* FindInterface(DeviceKind kind, Collection collection);

}  // namespace talvo::sim
