// The command channel to one peripheral: the identity of its command
// interface, its presence, the lock that serialises its I/O and the transfer
// size of key maps. Every exchange writes one 64-byte request and reads one
// reply; replies are matched to requests only by order, so the lock is held
// for a whole attempt and two threads never take each other's reply.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <stop_token>

#include "device/chid_device.h"
#include "device/device_report.h"
#include "platform/hid_backend.h"
#include "platform/wake_signal.h"

namespace talvo::device {

class CDeviceLink {
 public:
  static constexpr uint16_t kMaxTransferSize = 512;
  static constexpr int kAttempts = 4;
  static constexpr int kWriteTimeoutMs = 1000;
  static constexpr int kReplyTimeoutMs = 300;

  explicit CDeviceLink(platform::HidBackend& backend);
  CDeviceLink(const CDeviceLink&) = delete;
  CDeviceLink& operator=(const CDeviceLink&) = delete;

  // Stores the identity the command interface must have; clears `connected`.
  void SetDeviceIdentity(uint16_t vendorId, uint16_t productId, uint16_t usage, uint16_t usagePage);
  // The identity of a command interface of ours: our vendor, that product,
  // the vendor command usage and page.
  void SetCommandIdentity(uint16_t productId) {
    SetDeviceIdentity(kVendorId, productId, kCommandUsage, kCommandUsagePage);
  }
  // 1 and stored when size <= 512; else 0 and the old size kept.
  int SetTransferSize(uint16_t size);
  bool IsConnected() const { return connected.load() != 0; }

  // Sends `request` (zero-padded or cut to 64 bytes) and reads one reply
  // into `reply`, retrying a missing reply up to four attempts in all. A
  // reply shorter than `reply` is zero-padded. 1 reply read, 0 absent or no
  // reply, -1 the request was not written.
  int Exchange(std::span<const uint8_t> request, std::span<uint8_t> reply);
  // One write whose outcome is not examined, then one reply into the same
  // buffer. 1 when a reply was read, else 0; no retry.
  int ExchangeOnce(std::span<uint8_t, kReportSize> buffer);

  // A sequence of exchanges that must stay whole: the caller holds IoLock()
  // from before BeginSequence to after EndSequence, so no other thread's
  // report lands inside it. From the moment `stop` is requested or a write
  // fails because the device is gone, every further exchange of the
  // sequence returns -1 at once without touching the device, so the
  // sequence ends at its next report. EndSequence tells whether it was cut
  // short that way.
  void BeginSequence(std::stop_token stop);
  bool EndSequence();

  // Walks the interfaces present, skipping those whose path names another
  // vendor, and opens each candidate for reading and writing, shared; stops
  // at the first whose vendor, product, usage page and usage match and sets
  // `connected`. True when connected (at once when it already was).
  // `enumerationFailed`, when given, tells a failed listing from no match;
  // `accessDenied`, when given, tells whether an interface the listing gave
  // this link's vendor and product could not be opened for lack of
  // permission; `openFailed`, when given, whether such an interface could
  // not be opened for any reason (the device is there and worth another try).
  bool Attach(bool* enumerationFailed = nullptr, bool* accessDenied = nullptr, bool* openFailed = nullptr);
  // Clears `connected` and `syncActive`; the interface stays open and the
  // next attach reopens it.
  void Detach();

  // Told whenever `connected` changes, so threads that wait for the device
  // sleep instead of looking again and again. Set before any thread uses the
  // link; may be null.
  void SetPresenceSignal(platform::Notifier* signal) { presenceSignal_ = signal; }

  uint16_t TransferSize() const { return transferSize_.load(); }
  uint16_t VendorId() const { return vendorId_; }
  uint16_t ProductId() const { return productId_; }
  uint16_t Usage() const { return usage_; }
  uint16_t UsagePage() const { return usagePage_; }

  // Re-entrant, so the device watcher can hold it across a whole pass and
  // still run commands on the link.
  std::recursive_mutex& IoLock() { return ioLock_; }
  CHidDevice& Hid() { return hid_; }
  const CHidDevice& Hid() const { return hid_; }

  // Plain flags written by one thread and read by others.
  std::atomic<uint32_t> connected{0};
  std::atomic<uint32_t> syncActive{0};

 private:
  void DropStaleReplies();
  // Whether the running sequence has been cut short; false outside one.
  bool SequenceCut();

  void TellPresence() {
    if (presenceSignal_) presenceSignal_->Notify();
  }

  platform::Notifier* presenceSignal_ = nullptr;
  // Touched only with ioLock_ held.
  bool inSequence_ = false;
  bool sequenceCut_ = false;
  std::stop_token sequenceStop_;
  std::atomic<uint16_t> transferSize_{kMaxTransferSize};
  uint16_t vendorId_ = 0;
  uint16_t productId_ = 0;
  uint16_t usage_ = 0;
  uint16_t usagePage_ = 0;
  CHidDevice hid_;
  std::recursive_mutex ioLock_;
};

}  // namespace talvo::device
