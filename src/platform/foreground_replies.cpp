#include "platform/foreground_replies.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii.h"

namespace talvo::platform {
namespace {

constexpr size_t kReplyHeader = 32;
constexpr uint8_t kReplyType = 1;
constexpr uint32_t kLocalClientPidMask = 2;  // XRes ClientIdMask LocalClientPID
constexpr std::string_view kDeletedSuffix = " (deleted)";

uint32_t Card32At(std::span<const uint8_t> bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// The reply cut to the size its header announces; nothing when fewer bytes
// arrived than announced or it is not a reply.
std::optional<std::span<const uint8_t>> WholeReply(std::span<const uint8_t> reply) {
  if (reply.size() < kReplyHeader || reply[0] != kReplyType) return std::nullopt;
  const uint64_t size = kReplyHeader + uint64_t{Card32At(reply, 4)} * 4;
  if (size > reply.size()) return std::nullopt;
  return reply.first(static_cast<size_t>(size));
}

}  // namespace

std::optional<PropertyValue> ReadPropertyReply(std::span<const uint8_t> reply) {
  const auto whole = WholeReply(reply);
  if (!whole) return std::nullopt;
  PropertyValue property;
  property.format = (*whole)[1];
  property.type = Card32At(*whole, 8);
  const uint64_t items = Card32At(*whole, 16);
  if (property.format != 0 && property.format != 8 && property.format != 16 && property.format != 32) {
    return std::nullopt;
  }
  const uint64_t bytes = items * (property.format / 8);
  if (property.format == 0 && items != 0) return std::nullopt;
  if (bytes > whole->size() - kReplyHeader) return std::nullopt;
  property.bytes = whole->subspan(kReplyHeader, static_cast<size_t>(bytes));
  return property;
}

std::optional<uint32_t> FirstCard32(const PropertyValue& property, uint32_t type) {
  if (property.type != type || property.format != 32 || property.bytes.size() < 4) return std::nullopt;
  return Card32At(property.bytes, 0);
}

std::optional<int> ValidPid(uint64_t value) {
  if (value < 1 || value > uint64_t{kMaxPid}) return std::nullopt;
  return static_cast<int>(value);
}

bool ClientMachineIs(const PropertyValue& property, std::string_view host) {
  if (property.format != 8 || host.empty()) return false;
  std::string_view name(reinterpret_cast<const char*>(property.bytes.data()), property.bytes.size());
  while (!name.empty() && name.back() == '\0') name.remove_suffix(1);
  return EqualsIgnoreCase(name, host);
}

std::optional<int> ReadClientIdsPid(std::span<const uint8_t> reply) {
  const auto whole = WholeReply(reply);
  if (!whole) return std::nullopt;
  const uint32_t count = Card32At(*whole, 8);
  size_t offset = kReplyHeader;
  for (uint32_t i = 0; i < count; ++i) {
    if (whole->size() - offset < 12) return std::nullopt;
    const uint32_t mask = Card32At(*whole, offset + 4);
    const uint32_t length = Card32At(*whole, offset + 8);
    offset += 12;
    if (length % 4 != 0 || length > whole->size() - offset) return std::nullopt;
    if ((mask & kLocalClientPidMask) != 0 && length == 4) return ValidPid(Card32At(*whole, offset));
    offset += length;
  }
  return std::nullopt;
}

std::optional<std::string> ExecutableFromProcLink(std::string_view link) {
  if (link.ends_with(kDeletedSuffix)) link.remove_suffix(kDeletedSuffix.size());
  if (link.size() < 2 || link.front() != '/' || link.find('\0') != std::string_view::npos) return std::nullopt;
  return std::string(link);
}

std::optional<int> ReadReportedPid(std::string_view text) {
  // Seven digits hold kMaxPid; more could only overflow.
  if (text.empty() || text.size() > 7) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value == 0) return 0;
  return ValidPid(static_cast<uint64_t>(value));
}

std::optional<std::vector<int>> ReadReportedPids(std::string_view text) {
  std::vector<int> pids;
  if (text.empty()) return pids;
  // Seven digits and a comma per window; more text could only be refused
  // item by item.
  if (text.size() > kMaxReportedWindows * 8) return std::nullopt;
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find(',', start), text.size());
    const auto pid = ReadReportedPid(text.substr(start, end - start));
    if (!pid || *pid == 0) return std::nullopt;
    if (std::find(pids.begin(), pids.end(), *pid) == pids.end()) {
      if (pids.size() == kMaxReportedWindows) return std::nullopt;
      pids.push_back(*pid);
    }
    if (end == text.size()) return pids;
    start = end + 1;
  }
}

}  // namespace talvo::platform
