#include "platform/hidraw_backend.h"

#include <sys/file.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace talvo::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::Each;

// Vendor collection (input and output report 4, 63 data bytes), then a
// consumer-control collection (input report 5, one 16-bit usage).
const std::vector<uint8_t> kComposite = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0,
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05, 0x15, 0x00, 0x26, 0xFF, 0x03,
    0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,
};

// One vendor collection without report ids: 8 bytes in, 8 bytes out.
const std::vector<uint8_t> kNoIds = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
    0x95, 0x08, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0,
};

// A handle over one end of a SOCK_SEQPACKET pair; the test plays the device
// on the other end.
struct FakeNode {
  explicit FakeNode(const std::vector<uint8_t>& descriptor, size_t collection = 0) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    peer = fds[1];
    const timeval patience{5, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    handle = HidrawBackend::WrapForTest(fds[0], 0x0C45, 0x652C, descriptor, collection);
  }
  ~FakeNode() { ClosePeer(); }

  void Send(std::vector<uint8_t> bytes) const {
    ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  // One report; empty at the end of the stream, nullopt after 5 s of silence.
  std::optional<std::vector<uint8_t>> Receive() const {
    std::vector<uint8_t> bytes(256);
    const ssize_t n = ::recv(peer, bytes.data(), bytes.size(), 0);
    if (n < 0) return std::nullopt;
    bytes.resize(static_cast<size_t>(n));
    return bytes;
  }
  void ClosePeer() {
    if (peer >= 0) ::close(peer);
    peer = -1;
  }

  int peer = -1;
  std::unique_ptr<HidHandle> handle;
};

TEST(HidrawHandle, ReadsReportsOfItsOwnCollectionOnly) {
  FakeNode vendor(kComposite, 0);
  FakeNode consumer(kComposite, 1);
  ASSERT_NE(vendor.handle, nullptr);
  ASSERT_NE(consumer.handle, nullptr);
  AbortEvent abort;
  std::array<uint8_t, 64> buffer{};
  size_t got = 99;

  // Both nodes see the same stream, as two opens of one hidraw node do;
  // report 7 is declared nowhere.
  for (const FakeNode* node : {&vendor, &consumer}) {
    node->Send({0x07, 0x01});
    node->Send({0x05, 0x01, 0x04});
    std::vector<uint8_t> vendorReport(64, 0xAB);
    vendorReport[0] = 0x04;
    node->Send(vendorReport);
  }

  ASSERT_EQ(vendor.handle->Read(buffer, 1000, abort, got), HidIo::Ok);
  ASSERT_EQ(got, 64u);
  EXPECT_EQ(buffer[0], 0x04);
  EXPECT_EQ(buffer[63], 0xAB);

  std::array<uint8_t, 2> small{};
  ASSERT_EQ(consumer.handle->Read(small, 1000, abort, got), HidIo::Ok);
  EXPECT_EQ(got, 2u);  // cut to the caller's buffer
  EXPECT_THAT(small, ElementsAre(0x05, 0x01));
  // The vendor report queued behind it is not this collection's.
  EXPECT_EQ(consumer.handle->Read(small, 50, abort, got), HidIo::TimedOut);
  EXPECT_EQ(got, 0u);
}

TEST(HidrawHandle, ReadWithNothingArrivingTimesOutAndLeavesBufferAlone) {
  FakeNode node(kComposite, 0);
  ASSERT_NE(node.handle, nullptr);
  AbortEvent abort;
  std::array<uint8_t, 64> buffer;
  buffer.fill(0x5A);
  size_t got = 7;
  EXPECT_EQ(node.handle->Read(buffer, 30, abort, got), HidIo::TimedOut);
  EXPECT_EQ(got, 0u);
  EXPECT_THAT(buffer, Each(0x5A));
}

TEST(HidrawHandle, AbortEndsALongReadAndIsConsumed) {
  FakeNode node(kComposite, 0);
  ASSERT_NE(node.handle, nullptr);
  AbortEvent abort;
  std::array<uint8_t, 64> buffer{};
  size_t got = 0;
  std::thread signaller([&abort] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    abort.Signal();
  });
  const auto start = std::chrono::steady_clock::now();
  const HidIo result = node.handle->Read(buffer, 10000, abort, got);
  const auto waited = std::chrono::steady_clock::now() - start;
  signaller.join();
  EXPECT_EQ(result, HidIo::Aborted);
  EXPECT_EQ(got, 0u);
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_FALSE(abort.Consume());

  // Abort wins over a report that is ready at the same time.
  node.Send({0x04, 0x01});
  abort.Signal();
  EXPECT_EQ(node.handle->Read(buffer, 1000, abort, got), HidIo::Aborted);
  EXPECT_EQ(node.handle->Read(buffer, 1000, abort, got), HidIo::Ok);
}

TEST(HidrawHandle, UnplugFailsReadsButDeliversWhatWasQueued) {
  FakeNode node(kComposite, 0);
  ASSERT_NE(node.handle, nullptr);
  AbortEvent abort;
  std::array<uint8_t, 64> buffer{};
  size_t got = 0;
  node.Send({0x04, 0x22});
  node.ClosePeer();
  ASSERT_EQ(node.handle->Read(buffer, 1000, abort, got), HidIo::Ok);
  EXPECT_EQ(buffer[1], 0x22);
  EXPECT_EQ(node.handle->Read(buffer, 10000, abort, got), HidIo::Failed);
  EXPECT_EQ(got, 0u);
}

TEST(HidrawHandle, WithoutReportIdsReadsGetAZeroIdAndWritesKeepIt) {
  FakeNode node(kNoIds, 0);
  ASSERT_NE(node.handle, nullptr);
  AbortEvent abort;
  node.Send({1, 2, 3, 4, 5, 6, 7, 8});
  std::array<uint8_t, 16> buffer{};
  size_t got = 0;
  ASSERT_EQ(node.handle->Read(buffer, 1000, abort, got), HidIo::Ok);
  ASSERT_EQ(got, 9u);
  EXPECT_THAT(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 9), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8));

  // hidraw takes the id byte on every write, 0 included.
  const std::vector<uint8_t> report = {0, 9, 8, 7, 6, 5, 4, 3, 2};
  size_t written = 0;
  ASSERT_EQ(node.handle->Write(report, 1000, abort, written), HidIo::Ok);
  EXPECT_EQ(written, 9u);
  EXPECT_EQ(node.Receive(), report);
}

// Writes 0xEE reports until one no longer completes; that one stays pending.
// Every report comes from its own heap buffer, scribbled over and freed as
// soon as Write() returns, so a writer that kept using the caller's bytes
// would be caught (by the contents below, or by ASan).
size_t FillUntilStuck(HidHandle& handle, AbortEvent& abort) {
  for (size_t sent = 0; sent < 100000; ++sent) {
    auto filler = std::make_unique<std::vector<uint8_t>>(64, 0xEE);
    size_t written = 0;
    const HidIo result = handle.Write(*filler, 50, abort, written);
    std::fill(filler->begin(), filler->end(), 0x00);
    if (result != HidIo::Ok) return sent;
  }
  return 100000;
}

TEST(HidrawHandle, StuckWriteTimesOutAndFinishesLaterFromItsOwnCopy) {
  FakeNode node(kComposite, 0);
  ASSERT_NE(node.handle, nullptr);
  AbortEvent abort;
  const size_t queued = FillUntilStuck(*node.handle, abort);
  ASSERT_LT(queued, 100000u);

  // The filler that timed out still holds the writer; this one waits behind
  // it within its own time-out and is never sent.
  const std::vector<uint8_t> waiting(64, 0x42);
  size_t written = 9;
  EXPECT_EQ(node.handle->Write(waiting, 30, abort, written), HidIo::TimedOut);
  EXPECT_EQ(written, 0u);
  abort.Signal();
  EXPECT_EQ(node.handle->Write(waiting, 10000, abort, written), HidIo::Aborted);

  // Draining lets the pending filler through intact; then writes complete again.
  for (size_t i = 0; i <= queued; ++i) {
    const auto bytes = node.Receive();
    ASSERT_TRUE(bytes.has_value()) << i;
    EXPECT_THAT(*bytes, Each(0xEE)) << i;
  }
  const std::vector<uint8_t> last(64, 0x77);
  ASSERT_EQ(node.handle->Write(last, 5000, abort, written), HidIo::Ok);
  const auto bytes = node.Receive();
  ASSERT_TRUE(bytes.has_value());
  EXPECT_THAT(*bytes, Each(0x77));
}

TEST(HidrawHandle, DestroyingWithAPendingWriteDoesNotWaitForIt) {
  FakeNode node(kComposite, 0);
  ASSERT_NE(node.handle, nullptr);
  AbortEvent abort;
  ASSERT_LT(FillUntilStuck(*node.handle, abort), 100000u);
  node.handle.reset();
  // The writer gives up its job and lets go of the node, which closes it:
  // the peer reads what was queued, then the end.
  std::optional<std::vector<uint8_t>> bytes;
  for (int i = 0; i < 100000; ++i) {
    bytes = node.Receive();
    if (!bytes || bytes->empty()) break;
  }
  ASSERT_TRUE(bytes.has_value());
  EXPECT_TRUE(bytes->empty());
}

TEST(HidrawBackend, OpenReportsWhyItFailed) {
  HidrawBackend backend;
  HidOpenError error = HidOpenError::None;
  EXPECT_EQ(backend.Open("/dev/hidraw-absent-talvo", {.read = true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::NotFound);
  EXPECT_EQ(backend.Open("/dev/null#x", {.read = true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::NotFound);
  // Not a hidraw node: no ids to read.
  EXPECT_EQ(backend.Open("/dev/null", {.read = true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::Other);

  char name[] = "/tmp/talvo-hidraw-XXXXXX";
  const int held = ::mkstemp(name);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(backend.Open(name, {.read = true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::Busy);
  ASSERT_EQ(::flock(held, LOCK_SH | LOCK_NB), 0);
  EXPECT_EQ(backend.Open(name, {.read = true, .exclusive = true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::Busy);
  // A shared holder does not keep other shared openers out; this one only
  // fails later, at the ids.
  EXPECT_EQ(backend.Open(name, {.read = true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::Other);
  ::close(held);
  ::unlink(name);
}

TEST(HidrawBackend, ExistsLooksAtTheNodeOnly) {
  HidrawBackend backend;
  EXPECT_TRUE(backend.Exists("/dev/null"));
  EXPECT_TRUE(backend.Exists("/dev/null#1"));
  EXPECT_FALSE(backend.Exists("/dev/null#"));
  EXPECT_FALSE(backend.Exists("/dev/null#-1"));
  EXPECT_FALSE(backend.Exists("/dev/hidraw-absent-talvo"));
}

TEST(HidrawBackend, WaitForChangeEndsOnTimeOutAndOnStop) {
  using std::chrono::milliseconds;
  using Clock = std::chrono::steady_clock;
  HidrawBackend backend;
  std::stop_source stop;

  const auto start = Clock::now();
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), milliseconds(100)));
  EXPECT_GE(Clock::now() - start, milliseconds(100));

  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(50));
    stop.request_stop();
  });
  const auto waited = Clock::now();
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), milliseconds(60'000)));
  EXPECT_LT(Clock::now() - waited, milliseconds(5'000));
  stopper.join();

  // Already stopped: no wait at all.
  const auto again = Clock::now();
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), milliseconds(60'000)));
  EXPECT_LT(Clock::now() - again, milliseconds(5'000));
}

TEST(ParseHidId, ReadsBusVendorAndProduct) {
  const auto id = ParseHidId("0003:00000C45:0000652c");
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(id->bus, 0x0003);
  EXPECT_EQ(id->vendorId, 0x0C45);
  EXPECT_EQ(id->productId, 0x652C);

  for (const char* bad : {"", "0003:00000C45", "0003:00000C45:", "0003::0000652C", "0003:00010C45:0000652C",
                          "0003:000000C45:0000652C", "0003:0000 C45:0000652C", "0003:00000C45:0000652C:1",
                          "0003:+0000C45:0000652C", "x003:00000C45:0000652C"}) {
    EXPECT_FALSE(ParseHidId(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace talvo::platform
