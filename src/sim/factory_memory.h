// Factory contents of the simulated peripherals' memory areas.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_device.h"

namespace talvo::sim {

struct FactoryMemory {
  std::vector<uint8_t> info;
  std::vector<uint8_t> settings;
  std::vector<uint8_t> keyMaps;     // empty for a device without key maps
  std::vector<uint8_t> defaultMap;  // likewise
  std::vector<uint8_t> cursor;      // empty except for the mouse
  std::vector<uint8_t> frame;
};

FactoryMemory MakeFactoryMemory(DeviceKind kind);

}  // namespace talvo::sim
