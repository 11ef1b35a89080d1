#include "device/device_commands.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace talvo::device {

namespace {

using Report = std::array<uint8_t, kReportSize>;

constexpr std::chrono::milliseconds kEndTransferDelay{10};

Report NewRequest(Command command) {
  Report request{};
  request[0] = kReportId;
  request[report::kCommand] = static_cast<uint8_t>(command);
  return request;
}

int StatusResult(const Report& reply) {
  switch (reply[report::kStatus]) {
    case kStatusFailed:
      return kResultDeviceFailed;
    case kStatusBadRequest:
      return kResultBadRequest;
    default:
      return kResultOk;
  }
}

// One request, one reply; `reply` holds the reply only when the result is 1.
int RunSingle(CDeviceLink& link, Report& request, Report& reply) {
  report::StoreChecksum(request);
  const int result = link.Exchange(request, reply);
  return result == kResultOk ? StatusResult(reply) : result;
}

int Simple(CDeviceLink& link, Command command) {
  Report request = NewRequest(command);
  Report reply{};
  return RunSingle(link, request, reply);
}

// Moves `total` bytes in chunks of up to 56 at offsets base, base + 56, …
// Exactly one of `source` (a write) and `sink` (a read) is used. The request
// buffer is reused from chunk to chunk, so data bytes beyond a short chunk
// keep what an earlier chunk left there; the device sees them and the
// checksum covers them.
int Chunked(CDeviceLink& link, Command command, unsigned base, size_t total,
            std::span<const uint8_t> source, std::span<uint8_t> sink) {
  if (total > kMaxChunkedTransfer) return kResultNotWritten;
  Report request = NewRequest(command);
  Report reply;
  for (size_t pos = 0; pos < total; pos += kReportDataSize) {
    const size_t chunk = std::min(kReportDataSize, total - pos);
    request[report::kLength] = static_cast<uint8_t>(chunk);
    report::SetOffset(request, static_cast<unsigned>(base + pos));
    if (!source.empty()) {
      std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(pos), chunk,
                  request.begin() + kReportDataOffset);
    }
    report::StoreChecksum(request);
    reply.fill(0);
    const int result = link.Exchange(request, reply);
    if (result != kResultOk) return result;
    const int status = StatusResult(reply);
    if (status != kResultOk) return status;
    if (!sink.empty()) {
      std::copy_n(reply.begin() + kReportDataOffset, chunk, sink.begin() + static_cast<std::ptrdiff_t>(pos));
    }
  }
  return kResultOk;
}

int ChunkedRead(CDeviceLink& link, Command command, unsigned base, std::span<uint8_t> out, size_t total) {
  if (out.size() < total) return kResultNotWritten;
  return Chunked(link, command, base, total, {}, out.first(total));
}

int ChunkedWrite(CDeviceLink& link, Command command, unsigned base, std::span<const uint8_t> data,
                 size_t total) {
  if (data.size() < total) return kResultNotWritten;
  return Chunked(link, command, base, total, data.first(total), {});
}

}  // namespace

int BeginTransfer(CDeviceLink& link) { return Simple(link, Command::BeginTransfer); }

int EndTransfer(CDeviceLink& link) {
  if (!link.IsConnected()) return kResultNoReply;
  std::this_thread::sleep_for(kEndTransferDelay);
  return Simple(link, Command::EndTransfer);
}

int ReadDeviceInfo(CDeviceLink& link, DeviceInfo& info) {
  Report request = NewRequest(Command::ReadDeviceInfo);
  request[report::kLength] = static_cast<uint8_t>(info.bytes.size());
  Report reply{};
  const int result = RunSingle(link, request, reply);
  if (result == kResultOk) {
    std::copy_n(reply.begin() + kReportDataOffset, info.bytes.size(), info.bytes.begin());
  }
  return result;
}

int ReadSettings(CDeviceLink& link, uint8_t n, uint16_t offset, std::span<uint8_t> out) {
  if (n > kReportDataSize || out.size() < n) return kResultNotWritten;
  Report request = NewRequest(Command::ReadSettings);
  request[report::kLength] = n;
  report::SetOffset(request, offset);
  Report reply{};
  const int result = RunSingle(link, request, reply);
  if (result == kResultOk) std::copy_n(reply.begin() + kReportDataOffset, n, out.begin());
  return result;
}

int WriteSettings(CDeviceLink& link, uint8_t n, uint16_t offset, std::span<const uint8_t> data) {
  // The caller is taking the device's lighting over from synchronized
  // lighting, whether or not this write gets through.
  link.syncActive = 0;
  if (n > kReportDataSize || data.size() < n) return kResultNotWritten;
  Report request = NewRequest(Command::WriteSettings);
  request[report::kLength] = n;
  report::SetOffset(request, offset);
  std::copy_n(data.begin(), n, request.begin() + kReportDataOffset);
  Report reply{};
  return RunSingle(link, request, reply);
}

int ReadDefaultMap(CDeviceLink& link, std::span<uint8_t> out) {
  return ChunkedRead(link, Command::ReadDefaultMap, 0, out, link.TransferSize());
}

int ReadKeyMap(CDeviceLink& link, unsigned profile, std::span<uint8_t> out) {
  if (profile > kMaxProfile) return kResultBadProfile;
  return ChunkedRead(link, Command::ReadKeyMap, profile * kKeyMapProfileStride, out, link.TransferSize());
}

int WriteKeyMap(CDeviceLink& link, unsigned profile, std::span<const uint8_t> data) {
  if (profile > kMaxProfile) return kResultBadProfile;
  return ChunkedWrite(link, Command::WriteKeyMap, profile * kKeyMapProfileStride, data, link.TransferSize());
}

int RestoreDefaults(CDeviceLink& link) {
  Report request = NewRequest(Command::RestoreDefaults);
  report::StoreChecksum(request);
  return link.ExchangeOnce(request);
}

int SendLightFrame(CDeviceLink& link, std::span<const uint8_t> frame) {
  return ChunkedWrite(link, Command::SendLightFrame, 0, frame, frame.size());
}

int WriteMacroImage(CDeviceLink& link, std::span<const uint8_t> image) {
  return ChunkedWrite(link, Command::WriteMacroImage, 0, image, image.size());
}

int ReadCursorImage(CDeviceLink& link, std::span<uint8_t> out) {
  return ChunkedRead(link, Command::ReadCursorImage, 0, out, out.size());
}

int WriteCursorImage(CDeviceLink& link, std::span<const uint8_t> image) {
  return ChunkedWrite(link, Command::WriteCursorImage, 0, image, image.size());
}

const char* ResultText(int result) {
  switch (result) {
    case kResultOk:
      return "success";
    case kResultNoReply:
      return "device absent or not replying";
    case kResultNotWritten:
      return "request not written";
    case kResultDeviceFailed:
      return "device reported failure";
    case kResultBadRequest:
      return "device rejected the request";
    case kResultBadProfile:
      return "profile number out of range";
    default:
      return "unknown result";
  }
}

}  // namespace talvo::device
