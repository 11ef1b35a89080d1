#include "device/chid_device.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace talvo::device {

namespace hid = platform::hid;
using platform::HidIo;
using platform::HidOpenError;

namespace {

// How long a close waits before signalling a pending transfer again; a
// signal can be taken by a wait that was ending anyway.
constexpr std::chrono::milliseconds kAbortRetry{1};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::optional<size_t> FindMarker(std::string_view path, std::string_view marker) {
  const auto it = std::search(path.begin(), path.end(), marker.begin(), marker.end(),
                              [](char a, char b) { return LowerAscii(a) == b; });
  if (it == path.end()) return std::nullopt;
  return static_cast<size_t>(it - path.begin());
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint16_t IdAfterMarker(std::string_view path, std::string_view marker) {
  const auto at = FindMarker(path, marker);
  if (!at) return 0;
  // Only the low 16 bits count, so longer numbers simply shift out.
  uint16_t id = 0;
  for (size_t i = *at + marker.size(); i < path.size(); ++i) {
    const int digit = HexDigit(path[i]);
    if (digit < 0) break;
    id = static_cast<uint16_t>((id << 4) | digit);
  }
  return id;
}

const platform::HidInterfaceInfo* FindListed(const std::vector<platform::HidInterfaceInfo>& list,
                                             std::string_view path) {
  for (const auto& entry : list) {
    if (entry.path == path) return &entry;
  }
  return nullptr;
}

}  // namespace

CHidDevice::CHidDevice(platform::HidBackend& backend) : backend_(backend) {}

CHidDevice::~CHidDevice() {
  auto lock = EndPendingIo();
  Release();
}

bool CHidDevice::EnumerateHidInterfaces() {
  pathCursor_ = 0;
  if (!backend_.Enumerate(interfaces_)) {
    interfaces_.clear();
    haveList_ = false;
    return false;
  }
  haveList_ = true;
  return true;
}

std::optional<std::string> CHidDevice::NextInterfacePath() {
  if (!haveList_ || pathCursor_ >= interfaces_.size()) return std::nullopt;
  return interfaces_[pathCursor_++].path;
}

void CHidDevice::FreeInterfacePaths() { haveList_ = false; }

std::unique_lock<std::shared_mutex> CHidDevice::EndPendingIo() {
  std::unique_lock<std::shared_mutex> lock(ioMutex_, std::defer_lock);
  while (!lock.try_lock()) {
    if (IsReading() || IsWriting()) abort_.Signal();
    std::this_thread::sleep_for(kAbortRetry);
  }
  // A signal that no wait took would otherwise end the next transfer.
  abort_.Consume();
  return lock;
}

void CHidDevice::Release() {
  handle_.reset();
  collection_ = {};
  caps_ = {};
  attributes_ = {};
  inputReport_.clear();
  inputItems_.clear();
}

bool CHidDevice::OpenHidDevice(const std::string& path, bool read, bool write, bool overlapped,
                               bool exclusive) {
  openRead_ = read;
  openWrite_ = write;
  openOverlapped_ = overlapped;
  openExclusive_ = exclusive;

  auto lock = EndPendingIo();
  Release();

  if (path.size() > kMaxPathLength) {
    devicePath_.clear();
    lastOpenError_ = HidOpenError::Other;
    return false;
  }
  devicePath_ = path;

  HidOpenError error = HidOpenError::None;
  auto handle = backend_.Open(path, platform::HidOpenRequest{read, write, exclusive}, &error);
  if (!handle) {
    lastOpenError_ = error == HidOpenError::None ? HidOpenError::Other : error;
    return false;
  }

  auto descriptor = hid::ParseReportDescriptor(handle->ReportDescriptor());
  const size_t index = handle->CollectionIndex();
  if (!descriptor || index >= descriptor->collections.size()) {
    lastOpenError_ = HidOpenError::Other;
    return false;
  }
  hid::TopCollection collection = std::move(descriptor->collections[index]);
  std::vector<HidDataItem> items;
  if (!BuildInputItems(collection, items)) {
    lastOpenError_ = HidOpenError::Other;
    return false;
  }

  caps_.usage = collection.usage;
  caps_.usagePage = collection.usagePage;
  caps_.inputReportByteLength = collection.inputReportByteLength;
  caps_.outputReportByteLength = collection.outputReportByteLength;
  caps_.numberInputButtonCaps = static_cast<uint16_t>(collection.inputButtonCaps.size());
  caps_.numberInputValueCaps = static_cast<uint16_t>(collection.inputValueCaps.size());
  attributes_.vendorId = handle->VendorId();
  attributes_.productId = handle->ProductId();
  inputReport_.assign(collection.inputReportByteLength, 0);
  inputItems_ = std::move(items);
  collection_ = std::move(collection);
  handle_ = std::move(handle);
  lastOpenError_ = HidOpenError::None;
  return true;
}

void CHidDevice::CloseHidDevice() {
  auto lock = EndPendingIo();
  Release();
}

void CHidDevice::CancelPendingIo() {
  // Only while a transfer waits: a signal nobody takes would end the next one.
  if (IsReading() || IsWriting()) abort_.Signal();
}

bool CHidDevice::ReadHidReport(std::span<uint8_t> buffer, size_t* count, int timeoutMs) {
  if (count) *count = 0;
  std::shared_lock<std::shared_mutex> lock(ioMutex_);
  if (!handle_) return false;
  ++pendingReads_;
  size_t got = 0;
  const bool ok = handle_->Read(buffer, timeoutMs, abort_, got) == HidIo::Ok;
  --pendingReads_;
  if (count && ok) *count = got;
  return ok;
}

bool CHidDevice::WriteHidReport(std::span<const uint8_t> buffer, size_t* count, int timeoutMs) {
  if (count) *count = 0;
  std::shared_lock<std::shared_mutex> lock(ioMutex_);
  if (!handle_) return false;
  ++pendingWrites_;
  size_t written = 0;
  const bool ok = handle_->Write(buffer, timeoutMs, abort_, written) == HidIo::Ok;
  --pendingWrites_;
  if (count && ok) *count = written;
  return ok;
}

bool CHidDevice::BuildInputItems(const hid::TopCollection& collection, std::vector<HidDataItem>& items) {
  size_t total = collection.inputButtonCaps.size();
  for (const auto& caps : collection.inputValueCaps) {
    total += caps.isRange && caps.usageMax >= caps.usageMin ? size_t{caps.usageMax} - caps.usageMin + 1 : 1;
  }
  if (total > kMaxInputItems) return false;

  items.clear();
  items.reserve(total);
  for (const auto& caps : collection.inputButtonCaps) {
    HidDataItem item;
    item.isButton = true;
    item.usagePage = caps.usagePage;
    item.reportId = caps.reportId;
    item.usageMin = caps.usageMin;
    item.usageMax = caps.isRange ? caps.usageMax : caps.usageMin;
    item.maxUsages = hid::MaxUsageListLength(collection, caps.usagePage);
    item.usages.assign(item.maxUsages, 0);
    items.push_back(std::move(item));
  }
  for (const auto& caps : collection.inputValueCaps) {
    const uint32_t last = caps.isRange && caps.usageMax >= caps.usageMin ? caps.usageMax : caps.usageMin;
    for (uint32_t usage = caps.usageMin; usage <= last; ++usage) {
      HidDataItem item;
      item.usagePage = caps.usagePage;
      item.reportId = caps.reportId;
      item.usage = static_cast<uint16_t>(usage);
      items.push_back(std::move(item));
    }
  }
  return true;
}

bool CHidDevice::UnpackInputReport(std::span<const uint8_t> report, std::span<HidDataItem> items,
                                   const hid::TopCollection& collection) {
  if (report.empty()) return false;
  const uint8_t reportId = report[0];
  for (auto& item : items) {
    if ((item.reportId & 0xFF) != reportId) continue;
    if (item.isButton) {
      const size_t capacity = std::min<size_t>(item.maxUsages, item.usages.size());
      const std::span<uint16_t> list(item.usages.data(), capacity);
      size_t count = 0;
      item.status = hid::GetUsages(collection, item.usagePage, report, list, count);
      count = std::min(count, capacity);
      // The parser lists every usage of the page that is on; this item
      // stands for its own range only.
      size_t kept = 0;
      for (size_t i = 0; i < count; ++i) {
        const uint16_t usage = list[i];
        if (usage >= item.usageMin && usage <= item.usageMax) list[kept++] = usage;
      }
      std::fill(list.begin() + static_cast<std::ptrdiff_t>(kept), list.end(), uint16_t{0});
    } else {
      uint32_t raw = 0;
      item.status = hid::GetUsageValue(collection, item.usagePage, item.usage, report, raw);
      if (item.status != hid::Status::Success) return false;
      item.value = raw;
      int32_t scaled = 0;
      item.status = hid::GetScaledUsageValue(collection, item.usagePage, item.usage, report, scaled);
      item.scaledValue = item.status == hid::Status::Success ? scaled : 0;
    }
    item.isSet = true;
  }
  return true;
}

uint16_t CHidDevice::VendorIdFromPath(std::string_view path) { return IdAfterMarker(path, "vid_"); }

uint16_t CHidDevice::ProductIdFromPath(std::string_view path) { return IdAfterMarker(path, "pid_"); }

uint16_t CHidDevice::PathVendorId(std::string_view path) const {
  if (FindMarker(path, "vid_")) return VendorIdFromPath(path);
  const auto* listed = FindListed(interfaces_, path);
  return listed ? listed->vendorId : 0;
}

uint16_t CHidDevice::PathProductId(std::string_view path) const {
  if (FindMarker(path, "pid_")) return ProductIdFromPath(path);
  const auto* listed = FindListed(interfaces_, path);
  return listed ? listed->productId : 0;
}

bool CHidDevice::Exists(const std::string& path) const { return backend_.Exists(path); }

bool CHidDevice::WaitForInterfaceChange(std::stop_token stop, std::chrono::milliseconds timeout) const {
  return backend_.WaitForChange(std::move(stop), timeout);
}

std::optional<uint64_t> CHidDevice::InterfaceChangeMark() const { return backend_.ChangeMark(); }

bool CHidDevice::WaitForInterfaceChangeAfter(std::stop_token stop, uint64_t mark) const {
  return backend_.WaitForChangeAfter(std::move(stop), mark);
}

}  // namespace talvo::device
