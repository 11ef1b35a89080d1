#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sdk/sdk_protocol.h"
#include "test_controllers.h"

namespace talvo::sdk {
namespace {

// The tiny controller's data block after data_size, field by field, each with
// the protocol version that brought it in.
struct Field {
  uint32_t since;
  std::vector<uint8_t> bytes;
};

const std::vector<Field> kTinyControllerFields = {
    {0, {7, 0, 0, 0}},                                                            // type: mousemat
    {0, {4, 0, 'P', 'a', 'd', 0}},                                                // name
    {1, {3, 0, 'T', 'v', 0}},                                                     // vendor
    {0, {2, 0, 'd', 0}},                                                          // description
    {0, {2, 0, '1', 0}},                                                          // version
    {0, {1, 0, 0}},                                                               // serial, empty
    {0, {4, 0, 'u', 's', 'b', 0}},                                                // location
    {0, {1, 0, 0, 0, 0, 0}},                                                      // 1 mode, active mode 0
    {0, {7, 0, 'S', 't', 'a', 't', 'i', 'c', 0}},                                 // mode name
    {0, {1, 0, 0, 0, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},                     // value, flags, speed min, max
    {3, {0, 0, 0, 0, 4, 0, 0, 0}},                                                // brightness min, max
    {0, {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},                                    // colours min, max, speed
    {3, {3, 0, 0, 0}},                                                            // brightness
    {0, {0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 1, 2, 3, 0}},                              // direction, colour mode, colours
    {0, {1, 0, 2, 0, 'Z', 0, 2, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0}},  // 1 zone: name, matrix, 3 LEDs
    {0, {24, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},  // 2×2 map
    {4, {0, 0}},                                                                  // no segments
    {0, {3, 0, 2, 0, 'A', 0, 0, 0, 0, 0, 2, 0, 'B', 0, 1, 0, 0, 0, 2, 0, 'C', 0, 2, 0, 0, 0}},  // LEDs
    {0, {3, 0, 0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0, 0x70, 0x80, 0x90, 0}},  // colours
};

TEST(sdkControllerData, TinyControllerMatchesHandComputedBytesPerVersion) {
  // Versions 2 and 9 lay out as 1 and 4: nothing came in at 2, and this
  // server stops at 4.
  const struct {
    uint32_t version;
    uint32_t dataSize;
  } cases[] = {{0, 176}, {1, 181}, {2, 181}, {3, 193}, {4, 195}, {9, 195}};
  for (const auto& c : cases) {
    std::vector<uint8_t> expected = {uint8_t(c.dataSize), 0, 0, 0};
    for (const Field& field : kTinyControllerFields) {
      if (field.since <= c.version) expected.insert(expected.end(), field.bytes.begin(), field.bytes.end());
    }
    ASSERT_EQ(expected.size(), c.dataSize) << "version " << c.version;
    EXPECT_EQ(EncodeControllerData(test::TinyController(), c.version), expected) << "version " << c.version;
  }
}

TEST(sdkControllerData, StringsEndAtNulAndShortMatricesArePaddedWithEmptyCells) {
  ControllerDescription c;
  c.name = std::string("ab\0cd", 5);
  c.zones = {{"", ZoneType::Matrix, 1, 1, 1, MatrixMap{1, 2, {0}}}};
  const std::vector<uint8_t> bytes = EncodeControllerData(c, 0);
  const std::vector<uint8_t> name(bytes.begin() + 8, bytes.begin() + 13);
  EXPECT_EQ(name, (std::vector<uint8_t>{3, 0, 'a', 'b', 0}));
  // The zone's map: length 16, height 1, width 2, LED 0 and an empty cell;
  // then no LEDs and no colours.
  const std::vector<uint8_t> tail(bytes.end() - 22, bytes.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{16, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(sdkControllerData, DeviceListUpdatedIsAHeaderAlone) {
  EXPECT_EQ(DeviceListUpdatedPacket(), (std::vector<uint8_t>{'O', 'R', 'G', 'B', 0, 0, 0, 0, 100, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace talvo::sdk
