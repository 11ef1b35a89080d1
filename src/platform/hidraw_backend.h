// HID access through Linux hidraw nodes, listed with libudev.
//
// Paths: the hidraw device node ("/dev/hidraw3") when the interface's report
// descriptor has a single top-level collection; otherwise the node, "#" and
// the collection's index in descriptor order ("/dev/hidraw3#0",
// "/dev/hidraw3#1"). A node without the suffix stands for collection 0. All
// collections of one node share its file; each handle only sees the input
// reports whose report id belongs to its own collection.
//
// Time-outs are in milliseconds; a negative time-out waits without limit.
// A hidraw write() can block in the kernel for a whole USB transfer, so every
// handle opened for writing hands its reports to a writer thread of its own,
// which works from a copy: Write() returns on time-out or abort while the
// transfer finishes behind it, and the next Write() waits for that first.
// Handles opened without write access fail every Write().
//
// WaitForChange listens to udev for hidraw nodes coming and going. The
// monitor is set up by the first wait and shared by every waiting thread;
// where udev cannot be listened to, waits simply last their time-out.
//
// Exclusive opens take an advisory flock() on the node (shared opens a shared
// one), so an exclusive holder keeps every other Talvo opener out (Busy);
// programs that do not lock are not affected.
//
// hidraw delivers input reports without the id byte when the interface
// declares no report ids; reads then get a 0 id byte in front, so callers see
// one report layout. Writes always pass byte 0 through: hidraw takes the
// report id on every write and the kernel drops a 0 id before the transfer.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hid_backend.h"

namespace talvo::platform {

class HidrawBackend : public HidBackend {
 public:
  HidrawBackend();
  ~HidrawBackend() override;
  HidrawBackend(const HidrawBackend&) = delete;
  HidrawBackend& operator=(const HidrawBackend&) = delete;

  bool Enumerate(std::vector<HidInterfaceInfo>& out) override;
  std::unique_ptr<HidHandle> Open(const std::string& path, const HidOpenRequest& request,
                                  HidOpenError* error = nullptr) override;
  bool Exists(const std::string& path) override;
  // True when udev announced a hidraw node added, removed or changed since
  // the wait began, or while the caller was busy since its last wait (events
  // nobody has taken yet count).
  bool WaitForChange(std::stop_token stop, std::chrono::milliseconds timeout) override;
  // The udev events taken so far; none when udev cannot be listened to.
  std::optional<uint64_t> ChangeMark() override;
  bool WaitForChangeAfter(std::stop_token stop, uint64_t mark) override;

  // For tests: a read/write handle over an already open file descriptor
  // (taken over, made non-blocking) standing in for a hidraw node, with the
  // given report descriptor and collection index. A SOCK_SEQPACKET socket
  // moves one report per read and write as a hidraw node does. Null when
  // the descriptor does not parse or has no such collection (fd is closed).
  static std::unique_ptr<HidHandle> WrapForTest(int fd, uint16_t vendorId, uint16_t productId,
                                                std::vector<uint8_t> descriptor,
                                                size_t collectionIndex);

 private:
  class Monitor;
  // Null until the first wait, and after it when udev cannot be listened to.
  Monitor* EnsureMonitor();
  // Until the monitor has taken more events than `seen`, the stop, or the
  // time-out (none when negative).
  static bool WaitForEvents(Monitor& monitor, std::stop_token stop, uint64_t seen, int timeoutMs);

  std::once_flag monitorOnce_;
  std::unique_ptr<Monitor> monitor_;
};

// The udev HID_ID property of a HID device: "BBBB:VVVVVVVV:PPPPPPPP" in
// hexadecimal (bus type, vendor id, product id).
struct HidId {
  uint16_t bus = 0;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};

// Nullopt unless the text is three colon-separated hexadecimal fields of one
// to eight digits each, every value fitting 16 bits.
std::optional<HidId> ParseHidId(std::string_view text);

}  // namespace talvo::platform
