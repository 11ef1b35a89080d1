// The simulated backend spoken to through the HidBackend interface with raw
// reports, as the device layer will.
#include "sim/simulated_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "device/device_report.h"
#include "platform/hid_report_descriptor.h"
#include "sim_test_util.h"

namespace talvo::sim {
namespace {

namespace rpt = device::report;
using device::Command;
using platform::AbortEvent;
using platform::HidHandle;
using platform::HidInterfaceInfo;
using platform::HidIo;
using platform::HidOpenError;
using platform::HidOpenRequest;
using test::Report;
using test::ReplyData;
using test::Request;

constexpr int kLongMs = 10'000;  // only ever cut short; never waited out
constexpr HidOpenRequest kReadWrite{true, true, false};
constexpr HidOpenRequest kReadOnly{true, false, false};

class SimulatedBackendTest : public ::testing::Test {
 protected:
  SimulatedBackendTest() { backend.SetLatency(std::chrono::microseconds(0)); }

  std::unique_ptr<HidHandle> OpenCollection(DeviceKind kind, Collection collection,
                                            const HidOpenRequest& access = kReadWrite) {
    HidOpenError error = HidOpenError::Other;
    auto handle = backend.Open(SimulatedBackend::PathOf(kind, collection), access, &error);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(error, HidOpenError::None);
    return handle;
  }

  HidIo Send(HidHandle& handle, const Report& request) {
    size_t written = 0;
    const HidIo io = handle.Write(request, kLongMs, abort, written);
    EXPECT_EQ(written, io == HidIo::Ok ? request.size() : 0u);
    return io;
  }

  // Reads one report; `timeoutMs` 0 only looks at what is already queued.
  HidIo Receive(HidHandle& handle, Report& reply, int timeoutMs = kLongMs) {
    reply.fill(0);
    size_t got = 0;
    const HidIo io = handle.Read(reply, timeoutMs, abort, got);
    EXPECT_EQ(got, io == HidIo::Ok ? reply.size() : 0u);
    return io;
  }

  // Write + read; the reply's status byte, or -1 when the exchange failed.
  int Exchange(HidHandle& handle, const Report& request, Report& reply) {
    if (Send(handle, request) != HidIo::Ok) return -1;
    if (Receive(handle, reply) != HidIo::Ok) return -1;
    return reply[rpt::kStatus];
  }

  SimulatedBackend backend;
  AbortEvent abort;
};

std::vector<std::string> Paths(const std::vector<HidInterfaceInfo>& list) {
  std::vector<std::string> paths;
  for (const auto& info : list) paths.push_back(info.path);
  return paths;
}

TEST_F(SimulatedBackendTest, EnumerationListsOneEntryPerCollection) {
  std::vector<HidInterfaceInfo> list{HidInterfaceInfo{}};
  ASSERT_TRUE(backend.Enumerate(list));
  EXPECT_TRUE(list.empty());

  backend.Plug(DeviceKind::Mouse);
  ASSERT_TRUE(backend.Enumerate(list));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(Paths(list), (std::vector<std::string>{"sim/vid_0c45&pid_652c&mi_00", "sim/vid_0c45&pid_652c&mi_01&col01",
                                                   "sim/vid_0c45&pid_652c&mi_01&col02"}));
  for (const auto& info : list) {
    EXPECT_EQ(info.vendorId, 0x0C45);
    EXPECT_EQ(info.productId, 0x652C);
  }
  EXPECT_EQ(list[0].usagePage, 0x0001);
  EXPECT_EQ(list[0].usage, 0x0002);
  EXPECT_EQ(list[0].interfaceNumber, 0);
  EXPECT_EQ(list[1].usagePage, 0x000C);
  EXPECT_EQ(list[1].usage, 0x0001);
  EXPECT_EQ(list[1].interfaceNumber, 1);
  EXPECT_EQ(list[2].usagePage, 0xFF1C);
  EXPECT_EQ(list[2].usage, 0x0092);
  EXPECT_EQ(list[2].interfaceNumber, 1);

  backend.Plug(DeviceKind::Keyboard);
  backend.Plug(DeviceKind::Mousepad);
  ASSERT_TRUE(backend.Enumerate(list));
  ASSERT_EQ(list.size(), 7u);
  const HidInterfaceInfo& pad = list.back();
  EXPECT_EQ(pad.path, "sim/vid_0c45&pid_5004&mi_00");
  EXPECT_EQ(pad.productId, 0x5004);
  EXPECT_EQ(pad.usagePage, 0xFF1C);
  int keyboardEntries = 0;
  for (const auto& info : list) keyboardEntries += info.productId == 0x6556;
  EXPECT_EQ(keyboardEntries, 3);
}

TEST_F(SimulatedBackendTest, DescriptorsMatchTheListedCollections) {
  for (DeviceKind kind : kAllDeviceKinds) backend.Plug(kind);
  std::vector<HidInterfaceInfo> list;
  ASSERT_TRUE(backend.Enumerate(list));
  for (const auto& info : list) {
    SCOPED_TRACE(info.path);
    auto handle = backend.Open(info.path, kReadOnly);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->VendorId(), info.vendorId);
    EXPECT_EQ(handle->ProductId(), info.productId);
    const auto parsed = platform::hid::ParseReportDescriptor(handle->ReportDescriptor());
    ASSERT_TRUE(parsed.has_value());
    ASSERT_LT(handle->CollectionIndex(), parsed->collections.size());
    const auto& top = parsed->collections[handle->CollectionIndex()];
    EXPECT_EQ(top.usagePage, info.usagePage);
    EXPECT_EQ(top.usage, info.usage);
    if (info.usagePage == device::kCommandUsagePage) {
      EXPECT_EQ(top.inputReportByteLength, 64);
      EXPECT_EQ(top.outputReportByteLength, 64);
      EXPECT_EQ(top.reportIds, std::vector<uint8_t>{device::kReportId});
    }
  }
}

TEST_F(SimulatedBackendTest, CommandThreeReturnsTheInfoBlock) {
  backend.Plug(DeviceKind::Keyboard);
  backend.Device(DeviceKind::Keyboard).SetKeyCount(104);
  backend.Device(DeviceKind::Keyboard).SetSensor(0x3325, 50, 96, 200);
  auto handle = OpenCollection(DeviceKind::Keyboard, Collection::Command);
  Report reply{};
  ASSERT_EQ(Exchange(*handle, Request(Command::ReadDeviceInfo, 33, 0), reply), 0);
  EXPECT_EQ(reply[0], device::kReportId);
  EXPECT_EQ(reply[rpt::kCommand], 3);
  EXPECT_EQ(rpt::StoredChecksum(reply), rpt::Checksum(reply));
  const auto info = backend.Device(DeviceKind::Keyboard).Info();
  EXPECT_EQ(ReplyData(reply, 33), std::vector<uint8_t>(info.begin(), info.end()));
  EXPECT_EQ(ReplyData(reply, 15), (std::vector<uint8_t>{0x02, 0x01, 1, 5, 126, 104, 32, 0, 0, 0x25, 0x33, 50, 96, 200, 0}));
}

TEST_F(SimulatedBackendTest, SelectingAProfileAndReadingItsBlockBack) {
  backend.Plug(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  Report reply{};
  // The profile switch as the product makes it: read, write, read the block.
  ASSERT_EQ(Exchange(*handle, Request(Command::ReadSettings, 1, 0), reply), 0);
  EXPECT_EQ(reply[device::kReportDataOffset], 0);
  ASSERT_EQ(Exchange(*handle, Request(Command::WriteSettings, 1, 0, {1}), reply), 0);
  ASSERT_EQ(Exchange(*handle, Request(Command::ReadSettings, 56, 64), reply), 0);
  const auto settings = backend.Device(DeviceKind::Mouse).Memory("settings");
  EXPECT_EQ(ReplyData(reply, 56), std::vector<uint8_t>(settings.begin() + 64, settings.begin() + 120));
  EXPECT_EQ(reply[device::kReportDataOffset], 1);
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).ActiveProfile(), 1);
  // Block 4's byte 0 says which profile is active.
  ASSERT_EQ(Exchange(*handle, Request(Command::ReadSettings, 56, 256), reply), 0);
  EXPECT_EQ(reply[device::kReportDataOffset], 1);
}

TEST_F(SimulatedBackendTest, KeyMapWriteLandsAtProfileTimes126) {
  backend.Plug(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  std::vector<uint8_t> map(512);
  for (size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint8_t>(i * 7 + 1);
  const unsigned base = 2 * 126;
  Report reply{};
  for (unsigned pos = 0; pos < map.size(); pos += 56) {
    const unsigned chunk = std::min<unsigned>(56, static_cast<unsigned>(map.size()) - pos);
    std::vector<uint8_t> data(map.begin() + pos, map.begin() + pos + chunk);
    ASSERT_EQ(Exchange(*handle, Request(Command::WriteKeyMap, static_cast<uint8_t>(chunk), base + pos, data), reply), 0)
        << "chunk at " << pos;
  }
  const auto maps = backend.Device(DeviceKind::Mouse).Memory("keymaps");
  const auto factory = SimDevice(DeviceKind::Mouse).Memory("keymaps");
  EXPECT_EQ(std::vector<uint8_t>(maps.begin() + base, maps.begin() + base + 512), map);
  EXPECT_EQ(std::vector<uint8_t>(maps.begin(), maps.begin() + base),
            std::vector<uint8_t>(factory.begin(), factory.begin() + base));
  // Reading profile 3 now shows the overlap with profile 2's write.
  ASSERT_EQ(Exchange(*handle, Request(Command::ReadKeyMap, 56, 3 * 126), reply), 0);
  EXPECT_EQ(rpt::Offset(reply), 3 * 126);
  EXPECT_EQ(ReplyData(reply, 56), std::vector<uint8_t>(map.begin() + 126, map.begin() + 182));
}

TEST_F(SimulatedBackendTest, BadChecksumAndOutOfRangeAreRefused) {
  backend.Plug(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  const auto before = backend.Device(DeviceKind::Mouse).Memory("frame");
  Report reply{};
  Report corrupt = Request(Command::SendLightFrame, 3, 0, {1, 2, 3});
  corrupt[device::kReportDataOffset] = 9;  // changed after the checksum
  EXPECT_EQ(Exchange(*handle, corrupt, reply), 0xFE);
  EXPECT_EQ(Exchange(*handle, Request(Command::SendLightFrame, 56, 480), reply), 0xFF);
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).Memory("frame"), before);
  EXPECT_EQ(Exchange(*handle, Request(Command::SendLightFrame, 4, 56, {1, 2, 3, 4}), reply), 0);
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).Memory("frame")[59], 4);
}

TEST_F(SimulatedBackendTest, FaultsAsTheTransportSeesThem) {
  backend.Plug(DeviceKind::Mouse);
  SimDevice& mouse = backend.Device(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  const Report select = Request(Command::WriteSettings, 1, 0, {4});
  Report reply{};

  mouse.InjectFault(Fault::NoReply, 1);
  EXPECT_EQ(Send(*handle, select), HidIo::Ok);
  EXPECT_EQ(Receive(*handle, reply, 20), HidIo::TimedOut);
  EXPECT_EQ(mouse.Requests().size(), 1u);

  mouse.InjectFault(Fault::WriteFail, 1);
  EXPECT_EQ(Send(*handle, select), HidIo::Failed);
  EXPECT_EQ(mouse.Requests().size(), 1u);  // nothing received

  mouse.InjectFault(Fault::StatusFF, 1);
  EXPECT_EQ(Exchange(*handle, select, reply), 0xFF);
  mouse.InjectFault(Fault::StatusFE, 1);
  EXPECT_EQ(Exchange(*handle, select, reply), 0xFE);
  EXPECT_EQ(mouse.ActiveProfile(), 0);

  EXPECT_EQ(Exchange(*handle, select, reply), 0);
  EXPECT_EQ(mouse.ActiveProfile(), 4);

  const std::string path = SimulatedBackend::PathOf(DeviceKind::Mouse, Collection::Command);
  mouse.InjectFault(Fault::Unplug, 1);
  EXPECT_EQ(Send(*handle, Request(Command::BeginTransfer, 0, 0)), HidIo::Failed);
  EXPECT_FALSE(backend.IsPlugged(DeviceKind::Mouse));
  EXPECT_FALSE(backend.Exists(path));
  std::vector<HidInterfaceInfo> list;
  ASSERT_TRUE(backend.Enumerate(list));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(Receive(*handle, reply, 0), HidIo::Failed);
  EXPECT_EQ(Send(*handle, select), HidIo::Failed);
  EXPECT_EQ(mouse.Requests().size(), 4u);
  EXPECT_EQ(backend.Open(path, kReadWrite), nullptr);
}

TEST_F(SimulatedBackendTest, UnplugDuringATransferEndsItAndWakesAPendingRead) {
  backend.Plug(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  auto listener = OpenCollection(DeviceKind::Mouse, Collection::Notification, kReadOnly);
  const auto before = backend.Device(DeviceKind::Mouse).Memory("cursor");
  Report reply{};
  ASSERT_EQ(Exchange(*handle, Request(Command::BeginTransfer, 0, 0), reply), 0);
  ASSERT_EQ(Exchange(*handle, Request(Command::WriteCursorImage, 56, 0, std::vector<uint8_t>(56, 0xAB)), reply), 0);

  auto pending = std::async(std::launch::async, [&] {
    Report report{};
    size_t got = 0;
    AbortEvent ownAbort;
    return listener->Read(report, kLongMs, ownAbort, got);
  });
  backend.Unplug(DeviceKind::Mouse);
  EXPECT_EQ(pending.get(), HidIo::Failed);

  EXPECT_EQ(Exchange(*handle, Request(Command::WriteCursorImage, 56, 56, std::vector<uint8_t>(56, 0xCD)), reply), -1);
  const auto after = backend.Device(DeviceKind::Mouse).Memory("cursor");
  EXPECT_EQ(std::vector<uint8_t>(after.begin(), after.begin() + 56), std::vector<uint8_t>(56, 0xAB));
  EXPECT_TRUE(std::equal(after.begin() + 56, after.end(), before.begin() + 56));
}

TEST_F(SimulatedBackendTest, ReplugLeavesOldHandlesDeadAndKeepsTheMemory) {
  backend.Plug(DeviceKind::Mouse);
  auto old = OpenCollection(DeviceKind::Mouse, Collection::Command);
  Report reply{};
  ASSERT_EQ(Exchange(*old, Request(Command::WriteSettings, 1, 0, {3}), reply), 0);
  backend.Unplug(DeviceKind::Mouse);
  backend.Plug(DeviceKind::Mouse);
  EXPECT_TRUE(backend.Exists(SimulatedBackend::PathOf(DeviceKind::Mouse, Collection::Command)));

  EXPECT_EQ(Send(*old, Request(Command::ReadSettings, 1, 0)), HidIo::Failed);
  EXPECT_EQ(Receive(*old, reply, 0), HidIo::Failed);

  auto fresh = OpenCollection(DeviceKind::Mouse, Collection::Command);
  ASSERT_EQ(Exchange(*fresh, Request(Command::ReadSettings, 1, 0), reply), 0);
  EXPECT_EQ(reply[device::kReportDataOffset], 3);
}

TEST_F(SimulatedBackendTest, RepliesGoToEveryCommandHandleAndOnlyThere) {
  backend.Plug(DeviceKind::Mouse);
  auto writer = OpenCollection(DeviceKind::Mouse, Collection::Command);
  auto second = OpenCollection(DeviceKind::Mouse, Collection::Command, kReadOnly);
  auto consumer = OpenCollection(DeviceKind::Mouse, Collection::Notification, kReadOnly);
  auto boot = OpenCollection(DeviceKind::Mouse, Collection::Boot, kReadOnly);
  const Report request = Request(Command::ReadSettings, 1, 0);
  Report reply{};
  ASSERT_EQ(Exchange(*writer, request, reply), 0);
  Report copy{};
  ASSERT_EQ(Receive(*second, copy, 0), HidIo::Ok);
  EXPECT_EQ(copy, reply);
  EXPECT_EQ(Receive(*consumer, copy, 0), HidIo::TimedOut);
  EXPECT_EQ(Receive(*boot, copy, 0), HidIo::TimedOut);

  // Writing needs write access and the command collection.
  size_t written = 1;
  EXPECT_EQ(second->Write(request, kLongMs, abort, written), HidIo::Failed);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(boot->Write(request, kLongMs, abort, written), HidIo::Failed);
  // Only whole 64-byte reports with id 4.
  Report wrongId = request;
  wrongId[0] = 3;
  EXPECT_EQ(writer->Write(wrongId, kLongMs, abort, written), HidIo::Failed);
  EXPECT_EQ(writer->Write(std::span(request).first(63), kLongMs, abort, written), HidIo::Failed);
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).Requests().size(), 1u);
}

TEST_F(SimulatedBackendTest, NotificationsReachOnlyConsumerHandles) {
  backend.Plug(DeviceKind::Mouse);
  backend.Plug(DeviceKind::Keyboard);
  auto mouseConsumer = OpenCollection(DeviceKind::Mouse, Collection::Notification, kReadOnly);
  auto mouseCommand = OpenCollection(DeviceKind::Mouse, Collection::Command);
  auto keyboardConsumer = OpenCollection(DeviceKind::Keyboard, Collection::Notification, kReadOnly);

  ASSERT_TRUE(backend.Device(DeviceKind::Mouse).Notify(0x402));
  std::array<uint8_t, 8> report{};
  size_t got = 0;
  ASSERT_EQ(mouseConsumer->Read(report, kLongMs, abort, got), HidIo::Ok);
  ASSERT_EQ(got, kNotifyReportSize);
  EXPECT_EQ(report[0], kNotifyReportId);

  // The product decodes it with the descriptor: first usage 0x402.
  const auto parsed = platform::hid::ParseReportDescriptor(mouseConsumer->ReportDescriptor());
  ASSERT_TRUE(parsed.has_value());
  const auto& collection = parsed->collections[mouseConsumer->CollectionIndex()];
  std::array<uint16_t, 4> usages{};
  size_t count = 0;
  ASSERT_EQ(platform::hid::GetUsages(collection, 0x000C, std::span(report).first(got), usages, count),
            platform::hid::Status::Success);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(usages[0], 0x402);

  // Then the release: no usage.
  ASSERT_EQ(mouseConsumer->Read(report, kLongMs, abort, got), HidIo::Ok);
  ASSERT_EQ(platform::hid::GetUsages(collection, 0x000C, std::span(report).first(got), usages, count),
            platform::hid::Status::Success);
  EXPECT_EQ(count, 0u);

  Report other{};
  EXPECT_EQ(Receive(*mouseCommand, other, 0), HidIo::TimedOut);
  EXPECT_EQ(Receive(*keyboardConsumer, other, 0), HidIo::TimedOut);
  EXPECT_TRUE(backend.Device(DeviceKind::Mouse).Requests().empty());

}

TEST_F(SimulatedBackendTest, InputQueueIsBoundedAndDropsTheOldest) {
  backend.Plug(DeviceKind::Mouse);
  auto consumer = OpenCollection(DeviceKind::Mouse, Collection::Notification, kReadOnly);
  for (uint16_t usage = 1; usage <= 35; ++usage) backend.Device(DeviceKind::Mouse).Notify(usage);  // 70 reports
  std::vector<uint16_t> seen;
  std::array<uint8_t, 3> report{};
  size_t got = 0;
  while (consumer->Read(report, 0, abort, got) == HidIo::Ok) seen.push_back(report[1] | (report[2] << 8));
  ASSERT_EQ(seen.size(), 64u);
  EXPECT_EQ(seen.front(), 4);  // the first three presses and releases were dropped
  EXPECT_EQ(seen[1], 0);
  EXPECT_EQ(seen[62], 35);
}

TEST_F(SimulatedBackendTest, ShortBufferGetsTheReportCut) {
  backend.Plug(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  ASSERT_EQ(Send(*handle, Request(Command::ReadDeviceInfo, 33, 0)), HidIo::Ok);
  std::array<uint8_t, 9> small{};
  size_t got = 0;
  ASSERT_EQ(handle->Read(small, kLongMs, abort, got), HidIo::Ok);
  EXPECT_EQ(got, small.size());
  EXPECT_EQ(small[rpt::kCommand], 3);
  EXPECT_EQ(small[8], backend.Device(DeviceKind::Mouse).Info()[0]);
}

TEST_F(SimulatedBackendTest, AbortEndsAReadWaitAndAPendingAbortEndsTheNextWait) {
  backend.Plug(DeviceKind::Mouse);
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    abort.Signal();
  });
  Report reply{};
  EXPECT_EQ(Receive(*handle, reply, kLongMs), HidIo::Aborted);
  signaller.join();

  // Signalled with a reply already queued: the abort wins, the reply stays.
  ASSERT_EQ(Send(*handle, Request(Command::BeginTransfer, 0, 0)), HidIo::Ok);
  abort.Signal();
  EXPECT_EQ(Receive(*handle, reply, kLongMs), HidIo::Aborted);
  EXPECT_EQ(Receive(*handle, reply, 0), HidIo::Ok);

  abort.Signal();
  EXPECT_EQ(Send(*handle, Request(Command::EndTransfer, 0, 0)), HidIo::Aborted);
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).Requests().size(), 1u);
}

TEST_F(SimulatedBackendTest, LateReplyStaysQueuedForTheNextRead) {
  backend.Plug(DeviceKind::Mouse);
  backend.Device(DeviceKind::Mouse).SetLatency(std::chrono::milliseconds(200));
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  const Report request = Request(Command::ReadSettings, 1, 0);
  ASSERT_EQ(Send(*handle, request), HidIo::Ok);
  Report reply{};
  EXPECT_EQ(Receive(*handle, reply, 0), HidIo::TimedOut);
  EXPECT_EQ(Receive(*handle, reply, kLongMs), HidIo::Ok);
  EXPECT_EQ(reply[rpt::kCommand], 5);

  // A write whose time-out is shorter than the wire time never arrives.
  size_t written = 0;
  EXPECT_EQ(handle->Write(request, 10, abort, written), HidIo::TimedOut);
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).Requests().size(), 1u);
}

TEST_F(SimulatedBackendTest, ExclusiveOpenFollowsShareModes) {
  backend.Plug(DeviceKind::Mouse);
  const std::string path = SimulatedBackend::PathOf(DeviceKind::Mouse, Collection::Command);
  auto writer = backend.Open(path, kReadWrite);
  ASSERT_NE(writer, nullptr);
  HidOpenError error = HidOpenError::None;
  EXPECT_EQ(backend.Open(path, {true, false, true}, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::Busy);
  writer.reset();

  auto exclusive = backend.Open(path, {true, true, true});
  ASSERT_NE(exclusive, nullptr);
  EXPECT_EQ(backend.Open(path, kReadWrite, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::Busy);
  EXPECT_NE(backend.Open(path, kReadOnly), nullptr);
  // The probe the device watcher makes: no access at all.
  EXPECT_NE(backend.Open(path, {false, false, false}), nullptr);
  EXPECT_TRUE(backend.Exists(path));

  EXPECT_EQ(backend.Open("sim/vid_0c45&pid_652c&mi_02", kReadOnly, &error), nullptr);
  EXPECT_EQ(error, HidOpenError::NotFound);
  EXPECT_FALSE(backend.Exists("sim/nothing"));
}

TEST_F(SimulatedBackendTest, ExchangesAndNotificationsRunSideBySide) {
  backend.Plug(DeviceKind::Mouse);
  auto command = OpenCollection(DeviceKind::Mouse, Collection::Command);
  auto consumer = OpenCollection(DeviceKind::Mouse, Collection::Notification, kReadOnly);
  constexpr int kRounds = 30;  // 60 reports: within the queue bound however slow the listener
  auto listener = std::async(std::launch::async, [&] {
    AbortEvent ownAbort;
    int presses = 0;
    std::array<uint8_t, 3> report{};
    size_t got = 0;
    for (int i = 0; i < 2 * kRounds; ++i) {
      if (consumer->Read(report, kLongMs, ownAbort, got) != HidIo::Ok) break;
      presses += report[1] == 0x01 && report[2] == 0x04;
    }
    return presses;
  });
  Report reply{};
  for (int i = 0; i < kRounds; ++i) {
    const auto profile = static_cast<uint8_t>(i % 5);
    ASSERT_EQ(Exchange(*command, Request(Command::WriteSettings, 1, 0, {profile}), reply), 0);
    backend.Device(DeviceKind::Mouse).Notify(0x401);
    EXPECT_EQ(backend.Device(DeviceKind::Mouse).Memory("settings")[0], profile);
  }
  EXPECT_EQ(listener.get(), kRounds);
}

TEST(SimulatedBackendLogTest, RequestTimesCountFromTheBackendsConstruction) {
  const auto before = std::chrono::steady_clock::now();
  SimulatedBackend local;
  local.SetLatency(std::chrono::microseconds(0));
  local.Plug(DeviceKind::Mousepad);
  auto handle = local.Open(SimulatedBackend::PathOf(DeviceKind::Mousepad, Collection::Command), kReadWrite);
  ASSERT_NE(handle, nullptr);
  AbortEvent abort;
  const Report first = Request(Command::ReadDeviceInfo, 33, 0);
  const Report second = Request(Command::WriteSettings, 1, 0, {2});
  size_t n = 0;
  ASSERT_EQ(handle->Write(first, kLongMs, abort, n), HidIo::Ok);
  ASSERT_EQ(handle->Write(second, kLongMs, abort, n), HidIo::Ok);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);

  const auto log = local.Device(DeviceKind::Mousepad).Requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].bytes, first);
  EXPECT_EQ(log[1].bytes, second);
  EXPECT_GE(log[0].tMs, 0);
  EXPECT_LE(log[0].tMs, log[1].tMs);
  EXPECT_LE(log[1].tMs, elapsed.count());
  EXPECT_TRUE(local.Device(DeviceKind::Mouse).Requests().empty());
}

TEST_F(SimulatedBackendTest, WaitForChangeReportsEachPlugAndUnplugOnce) {
  using std::chrono::milliseconds;
  std::stop_source stop;
  // A plug before any wait is reported by the next wait, and only by it.
  backend.Plug(DeviceKind::Mouse);
  EXPECT_TRUE(backend.WaitForChange(stop.get_token(), milliseconds(0)));
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), milliseconds(20)));
  // Plugging what is already plugged changes nothing.
  backend.Plug(DeviceKind::Mouse);
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), milliseconds(20)));

  // Every waiter at the time of a change wakes.
  auto first = std::async(std::launch::async, [&] { return backend.WaitForChange(stop.get_token(), milliseconds(kLongMs)); });
  auto second = std::async(std::launch::async, [&] { return backend.WaitForChange(stop.get_token(), milliseconds(kLongMs)); });
  std::this_thread::sleep_for(milliseconds(100));
  backend.Unplug(DeviceKind::Mouse);
  EXPECT_TRUE(first.get());
  EXPECT_TRUE(second.get());

  // An unplug met by a request counts too.
  backend.Plug(DeviceKind::Mouse);
  EXPECT_TRUE(backend.WaitForChange(stop.get_token(), milliseconds(0)));
  auto handle = OpenCollection(DeviceKind::Mouse, Collection::Command);
  backend.Device(DeviceKind::Mouse).InjectFault(Fault::Unplug, 1);
  EXPECT_EQ(Send(*handle, Request(Command::BeginTransfer, 0, 0)), HidIo::Failed);
  EXPECT_TRUE(backend.WaitForChange(stop.get_token(), milliseconds(0)));

  // A stop ends a wait at once, with no change to report.
  auto stopped = std::async(std::launch::async, [&] { return backend.WaitForChange(stop.get_token(), milliseconds(kLongMs)); });
  std::this_thread::sleep_for(milliseconds(50));
  stop.request_stop();
  ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(stopped.get());
}

TEST_F(SimulatedBackendTest, AWaitFromAMarkSeesAChangeAnotherWaiterTookMeanwhile) {
  using std::chrono::milliseconds;
  std::stop_source stop;
  // A listener takes its mark, looks at the interfaces; meanwhile the mouse
  // comes and the device watcher's wait takes the news.
  const std::optional<uint64_t> mark = backend.ChangeMark();
  ASSERT_TRUE(mark);
  backend.Plug(DeviceKind::Mouse);
  EXPECT_TRUE(backend.WaitForChange(stop.get_token(), milliseconds(0)));
  EXPECT_TRUE(backend.WaitForChangeAfter(stop.get_token(), *mark)) << "the plug-in during the look ends the wait";

  // From a mark taken after it, the wait lasts until the next change, or the stop.
  auto waiting = std::async(std::launch::async,
                            [&, now = *backend.ChangeMark()] { return backend.WaitForChangeAfter(stop.get_token(), now); });
  EXPECT_EQ(waiting.wait_for(milliseconds(100)), std::future_status::timeout);
  backend.Unplug(DeviceKind::Mouse);
  EXPECT_TRUE(waiting.get());
  auto stopped = std::async(std::launch::async,
                            [&, now = *backend.ChangeMark()] { return backend.WaitForChangeAfter(stop.get_token(), now); });
  std::this_thread::sleep_for(milliseconds(50));
  stop.request_stop();
  ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(stopped.get());
}

}  // namespace
}  // namespace talvo::sim
