#include "device/chid_device.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>

#include "fake_hid.h"

namespace talvo::device {
namespace {

using platform::HidOpenError;
using testing::Bytes;
using testing::FakeBackend;
using testing::kCommandDescriptor;
using testing::kNotifyDescriptor;

TEST(HidEnumeration, ListsEveryPathOnceInOrderAndRestarts) {
  FakeBackend backend;
  for (int i = 0; i < 11; ++i) backend.Add("/dev/hidraw" + std::to_string(i), kVendorId, 0x1000 + i);
  CHidDevice hid(backend);

  EXPECT_FALSE(hid.NextInterfacePath()) << "no list before the first enumeration";
  ASSERT_TRUE(hid.EnumerateHidInterfaces());
  for (int i = 0; i < 11; ++i) EXPECT_EQ(hid.NextInterfacePath(), "/dev/hidraw" + std::to_string(i));
  EXPECT_FALSE(hid.NextInterfacePath());
  EXPECT_FALSE(hid.NextInterfacePath());

  ASSERT_TRUE(hid.EnumerateHidInterfaces());
  EXPECT_EQ(hid.NextInterfacePath(), "/dev/hidraw0");
  hid.FreeInterfacePaths();
  EXPECT_FALSE(hid.NextInterfacePath());
}

TEST(HidEnumeration, FailureLeavesNoList) {
  FakeBackend backend;
  backend.Add("/dev/hidraw0", kVendorId, kMouseProductId);
  CHidDevice hid(backend);
  ASSERT_TRUE(hid.EnumerateHidInterfaces());
  backend.failEnumerate = true;
  EXPECT_FALSE(hid.EnumerateHidInterfaces());
  EXPECT_FALSE(hid.NextInterfacePath());
  EXPECT_EQ(hid.PathVendorId("/dev/hidraw0"), 0);
}

TEST(HidPathIds, MarkersAreFoundInAnyCase) {
  const std::string lower = R"(\\?\hid#vid_0c45&pid_652c&mi_01#7&2d1e#{4d1e55b2})";
  const std::string upper = R"(\\?\HID#VID_0C45&PID_652C&MI_01#7&2D1E#{4D1E55B2})";
  for (const auto& path : {lower, upper}) {
    EXPECT_EQ(CHidDevice::VendorIdFromPath(path), 0x0C45) << path;
    EXPECT_EQ(CHidDevice::ProductIdFromPath(path), 0x652C) << path;
  }
  EXPECT_EQ(CHidDevice::ProductIdFromPath("hid#Vid_0c45&mi_00"), 0) << "no pid_ marker";
  EXPECT_EQ(CHidDevice::VendorIdFromPath("hid#vid_&pid_1"), 0) << "no digit after the marker";
  EXPECT_EQ(CHidDevice::VendorIdFromPath("hid#vid_12345678"), 0x5678) << "low 16 bits";
  EXPECT_EQ(CHidDevice::VendorIdFromPath("hid#vid_0C4g"), 0x0C4) << "stops at the first non-digit";
  EXPECT_EQ(CHidDevice::VendorIdFromPath("vid_"), 0);
}

TEST(HidPathIds, PathsWithoutMarkersUseTheLastEnumeration) {
  FakeBackend backend;
  backend.Add("/dev/hidraw3#1", kVendorId, kKeyboardProductId);
  backend.Add("hid#vid_1234&pid_5678", kVendorId, kMouseProductId);
  CHidDevice hid(backend);
  EXPECT_EQ(hid.PathVendorId("/dev/hidraw3#1"), 0) << "not enumerated yet";
  ASSERT_TRUE(hid.EnumerateHidInterfaces());
  hid.FreeInterfacePaths();
  EXPECT_EQ(hid.PathVendorId("/dev/hidraw3#1"), kVendorId);
  EXPECT_EQ(hid.PathProductId("/dev/hidraw3#1"), kKeyboardProductId);
  EXPECT_EQ(hid.PathVendorId("/dev/hidraw9#0"), 0);
  EXPECT_EQ(hid.PathVendorId("hid#vid_1234&pid_5678"), 0x1234) << "a marker wins";
  EXPECT_EQ(hid.PathProductId("hid#vid_1234&pid_5678"), 0x5678);
}

TEST(HidOpen, LoadsIdentitySizesAndItems) {
  FakeBackend backend;
  backend.Add("/dev/hidraw1#0", kVendorId, kMouseProductId, kNotifyDescriptor);
  CHidDevice hid(backend);
  ASSERT_TRUE(hid.OpenHidDevice("/dev/hidraw1#0", true, false, true, false));
  EXPECT_TRUE(hid.IsOpen());
  EXPECT_EQ(hid.Attributes().vendorId, kVendorId);
  EXPECT_EQ(hid.Attributes().productId, kMouseProductId);
  EXPECT_EQ(hid.Caps().usagePage, kNotifyUsagePage);
  EXPECT_EQ(hid.Caps().usage, kNotifyUsage);
  EXPECT_EQ(hid.Caps().inputReportByteLength, 5);
  EXPECT_EQ(hid.Caps().numberInputButtonCaps, 2);
  EXPECT_EQ(hid.Caps().numberInputValueCaps, 2);
  EXPECT_EQ(hid.InputReport().size(), 5u);

  // Two button fields, then one item per value usage (0xE0, 0xE1, 0xE2).
  const auto items = hid.InputItems();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_TRUE(items[0].isButton);
  EXPECT_EQ(items[0].usageMin, 1u);
  EXPECT_EQ(items[0].usageMax, 3u);
  EXPECT_EQ(items[0].maxUsages, 8u);
  EXPECT_EQ(items[0].usages.size(), 8u);
  EXPECT_EQ(items[0].reportId, 3u);
  EXPECT_EQ(items[1].usageMin, 4u);
  EXPECT_EQ(items[1].usageMax, 8u);
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_FALSE(items[i].isButton);
    EXPECT_EQ(items[i].usage, 0xE0 + (i - 2));
    EXPECT_EQ(items[i].usagePage, kNotifyUsagePage);
  }

  const auto& request = backend.opens.back().request;
  EXPECT_TRUE(request.read);
  EXPECT_FALSE(request.write);
  EXPECT_FALSE(request.exclusive);
}

TEST(HidOpen, FailuresLeaveTheDeviceClosed) {
  FakeBackend backend;
  backend.Add("cmd", kVendorId, kMouseProductId);
  backend.Add("broken", kVendorId, kMouseProductId, Bytes{0xA1, 0x01});  // collection never closed
  CHidDevice hid(backend);

  ASSERT_TRUE(hid.OpenHidDevice("cmd", true, true, true, false));
  EXPECT_FALSE(hid.OpenHidDevice("gone", true, true, true, false));
  EXPECT_FALSE(hid.IsOpen());
  EXPECT_EQ(hid.LastOpenError(), HidOpenError::NotFound);
  EXPECT_EQ(hid.Caps().inputReportByteLength, 0);
  EXPECT_TRUE(hid.InputItems().empty());

  EXPECT_FALSE(hid.OpenHidDevice("broken", true, true, true, false));
  EXPECT_FALSE(hid.IsOpen());
  EXPECT_EQ(hid.LastOpenError(), HidOpenError::Other);

  backend.openError = HidOpenError::PermissionDenied;
  EXPECT_FALSE(hid.OpenHidDevice("cmd", true, true, true, false));
  EXPECT_EQ(hid.LastOpenError(), HidOpenError::PermissionDenied);

  std::array<uint8_t, kReportSize> buffer{};
  size_t count = 7;
  EXPECT_FALSE(hid.WriteHidReport(buffer, &count, 10));
  EXPECT_EQ(count, 0u);
}

TEST(HidOpen, PathLongerThanTheLimitIsRefused) {
  FakeBackend backend;
  const std::string longest(CHidDevice::kMaxPathLength, 'a');
  backend.Add(longest, kVendorId, kMouseProductId);
  backend.Add(longest + "b", kVendorId, kMouseProductId);
  CHidDevice hid(backend);
  EXPECT_TRUE(hid.OpenHidDevice(longest, true, true, true, false));
  EXPECT_FALSE(hid.OpenHidDevice(longest + "b", true, true, true, false));
  EXPECT_FALSE(hid.IsOpen());
  EXPECT_EQ(backend.opens.size(), 1u) << "the long path never reaches the backend";
  EXPECT_TRUE(hid.DevicePath().empty());
}

TEST(HidOpen, CloseKeepsPathAndFlags) {
  FakeBackend backend;
  backend.Add("p", kVendorId, kMouseProductId);
  CHidDevice hid(backend);
  ASSERT_TRUE(hid.OpenHidDevice("p", true, true, false, true));
  EXPECT_TRUE(backend.opens.back().request.exclusive);
  hid.CloseHidDevice();
  EXPECT_FALSE(hid.IsOpen());
  EXPECT_EQ(hid.DevicePath(), "p");
  EXPECT_TRUE(hid.OpenedForWrite());
  EXPECT_TRUE(hid.OpenedExclusive());
  EXPECT_EQ(hid.Attributes().vendorId, 0);
  EXPECT_TRUE(hid.Exists("p"));
  EXPECT_FALSE(hid.Exists("q"));
}

TEST(HidTransfer, ReadWithoutReportTimesOutAndLeavesTheBuffer) {
  FakeBackend backend;
  auto device = backend.Add("p", kVendorId, kMouseProductId);
  CHidDevice hid(backend);
  ASSERT_TRUE(hid.OpenHidDevice("p", true, true, true, false));
  std::array<uint8_t, kReportSize> buffer;
  buffer.fill(0xAA);
  size_t count = 99;
  EXPECT_FALSE(hid.ReadHidReport(buffer, &count, 300));
  EXPECT_EQ(count, 0u);
  for (uint8_t b : buffer) ASSERT_EQ(b, 0xAA);

  device->replies.push_back(Bytes{4, 1, 2});
  EXPECT_TRUE(hid.ReadHidReport(buffer, &count, 300));
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(buffer[2], 2);
}

TEST(HidTransfer, CloseEndsALongReadAtOnce) {
  FakeBackend backend;
  auto device = backend.Add("p", kVendorId, kMouseProductId);
  device->holdReads = true;
  CHidDevice hid(backend);
  ASSERT_TRUE(hid.OpenHidDevice("p", true, true, true, false));

  std::array<uint8_t, kReportSize> buffer;
  buffer.fill(0xAA);
  bool result = true;
  size_t count = 99;
  std::thread reader([&] { result = hid.ReadHidReport(buffer, &count, 60000); });
  while (!hid.IsReading()) std::this_thread::yield();
  hid.CloseHidDevice();
  reader.join();

  EXPECT_FALSE(result);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(device->ReadEnds(), std::vector<platform::HidIo>{platform::HidIo::Aborted});
  for (uint8_t b : buffer) ASSERT_EQ(b, 0xAA);

  // The abort was spent on that read; the next one runs its full course.
  ASSERT_TRUE(hid.OpenHidDevice("p", true, true, true, false));
  EXPECT_FALSE(hid.ReadHidReport(buffer, &count, 0));
  EXPECT_EQ(device->ReadEnds().back(), platform::HidIo::TimedOut);
}

TEST(HidTransfer, CancelEndsAPendingReadAndLeavesNoSignalBehind) {
  FakeBackend backend;
  auto device = backend.Add("p", kVendorId, kMouseProductId);
  device->holdReads = true;
  CHidDevice hid(backend);
  ASSERT_TRUE(hid.OpenHidDevice("p", true, false, true, false));

  // With nothing pending a cancel is not kept for the next transfer.
  hid.CancelPendingIo();
  std::array<uint8_t, kReportSize> buffer{};
  EXPECT_FALSE(hid.ReadHidReport(buffer, nullptr, 50));
  EXPECT_EQ(device->ReadEnds().back(), platform::HidIo::TimedOut);

  bool result = true;
  std::thread reader([&] { result = hid.ReadHidReport(buffer, nullptr, 60000); });
  while (!hid.IsReading()) std::this_thread::yield();
  hid.CancelPendingIo();
  reader.join();
  EXPECT_FALSE(result);
  EXPECT_EQ(device->ReadEnds().back(), platform::HidIo::Aborted);
  EXPECT_TRUE(hid.IsOpen());
}

class UnpackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto descriptor = platform::hid::ParseReportDescriptor(kNotifyDescriptor);
    ASSERT_TRUE(descriptor);
    collection = descriptor->collections.at(0);
    ASSERT_TRUE(CHidDevice::BuildInputItems(collection, items));
    ASSERT_EQ(items.size(), 5u);
  }

  // Report id 3; button bits: usages 1..3 in bits 0..2, 4..8 in bits 3..7.
  static Bytes Report(uint8_t buttons, uint8_t e0 = 0, uint8_t e1 = 0, uint8_t e2 = 0) {
    return Bytes{3, buttons, e0, e1, e2};
  }

  platform::hid::TopCollection collection;
  std::vector<HidDataItem> items;
};

TEST_F(UnpackTest, ButtonItemsKeepOnlyTheirOwnRange) {
  // Usages 2 and 5 on.
  ASSERT_TRUE(CHidDevice::UnpackInputReport(Report(0x12), items, collection));
  EXPECT_EQ(items[0].usages[0], 2);
  EXPECT_EQ(items[0].usages[1], 0);
  EXPECT_EQ(items[1].usages[0], 5);
  EXPECT_EQ(items[1].usages[1], 0);
  EXPECT_TRUE(items[0].isSet);
  EXPECT_EQ(items[0].status, platform::hid::Status::Success);

  // A later report with only usage 1 on leaves nothing of the earlier one.
  ASSERT_TRUE(CHidDevice::UnpackInputReport(Report(0x01), items, collection));
  EXPECT_EQ(items[0].usages[0], 1);
  EXPECT_EQ(items[0].usages[1], 0);
  EXPECT_EQ(items[1].usages[0], 0);
}

TEST_F(UnpackTest, ValuesAreDecodedRawAndScaled) {
  ASSERT_TRUE(CHidDevice::UnpackInputReport(Report(0, 50, 7, 200), items, collection));
  EXPECT_EQ(items[2].value, 50u);
  EXPECT_EQ(items[2].scaledValue, 500);  // logical 0..100 onto physical 0..1000
  EXPECT_EQ(items[3].value, 7u);
  EXPECT_EQ(items[3].scaledValue, 7);
  EXPECT_EQ(items[4].value, 200u);
  for (const auto& item : items) EXPECT_TRUE(item.isSet);

  // Out of the logical range: the raw value is kept, the scaled one fails.
  ASSERT_TRUE(CHidDevice::UnpackInputReport(Report(0, 101), items, collection));
  EXPECT_EQ(items[2].value, 101u);
  EXPECT_EQ(items[2].status, platform::hid::Status::ValueOutOfRange);
}

TEST_F(UnpackTest, OtherReportIdsLeaveItemsAlone) {
  Bytes report = Report(0x12, 9);
  report[0] = 2;
  ASSERT_TRUE(CHidDevice::UnpackInputReport(report, items, collection));
  for (const auto& item : items) EXPECT_FALSE(item.isSet);
  EXPECT_EQ(items[2].value, 0u);
  EXPECT_FALSE(CHidDevice::UnpackInputReport({}, items, collection));
}

TEST_F(UnpackTest, UndecodableValueStopsTheUnpack) {
  // Long enough for the buttons only.
  const Bytes shortReport{3, 0x02};
  EXPECT_FALSE(CHidDevice::UnpackInputReport(shortReport, items, collection));
  EXPECT_EQ(items[0].usages[0], 2);
  EXPECT_TRUE(items[1].isSet);
  EXPECT_FALSE(items[2].isSet);
  EXPECT_EQ(items[2].status, platform::hid::Status::InvalidReportLength);
  EXPECT_FALSE(items[3].isSet);
  EXPECT_EQ(items[3].status, platform::hid::Status::Success);
}

TEST(HidItems, DescriptorAskingForTooManyItemsIsRefused) {
  // A ranged 2-bit value field of 8192 usages.
  const Bytes descriptor{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x19, 0x00, 0x2A, 0xFF, 0x1F,
                         0x15, 0x00, 0x25, 0x03, 0x75, 0x02, 0x96, 0x00, 0x20, 0x81, 0x02, 0xC0};
  const auto parsed = platform::hid::ParseReportDescriptor(descriptor);
  ASSERT_TRUE(parsed);
  std::vector<HidDataItem> items;
  EXPECT_FALSE(CHidDevice::BuildInputItems(parsed->collections.at(0), items));

  FakeBackend backend;
  backend.Add("p", kVendorId, kMouseProductId, descriptor);
  CHidDevice hid(backend);
  EXPECT_FALSE(hid.OpenHidDevice("p", true, false, true, false));
  EXPECT_FALSE(hid.IsOpen());
}

}  // namespace
}  // namespace talvo::device
