// Request reports for the simulated devices' tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "device/device_report.h"

namespace talvo::sim::test {

using Report = std::array<uint8_t, device::kReportSize>;

inline Report Request(device::Command command, uint8_t length, unsigned offset, const std::vector<uint8_t>& data = {}) {
  Report r{};
  r[0] = device::kReportId;
  r[device::report::kCommand] = static_cast<uint8_t>(command);
  r[device::report::kLength] = length;
  device::report::SetOffset(r, offset);
  std::copy(data.begin(), data.end(), r.begin() + device::kReportDataOffset);
  device::report::StoreChecksum(r);
  return r;
}

inline std::vector<uint8_t> ReplyData(const Report& reply, size_t n) {
  return {reply.begin() + device::kReportDataOffset, reply.begin() + device::kReportDataOffset + n};
}

}  // namespace talvo::sim::test
