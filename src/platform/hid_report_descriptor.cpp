#include "platform/hid_report_descriptor.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <limits>

namespace talvo::platform::hid {
namespace {

// Bounds that keep hostile descriptors from costing more than a real one.
constexpr size_t kMaxDescriptorBytes = 4096;
constexpr uint64_t kMaxReportBits = 8 * 4096;  // per report kind and id
constexpr size_t kMaxPushDepth = 16;
constexpr size_t kMaxCollectionDepth = 32;
constexpr uint32_t kMaxValueBits = 32;

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : uint8_t {
  kInput = 8,
  kOutput = 9,
  kCollection = 10,
  kFeature = 11,
  kEndCollection = 12,
};

enum GlobalTag : uint8_t {
  kUsagePage = 0,
  kLogicalMin = 1,
  kLogicalMax = 2,
  kPhysicalMin = 3,
  kPhysicalMax = 4,
  kReportSize = 7,
  kReportId = 8,
  kReportCount = 9,
  kPush = 10,
  kPop = 11,
};

enum LocalTag : uint8_t {
  kUsage = 0,
  kUsageMin = 1,
  kUsageMax = 2,
  kDelimiter = 10,
};

constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr uint32_t kConstantFlag = 0x01;
constexpr uint32_t kVariableFlag = 0x02;

enum ReportKind : size_t { kInputKind = 0, kOutputKind = 1, kFeatureKind = 2, kKindCount = 3 };

int64_t SignExtend(uint32_t raw, unsigned bits) {
  if (bits == 0 || bits >= 32) return static_cast<int32_t>(raw);
  const uint32_t sign = uint32_t{1} << (bits - 1);
  return static_cast<int64_t>(raw ^ sign) - static_cast<int64_t>(sign);
}

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A minimum is signed by its item size. The maximum is read signed only when
// the minimum is negative, so 0..255 in one byte each means 0..255.
struct Extent {
  int64_t min = 0;
  int64_t maxSigned = 0;
  int64_t maxUnsigned = 0;
  int64_t max() const { return min < 0 ? maxSigned : maxUnsigned; }
};

struct Globals {
  uint16_t usagePage = 0;
  Extent logical;
  Extent physical;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint8_t reportId = 0;
};

// A usage or usage range as declared; a 4-byte usage carries its own page.
struct UsageEntry {
  std::optional<uint16_t> page;
  uint16_t min = 0;
  uint16_t max = 0;
};

struct UsageRef {
  std::optional<uint16_t> page;
  uint16_t usage = 0;
};

struct Locals {
  std::vector<UsageEntry> usages;
  std::optional<UsageRef> pendingMin;
  std::optional<UsageRef> pendingMax;
  bool inDelimiterSet = false;
  bool delimiterSetTaken = false;
};

// Contiguous usages on one page, resolved at the Main item.
struct UsageRun {
  uint16_t page = 0;
  uint16_t min = 0;
  uint16_t max = 0;
  int64_t length() const { return int64_t{max} - min + 1; }
};

class Parser {
 public:
  std::optional<ReportDescriptor> Parse(std::span<const uint8_t> bytes);

 private:
  bool Item(uint8_t type, uint8_t tag, uint32_t value, unsigned size);
  bool MainItem(uint8_t tag, uint32_t value);
  bool GlobalItem(uint8_t tag, uint32_t value, unsigned size);
  void LocalItem(uint8_t tag, uint32_t value, unsigned size);
  void AddUsage(const UsageEntry& entry);
  bool OpenCollection();
  bool CloseCollection();
  bool Field(ReportKind kind, uint32_t flags);
  std::vector<UsageRun> Runs() const;
  void AddArrayField(const std::vector<UsageRun>& runs, uint32_t bitOffset);
  void AddVariableField(const std::vector<UsageRun>& runs, uint32_t bitOffset);
  void Finish();

  ReportDescriptor out_;
  Globals globals_;
  std::vector<Globals> pushed_;
  Locals locals_;
  std::vector<uint16_t> links_;  // link collection of each open collection, outermost first
  uint16_t nextLink_ = 0;
  std::array<std::array<uint32_t, 256>, kKindCount> bits_{};
  std::vector<std::array<std::bitset<256>, kKindCount>> idsUsed_;  // per top-level collection
};

std::optional<ReportDescriptor> Parser::Parse(std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxDescriptorBytes) return std::nullopt;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const uint8_t prefix = bytes[pos++];
    if (prefix == kLongItemPrefix) {
      // Long items carry no meaning for input decoding; skip their data.
      if (bytes.size() - pos < 2) return std::nullopt;
      const size_t dataSize = bytes[pos];
      pos += 2;
      if (bytes.size() - pos < dataSize) return std::nullopt;
      pos += dataSize;
      continue;
    }
    const unsigned size = (prefix & 3) == 3 ? 4 : (prefix & 3);
    if (bytes.size() - pos < size) return std::nullopt;
    uint32_t value = 0;
    for (unsigned i = 0; i < size; ++i) value |= uint32_t{bytes[pos + i]} << (8 * i);
    pos += size;
    if (!Item((prefix >> 2) & 3, prefix >> 4, value, size)) return std::nullopt;
  }
  if (!links_.empty() || !pushed_.empty() || out_.collections.empty()) return std::nullopt;
  Finish();
  return std::move(out_);
}

bool Parser::Item(uint8_t type, uint8_t tag, uint32_t value, unsigned size) {
  switch (type) {
    case kMain:
      return MainItem(tag, value);
    case kGlobal:
      return GlobalItem(tag, value, size);
    case kLocal:
      LocalItem(tag, value, size);
      return true;
    default:
      return true;  // reserved item type
  }
}

bool Parser::MainItem(uint8_t tag, uint32_t value) {
  bool ok = true;
  switch (tag) {
    case kInput:
      ok = Field(kInputKind, value);
      break;
    case kOutput:
      ok = Field(kOutputKind, value);
      break;
    case kFeature:
      ok = Field(kFeatureKind, value);
      break;
    case kCollection:
      ok = OpenCollection();
      break;
    case kEndCollection:
      ok = CloseCollection();
      break;
    default:
      break;
  }
  locals_ = Locals{};
  return ok;
}

bool Parser::GlobalItem(uint8_t tag, uint32_t value, unsigned size) {
  const int64_t asSigned = SignExtend(value, 8 * size);
  switch (tag) {
    case kUsagePage:
      globals_.usagePage = static_cast<uint16_t>(value);
      break;
    case kLogicalMin:
      globals_.logical.min = asSigned;
      break;
    case kLogicalMax:
      globals_.logical.maxSigned = asSigned;
      globals_.logical.maxUnsigned = value;
      break;
    case kPhysicalMin:
      globals_.physical.min = asSigned;
      break;
    case kPhysicalMax:
      globals_.physical.maxSigned = asSigned;
      globals_.physical.maxUnsigned = value;
      break;
    case kReportSize:
      globals_.reportSize = value;
      break;
    case kReportCount:
      globals_.reportCount = value;
      break;
    case kReportId:
      if (value == 0 || value > 0xFF) return false;
      globals_.reportId = static_cast<uint8_t>(value);
      out_.usesReportIds = true;
      break;
    case kPush:
      if (pushed_.size() >= kMaxPushDepth) return false;
      pushed_.push_back(globals_);
      break;
    case kPop:
      if (pushed_.empty()) return false;
      globals_ = pushed_.back();
      pushed_.pop_back();
      break;
    default:
      break;  // unit, unit exponent and reserved tags do not affect decoding
  }
  return true;
}

void Parser::LocalItem(uint8_t tag, uint32_t value, unsigned size) {
  UsageRef ref{};
  ref.usage = static_cast<uint16_t>(value);
  if (size == 4) ref.page = static_cast<uint16_t>(value >> 16);
  switch (tag) {
    case kUsage:
      AddUsage(UsageEntry{ref.page, ref.usage, ref.usage});
      break;
    case kUsageMin:
      locals_.pendingMin = ref;
      break;
    case kUsageMax:
      locals_.pendingMax = ref;
      break;
    case kDelimiter:
      // Only the first usage of a delimited set of alternatives is kept.
      locals_.inDelimiterSet = value == 1;
      locals_.delimiterSetTaken = false;
      break;
    default:
      break;  // designators and strings do not affect decoding
  }
  if (locals_.pendingMin && locals_.pendingMax) {
    const UsageRef min = *locals_.pendingMin;
    const UsageRef max = *locals_.pendingMax;
    locals_.pendingMin.reset();
    locals_.pendingMax.reset();
    // A reversed range names no usage.
    if (min.usage <= max.usage) AddUsage(UsageEntry{min.page ? min.page : max.page, min.usage, max.usage});
  }
}

void Parser::AddUsage(const UsageEntry& entry) {
  if (locals_.inDelimiterSet) {
    if (locals_.delimiterSetTaken) return;
    locals_.delimiterSetTaken = true;
  }
  locals_.usages.push_back(entry);
}

std::vector<UsageRun> Parser::Runs() const {
  std::vector<UsageRun> runs;
  for (const UsageEntry& entry : locals_.usages) {
    const uint16_t page = entry.page.value_or(globals_.usagePage);
    if (!runs.empty() && runs.back().page == page && runs.back().max < 0xFFFF && entry.min == runs.back().max + 1) {
      runs.back().max = entry.max;
    } else {
      runs.push_back(UsageRun{page, entry.min, entry.max});
    }
  }
  // A field without usages still has its elements; they report usage 0.
  if (runs.empty()) runs.push_back(UsageRun{globals_.usagePage, 0, 0});
  return runs;
}

bool Parser::OpenCollection() {
  if (links_.empty()) {
    TopCollection top;
    const UsageRun first = Runs().front();
    top.usagePage = first.page;
    top.usage = first.min;
    out_.collections.push_back(std::move(top));
    idsUsed_.emplace_back();
    links_.push_back(0);
    nextLink_ = 1;
    return true;
  }
  if (links_.size() >= kMaxCollectionDepth) return false;
  links_.push_back(nextLink_++);
  return true;
}

bool Parser::CloseCollection() {
  if (links_.empty()) return false;
  links_.pop_back();
  return true;
}

bool Parser::Field(ReportKind kind, uint32_t flags) {
  if (links_.empty()) return false;  // data outside any collection belongs to no interface
  const uint64_t fieldBits = uint64_t{globals_.reportSize} * globals_.reportCount;
  if (fieldBits == 0) return true;
  uint32_t& reportBits = bits_[kind][globals_.reportId];
  if (reportBits + fieldBits > kMaxReportBits) return false;
  const uint32_t bitOffset = reportBits;
  reportBits += static_cast<uint32_t>(fieldBits);
  idsUsed_.back()[kind].set(globals_.reportId);

  // Constant fields are padding. Data wider than 32 bits per element is
  // treated as padding as well: no caller can read it as a value.
  if (kind != kInputKind || (flags & kConstantFlag) || globals_.reportSize > kMaxValueBits) return true;
  if (flags & kVariableFlag) {
    AddVariableField(Runs(), bitOffset);
  } else {
    AddArrayField(Runs(), bitOffset);
  }
  return true;
}

// Every array element holds an index into the field's usage list; each run
// gets the slice of logical values that selects its usages.
void Parser::AddArrayField(const std::vector<UsageRun>& runs, uint32_t bitOffset) {
  TopCollection& top = out_.collections.back();
  const int64_t logicalMax = std::min<int64_t>(globals_.logical.max(), std::numeric_limits<int32_t>::max());
  int64_t index = globals_.logical.min;
  for (const UsageRun& run : runs) {
    if (index > logicalMax) break;
    const int64_t last = std::min(index + run.length() - 1, logicalMax);
    ButtonCaps caps;
    caps.usagePage = run.page;
    caps.reportId = globals_.reportId;
    caps.linkCollection = links_.back();
    caps.usageMin = run.min;
    caps.usageMax = static_cast<uint16_t>(run.min + (last - index));
    caps.isRange = caps.usageMax != caps.usageMin;
    caps.isArray = true;
    caps.bitOffset = bitOffset;
    caps.bitSize = static_cast<uint16_t>(globals_.reportSize);
    caps.reportCount = static_cast<uint16_t>(globals_.reportCount);
    caps.logicalMin = static_cast<int32_t>(index);
    caps.logicalMax = static_cast<int32_t>(last);
    top.inputButtonCaps.push_back(caps);
    index += run.length();
  }
}

// Element i reports the i-th usage of the list; elements beyond the list
// repeat its last usage, so the last run takes every remaining element.
void Parser::AddVariableField(const std::vector<UsageRun>& runs, uint32_t bitOffset) {
  TopCollection& top = out_.collections.back();
  const uint32_t count = globals_.reportCount;
  const uint32_t size = globals_.reportSize;
  uint32_t element = 0;
  for (size_t i = 0; i < runs.size() && element < count; ++i) {
    const UsageRun& run = runs[i];
    const bool lastRun = i + 1 == runs.size();
    const uint32_t remaining = count - element;
    const uint32_t assigned =
        lastRun ? remaining : static_cast<uint32_t>(std::min<int64_t>(run.length(), remaining));
    const auto usageMax = static_cast<uint16_t>(run.min + std::min<int64_t>(run.length(), assigned) - 1);
    const uint32_t offset = bitOffset + element * size;
    if (size == 1) {
      ButtonCaps caps;
      caps.usagePage = run.page;
      caps.reportId = globals_.reportId;
      caps.linkCollection = links_.back();
      caps.usageMin = run.min;
      caps.usageMax = usageMax;
      caps.isRange = usageMax != run.min;
      caps.bitOffset = offset;
      caps.bitSize = 1;
      caps.reportCount = static_cast<uint16_t>(assigned);
      caps.logicalMin = ClampToInt32(globals_.logical.min);
      caps.logicalMax = ClampToInt32(globals_.logical.max());
      top.inputButtonCaps.push_back(caps);
    } else {
      ValueCaps caps;
      caps.usagePage = run.page;
      caps.reportId = globals_.reportId;
      caps.linkCollection = links_.back();
      caps.usageMin = run.min;
      caps.usageMax = usageMax;
      caps.isRange = usageMax != run.min;
      caps.bitOffset = offset;
      caps.bitSize = static_cast<uint16_t>(size);
      caps.reportCount = static_cast<uint16_t>(assigned);
      caps.logicalMin = ClampToInt32(globals_.logical.min);
      caps.logicalMax = ClampToInt32(globals_.logical.max());
      caps.physicalMin = ClampToInt32(globals_.physical.min);
      caps.physicalMax = ClampToInt32(globals_.physical.max());
      top.inputValueCaps.push_back(caps);
    }
    element += assigned;
  }
}

void Parser::Finish() {
  for (size_t c = 0; c < out_.collections.size(); ++c) {
    TopCollection& top = out_.collections[c];
    std::array<uint16_t*, kKindCount> lengths = {&top.inputReportByteLength, &top.outputReportByteLength,
                                                 &top.featureReportByteLength};
    std::bitset<256> anyKind;
    for (size_t kind = 0; kind < kKindCount; ++kind) {
      const std::bitset<256>& used = idsUsed_[c][kind];
      anyKind |= used;
      for (size_t id = 0; id < 256; ++id) {
        if (!used.test(id)) continue;
        const auto length = static_cast<uint16_t>(1 + (bits_[kind][id] + 7) / 8);
        *lengths[kind] = std::max(*lengths[kind], length);
      }
    }
    if (!out_.usesReportIds) continue;
    for (size_t id = 0; id < 256; ++id) {
      if (anyKind.test(id)) top.reportIds.push_back(static_cast<uint8_t>(id));
    }
  }
}

// --- Decoding ---------------------------------------------------------------

// Whether `report` (id byte first) holds `count` elements of `size` bits from
// `bitOffset` on.
bool Holds(std::span<const uint8_t> report, uint32_t bitOffset, uint32_t size, uint32_t count) {
  const uint64_t endBit = uint64_t{bitOffset} + uint64_t{size} * count;
  return report.size() >= 1 + (endBit + 7) / 8;
}

// `size` (1..32) bits from `bitOffset`, least significant bit first; the
// caller has checked that they lie within the report.
uint32_t ReadBits(std::span<const uint8_t> report, uint64_t bitOffset, uint32_t size) {
  const size_t first = bitOffset / 8;
  const size_t last = (bitOffset + size - 1) / 8;
  uint64_t acc = 0;
  for (size_t b = first; b <= last; ++b) acc |= uint64_t{report[1 + b]} << (8 * (b - first));
  acc >>= bitOffset % 8;
  return static_cast<uint32_t>(acc & ((uint64_t{1} << size) - 1));
}

bool Readable(uint16_t bitSize) { return bitSize >= 1 && bitSize <= kMaxValueBits; }

class UsageList {
 public:
  UsageList(std::span<uint16_t> usages, size_t& count) : usages_(usages), count_(count) { count_ = 0; }
  // False when the list is full.
  bool Add(uint16_t usage) {
    if (usage == 0) return true;  // usage 0 names nothing on any page
    if (count_ == usages_.size()) return false;
    usages_[count_++] = usage;
    return true;
  }

 private:
  std::span<uint16_t> usages_;
  size_t& count_;
};

// The caps of one array field are consecutive and share the field's bits.
size_t ArrayGroupEnd(const std::vector<ButtonCaps>& caps, size_t begin) {
  size_t end = begin + 1;
  while (end < caps.size() && caps[end].isArray && caps[end].reportId == caps[begin].reportId &&
         caps[end].bitOffset == caps[begin].bitOffset) {
    ++end;
  }
  return end;
}

bool DecodeArrayGroup(std::span<const ButtonCaps> group, uint16_t usagePage, std::span<const uint8_t> report,
                      UsageList& list) {
  const ButtonCaps& field = group.front();
  const bool isSigned = field.logicalMin < 0;
  for (uint32_t e = 0; e < field.reportCount; ++e) {
    const uint32_t raw = ReadBits(report, field.bitOffset + uint64_t{e} * field.bitSize, field.bitSize);
    const int64_t index = isSigned ? SignExtend(raw, field.bitSize) : int64_t{raw};
    // The runs' index slices ascend, so the one holding `index` is found by search.
    auto it = std::partition_point(group.begin(), group.end(),
                                   [index](const ButtonCaps& c) { return c.logicalMax < index; });
    if (it == group.end() || it->logicalMin > index || it->usagePage != usagePage) continue;
    if (!list.Add(static_cast<uint16_t>(it->usageMin + (index - it->logicalMin)))) return false;
  }
  return true;
}

bool DecodeBits(const ButtonCaps& caps, std::span<const uint8_t> report, UsageList& list) {
  for (uint32_t e = 0; e < caps.reportCount; ++e) {
    if (ReadBits(report, caps.bitOffset + uint64_t{e} * caps.bitSize, caps.bitSize) == 0) continue;
    const auto usage = static_cast<uint16_t>(std::min<uint32_t>(uint32_t{caps.usageMin} + e, caps.usageMax));
    if (!list.Add(usage)) return false;
  }
  return true;
}

struct ValueLookup {
  Status status = Status::UsageNotFound;
  const ValueCaps* caps = nullptr;
  uint32_t raw = 0;
};

ValueLookup ReadValue(const TopCollection& collection, uint16_t usagePage, uint16_t usage,
                      std::span<const uint8_t> report) {
  ValueLookup result;
  if (report.empty()) {
    result.status = Status::InvalidReportLength;
    return result;
  }
  for (const ValueCaps& caps : collection.inputValueCaps) {
    if (caps.usagePage != usagePage || usage < caps.usageMin || usage > caps.usageMax) continue;
    if (!Readable(caps.bitSize)) continue;
    if (caps.reportId != report[0]) {
      result.status = Status::IncompatibleReportId;
      continue;
    }
    const uint32_t element = usage - caps.usageMin;
    if (element >= caps.reportCount) continue;
    if (!Holds(report, caps.bitOffset, caps.bitSize, caps.reportCount)) {
      result.status = Status::InvalidReportLength;
      return result;
    }
    result.status = Status::Success;
    result.caps = &caps;
    result.raw = ReadBits(report, caps.bitOffset + uint64_t{element} * caps.bitSize, caps.bitSize);
    return result;
  }
  return result;
}

}  // namespace

std::optional<ReportDescriptor> ParseReportDescriptor(std::span<const uint8_t> bytes) {
  return Parser{}.Parse(bytes);
}

int CollectionOfInputReport(const ReportDescriptor& descriptor, uint8_t reportId) {
  const auto& collections = descriptor.collections;
  for (size_t c = 0; c < collections.size(); ++c) {
    const TopCollection& top = collections[c];
    const bool hasButton = std::any_of(top.inputButtonCaps.begin(), top.inputButtonCaps.end(),
                                       [reportId](const ButtonCaps& caps) { return caps.reportId == reportId; });
    const bool hasValue = std::any_of(top.inputValueCaps.begin(), top.inputValueCaps.end(),
                                      [reportId](const ValueCaps& caps) { return caps.reportId == reportId; });
    if (hasButton || hasValue) return static_cast<int>(c);
  }
  // An input report of padding only has no caps; its id still names the
  // collection that declared input bits under it.
  for (size_t c = 0; c < collections.size(); ++c) {
    const TopCollection& top = collections[c];
    if (top.inputReportByteLength == 0) continue;
    const bool declares = descriptor.usesReportIds
                              ? std::binary_search(top.reportIds.begin(), top.reportIds.end(), reportId)
                              : reportId == 0;
    if (declares) return static_cast<int>(c);
  }
  return -1;
}

uint32_t MaxUsageListLength(const TopCollection& collection, uint16_t usagePage) {
  const std::vector<ButtonCaps>& caps = collection.inputButtonCaps;
  uint32_t total = 0;
  for (size_t i = 0; i < caps.size();) {
    if (caps[i].isArray) {
      const size_t end = ArrayGroupEnd(caps, i);
      const bool onPage = std::any_of(caps.begin() + i, caps.begin() + end,
                                      [usagePage](const ButtonCaps& c) { return c.usagePage == usagePage; });
      if (onPage) total += caps[i].reportCount;
      i = end;
    } else {
      if (caps[i].usagePage == usagePage) total += caps[i].reportCount;
      ++i;
    }
  }
  return total;
}

Status GetUsages(const TopCollection& collection, uint16_t usagePage, std::span<const uint8_t> report,
                 std::span<uint16_t> usages, size_t& count) {
  UsageList list(usages, count);
  if (report.empty()) return Status::InvalidReportLength;
  const std::vector<ButtonCaps>& caps = collection.inputButtonCaps;
  bool onPage = false;
  bool withId = false;
  for (const ButtonCaps& c : caps) {
    if (c.usagePage != usagePage || !Readable(c.bitSize)) continue;
    onPage = true;
    if (c.reportId != report[0]) continue;
    withId = true;
    if (!Holds(report, c.bitOffset, c.bitSize, c.reportCount)) return Status::InvalidReportLength;
  }
  if (!onPage) return Status::UsageNotFound;
  if (!withId) return Status::IncompatibleReportId;

  for (size_t i = 0; i < caps.size();) {
    const size_t end = caps[i].isArray ? ArrayGroupEnd(caps, i) : i + 1;
    const ButtonCaps& field = caps[i];
    const bool decodable = field.reportId == report[0] && Readable(field.bitSize) &&
                           Holds(report, field.bitOffset, field.bitSize, field.reportCount);
    if (decodable) {
      const bool room = field.isArray
                            ? DecodeArrayGroup(std::span(caps).subspan(i, end - i), usagePage, report, list)
                            : field.usagePage != usagePage || DecodeBits(field, report, list);
      if (!room) return Status::BufferTooSmall;
    }
    i = end;
  }
  return Status::Success;
}

Status GetUsageValue(const TopCollection& collection, uint16_t usagePage, uint16_t usage,
                     std::span<const uint8_t> report, uint32_t& value) {
  const ValueLookup found = ReadValue(collection, usagePage, usage, report);
  if (found.status == Status::Success) value = found.raw;
  return found.status;
}

Status GetScaledUsageValue(const TopCollection& collection, uint16_t usagePage, uint16_t usage,
                           std::span<const uint8_t> report, int32_t& value) {
  const ValueLookup found = ReadValue(collection, usagePage, usage, report);
  if (found.status != Status::Success) return found.status;
  const ValueCaps& caps = *found.caps;
  const int64_t logical = caps.logicalMin < 0 ? SignExtend(found.raw, caps.bitSize) : int64_t{found.raw};
  if (logical < caps.logicalMin || logical > caps.logicalMax) return Status::ValueOutOfRange;
  if (caps.physicalMin == 0 && caps.physicalMax == 0) {
    value = static_cast<int32_t>(logical);
    return Status::Success;
  }
  const int64_t logicalSpan = int64_t{caps.logicalMax} - caps.logicalMin;
  if (logicalSpan == 0) {
    value = caps.physicalMin;
    return Status::Success;
  }
  // The product can exceed 64 bits for 32-bit ranges; the quotient cannot.
  const __int128 physicalSpan = int64_t{caps.physicalMax} - caps.physicalMin;
  const __int128 scaled = physicalSpan * (logical - caps.logicalMin) / logicalSpan;
  value = static_cast<int32_t>(caps.physicalMin + static_cast<int64_t>(scaled));
  return Status::Success;
}

}  // namespace talvo::platform::hid
