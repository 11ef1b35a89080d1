// Enumeration against a fake sysfs tree. Runs under umockdev's preload
// library (umockdev-wrapper), which points libudev at the test bed.
#include <umockdev.h>

#include <chrono>
#include <cstdio>
#include <stop_token>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/hidraw_backend.h"

namespace talvo::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::AllOf;

// Vendor collection (report 4) and consumer-control collection (report 5).
const std::vector<uint8_t> kComposite = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0,
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05, 0x15, 0x00, 0x26, 0xFF, 0x03,
    0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,
};

// A keyboard-like single collection: generic desktop 0x01 / 0x06.
const std::vector<uint8_t> kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0,
};

auto Entry(const std::string& path, uint16_t vendor, uint16_t product, uint16_t usagePage, uint16_t usage,
           int interfaceNumber) {
  return AllOf(Field(&HidInterfaceInfo::path, path), Field(&HidInterfaceInfo::vendorId, vendor),
               Field(&HidInterfaceInfo::productId, product), Field(&HidInterfaceInfo::usagePage, usagePage),
               Field(&HidInterfaceInfo::usage, usage), Field(&HidInterfaceInfo::interfaceNumber, interfaceNumber));
}

class HidrawEnumerate : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed_ = umockdev_testbed_new();
    // Only true once a test bed exists and the preload library serves it.
    ASSERT_TRUE(umockdev_in_mock_environment()) << "run this test under umockdev-wrapper";
  }
  void TearDown() override {
    if (testbed_ != nullptr) g_object_unref(testbed_);
  }

  // A USB device with one interface carrying one hidraw node; returns the
  // node's sysfs path. An empty descriptor leaves the report_descriptor
  // attribute out; interface -1 leaves out the USB interface.
  std::string AddNode(int number, const char* hidId, const std::vector<uint8_t>& descriptor, int interfaceNumber = 0) {
    const std::string n = std::to_string(number);
    gchar* parent = nullptr;
    gchar* usb = umockdev_testbed_add_device(testbed_, "usb", ("1-" + n).c_str(), nullptr, "idVendor", "0c45",
                                             nullptr, "DEVTYPE", "usb_device", nullptr);
    if (interfaceNumber >= 0) {
      char text[16];
      std::snprintf(text, sizeof text, "%02x", interfaceNumber);
      parent = umockdev_testbed_add_device(testbed_, "usb", ("1-" + n + ":1." + n).c_str(), usb,
                                           "bInterfaceNumber", text, nullptr, "DEVTYPE", "usb_interface", nullptr);
    } else {
      parent = g_strdup(usb);
    }
    gchar* hid = umockdev_testbed_add_device(testbed_, "hid", ("0003:0C45:652C.000" + n).c_str(), parent,
                                             nullptr, "HID_ID", hidId, nullptr);
    if (!descriptor.empty()) {
      // umockdev only copies the bytes; its API is not const-correct.
      std::vector<uint8_t> bytes = descriptor;
      umockdev_testbed_set_attribute_binary(testbed_, hid, "report_descriptor", bytes.data(),
                                            static_cast<gint>(bytes.size()));
    }
    gchar* node = umockdev_testbed_add_device(testbed_, "hidraw", ("hidraw" + n).c_str(), hid, nullptr,
                                              "DEVNAME", ("/dev/hidraw" + n).c_str(), nullptr);
    std::string syspath = node;
    g_free(node);
    g_free(hid);
    g_free(parent);
    g_free(usb);
    return syspath;
  }

  std::vector<HidInterfaceInfo> List() {
    std::vector<HidInterfaceInfo> found = {HidInterfaceInfo{.path = "stale"}};
    EXPECT_TRUE(HidrawBackend().Enumerate(found));
    return found;
  }

  UMockdevTestbed* testbed_ = nullptr;
};

TEST_F(HidrawEnumerate, NoNodesGiveAnEmptyList) { EXPECT_TRUE(List().empty()); }

TEST_F(HidrawEnumerate, CompositeNodeGivesOneEntryPerCollection) {
  AddNode(3, "0003:00000C45:0000652C", kComposite, 1);
  EXPECT_THAT(List(), ElementsAre(Entry("/dev/hidraw3#0", 0x0C45, 0x652C, 0xFF1C, 0x0092, 1),
                                  Entry("/dev/hidraw3#1", 0x0C45, 0x652C, 0x000C, 0x0001, 1)));
}

TEST_F(HidrawEnumerate, ListsOtherVendorsAndNodesWithoutUsableDescriptors) {
  AddNode(1, "0003:0000046D:0000C077", kKeyboard, 0);
  AddNode(2, "0003:00000C45:00006556", {}, 2);              // no descriptor attribute
  AddNode(4, "0003:00000C45:00005004", {0xA1, 0x01}, -1);   // unbalanced, no USB interface
  AddNode(5, "garbage", kKeyboard, 0x1F);
  EXPECT_THAT(List(), ElementsAre(Entry("/dev/hidraw1", 0x046D, 0xC077, 0x0001, 0x0006, 0),
                                  Entry("/dev/hidraw2", 0x0C45, 0x6556, 0, 0, 2),
                                  Entry("/dev/hidraw4", 0x0C45, 0x5004, 0, 0, -1),
                                  Entry("/dev/hidraw5", 0, 0, 0x0001, 0x0006, 0x1F)));
}

TEST_F(HidrawEnumerate, ListsEveryOfManyNodes) {
  std::vector<std::string> expected;
  for (int i = 1; i <= 9; ++i) {
    AddNode(i, "0003:00000C45:0000652C", kComposite, 0);
    expected.push_back("/dev/hidraw" + std::to_string(i) + "#0");
    expected.push_back("/dev/hidraw" + std::to_string(i) + "#1");
  }
  std::vector<std::string> paths;
  for (const auto& info : List()) paths.push_back(info.path);
  EXPECT_EQ(paths, expected);
}

TEST_F(HidrawEnumerate, WaitForChangeWakesOnNodesComingAndGoing) {
  HidrawBackend backend;
  std::stop_source stop;
  // The first wait starts listening; nothing has happened yet.
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), std::chrono::milliseconds(20)));

  const std::string node = AddNode(3, "0003:00000C45:0000652C", kComposite, 1);
  umockdev_testbed_uevent(testbed_, node.c_str(), "add");
  EXPECT_TRUE(backend.WaitForChange(stop.get_token(), std::chrono::seconds(5)));
  // Taken: the next wait runs its course.
  EXPECT_FALSE(backend.WaitForChange(stop.get_token(), std::chrono::milliseconds(20)));

  umockdev_testbed_uevent(testbed_, node.c_str(), "remove");
  EXPECT_TRUE(backend.WaitForChange(stop.get_token(), std::chrono::seconds(5)));
}

}  // namespace
}  // namespace talvo::platform
