// HID report descriptors: parsing them into top-level collections with their
// input button and value fields, and decoding input reports against them.
//
// Reports are passed with byte 0 the report id (0 when the descriptor
// declares no report ids), as the HID backends deliver them. Report byte
// lengths count that id byte too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace talvo::platform::hid {

// An input field whose elements report usages that are on or off: one-bit
// variable fields and array fields. A Main item with several usages gives one
// caps entry per contiguous run, as the parser lists them. In a variable
// field, elements beyond the usage list repeat its last usage, so the last
// run's caps may have more elements than usages. An array field's caps are
// consecutive and share the field's bits; each run's logicalMin..logicalMax
// is the slice of element values that select its usages.
struct ButtonCaps {
  uint16_t usagePage = 0;
  uint8_t reportId = 0;
  uint16_t linkCollection = 0;  // index of the innermost collection, 0 = top level
  bool isRange = false;
  uint16_t usageMin = 0;        // equal to usageMax for a single usage
  uint16_t usageMax = 0;
  bool isArray = false;
  // Where the field's bits are: offset counted from the first bit after the
  // report id byte, element size in bits, element count.
  uint32_t bitOffset = 0;
  uint16_t bitSize = 0;
  uint16_t reportCount = 0;
  int32_t logicalMin = 0;       // array fields: index of usageMin
  int32_t logicalMax = 0;
};

// An input field that reports a number per usage (one-element runs as for
// buttons; the last run takes the surplus elements).
struct ValueCaps {
  uint16_t usagePage = 0;
  uint8_t reportId = 0;
  uint16_t linkCollection = 0;
  bool isRange = false;
  uint16_t usageMin = 0;
  uint16_t usageMax = 0;
  uint32_t bitOffset = 0;
  uint16_t bitSize = 0;
  uint16_t reportCount = 0;
  int32_t logicalMin = 0;
  int32_t logicalMax = 0;
  int32_t physicalMin = 0;
  int32_t physicalMax = 0;
};

struct TopCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  // Longest report of each kind in this collection, in bytes, counting the
  // report id byte (1 + 0 when the collection has no such report: 0).
  uint16_t inputReportByteLength = 0;
  uint16_t outputReportByteLength = 0;
  uint16_t featureReportByteLength = 0;
  std::vector<uint8_t> reportIds;  // ids used by this collection, ascending; empty without ids
  std::vector<ButtonCaps> inputButtonCaps;
  std::vector<ValueCaps> inputValueCaps;
};

struct ReportDescriptor {
  bool usesReportIds = false;
  std::vector<TopCollection> collections;
};

// Parses a whole descriptor. Nullopt when it is malformed (truncated item,
// unbalanced collections or Push/Pop, report size or count beyond limits).
// Limits: at most 4096 descriptor bytes, 8 * 4096 bits per report kind and
// id, Push depth 16, collection depth 32. Report ID 0, Main data items
// outside any collection and a descriptor without any collection are
// malformed too. Data fields wider than 32 bits per element are treated as
// padding; a logical or physical maximum beyond int32 is clamped to it.
std::optional<ReportDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes);

// Top-level collection that input report id `reportId` belongs to, or -1.
int CollectionOfInputReport(const ReportDescriptor& descriptor, uint8_t reportId);

enum class Status {
  Success,
  IncompatibleReportId,  // the report carries another id than the field's
  UsageNotFound,
  BufferTooSmall,        // more usages on than the list holds (list filled)
  InvalidReportLength,   // the report is too short for the field
  ValueOutOfRange,       // scaled value asked for a raw value outside the logical range
};

// Most usages of `usagePage` that input reports of the collection can report
// at once (summed over every input report of the collection).
uint32_t MaxUsageListLength(const TopCollection& collection, uint16_t usagePage);

// Usages of `usagePage` that are on in `report`, over every button field of
// the collection with the report's id, in field order. `count` is how many
// were stored in `usages`. Usage 0 (no usage, as in an empty array slot) is
// never listed. A report too short for any of the fields stores nothing.
Status GetUsages(const TopCollection& collection, uint16_t usagePage, std::span<const uint8_t> report,
                 std::span<uint16_t> usages, size_t& count);

// Raw value of `usage` in `report` (sign not applied).
Status GetUsageValue(const TopCollection& collection, uint16_t usagePage, uint16_t usage,
                     std::span<const uint8_t> report, uint32_t& value);

// The value mapped from the logical onto the physical range (the logical
// value itself when no physical range is declared). ValueOutOfRange when the
// raw value lies outside the logical range.
Status GetScaledUsageValue(const TopCollection& collection, uint16_t usagePage, uint16_t usage,
                           std::span<const uint8_t> report, int32_t& value);

}  // namespace talvo::platform::hid
