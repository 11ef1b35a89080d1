#include "device/device_link.h"

#include <algorithm>
#include <array>

namespace talvo::device {

namespace {

void PadAfter(std::span<uint8_t> buffer, size_t got) {
  if (got < buffer.size()) std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got), buffer.end(), 0);
}

// Most queued reports dropped before one attempt; a device that keeps
// sending faster than we read must not hold the exchange forever.
constexpr int kMaxStaleReports = 64;

}  // namespace

// Replies are matched to requests by order only. A reply that arrived after
// an earlier attempt gave up waiting would otherwise be taken as the answer
// to this request, and every later exchange would read the reply of the one
// before it. Nothing queued before the request is written can answer it.
void CDeviceLink::DropStaleReplies() {
  std::array<uint8_t, kReportSize> stale;
  size_t got = 0;
  for (int i = 0; i < kMaxStaleReports && hid_.ReadHidReport(stale, &got, 0); ++i) {
  }
}

CDeviceLink::CDeviceLink(platform::HidBackend& backend) : hid_(backend) {}

void CDeviceLink::SetDeviceIdentity(uint16_t vendorId, uint16_t productId, uint16_t usage,
                                    uint16_t usagePage) {
  vendorId_ = vendorId;
  productId_ = productId;
  usage_ = usage;
  usagePage_ = usagePage;
  connected = 0;
}

int CDeviceLink::SetTransferSize(uint16_t size) {
  if (size > kMaxTransferSize) return 0;
  transferSize_ = size;
  return 1;
}

void CDeviceLink::BeginSequence(std::stop_token stop) {
  inSequence_ = true;
  sequenceCut_ = false;
  sequenceStop_ = std::move(stop);
}

bool CDeviceLink::EndSequence() {
  const bool cut = SequenceCut();
  inSequence_ = false;
  sequenceCut_ = false;
  sequenceStop_ = {};
  return cut;
}

bool CDeviceLink::SequenceCut() {
  if (inSequence_ && sequenceStop_.stop_requested()) sequenceCut_ = true;
  return sequenceCut_;
}

int CDeviceLink::Exchange(std::span<const uint8_t> request, std::span<uint8_t> reply) {
  if (!IsConnected()) return 0;
  std::array<uint8_t, kReportSize> send{};
  std::copy_n(request.begin(), std::min(request.size(), send.size()), send.begin());

  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::lock_guard<std::recursive_mutex> lock(ioLock_);
    if (SequenceCut()) return -1;
    DropStaleReplies();
    if (!hid_.WriteHidReport(send, nullptr, kWriteTimeoutMs)) {
      // A device pulled out fails every later request too: the rest of the
      // sequence would only wait out its attempts.
      if (inSequence_ && !hid_.Exists(hid_.DevicePath())) sequenceCut_ = true;
      return -1;
    }
    size_t got = 0;
    if (hid_.ReadHidReport(reply, &got, kReplyTimeoutMs)) {
      PadAfter(reply, got);
      return 1;
    }
  }
  return 0;
}

int CDeviceLink::ExchangeOnce(std::span<uint8_t, kReportSize> buffer) {
  if (!IsConnected()) return 0;
  std::lock_guard<std::recursive_mutex> lock(ioLock_);
  if (SequenceCut()) return 0;
  DropStaleReplies();
  hid_.WriteHidReport(buffer, nullptr, kWriteTimeoutMs);
  size_t got = 0;
  if (!hid_.ReadHidReport(buffer, &got, kReplyTimeoutMs)) return 0;
  PadAfter(buffer, got);
  return 1;
}

bool CDeviceLink::Attach(bool* enumerationFailed, bool* accessDenied, bool* openFailed) {
  if (enumerationFailed) *enumerationFailed = false;
  if (accessDenied) *accessDenied = false;
  if (openFailed) *openFailed = false;
  std::lock_guard<std::recursive_mutex> lock(ioLock_);
  if (IsConnected()) return true;
  if (!hid_.EnumerateHidInterfaces()) {
    if (enumerationFailed) *enumerationFailed = true;
    return false;
  }
  while (const auto path = hid_.NextInterfacePath()) {
    if (hid_.PathVendorId(*path) != vendorId_) continue;
    if (!hid_.OpenHidDevice(*path, true, true, true, false)) {
      if (hid_.PathProductId(*path) == productId_) {
        if (accessDenied && hid_.LastOpenError() == platform::HidOpenError::PermissionDenied) *accessDenied = true;
        if (openFailed) *openFailed = true;
      }
      continue;
    }
    const auto& attributes = hid_.Attributes();
    const auto& caps = hid_.Caps();
    if (attributes.vendorId == vendorId_ && attributes.productId == productId_ &&
        caps.usagePage == usagePage_ && caps.usage == usage_) {
      connected = 1;
      TellPresence();
      break;
    }
    hid_.CloseHidDevice();
  }
  hid_.FreeInterfacePaths();
  return IsConnected();
}

void CDeviceLink::Detach() {
  connected = 0;
  syncActive = 0;
  TellPresence();
}

}  // namespace talvo::device
