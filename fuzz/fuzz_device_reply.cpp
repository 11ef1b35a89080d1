// Replies to a run of device commands come from the fuzzer's bytes, so any
// length, any status and any mix of missing replies and failed writes reach
// the command code. Every output is a vector of exactly the size asked for,
// so the sanitizers see any write outside it.
//
// Input: settings length, profile, cursor image size (2 bytes), transfer
// size (2 bytes), then reply tokens. A token is a byte L: 0xFF no reply,
// 0xFE the read fails, 0xFD the next write fails, otherwise a reply of the
// next L bytes (fewer when the input ends).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "platform/hid_backend.h"

namespace {

using talvo::platform::AbortEvent;
using talvo::platform::HidIo;

constexpr uint8_t kNoReply = 0xFF;
constexpr uint8_t kReadFails = 0xFE;
constexpr uint8_t kWriteFails = 0xFD;

// Vendor page 0xFF1C, usage 0x92, report id 4 with 63 data bytes each way.
const std::vector<uint8_t> kCommandDescriptor = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x01, 0x95, 0x3F, 0x91, 0x02, 0xC0};

class ScriptedHandle : public talvo::platform::HidHandle {
 public:
  explicit ScriptedHandle(std::span<const uint8_t> script) : script_(script) {}

  uint16_t VendorId() const override { return talvo::device::kVendorId; }
  uint16_t ProductId() const override { return talvo::device::kMouseProductId; }
  std::span<const uint8_t> ReportDescriptor() const override { return kCommandDescriptor; }
  size_t CollectionIndex() const override { return 0; }

  HidIo Write(std::span<const uint8_t> report, int, AbortEvent&, size_t& written) override {
    written = 0;
    if (!script_.empty() && script_[0] == kWriteFails) {
      script_ = script_.subspan(1);
      return HidIo::Failed;
    }
    written = report.size();
    return HidIo::Ok;
  }

  HidIo Read(std::span<uint8_t> buffer, int, AbortEvent&, size_t& got) override {
    got = 0;
    if (script_.empty()) return HidIo::TimedOut;
    const uint8_t token = script_[0];
    script_ = script_.subspan(1);
    if (token == kNoReply || token == kWriteFails) return HidIo::TimedOut;
    if (token == kReadFails) return HidIo::Failed;
    const size_t length = std::min<size_t>(token, script_.size());
    got = std::min(length, buffer.size());
    std::copy_n(script_.begin(), got, buffer.begin());
    script_ = script_.subspan(length);
    return HidIo::Ok;
  }

 private:
  std::span<const uint8_t> script_;
};

class ScriptedBackend : public talvo::platform::HidBackend {
 public:
  explicit ScriptedBackend(std::span<const uint8_t> script) : script_(script) {}

  bool Enumerate(std::vector<talvo::platform::HidInterfaceInfo>& out) override {
    talvo::platform::HidInterfaceInfo info;
    info.path = kPath;
    info.vendorId = talvo::device::kVendorId;
    info.productId = talvo::device::kMouseProductId;
    out.assign(1, info);
    return true;
  }
  std::unique_ptr<talvo::platform::HidHandle> Open(const std::string&, const talvo::platform::HidOpenRequest&,
                                                   talvo::platform::HidOpenError*) override {
    return std::make_unique<ScriptedHandle>(script_);
  }
  bool Exists(const std::string&) override { return true; }

 private:
  static constexpr char kPath[] = "/dev/hidraw0#0";
  std::span<const uint8_t> script_;
};

void Check(int result) {
  switch (result) {
    case 1:
    case 0:
    case -1:
    case -102:
    case -103:
    case -201:
      return;
    default:
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvo::device;
  if (size < 6) return 0;
  const uint8_t settingsLength = data[0];
  const unsigned profile = data[1] % 7;
  const size_t cursorSize = (data[2] | (data[3] << 8)) % 2048;
  const uint16_t transferSize = static_cast<uint16_t>(data[4] | (data[5] << 8));

  ScriptedBackend backend(std::span(data + 6, size - 6));
  CDeviceLink link(backend);
  link.SetDeviceIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
  if (!link.Attach()) std::abort();
  link.SetTransferSize(transferSize);
  if (link.TransferSize() > CDeviceLink::kMaxTransferSize) std::abort();

  Check(BeginTransfer(link));
  DeviceInfo info;
  Check(ReadDeviceInfo(link, info));
  std::vector<uint8_t> settings(settingsLength);
  Check(ReadSettings(link, settingsLength, 0, settings));
  std::vector<uint8_t> defaultMap(link.TransferSize());
  Check(ReadDefaultMap(link, defaultMap));
  std::vector<uint8_t> keyMap(link.TransferSize());
  Check(ReadKeyMap(link, profile, keyMap));
  Check(WriteKeyMap(link, profile, keyMap));
  std::vector<uint8_t> cursor(cursorSize);
  Check(ReadCursorImage(link, cursor));
  const std::vector<uint8_t> frame(60, 0x7F);
  Check(SendLightFrame(link, frame));
  Check(WriteSettings(link, settingsLength, 64, settings));
  Check(RestoreDefaults(link));
  return 0;
}
