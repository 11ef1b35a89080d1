#include "device/device_commands.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

#include "fake_hid.h"

namespace talvo::device {
namespace {

using testing::AttachedMouse;
using testing::Bytes;
using testing::FakeBackend;

struct Sent {
  uint8_t command;
  uint8_t length;
  unsigned offset;
};

std::vector<Sent> Summary(const std::vector<Bytes>& written) {
  std::vector<Sent> out;
  for (const auto& r : written) {
    out.push_back(Sent{r[report::kCommand], r[report::kLength],
                       unsigned(r[report::kOffset] | (r[report::kOffset + 1] << 8))});
  }
  return out;
}

void ExpectValidChecksum(const Bytes& r) {
  ASSERT_EQ(r.size(), kReportSize);
  std::span<const uint8_t, kReportSize> view(r.data(), kReportSize);
  EXPECT_EQ(report::StoredChecksum(view), report::Checksum(view));
}

// Chunk lengths and offsets of a transfer of `total` bytes from `base`.
void ExpectChunks(const std::vector<Bytes>& written, uint8_t command, unsigned base, size_t total) {
  const auto sent = Summary(written);
  ASSERT_EQ(sent.size(), (total + kReportDataSize - 1) / kReportDataSize);
  for (size_t i = 0; i < sent.size(); ++i) {
    const size_t pos = i * kReportDataSize;
    EXPECT_EQ(sent[i].command, command);
    EXPECT_EQ(sent[i].offset, base + pos) << "chunk " << i;
    EXPECT_EQ(sent[i].length, std::min(kReportDataSize, total - pos)) << "chunk " << i;
    ExpectValidChecksum(written[i]);
  }
}

TEST(CommandBytes, BeginTransferRequest) {
  AttachedMouse mouse;
  EXPECT_EQ(BeginTransfer(mouse.link), 1);
  Bytes expected(kReportSize, 0);
  expected[0] = 0x04;
  expected[1] = 0x01;
  expected[3] = 0x01;
  ASSERT_EQ(mouse.device->Written().size(), 1u);
  EXPECT_EQ(mouse.device->Written()[0], expected);
}

TEST(CommandBytes, ReadDeviceInfoRequestAndReply) {
  AttachedMouse mouse;
  mouse.device->responder = testing::OffsetPattern(100);
  DeviceInfo info;
  EXPECT_EQ(ReadDeviceInfo(mouse.link, info), 1);
  const Bytes request = mouse.device->Written().at(0);
  EXPECT_EQ(Bytes(request.begin(), request.begin() + 8), (Bytes{0x04, 0x24, 0x00, 0x03, 0x21, 0x00, 0x00, 0x00}));
  for (size_t i = 8; i < kReportSize; ++i) ASSERT_EQ(request[i], 0);
  for (size_t i = 0; i < info.bytes.size(); ++i) EXPECT_EQ(info.bytes[i], 100 + i);
  EXPECT_EQ(info.KeyCount(), 105);
  EXPECT_EQ(info.MacroCapacity(), 106);
  EXPECT_EQ(info.MacroMemoryBytes(), 106u * 128);
}

TEST(CommandBytes, EndTransferAndRestoreDefaults) {
  AttachedMouse mouse;
  EXPECT_EQ(EndTransfer(mouse.link), 1);
  mouse.device->responder = testing::EchoWithStatus(kStatusFailed);
  EXPECT_EQ(RestoreDefaults(mouse.link), 1) << "the reply of a reset is not examined";
  mouse.device->responder = testing::Silent();
  EXPECT_EQ(RestoreDefaults(mouse.link), 0);
  const auto sent = Summary(mouse.device->Written());
  ASSERT_EQ(sent.size(), 3u) << "a reset is sent once, never retried";
  EXPECT_EQ(sent[0].command, 2);
  EXPECT_EQ(sent[1].command, 13);
  ExpectValidChecksum(mouse.device->Written()[1]);
}

TEST(CommandBytes, SettingsRequests) {
  AttachedMouse mouse;
  const std::array<uint8_t, 3> data{7, 8, 9};
  EXPECT_EQ(WriteSettings(mouse.link, 3, 0x0140, data), 1);
  const Bytes request = mouse.device->Written().at(0);
  EXPECT_EQ(request[report::kCommand], 6);
  EXPECT_EQ(request[report::kLength], 3);
  EXPECT_EQ(request[report::kOffset], 0x40);
  EXPECT_EQ(request[report::kOffset + 1], 0x01);
  EXPECT_EQ(request[8], 7);
  EXPECT_EQ(request[10], 9);
  EXPECT_EQ(request[11], 0);
  ExpectValidChecksum(request);

  mouse.device->responder = testing::OffsetPattern();
  std::array<uint8_t, 4> out{0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(ReadSettings(mouse.link, 3, 64, out), 1);
  EXPECT_EQ(out, (std::array<uint8_t, 4>{64, 65, 66, 0xEE}));
}

TEST(CommandChunks, KeyMapTransfersFollowTheTransferSize) {
  AttachedMouse mouse;
  mouse.device->responder = testing::OffsetPattern();
  std::vector<uint8_t> map(512, 0xEE);

  EXPECT_EQ(ReadDefaultMap(mouse.link, map), 1);
  ExpectChunks(mouse.device->Written(), 7, 0, 512);
  for (size_t i = 0; i < map.size(); ++i) ASSERT_EQ(map[i], static_cast<uint8_t>(i)) << i;

  mouse.device->written.clear();
  ASSERT_EQ(mouse.link.SetTransferSize(360), 1);
  std::fill(map.begin(), map.end(), 0xEE);
  EXPECT_EQ(ReadKeyMap(mouse.link, 2, map), 1);
  ExpectChunks(mouse.device->Written(), 8, 252, 360);
  for (size_t i = 0; i < 360; ++i) ASSERT_EQ(map[i], static_cast<uint8_t>(252 + i)) << i;
  for (size_t i = 360; i < map.size(); ++i) ASSERT_EQ(map[i], 0xEE) << "beyond the transfer size";

  mouse.device->written.clear();
  std::iota(map.begin(), map.end(), uint8_t{0});
  EXPECT_EQ(WriteKeyMap(mouse.link, 4, map), 1);
  const auto written = mouse.device->Written();
  ExpectChunks(written, 9, 504, 360);
  for (size_t i = 0; i < 360; ++i) {
    ASSERT_EQ(written[i / 56][kReportDataOffset + i % 56], static_cast<uint8_t>(i)) << i;
  }
}

TEST(CommandChunks, RequestBufferIsReusedAcrossChunks) {
  AttachedMouse mouse;
  std::array<uint8_t, 60> frame;
  std::iota(frame.begin(), frame.end(), uint8_t{1});
  EXPECT_EQ(SendLightFrame(mouse.link, frame), 1);
  const auto written = mouse.device->Written();
  ExpectChunks(written, 18, 0, 60);
  ASSERT_EQ(written.size(), 2u);
  // Second chunk: four new bytes, then what the first chunk left.
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(written[1][kReportDataOffset + i], frame[56 + i]);
  for (size_t i = 4; i < kReportDataSize; ++i) EXPECT_EQ(written[1][kReportDataOffset + i], frame[i]);
}

TEST(CommandChunks, ImagesMoveTheWholeSpan) {
  AttachedMouse mouse;
  std::vector<uint8_t> image(130, 0x11);
  EXPECT_EQ(WriteMacroImage(mouse.link, image), 1);
  EXPECT_EQ(WriteCursorImage(mouse.link, image), 1);
  EXPECT_EQ(ReadCursorImage(mouse.link, image), 1);
  EXPECT_EQ(SendLightFrame(mouse.link, {}), 1);
  const auto written = mouse.device->Written();
  ASSERT_EQ(written.size(), 9u);
  ExpectChunks({written.begin(), written.begin() + 3}, 21, 0, 130);
  ExpectChunks({written.begin() + 3, written.begin() + 6}, 23, 0, 130);
  ExpectChunks({written.begin() + 6, written.end()}, 22, 0, 130);
}

TEST(CommandFailures, DeviceReportedFailureStopsTheTransfer) {
  AttachedMouse mouse;
  mouse.device->responder = testing::EchoWithStatus(kStatusBadRequest);
  EXPECT_EQ(BeginTransfer(mouse.link), -103);
  mouse.device->responder = testing::EchoWithStatus(kStatusFailed);
  EXPECT_EQ(BeginTransfer(mouse.link), -102);
  std::array<uint8_t, 2> out{0xEE, 0xEE};
  EXPECT_EQ(ReadSettings(mouse.link, 2, 0, out), -102);
  EXPECT_EQ(out, (std::array<uint8_t, 2>{0xEE, 0xEE}));

  mouse.device->written.clear();
  int chunk = 0;
  mouse.device->responder = [&chunk](const Bytes& request) -> std::optional<Bytes> {
    auto reply = testing::OffsetPattern()(request);
    if (++chunk == 3) (*reply)[report::kStatus] = kStatusBadRequest;
    return reply;
  };
  std::vector<uint8_t> map(512, 0xEE);
  EXPECT_EQ(ReadKeyMap(mouse.link, 0, map), -103);
  EXPECT_EQ(mouse.device->Written().size(), 3u);
  for (size_t i = 0; i < 112; ++i) ASSERT_EQ(map[i], static_cast<uint8_t>(i));
  for (size_t i = 112; i < map.size(); ++i) ASSERT_EQ(map[i], 0xEE) << i;
}

TEST(CommandFailures, SilentDeviceLeavesOutputsUntouched) {
  AttachedMouse mouse;
  mouse.device->responder = testing::Silent();
  DeviceInfo info;
  info.bytes.fill(0xEE);
  EXPECT_EQ(ReadDeviceInfo(mouse.link, info), 0);
  EXPECT_EQ(mouse.device->Written().size(), 4u);
  for (uint8_t b : info.bytes) ASSERT_EQ(b, 0xEE);

  std::array<uint8_t, 8> out;
  out.fill(0xEE);
  EXPECT_EQ(ReadSettings(mouse.link, 8, 0, out), 0);
  for (uint8_t b : out) ASSERT_EQ(b, 0xEE);
}

TEST(CommandFailures, PulledOutMidTransferKeepsTheChunksThatArrived) {
  AttachedMouse mouse;
  mouse.device->responder = testing::OffsetPattern();
  mouse.device->writesBeforeFailure = 3;
  std::vector<uint8_t> image(300, 0xEE);
  EXPECT_EQ(ReadCursorImage(mouse.link, image), -1);
  EXPECT_EQ(mouse.device->Written().size(), 3u);
  for (size_t i = 0; i < 168; ++i) ASSERT_EQ(image[i], static_cast<uint8_t>(i));
  for (size_t i = 168; i < image.size(); ++i) ASSERT_EQ(image[i], 0xEE) << i;
}

TEST(CommandFailures, ShortReplyDoesNotRepeatTheEarlierChunk) {
  AttachedMouse mouse;
  int chunk = 0;
  mouse.device->responder = [&chunk](const Bytes& request) -> std::optional<Bytes> {
    if (++chunk == 2) return Bytes{4, 0, 0, 22, 0, 0, 0, 0};
    return testing::OffsetPattern(1)(request);
  };
  std::vector<uint8_t> image(112, 0xEE);
  EXPECT_EQ(ReadCursorImage(mouse.link, image), 1);
  EXPECT_EQ(image[55], 56);
  for (size_t i = 56; i < 112; ++i) ASSERT_EQ(image[i], 0) << i;
}

TEST(CommandRefusals, BadProfileSendsNothing) {
  AttachedMouse mouse;
  std::vector<uint8_t> map(512, 0);
  EXPECT_EQ(ReadKeyMap(mouse.link, 5, map), -201);
  EXPECT_EQ(WriteKeyMap(mouse.link, 5, map), -201);
  EXPECT_EQ(ReadKeyMap(mouse.link, 0xFFFFFFFFu, map), -201);
  EXPECT_TRUE(mouse.device->Written().empty());
  EXPECT_EQ(ReadKeyMap(mouse.link, 4, map), 1);
}

TEST(CommandRefusals, OversizedRequestsAndShortBuffersSendNothing) {
  AttachedMouse mouse;
  std::vector<uint8_t> buffer(100, 0xEE);
  EXPECT_EQ(ReadSettings(mouse.link, 57, 0, buffer), -1);
  EXPECT_EQ(WriteSettings(mouse.link, 57, 0, buffer), -1);
  EXPECT_EQ(ReadSettings(mouse.link, 8, 0, std::span(buffer).first(7)), -1);
  EXPECT_EQ(ReadDefaultMap(mouse.link, buffer), -1) << "100 bytes for a 512-byte map";
  EXPECT_EQ(WriteKeyMap(mouse.link, 0, buffer), -1);
  std::vector<uint8_t> huge(kMaxChunkedTransfer + 1, 0);
  EXPECT_EQ(WriteMacroImage(mouse.link, huge), -1);
  EXPECT_TRUE(mouse.device->Written().empty());
  for (uint8_t b : buffer) ASSERT_EQ(b, 0xEE);
}

TEST(CommandAbsent, NothingMovesAndSyncIsClearedByWriteSettings) {
  FakeBackend backend;
  auto device = backend.Add(testing::kMouseCommandPath, kVendorId, kMouseProductId);
  device->responder = testing::EchoWithStatus(0);
  CDeviceLink link(backend);
  link.SetCommandIdentity(kMouseProductId);

  link.syncActive = 1;
  const std::array<uint8_t, 1> profile{2};
  EXPECT_EQ(WriteSettings(link, 1, 0, profile), 0);
  EXPECT_EQ(link.syncActive.load(), 0u);

  std::vector<uint8_t> map(512, 0xEE);
  EXPECT_EQ(BeginTransfer(link), 0);
  EXPECT_EQ(EndTransfer(link), 0);
  EXPECT_EQ(ReadDefaultMap(link, map), 0);
  EXPECT_EQ(RestoreDefaults(link), 0);
  EXPECT_TRUE(device->Written().empty());
  for (uint8_t b : map) ASSERT_EQ(b, 0xEE);

  ASSERT_TRUE(link.Attach());
  link.syncActive = 1;
  EXPECT_EQ(WriteSettings(link, 1, 0, profile), 1);
  EXPECT_EQ(link.syncActive.load(), 0u);
}

}  // namespace
}  // namespace talvo::device
