#include "device/device_link.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "fake_hid.h"

namespace talvo::device {
namespace {

using testing::AttachedMouse;
using testing::Bytes;
using testing::FakeBackend;
using testing::kMouseCommandPath;
using testing::kNotifyDescriptor;

void SetMouseIdentity(CDeviceLink& link) {
  link.SetCommandIdentity(kMouseProductId);
}

TEST(LinkAttach, OpensOnlyTheMatchingCommandInterface) {
  FakeBackend backend;
  backend.Add(R"(\\?\hid#vid_046d&pid_c077#1)", 0x046D, 0xC077);
  backend.Add(R"(\\?\hid#vid_0c45&pid_652c&mi_00#1)", kVendorId, kMouseProductId, kNotifyDescriptor);
  backend.Add(R"(\\?\hid#vid_0c45&pid_6556&mi_01#1)", kVendorId, kKeyboardProductId);
  backend.Add(kMouseCommandPath, kVendorId, kMouseProductId);
  CDeviceLink link(backend);
  SetMouseIdentity(link);

  EXPECT_TRUE(link.Attach());
  EXPECT_TRUE(link.IsConnected());
  EXPECT_EQ(link.Hid().DevicePath(), kMouseCommandPath);
  EXPECT_TRUE(link.Hid().IsOpen());

  // The other vendor's path is never opened; the two near misses are tried.
  ASSERT_EQ(backend.opens.size(), 3u);
  EXPECT_EQ(backend.opens[0].path, R"(\\?\hid#vid_0c45&pid_652c&mi_00#1)");
  EXPECT_EQ(backend.opens[1].path, R"(\\?\hid#vid_0c45&pid_6556&mi_01#1)");
  const auto& request = backend.opens[2].request;
  EXPECT_TRUE(request.read);
  EXPECT_TRUE(request.write);
  EXPECT_FALSE(request.exclusive);
}

TEST(LinkAttach, HidrawPathsMatchByTheEnumeratedIds) {
  FakeBackend backend;
  backend.Add("/dev/hidraw0#0", 0x046D, 0xC077);
  backend.Add("/dev/hidraw4#1", kVendorId, kMouseProductId);
  CDeviceLink link(backend);
  SetMouseIdentity(link);
  EXPECT_TRUE(link.Attach());
  EXPECT_EQ(link.Hid().DevicePath(), "/dev/hidraw4#1");
  EXPECT_EQ(backend.opens.size(), 1u);
}

TEST(LinkAttach, NoMatchOrFailedListingLeavesItDetached) {
  FakeBackend backend;
  backend.Add(R"(\\?\hid#vid_0c45&pid_652c&mi_00#1)", kVendorId, kMouseProductId, kNotifyDescriptor);
  CDeviceLink link(backend);
  SetMouseIdentity(link);
  bool enumerationFailed = true;
  EXPECT_FALSE(link.Attach(&enumerationFailed));
  EXPECT_FALSE(enumerationFailed);
  EXPECT_FALSE(link.IsConnected());
  EXPECT_FALSE(link.Hid().IsOpen());

  backend.failEnumerate = true;
  EXPECT_FALSE(link.Attach(&enumerationFailed));
  EXPECT_TRUE(enumerationFailed);
}

TEST(LinkAttach, DetachClearsBothFlagsAndKeepsTheInterfaceOpen) {
  AttachedMouse mouse;
  ASSERT_TRUE(mouse.link.IsConnected());
  mouse.link.syncActive = 1;
  mouse.link.Detach();
  EXPECT_FALSE(mouse.link.IsConnected());
  EXPECT_EQ(mouse.link.syncActive.load(), 0u);
  EXPECT_TRUE(mouse.link.Hid().IsOpen());

  std::array<uint8_t, kReportSize> reply{};
  EXPECT_EQ(mouse.link.Exchange(reply, reply), 0);
  EXPECT_TRUE(mouse.device->Written().empty());

  EXPECT_TRUE(mouse.link.Attach());
  SetMouseIdentity(mouse.link);
  EXPECT_FALSE(mouse.link.IsConnected()) << "a new identity needs a new attach";
}

TEST(LinkSettings, TransferSizeIsAtMost512) {
  FakeBackend backend;
  CDeviceLink link(backend);
  EXPECT_EQ(link.TransferSize(), 512);
  EXPECT_EQ(link.SetTransferSize(360), 1);
  EXPECT_EQ(link.TransferSize(), 360);
  EXPECT_EQ(link.SetTransferSize(513), 0);
  EXPECT_EQ(link.TransferSize(), 360);
  EXPECT_EQ(link.SetTransferSize(512), 1);
  EXPECT_EQ(link.TransferSize(), 512);
}

TEST(LinkExchange, PadsOrCutsTheRequestToOneReport) {
  AttachedMouse mouse;
  std::array<uint8_t, kReportSize> reply{};
  const Bytes shortRequest{4, 1, 0, 1};
  EXPECT_EQ(mouse.link.Exchange(shortRequest, reply), 1);
  Bytes longRequest(100, 0x5A);
  EXPECT_EQ(mouse.link.Exchange(longRequest, reply), 1);

  const auto written = mouse.device->Written();
  ASSERT_EQ(written.size(), 2u);
  Bytes padded(kReportSize, 0);
  std::copy(shortRequest.begin(), shortRequest.end(), padded.begin());
  EXPECT_EQ(written[0], padded);
  EXPECT_EQ(written[1], Bytes(kReportSize, 0x5A));
}

TEST(LinkExchange, SilentDeviceGetsFourAttempts) {
  AttachedMouse mouse;
  mouse.device->responder = testing::Silent();
  std::array<uint8_t, kReportSize> request{4, 0, 0, 1};
  std::array<uint8_t, kReportSize> reply;
  reply.fill(0xAA);
  EXPECT_EQ(mouse.link.Exchange(request, reply), 0);
  const auto written = mouse.device->Written();
  ASSERT_EQ(written.size(), 4u);
  for (const auto& report : written) EXPECT_EQ(report, Bytes(request.begin(), request.end()));
  for (uint8_t b : reply) ASSERT_EQ(b, 0xAA);
}

TEST(LinkExchange, ReplyAfterRetryIsTaken) {
  AttachedMouse mouse;
  int calls = 0;
  mouse.device->responder = [&calls](const Bytes& request) -> std::optional<Bytes> {
    if (++calls < 3) return std::nullopt;
    return testing::EchoWithStatus(0)(request);
  };
  std::array<uint8_t, kReportSize> request{4, 0, 0, 1};
  std::array<uint8_t, kReportSize> reply{};
  EXPECT_EQ(mouse.link.Exchange(request, reply), 1);
  EXPECT_EQ(mouse.device->Written().size(), 3u);
}

TEST(LinkExchange, LateReplyOfAnEarlierRequestIsNotTakenForThisOne) {
  AttachedMouse mouse;
  // A reply that came after its request had given up waiting.
  mouse.device->replies.push_back(*testing::EchoWithStatus(0xFF)(Bytes(kReportSize, 0x11)));
  std::array<uint8_t, kReportSize> request{4, 0, 0, 5};
  std::array<uint8_t, kReportSize> reply{};
  EXPECT_EQ(mouse.link.Exchange(request, reply), 1);
  EXPECT_EQ(reply[report::kCommand], 5);
  EXPECT_EQ(reply[report::kStatus], 0);

  mouse.device->replies.push_back(*testing::EchoWithStatus(0xFF)(Bytes(kReportSize, 0x11)));
  std::array<uint8_t, kReportSize> once{4, 0, 0, 13};
  EXPECT_EQ(mouse.link.ExchangeOnce(once), 1);
  EXPECT_EQ(once[report::kCommand], 13);
}

TEST(LinkExchange, FailedWriteIsNotRetried) {
  AttachedMouse mouse;
  mouse.device->writesBeforeFailure = 0;
  std::array<uint8_t, kReportSize> report{4};
  EXPECT_EQ(mouse.link.Exchange(report, report), -1);
  EXPECT_TRUE(mouse.device->Written().empty());
  // Only the look for stale replies before the write; no reply is awaited.
  EXPECT_EQ(mouse.device->ReadEnds(), std::vector<platform::HidIo>{platform::HidIo::TimedOut});
}

TEST(LinkExchange, ShortReplyIsZeroPadded) {
  AttachedMouse mouse;
  mouse.device->responder = [](const Bytes&) -> std::optional<Bytes> { return Bytes{4, 9, 9, 9}; };
  std::array<uint8_t, kReportSize> request{4};
  std::array<uint8_t, kReportSize> reply;
  reply.fill(0xAA);
  EXPECT_EQ(mouse.link.Exchange(request, reply), 1);
  EXPECT_EQ(reply[3], 9);
  for (size_t i = 4; i < kReportSize; ++i) ASSERT_EQ(reply[i], 0) << i;
}

TEST(LinkExchange, ExchangeOnceSendsOnceAndReadsIntoTheSameBuffer) {
  AttachedMouse mouse;
  mouse.device->responder = testing::EchoWithStatus(kStatusFailed);
  std::array<uint8_t, kReportSize> buffer{4, 0, 0, 13};
  EXPECT_EQ(mouse.link.ExchangeOnce(buffer), 1);
  EXPECT_EQ(buffer[report::kStatus], kStatusFailed);

  mouse.device->responder = testing::Silent();
  EXPECT_EQ(mouse.link.ExchangeOnce(buffer), 0);
  EXPECT_EQ(mouse.device->Written().size(), 2u);

  mouse.link.Detach();
  EXPECT_EQ(mouse.link.ExchangeOnce(buffer), 0);
  EXPECT_EQ(mouse.device->Written().size(), 2u);
}

// Four threads share one link; the device answers each request with data
// derived from it, so a reply taken by the wrong thread shows at once.
TEST(LinkExchange, ConcurrentThreadsNeverSwapReplies) {
  AttachedMouse mouse;
  mouse.device->yieldInTransfers = true;
  mouse.device->responder = [](const Bytes& request) -> std::optional<Bytes> {
    Bytes reply = request;
    for (size_t i = kReportDataOffset; i < kReportSize; ++i) reply[i] = static_cast<uint8_t>(~request[i]);
    return reply;
  };
  constexpr int kRequestsPerThread = 3000;
  std::atomic<int> mismatches{0};
  std::atomic<int> failures{0};

  auto run = [&](uint8_t thread) {
    std::array<uint8_t, kReportSize> request{};
    std::array<uint8_t, kReportSize> reply{};
    for (int n = 0; n < kRequestsPerThread; ++n) {
      request[0] = kReportId;
      request[kReportDataOffset] = thread;
      request[kReportDataOffset + 1] = static_cast<uint8_t>(n);
      request[kReportDataOffset + 2] = static_cast<uint8_t>(n >> 8);
      if (mouse.link.Exchange(request, reply) != 1) {
        ++failures;
        continue;
      }
      for (size_t i = kReportDataOffset; i < kReportDataOffset + 3; ++i) {
        if (reply[i] != static_cast<uint8_t>(~request[i])) {
          ++mismatches;
          break;
        }
      }
    }
  };
  std::thread a(run, uint8_t{1});
  std::thread b(run, uint8_t{2});
  std::thread c(run, uint8_t{3});
  std::thread d(run, uint8_t{4});
  a.join();
  b.join();
  c.join();
  d.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(mouse.device->Written().size(), 4u * kRequestsPerThread);
}

}  // namespace
}  // namespace talvo::device
