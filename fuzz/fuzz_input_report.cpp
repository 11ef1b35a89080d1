// Decodes arbitrary input reports against fixed, realistic descriptors.
// Input: byte 0 picks the descriptor, the rest is the report (id byte first).
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/hid_report_descriptor.h"

using namespace talvo::platform::hid;

namespace {

const std::vector<uint8_t> kConsumer = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x0F, 0x19, 0x00,
    0x2A, 0xFF, 0x0F, 0x75, 0x10, 0x95, 0x02, 0x81, 0x00, 0xC0,
};

const std::vector<uint8_t> kVendor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF,
    0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};

// Mouse with report id 1 (5 buttons, 12-bit signed X/Y, wheel) and a
// keyboard-style array with report id 2.
const std::vector<uint8_t> kMouseAndKeys = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00,
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x05, 0x81, 0x02,
    0x95, 0x03, 0x81, 0x01,
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16, 0x01, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C, 0x95, 0x02, 0x81, 0x06,
    0x09, 0x38, 0x15, 0x81, 0x25, 0x7F, 0x35, 0xF6, 0x45, 0x0A, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06,
    0xC0, 0xC0,
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x02,
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
    0x09, 0x04, 0x09, 0x05, 0x09, 0x29, 0x15, 0x01, 0x25, 0x03, 0x75, 0x08, 0x95, 0x06, 0x81, 0x00,
    0xC0,
};

const std::array<ReportDescriptor, 4>& Descriptors() {
  static const std::array<ReportDescriptor, 4> descriptors = [] {
    std::vector<uint8_t> composite = kConsumer;
    composite.insert(composite.end(), kVendor.begin(), kVendor.end());
    std::array<ReportDescriptor, 4> parsed;
    const std::array<const std::vector<uint8_t>*, 4> sources = {&kConsumer, &kVendor, &kMouseAndKeys, &composite};
    for (size_t i = 0; i < sources.size(); ++i) {
      auto d = ParseReportDescriptor(*sources[i]);
      if (!d) std::abort();
      parsed[i] = std::move(*d);
    }
    return parsed;
  }();
  return descriptors;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const ReportDescriptor& descriptor = Descriptors()[data[0] % Descriptors().size()];
  const std::span<const uint8_t> report(data + 1, size - 1);
  if (!report.empty() && CollectionOfInputReport(descriptor, report[0]) >= static_cast<int>(descriptor.collections.size())) {
    std::abort();
  }
  for (const TopCollection& top : descriptor.collections) {
    for (const ButtonCaps& caps : top.inputButtonCaps) {
      std::array<uint16_t, 32> usages{};
      size_t count = 0;
      const Status status = GetUsages(top, caps.usagePage, report, usages, count);
      if (count > MaxUsageListLength(top, caps.usagePage) || (status != Status::Success && status != Status::BufferTooSmall && count != 0)) {
        std::abort();
      }
    }
    for (const ValueCaps& caps : top.inputValueCaps) {
      for (uint32_t usage = caps.usageMin; usage <= caps.usageMax; ++usage) {
        uint32_t raw = 0;
        int32_t scaled = 0;
        const Status rawStatus = GetUsageValue(top, caps.usagePage, static_cast<uint16_t>(usage), report, raw);
        const Status scaledStatus =
            GetScaledUsageValue(top, caps.usagePage, static_cast<uint16_t>(usage), report, scaled);
        if (rawStatus == Status::Success && caps.bitSize < 32 && raw >> caps.bitSize != 0) std::abort();
        if (scaledStatus == Status::Success && caps.physicalMin == 0 && caps.physicalMax == 0 &&
            (scaled < caps.logicalMin || scaled > caps.logicalMax)) {
          std::abort();
        }
      }
    }
  }
  return 0;
}
