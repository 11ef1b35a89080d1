// One HID interface (top-level collection) of a USB device: listing the
// interfaces present, opening one by path, learning its identity and report
// sizes, moving single reports with a time-out another thread can cut short,
// and decoding input reports into the usages they carry.
//
// The command channel of each peripheral embeds one and serialises its use
// with the link's lock; each input listener owns one and uses it from its own
// thread only.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hid_backend.h"
#include "platform/hid_report_descriptor.h"

namespace talvo::device {

// One decoded input field: a button field (the usages that are on) or one
// usage of a value field.
struct HidDataItem {
  bool isButton = false;
  uint16_t usagePage = 0;
  platform::hid::Status status = platform::hid::Status::Success;  // of the last decode
  uint32_t reportId = 0;  // only the low byte is compared
  bool isSet = false;     // an unpack has filled the item

  // Button fields.
  uint32_t usageMin = 0;
  uint32_t usageMax = 0;
  uint32_t maxUsages = 0;
  std::vector<uint16_t> usages;  // maxUsages entries; 0 after the last usage that is on

  // Value fields.
  uint16_t usage = 0;
  uint32_t value = 0;
  int32_t scaledValue = 0;
};

struct HidCaps {
  uint16_t usage = 0;
  uint16_t usagePage = 0;
  uint16_t inputReportByteLength = 0;  // counting the report id byte
  uint16_t outputReportByteLength = 0;
  uint16_t numberInputButtonCaps = 0;
  uint16_t numberInputValueCaps = 0;
};

struct HidAttributes {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

class CHidDevice {
 public:
  // Longest interface path an open accepts.
  static constexpr size_t kMaxPathLength = 259;
  // Most input items an interface may declare; a descriptor asking for more
  // would only make us allocate without bound.
  static constexpr size_t kMaxInputItems = 4096;

  explicit CHidDevice(platform::HidBackend& backend);
  ~CHidDevice();
  CHidDevice(const CHidDevice&) = delete;
  CHidDevice& operator=(const CHidDevice&) = delete;

  // Lists the interfaces present now (the list may be empty) and restarts
  // the walk from the first one. False when no list could be built.
  bool EnumerateHidInterfaces();
  // The next path of the list, each once, in enumeration order; none when
  // the walk is over or there is no list.
  std::optional<std::string> NextInterfacePath();
  // Ends the walk. The ids learned by the enumeration stay known to
  // PathVendorId / PathProductId until the next enumeration.
  void FreeInterfacePaths();

  // Closes first, then opens `path` and loads its identity, report sizes and
  // input items. `overlapped` is kept for callers; every transfer here can be
  // cut short. On failure the device is closed and LastOpenError() says why.
  bool OpenHidDevice(const std::string& path, bool read, bool write, bool overlapped, bool exclusive);
  // Ends a pending read or write, waits for it to return, then releases the
  // handle and its capability data. Path and open flags are kept.
  void CloseHidDevice();

  // Ends a pending read or write at once with false (one of them when both
  // are pending); does nothing when none is pending. Safe from any thread.
  void CancelPendingIo();

  // One report each; byte 0 is the report id. `count` (optional) receives the
  // bytes moved, 0 on failure. A closed device fails at once.
  bool ReadHidReport(std::span<uint8_t> buffer, size_t* count, int timeoutMs);
  bool WriteHidReport(std::span<const uint8_t> buffer, size_t* count, int timeoutMs);

  // Builds the items of a collection's input fields: one per button field,
  // one per usage of each value field. False when there would be more than
  // kMaxInputItems.
  static bool BuildInputItems(const platform::hid::TopCollection& collection,
                              std::vector<HidDataItem>& items);
  // Decodes `report` into the items of its report id (byte 0). Button items
  // keep only the usages inside their own range. False when the report is
  // empty or a value cannot be decoded; items after that one are left as
  // they were.
  static bool UnpackInputReport(std::span<const uint8_t> report, std::span<HidDataItem> items,
                                const platform::hid::TopCollection& collection);

  // The hexadecimal number after a case-insensitive "vid_" / "pid_" marker,
  // low 16 bits; 0 without the marker or without a digit after it.
  static uint16_t VendorIdFromPath(std::string_view path);
  static uint16_t ProductIdFromPath(std::string_view path);
  // As above when the path carries the marker. Paths without markers (hidraw
  // nodes) get the ids the backend reported for them in the last
  // enumeration, 0 when the path was not listed.
  uint16_t PathVendorId(std::string_view path) const;
  uint16_t PathProductId(std::string_view path) const;

  // Whether the interface behind `path` is present, asking for no access.
  bool Exists(const std::string& path) const;
  // Waits up to `timeout` for interfaces to come or go (see
  // HidBackend::WaitForChange); true when they did or may have.
  bool WaitForInterfaceChange(std::stop_token stop, std::chrono::milliseconds timeout) const;
  // The same from a mark taken before looking at the interfaces, with no
  // time-out (see HidBackend::ChangeMark); no mark without news of changes.
  std::optional<uint64_t> InterfaceChangeMark() const;
  bool WaitForInterfaceChangeAfter(std::stop_token stop, uint64_t mark) const;

  bool IsOpen() const { return handle_ != nullptr; }
  bool IsReading() const { return pendingReads_.load() > 0; }
  bool IsWriting() const { return pendingWrites_.load() > 0; }
  platform::HidOpenError LastOpenError() const { return lastOpenError_; }
  const std::string& DevicePath() const { return devicePath_; }
  const HidCaps& Caps() const { return caps_; }
  const HidAttributes& Attributes() const { return attributes_; }
  const platform::hid::TopCollection& Collection() const { return collection_; }
  std::span<uint8_t> InputReport() { return inputReport_; }
  std::span<HidDataItem> InputItems() { return inputItems_; }
  std::span<const HidDataItem> InputItems() const { return inputItems_; }

  bool OpenedForRead() const { return openRead_; }
  bool OpenedForWrite() const { return openWrite_; }
  bool OpenedOverlapped() const { return openOverlapped_; }
  bool OpenedExclusive() const { return openExclusive_; }

 private:
  // Holds out new transfers and ends pending ones; returns with none left.
  std::unique_lock<std::shared_mutex> EndPendingIo();
  void Release();

  platform::HidBackend& backend_;

  std::vector<platform::HidInterfaceInfo> interfaces_;
  bool haveList_ = false;
  size_t pathCursor_ = 0;

  bool openRead_ = false;
  bool openWrite_ = false;
  bool openOverlapped_ = false;
  bool openExclusive_ = false;
  std::string devicePath_;
  platform::HidOpenError lastOpenError_ = platform::HidOpenError::None;

  // Transfers hold it shared for their whole wait; open and close hold it
  // exclusively, so a handle is never released under a pending transfer.
  mutable std::shared_mutex ioMutex_;
  std::unique_ptr<platform::HidHandle> handle_;
  platform::AbortEvent abort_;
  std::atomic<unsigned> pendingReads_{0};
  std::atomic<unsigned> pendingWrites_{0};

  platform::hid::TopCollection collection_;
  HidCaps caps_;
  HidAttributes attributes_;
  std::vector<uint8_t> inputReport_;
  std::vector<HidDataItem> inputItems_;
};

}  // namespace talvo::device
