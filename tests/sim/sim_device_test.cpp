// The firmware model on its own: command handling, memory areas, faults and
// the request log, driven with raw request reports.
#include "sim/sim_device.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "device/device_report.h"
#include "sim_test_util.h"

namespace talvo::sim {
namespace {

namespace rpt = device::report;
using device::Command;
using test::Report;
using test::ReplyData;
using test::Request;

// Runs one request that must be answered; returns the reply.
Report Exchange(SimDevice& dev, const Report& request) {
  const SimDevice::Outcome out = dev.Receive(request);
  EXPECT_EQ(out.disposition, SimDevice::Disposition::Reply);
  return out.reply;
}

TEST(SimDeviceTest, ReplyEchoesHeaderCarriesChecksumAndInfo) {
  SimDevice mouse(DeviceKind::Mouse);
  const Report reply = Exchange(mouse, Request(Command::ReadDeviceInfo, 33, 0));
  EXPECT_EQ(reply[0], device::kReportId);
  EXPECT_EQ(reply[rpt::kCommand], 3);
  EXPECT_EQ(reply[rpt::kLength], 33);
  EXPECT_EQ(reply[rpt::kStatus], 0);
  EXPECT_EQ(rpt::StoredChecksum(reply), rpt::Checksum(reply));
  const auto info = mouse.Info();
  EXPECT_EQ(ReplyData(reply, 33), std::vector<uint8_t>(info.begin(), info.end()));
  // Bytes past the requested length stay zero.
  EXPECT_EQ(reply[device::kReportDataOffset + 33], 0);
  // A realistic mouse: a known sensor scale and macro memory.
  EXPECT_EQ(info[info::kSensorCode] | (info[info::kSensorCode + 1] << 8), 0x3360);
  EXPECT_EQ(info[info::kDpiStep], 100);
  EXPECT_EQ(info[info::kSliderMax], 119);
  EXPECT_EQ(mouse.Memory("macro").size(), size_t{info[info::kMacroCapacity]} * 128);
}

TEST(SimDeviceTest, SettingsBlocksCarryTheActiveProfile) {
  SimDevice mouse(DeviceKind::Mouse);
  EXPECT_EQ(Exchange(mouse, Request(Command::WriteSettings, 1, 0, {3}))[rpt::kStatus], 0);
  EXPECT_EQ(mouse.ActiveProfile(), 3);
  for (unsigned p = 0; p < 5; ++p) {
    const Report reply = Exchange(mouse, Request(Command::ReadSettings, 56, p * 64));
    EXPECT_EQ(reply[rpt::kStatus], 0);
    EXPECT_EQ(reply[device::kReportDataOffset], 3) << "block " << p;
  }
  // A block write lands at its offset but cannot change the marker byte.
  std::vector<uint8_t> block(56, 0x5A);
  block[0] = 1;
  EXPECT_EQ(Exchange(mouse, Request(Command::WriteSettings, 56, 128, block))[rpt::kStatus], 0);
  const auto settings = mouse.Memory("settings");
  EXPECT_EQ(settings[128], 3);
  EXPECT_EQ(settings[129], 0x5A);
  EXPECT_EQ(settings[183], 0x5A);
  EXPECT_EQ(mouse.ActiveProfile(), 3);
}

TEST(SimDeviceTest, FirstBlockIsAWindowOntoTheActiveProfile) {
  SimDevice mouse(DeviceKind::Mouse);
  // A push whose first byte selects profile 2 lands in profile 2's block...
  std::vector<uint8_t> head(14, 0x22);
  head[0] = 2;
  Exchange(mouse, Request(Command::WriteSettings, 14, 0, head));
  Exchange(mouse, Request(Command::WriteSettings, 4, 15, {7, 7, 7, 7}));
  const Report block2 = Exchange(mouse, Request(Command::ReadSettings, 56, 128));
  EXPECT_EQ(ReplyData(block2, 2), (std::vector<uint8_t>{2, 0x22}));
  EXPECT_EQ(block2[device::kReportDataOffset + 15], 7);
  // ...and reads at offset 0 show the same block.
  EXPECT_EQ(ReplyData(Exchange(mouse, Request(Command::ReadSettings, 56, 0)), 56), ReplyData(block2, 56));
  // Profile 0's own block is untouched.
  EXPECT_NE(mouse.Memory("settings")[1], 0x22);
}

TEST(SimDeviceTest, ProfileAboveFourIsRefusedWithoutChange) {
  SimDevice pad(DeviceKind::Mousepad);
  const auto before = pad.Memory("settings");
  std::vector<uint8_t> push(56, 7);
  push[0] = 5;
  EXPECT_EQ(Exchange(pad, Request(Command::WriteSettings, 56, 0, push))[rpt::kStatus], 0xFF);
  EXPECT_EQ(pad.Memory("settings"), before);
}

TEST(SimDeviceTest, MousePushLandsAtItsOffsets) {
  SimDevice mouse(DeviceKind::Mouse);
  const auto before = mouse.Memory("settings");
  std::vector<uint8_t> head(14, 0x11);
  head[0] = 0;
  Exchange(mouse, Request(Command::WriteSettings, 14, 0, head));
  Exchange(mouse, Request(Command::WriteSettings, 4, 15, {1, 2, 3, 4}));
  const auto after = mouse.Memory("settings");
  EXPECT_EQ(after[13], 0x11);
  EXPECT_EQ(after[14], before[14]);  // report rate is never pushed
  EXPECT_EQ(after[15], 1);
  EXPECT_EQ(after[18], 4);
  EXPECT_EQ(after[19], before[19]);
}

TEST(SimDeviceTest, OutOfRangeTooLongAndUnknownGetFF) {
  SimDevice mouse(DeviceKind::Mouse);
  const auto keymaps = mouse.Memory("keymaps");
  // Profile 4's last chunk fits exactly; one byte more does not.
  EXPECT_EQ(Exchange(mouse, Request(Command::ReadKeyMap, 8, 4 * 126 + 504))[rpt::kStatus], 0);
  EXPECT_EQ(Exchange(mouse, Request(Command::WriteKeyMap, 9, 4 * 126 + 504))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(mouse, Request(Command::ReadDeviceInfo, 34, 0))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(mouse, Request(Command::ReadSettings, 1, 320))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(mouse, Request(Command::ReadCursorImage, 56, 3072 - 55))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(mouse, Request(Command::ReadDefaultMap, 57, 0))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(mouse, Request(static_cast<Command>(4), 0, 0))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(mouse, Request(static_cast<Command>(0x7F), 0, 0))[rpt::kStatus], 0xFF);
  EXPECT_EQ(mouse.Memory("keymaps"), keymaps);
  // A failed read carries no data.
  const Report refused = Exchange(mouse, Request(Command::ReadDeviceInfo, 34, 0));
  EXPECT_EQ(ReplyData(refused, 56), std::vector<uint8_t>(56, 0));
}

TEST(SimDeviceTest, MousepadHasNoKeyMapsOrCursor) {
  SimDevice pad(DeviceKind::Mousepad);
  EXPECT_TRUE(pad.Memory("keymaps").empty());
  EXPECT_TRUE(pad.Memory("cursor").empty());
  EXPECT_EQ(Exchange(pad, Request(Command::ReadKeyMap, 56, 0))[rpt::kStatus], 0xFF);
  EXPECT_EQ(Exchange(pad, Request(Command::WriteMacroImage, 4, 0, {1, 2, 3, 4}))[rpt::kStatus], 0xFF);
  EXPECT_FALSE(pad.Notify(0x401));
  EXPECT_EQ(pad.Memory("settings").size(), 320u);
}

TEST(SimDeviceTest, FactoryContentsArePlausible) {
  SimDevice mouse(DeviceKind::Mouse);
  const auto map = mouse.Memory("default_map");
  ASSERT_EQ(map.size(), 512u);
  EXPECT_EQ(std::vector<uint8_t>(map.begin(), map.begin() + 6), (std::vector<uint8_t>{0x10, 0x01, 0, 0x10, 0x04, 0}));
  EXPECT_EQ(map[15], 0x13);  // key 5 cycles the DPI stages
  const auto maps = mouse.Memory("keymaps");
  ASSERT_EQ(maps.size(), 1016u);
  for (size_t p = 0; p < 5; ++p) {
    EXPECT_TRUE(std::equal(map.begin(), map.begin() + 126, maps.begin() + p * 126)) << "profile " << p;
  }

  SimDevice keyboard(DeviceKind::Keyboard);
  const unsigned keys = keyboard.Info()[info::kKeyCount];
  EXPECT_GT(keys, 100u);
  EXPECT_LE(keys * 3, 512u);
  const auto kbMap = keyboard.Memory("default_map");
  const auto kbMaps = keyboard.Memory("keymaps");
  EXPECT_TRUE(std::equal(kbMap.begin(), kbMap.begin() + keys * 3, kbMaps.begin()));
  EXPECT_EQ(kbMap[0], 0x20);  // Esc
  EXPECT_EQ(kbMap[2], 0x29);

  const auto cursor = mouse.Memory("cursor");
  ASSERT_EQ(cursor.size(), 3072u);
  EXPECT_EQ(cursor[0] | (cursor[1] << 8), 0x55AA);
  const unsigned total = cursor[2] | (cursor[3] << 8);
  EXPECT_EQ(total, 16u + 4 * 6 + 4 * 4 * 180);
  EXPECT_EQ(cursor[4], 4);
  const unsigned firstBlock = cursor[16] | (cursor[17] << 8);
  EXPECT_EQ(firstBlock, 24u);
  EXPECT_EQ(cursor[firstBlock] | (cursor[firstBlock + 1] << 8), 180);
}

TEST(SimDeviceTest, RestoreDefaultsReturnsEveryAreaToFactory) {
  SimDevice mouse(DeviceKind::Mouse);
  mouse.SetMacroCapacity(2);
  const auto factoryCursor = mouse.Memory("cursor");
  Exchange(mouse, Request(Command::WriteSettings, 1, 0, {2}));
  Exchange(mouse, Request(Command::WriteKeyMap, 3, 126, {0x20, 0, 4}));
  Exchange(mouse, Request(Command::WriteCursorImage, 2, 0, {0, 0}));
  Exchange(mouse, Request(Command::SendLightFrame, 3, 0, {9, 9, 9}));
  Exchange(mouse, Request(Command::WriteMacroImage, 2, 254, {0xAA, 0x55}));
  ASSERT_TRUE(mouse.Poke("info", info::kSensorCode, std::vector<uint8_t>{0x25, 0x33}));

  EXPECT_EQ(Exchange(mouse, Request(Command::RestoreDefaults, 0, 0))[rpt::kStatus], 0);
  SimDevice fresh(DeviceKind::Mouse);
  fresh.SetMacroCapacity(2);
  for (const char* area : {"info", "settings", "keymaps", "default_map", "macro", "cursor", "frame"}) {
    EXPECT_EQ(mouse.Memory(area), fresh.Memory(area)) << area;
  }
  EXPECT_EQ(mouse.Memory("macro").size(), 256u);  // configured capacity survives
  EXPECT_EQ(mouse.Memory("cursor"), factoryCursor);
}

TEST(SimDeviceTest, PokeChecksRangeAndMirrorsTheProfileRegister) {
  SimDevice mouse(DeviceKind::Mouse);
  EXPECT_FALSE(mouse.Poke("settings", 320, std::vector<uint8_t>{1}));
  EXPECT_FALSE(mouse.Poke("settings", 319, std::vector<uint8_t>{1, 2}));
  EXPECT_FALSE(mouse.Poke("nonsense", 0, std::vector<uint8_t>{1}));
  EXPECT_TRUE(mouse.Memory("nonsense").empty());
  // Planting an impossible active profile, which commands would refuse.
  EXPECT_TRUE(mouse.Poke("settings", 0, std::vector<uint8_t>{9}));
  EXPECT_EQ(mouse.ActiveProfile(), 9);
  EXPECT_EQ(Exchange(mouse, Request(Command::ReadSettings, 1, 256))[device::kReportDataOffset], 9);
  // One block may be made to disagree on its own.
  EXPECT_TRUE(mouse.Poke("settings", 256, std::vector<uint8_t>{7}));
  EXPECT_EQ(mouse.Memory("settings")[256], 7);
  EXPECT_EQ(mouse.ActiveProfile(), 9);
  // The macro memory follows the capacity byte.
  EXPECT_TRUE(mouse.Poke("info", info::kMacroCapacity, std::vector<uint8_t>{1}));
  EXPECT_EQ(mouse.Memory("macro").size(), 128u);
}

TEST(SimDeviceTest, RequestLogAndLogFile) {
  char path[] = "/tmp/talvo_sim_logXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);

  SimDevice mouse(DeviceKind::Mouse);
  ASSERT_TRUE(mouse.SetRequestLogFile(path));
  const Report first = Request(Command::BeginTransfer, 0, 0);
  const Report second = Request(Command::ReadSettings, 1, 0);
  Exchange(mouse, first);
  Exchange(mouse, second);
  ASSERT_TRUE(mouse.SetRequestLogFile(""));
  Exchange(mouse, first);  // not in the file any more

  const auto log = mouse.Requests();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].bytes, first);
  EXPECT_EQ(log[1].bytes, second);
  EXPECT_GE(log[1].tMs, log[0].tMs);

  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::to_string(log[0].tMs) + " " + HexString(first));
  EXPECT_EQ(lines[1].substr(lines[1].find(' ') + 1), HexString(second));
  EXPECT_EQ(HexString(second).size(), 128u);
  EXPECT_EQ(HexString(second).substr(0, 16), "0406000501000000");

  mouse.ClearRequests();
  EXPECT_TRUE(mouse.Requests().empty());
  EXPECT_FALSE(mouse.SetRequestLogFile("/nonexistent-dir/log"));
  std::remove(path);
}

TEST(SimDeviceTest, RequestLogKeepsTheMostRecentInOrderUntilCleared) {
  SimDevice mouse(DeviceKind::Mouse);
  // Told apart by their offsets, which wrap at 65536.
  constexpr size_t kExtra = 3;
  for (size_t i = 0; i < kRequestLogCapacity + kExtra; ++i)
    mouse.Receive(Request(Command::ReadSettings, 1, unsigned(i & 0xFFFF)));
  const auto log = mouse.Requests();
  ASSERT_EQ(log.size(), kRequestLogCapacity);
  for (size_t k = 0; k < log.size(); ++k)
    ASSERT_EQ(rpt::Offset(log[k].bytes), (k + kExtra) & 0xFFFF) << "entry " << k;

  mouse.ClearRequests();
  EXPECT_TRUE(mouse.Requests().empty());
  mouse.Receive(Request(Command::ReadSettings, 1, 7));
  ASSERT_EQ(mouse.Requests().size(), 1u);
  EXPECT_EQ(rpt::Offset(mouse.Requests()[0].bytes), 7u);
}

TEST(SimDeviceTest, RequestLogRingKeepsTheNewestInOrderAcrossWraps) {
  RequestLog log;
  const auto add = [&](int64_t n) {
    LoggedRequest entry;
    entry.tMs = n;
    log.Add(entry);
  };
  const auto expectRun = [&](int64_t first, size_t count) {
    const auto entries = log.InOrder();
    ASSERT_EQ(entries.size(), count);
    for (size_t k = 0; k < count; ++k) ASSERT_EQ(entries[k].tMs, first + int64_t(k)) << "entry " << k;
  };
  // Short of one block, full, and wrapped past the start more than once.
  int64_t n = 0;
  for (; n < 5; ++n) add(n);
  expectRun(0, 5);
  for (; n < int64_t(kRequestLogCapacity); ++n) add(n);
  expectRun(0, kRequestLogCapacity);
  for (; n < int64_t(2 * kRequestLogCapacity + 1500); ++n) add(n);
  expectRun(n - int64_t(kRequestLogCapacity), kRequestLogCapacity);

  log.Clear();
  expectRun(0, 0);
  add(42);
  expectRun(42, 1);
}

}  // namespace
}  // namespace talvo::sim
