// What the transfer tests compare a simulated device's requests with: each
// request's command, length and offset, and marker bytes for what a
// sequence reads or leaves alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "device/device_report.h"
#include "sim/sim_device.h"

namespace talvo::transfer::test {

struct Sent {
  uint8_t command;
  uint8_t length;
  unsigned offset;
  friend bool operator==(const Sent&, const Sent&) = default;
};

inline std::ostream& operator<<(std::ostream& os, const Sent& s) {
  return os << "{cmd " << int(s.command) << ", len " << int(s.length) << ", off " << s.offset << "}";
}

inline Sent Req(device::Command c, uint8_t length, unsigned offset) {
  return {static_cast<uint8_t>(c), length, offset};
}

// The requests the simulated device received since its last clear.
inline std::vector<Sent> SentTo(const sim::SimDevice& device) {
  std::vector<Sent> out;
  for (const auto& r : device.Requests()) {
    const auto& b = r.bytes;
    out.push_back({b[device::report::kCommand], b[device::report::kLength], device::report::Offset(b)});
  }
  return out;
}

// Bytes that differ from position to position and from start to start.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t start) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(start + i * 7 + 1);
  return bytes;
}

inline std::vector<uint8_t> Bytes(std::span<const uint8_t> all, size_t offset, size_t n) {
  return {all.begin() + static_cast<std::ptrdiff_t>(offset), all.begin() + static_cast<std::ptrdiff_t>(offset + n)};
}

}  // namespace talvo::transfer::test
