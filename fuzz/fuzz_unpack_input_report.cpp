// A report descriptor and an input report from the fuzzer's bytes: the
// descriptor is parsed, the input items of every collection are built as an
// open builds them, and the report is unpacked into them. Button items must
// end up holding only usages of their own range, 0-terminated.
//
// Input: descriptor length (2 bytes), descriptor, report.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "device/chid_device.h"
#include "platform/hid_report_descriptor.h"

namespace {

void CheckButtonItem(const talvo::device::HidDataItem& item) {
  if (item.usages.size() != item.maxUsages) std::abort();
  bool ended = false;
  for (uint16_t usage : item.usages) {
    if (usage == 0) {
      ended = true;
    } else if (ended || usage < item.usageMin || usage > item.usageMax) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using talvo::device::CHidDevice;
  if (size < 2) return 0;
  const size_t descriptorLength = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
  const std::span<const uint8_t> descriptor(data + 2, descriptorLength);
  const std::span<const uint8_t> report(data + 2 + descriptorLength, size - 2 - descriptorLength);

  const auto parsed = talvo::platform::hid::ParseReportDescriptor(descriptor);
  if (!parsed) return 0;
  for (const auto& collection : parsed->collections) {
    std::vector<talvo::device::HidDataItem> items;
    if (!CHidDevice::BuildInputItems(collection, items)) continue;
    if (items.size() > CHidDevice::kMaxInputItems) std::abort();
    // Twice, so the second pass starts from filled lists.
    for (int pass = 0; pass < 2; ++pass) {
      CHidDevice::UnpackInputReport(report, items, collection);
      for (const auto& item : items) {
        if (item.isButton) CheckButtonItem(item);
      }
    }
  }
  return 0;
}
