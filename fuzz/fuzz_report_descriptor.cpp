// Parses arbitrary bytes as a report descriptor and, when they parse, decodes
// a report against every collection and checks what the parser promised.
// Input: byte 0 is the report length n, then the descriptor, then the last n
// bytes are the report (its id byte replaced by each id of the collection).
#include <array>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>
#include <vector>

#include "platform/hid_report_descriptor.h"

using namespace talvo::platform::hid;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

template <typename Caps>
void CheckFits(const TopCollection& top, const Caps& caps) {
  const uint64_t endBit = uint64_t{caps.bitOffset} + uint64_t{caps.bitSize} * caps.reportCount;
  Check(1 + (endBit + 7) / 8 <= top.inputReportByteLength);
  Check(caps.usageMin <= caps.usageMax);
}

// The value caps a lookup of `usage` in a report with id `reportId` reads.
const ValueCaps* FirstCovering(const TopCollection& top, uint16_t page, uint16_t usage, uint8_t reportId) {
  for (const ValueCaps& caps : top.inputValueCaps) {
    if (caps.usagePage == page && caps.reportId == reportId && usage >= caps.usageMin && usage <= caps.usageMax) {
      return &caps;
    }
  }
  return nullptr;
}

void Decode(const ReportDescriptor& descriptor, const TopCollection& top, std::span<const uint8_t> report) {
  if (!report.empty()) {
    const int owner = CollectionOfInputReport(descriptor, report[0]);
    Check(owner >= -1 && owner < static_cast<int>(descriptor.collections.size()));
  }
  std::set<uint16_t> pages;
  for (const ButtonCaps& caps : top.inputButtonCaps) pages.insert(caps.usagePage);
  for (uint16_t page : pages) {
    std::array<uint16_t, 4> small{};
    std::vector<uint16_t> large(MaxUsageListLength(top, page));
    size_t count = 0;
    GetUsages(top, page, report, small, count);
    Check(count <= small.size());
    const Status status = GetUsages(top, page, report, large, count);
    Check(status != Status::BufferTooSmall);
    Check(count <= large.size());
  }
  const size_t limit = std::min<size_t>(top.inputValueCaps.size(), 64);
  for (size_t i = 0; i < limit; ++i) {
    const ValueCaps& caps = top.inputValueCaps[i];
    for (uint16_t usage : {caps.usageMin, caps.usageMax}) {
      uint32_t raw = 0;
      int32_t scaled = 0;
      GetUsageValue(top, caps.usagePage, usage, report, raw);
      const Status status = GetScaledUsageValue(top, caps.usagePage, usage, report, scaled);
      if (status != Status::Success || FirstCovering(top, caps.usagePage, usage, report[0]) != &caps) continue;
      if (caps.physicalMin != 0 || caps.physicalMax != 0) {
        Check(scaled >= std::min(caps.physicalMin, caps.physicalMax));
        Check(scaled <= std::max(caps.physicalMin, caps.physicalMax));
      } else {
        Check(scaled >= caps.logicalMin && scaled <= caps.logicalMax);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::span<const uint8_t> input(data + 1, size - 1);
  const size_t reportLength = std::min<size_t>(data[0], input.size());
  const auto parsed = ParseReportDescriptor(input.first(input.size() - reportLength));
  if (!parsed) return 0;
  std::vector<uint8_t> report(input.end() - reportLength, input.end());
  for (const TopCollection& top : parsed->collections) {
    for (const ButtonCaps& caps : top.inputButtonCaps) CheckFits(top, caps);
    for (const ValueCaps& caps : top.inputValueCaps) CheckFits(top, caps);
    if (report.empty()) {
      Decode(*parsed, top, report);
      continue;
    }
    const std::vector<uint8_t> ids = parsed->usesReportIds ? top.reportIds : std::vector<uint8_t>{0};
    for (uint8_t id : ids) {
      report[0] = id;
      Decode(*parsed, top, report);
    }
  }
  return 0;
}
