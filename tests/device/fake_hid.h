// A scripted HID backend for the device tests. Each interface has a device
// that records every report written to it and queues the replies its
// responder derives from them; reads take the queue in order. The device can
// be told to fail writes, to stay silent, or to hold a read until it is
// aborted.
#pragma once

#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "device/device_link.h"
#include "device/device_report.h"
#include "platform/hid_backend.h"

namespace talvo::device::testing {

using Bytes = std::vector<uint8_t>;
using platform::HidIo;

// Command interface: vendor page 0xFF1C, usage 0x92, report id 4 with 63
// data bytes each way.
inline const Bytes kCommandDescriptor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x01, 0x95, 0x3F, 0x91, 0x02, 0xC0};

// Consumer control with report id 3: one-bit usages 1..3, then 4..8, then an
// 8-bit value of usage 0xE0 (logical 0..100, physical 0..1000), then a
// ranged 8-bit value field of usages 0xE1..0xE2.
inline const Bytes kNotifyDescriptor = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,                    //
    0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  //
    0x19, 0x04, 0x29, 0x08, 0x95, 0x05, 0x81, 0x02,                    //
    0x09, 0xE0, 0x15, 0x00, 0x25, 0x64, 0x35, 0x00, 0x46, 0xE8, 0x03, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02,
    0x19, 0xE1, 0x29, 0xE2, 0x45, 0x00, 0x26, 0xFF, 0x00, 0x95, 0x02, 0x81, 0x02,  //
    0xC0};

struct FakeDevice {
  using Responder = std::function<std::optional<Bytes>(const Bytes& request)>;

  std::mutex mutex;
  std::vector<Bytes> written;
  std::deque<Bytes> replies;
  Responder responder;
  // Writes that succeed before every further write fails (the device is
  // pulled out); negative: never.
  int writesBeforeFailure = -1;
  // A read with no reply queued waits for the abort event or its time-out
  // instead of timing out at once.
  bool holdReads = false;
  std::vector<HidIo> readEnds;  // how each read ended
  // Widens the window between one thread's write and read, so that a link
  // that lets go of its lock in between is caught swapping replies.
  bool yieldInTransfers = false;

  std::vector<Bytes> Written() {
    std::lock_guard lock(mutex);
    return written;
  }
  std::vector<HidIo> ReadEnds() {
    std::lock_guard lock(mutex);
    return readEnds;
  }
};

// Replies echo the request with `status` in the status byte.
inline FakeDevice::Responder EchoWithStatus(uint8_t status) {
  return [status](const Bytes& request) -> std::optional<Bytes> {
    Bytes reply = request;
    reply.resize(kReportSize);
    reply[report::kStatus] = status;
    return reply;
  };
}

// Replies carry data byte i = low byte of (offset + i + salt), status 0.
inline FakeDevice::Responder OffsetPattern(uint8_t salt = 0) {
  return [salt](const Bytes& request) -> std::optional<Bytes> {
    Bytes reply(kReportSize, 0);
    reply[0] = kReportId;
    reply[report::kCommand] = request[report::kCommand];
    const unsigned offset = request[report::kOffset] | (request[report::kOffset + 1] << 8);
    for (size_t i = 0; i < kReportDataSize; ++i) {
      reply[kReportDataOffset + i] = static_cast<uint8_t>(offset + i + salt);
    }
    return reply;
  };
}

inline FakeDevice::Responder Silent() {
  return [](const Bytes&) -> std::optional<Bytes> { return std::nullopt; };
}

class FakeHandle : public platform::HidHandle {
 public:
  FakeHandle(std::shared_ptr<FakeDevice> device, platform::HidInterfaceInfo info, Bytes descriptor)
      : device_(std::move(device)), info_(std::move(info)), descriptor_(std::move(descriptor)) {}

  uint16_t VendorId() const override { return info_.vendorId; }
  uint16_t ProductId() const override { return info_.productId; }
  std::span<const uint8_t> ReportDescriptor() const override { return descriptor_; }
  size_t CollectionIndex() const override { return 0; }

  HidIo Write(std::span<const uint8_t> report, int, platform::AbortEvent&, size_t& written) override {
    written = 0;
    FakeDevice& d = *device_;
    {
      std::lock_guard lock(d.mutex);
      if (d.writesBeforeFailure == 0) return HidIo::Failed;
      if (d.writesBeforeFailure > 0) --d.writesBeforeFailure;
      Bytes request(report.begin(), report.end());
      d.written.push_back(request);
      if (d.responder) {
        if (auto reply = d.responder(request)) d.replies.push_back(std::move(*reply));
      }
    }
    if (d.yieldInTransfers) std::this_thread::yield();
    written = report.size();
    return HidIo::Ok;
  }

  HidIo Read(std::span<uint8_t> buffer, int timeoutMs, platform::AbortEvent& abort, size_t& got) override {
    got = 0;
    FakeDevice& d = *device_;
    if (d.yieldInTransfers) std::this_thread::yield();
    bool hold = false;
    {
      std::lock_guard lock(d.mutex);
      if (!d.replies.empty()) {
        const Bytes reply = std::move(d.replies.front());
        d.replies.pop_front();
        got = std::min(reply.size(), buffer.size());
        std::copy_n(reply.begin(), got, buffer.begin());
        d.readEnds.push_back(HidIo::Ok);
        return HidIo::Ok;
      }
      hold = d.holdReads;
    }
    HidIo end = HidIo::TimedOut;
    if (hold) {
      pollfd fd{abort.fd(), POLLIN, 0};
      if (::poll(&fd, 1, timeoutMs) > 0 && abort.Consume()) end = HidIo::Aborted;
    }
    std::lock_guard lock(d.mutex);
    d.readEnds.push_back(end);
    return end;
  }

 private:
  std::shared_ptr<FakeDevice> device_;
  platform::HidInterfaceInfo info_;
  Bytes descriptor_;
};

class FakeBackend : public platform::HidBackend {
 public:
  struct Interface {
    platform::HidInterfaceInfo info;
    Bytes descriptor;
    std::shared_ptr<FakeDevice> device;
    bool present = true;
  };
  struct OpenCall {
    std::string path;
    platform::HidOpenRequest request;
  };

  // Adds an interface and returns its device.
  std::shared_ptr<FakeDevice> Add(std::string path, uint16_t vendorId, uint16_t productId,
                                  const Bytes& descriptor = kCommandDescriptor) {
    auto device = std::make_shared<FakeDevice>();
    platform::HidInterfaceInfo info;
    info.path = std::move(path);
    info.vendorId = vendorId;
    info.productId = productId;
    interfaces.push_back(Interface{info, descriptor, device, true});
    return device;
  }

  Interface* Find(const std::string& path) {
    for (auto& entry : interfaces) {
      if (entry.info.path == path) return &entry;
    }
    return nullptr;
  }

  bool Enumerate(std::vector<platform::HidInterfaceInfo>& out) override {
    if (failEnumerate) return false;
    out.clear();
    for (const auto& entry : interfaces) {
      if (entry.present) out.push_back(entry.info);
    }
    return true;
  }

  std::unique_ptr<platform::HidHandle> Open(const std::string& path, const platform::HidOpenRequest& request,
                                            platform::HidOpenError* error) override {
    opens.push_back(OpenCall{path, request});
    Interface* entry = Find(path);
    if (!entry || !entry->present) {
      if (error) *error = platform::HidOpenError::NotFound;
      return nullptr;
    }
    if (openError != platform::HidOpenError::None) {
      if (error) *error = openError;
      return nullptr;
    }
    return std::make_unique<FakeHandle>(entry->device, entry->info, entry->descriptor);
  }

  bool Exists(const std::string& path) override {
    const Interface* entry = Find(path);
    return entry && entry->present;
  }

  std::vector<Interface> interfaces;
  std::vector<OpenCall> opens;
  bool failEnumerate = false;
  platform::HidOpenError openError = platform::HidOpenError::None;
};

inline constexpr char kMouseCommandPath[] = "\\\\?\\hid#vid_0c45&pid_652c&mi_01&col02#7&1a2b#{4d1e55b2}";

// A mouse link attached to a fake command interface that echoes requests
// with status 0.
struct AttachedMouse {
  FakeBackend backend;
  std::shared_ptr<FakeDevice> device = backend.Add(kMouseCommandPath, kVendorId, kMouseProductId);
  CDeviceLink link{backend};

  AttachedMouse() {
    link.SetCommandIdentity(kMouseProductId);
    link.Attach();
    device->responder = EchoWithStatus(0);
  }
};

}  // namespace talvo::device::testing
