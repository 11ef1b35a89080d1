// Cost of the device link per exchange, and of the mouse's whole read-back.
//
// BM_Exchange* run against an instant device that answers every request with
// a reply prepared beforehand, so the figure is our own CPU per exchange:
// building the request, checksum, locking, the CHidDevice read and write
// paths. BM_MouseFullRead runs the 68-exchange read-back sequence against the
// simulated mouse at zero latency, firmware work included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "device/device_report.h"
#include "platform/hid_backend.h"
#include "sim/simulated_backend.h"

namespace {

using namespace talvo;

// A device that answers at once: a write makes the canned reply ready, a read
// copies it. Enough for the link, which matches replies by order only.
class InstantHandle : public platform::HidHandle {
 public:
  explicit InstantHandle(std::span<const uint8_t> descriptor) : descriptor_(descriptor) {
    reply_[0] = device::kReportId;
  }
  uint16_t VendorId() const override { return device::kVendorId; }
  uint16_t ProductId() const override { return device::kMouseProductId; }
  std::span<const uint8_t> ReportDescriptor() const override { return descriptor_; }
  size_t CollectionIndex() const override { return 0; }
  platform::HidIo Write(std::span<const uint8_t> report, int, platform::AbortEvent&, size_t& written) override {
    written = report.size();
    replyReady_ = true;
    return platform::HidIo::Ok;
  }
  platform::HidIo Read(std::span<uint8_t> buffer, int, platform::AbortEvent&, size_t& got) override {
    got = 0;
    if (!replyReady_) return platform::HidIo::TimedOut;
    replyReady_ = false;
    got = std::min(buffer.size(), reply_.size());
    std::memcpy(buffer.data(), reply_.data(), got);
    return platform::HidIo::Ok;
  }

 private:
  std::span<const uint8_t> descriptor_;
  std::array<uint8_t, device::kReportSize> reply_{};
  bool replyReady_ = false;
};

// Vendor collection 0xFF1C/0x0092, report id 4, 63 bytes in and out.
constexpr uint8_t kCommandDescriptor[] = {
    0x06, 0x1C, 0xFF,  // usage page 0xFF1C
    0x09, 0x92,        // usage 0x92
    0xA1, 0x01,        // collection (application)
    0x85, 0x04,        //   report id 4
    0x15, 0x00,        //   logical minimum 0
    0x26, 0xFF, 0x00,  //   logical maximum 255
    0x75, 0x08,        //   report size 8
    0x95, 0x3F,        //   report count 63
    0x09, 0x01,        //   usage 1
    0x81, 0x02,        //   input (data, variable)
    0x09, 0x01,        //   usage 1
    0x91, 0x02,        //   output (data, variable)
    0xC0,              // end collection
};

class InstantBackend : public platform::HidBackend {
 public:
  bool Enumerate(std::vector<platform::HidInterfaceInfo>& out) override {
    out = {{"instant/vid_0c45&pid_652c", device::kVendorId, device::kMouseProductId, device::kCommandUsagePage,
            device::kCommandUsage, 1}};
    return true;
  }
  std::unique_ptr<platform::HidHandle> Open(const std::string&, const platform::HidOpenRequest&,
                                            platform::HidOpenError*) override {
    return std::make_unique<InstantHandle>(kCommandDescriptor);
  }
  bool Exists(const std::string&) override { return true; }
};

void AttachMouse(device::CDeviceLink& link) {
  link.SetCommandIdentity(device::kMouseProductId);
  if (!link.Attach()) std::abort();
}

void BM_ExchangeSettingsRead(benchmark::State& state) {
  InstantBackend backend;
  device::CDeviceLink link(backend);
  AttachMouse(link);
  std::array<uint8_t, 56> block{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(device::ReadSettings(link, 56, 64, block));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExchangeSettingsRead);

void BM_ExchangeLightFrame(benchmark::State& state) {
  InstantBackend backend;
  device::CDeviceLink link(backend);
  AttachMouse(link);
  std::array<uint8_t, 60> frame{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(device::SendLightFrame(link, frame));
  }
  state.SetItemsProcessed(state.iterations() * 2);  // two exchanges per 60-byte frame
}
BENCHMARK(BM_ExchangeLightFrame);

// The mouse read-back: 1, 3, ten chunks of 7, then per profile one 5 and ten
// chunks of 8, then 2 — 68 exchanges.
void BM_MouseFullRead(benchmark::State& state) {
  sim::SimulatedBackend backend;
  backend.Device(sim::DeviceKind::Mouse).SetLatency(std::chrono::microseconds(0));
  backend.Plug(sim::DeviceKind::Mouse);
  device::CDeviceLink link(backend);
  AttachMouse(link);
  device::DeviceInfo info{};
  std::array<uint8_t, 512> defaultMap{};
  std::array<std::array<uint8_t, 512>, 5> keyMaps{};
  std::array<std::array<uint8_t, 56>, 5> blocks{};
  for (auto _ : state) {
    device::BeginTransfer(link);
    device::ReadDeviceInfo(link, info);
    device::ReadDefaultMap(link, defaultMap);
    for (unsigned p = 0; p < 5; ++p) {
      device::ReadSettings(link, 56, static_cast<uint16_t>(p * 64), blocks[p]);
      device::ReadKeyMap(link, p, keyMaps[p]);
    }
    // EndTransfer's 10 ms pause would swamp the figure; send its request
    // directly as the sequence's last exchange.
    std::array<uint8_t, device::kReportSize> end{device::kReportId, 0, 0,
                                                 static_cast<uint8_t>(device::Command::EndTransfer)};
    device::report::StoreChecksum(end);
    std::array<uint8_t, device::kReportSize> reply{};
    link.Exchange(end, reply);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 68);
}
BENCHMARK(BM_MouseFullRead)->Unit(benchmark::kMicrosecond);

}  // namespace
