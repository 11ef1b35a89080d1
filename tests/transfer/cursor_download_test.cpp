// The cursor-macro image read at attach: header, then the announced image,
// within one transfer; a header the mouse cannot mean reads nothing more.
#include "transfer/cursor_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "device/device_report.h"
#include "sim/simulated_backend.h"

namespace talvo::transfer {
namespace {

class CursorDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(sim::DeviceKind::Mouse);
    link.SetCommandIdentity(device::kMouseProductId);
    ASSERT_TRUE(link.Attach());
  }
  sim::SimDevice& Mouse() { return backend.Device(sim::DeviceKind::Mouse); }
  void Header(uint16_t magic, uint16_t total) {
    ASSERT_TRUE(Mouse().Poke("cursor", 0,
                             std::vector<uint8_t>{uint8_t(magic), uint8_t(magic >> 8), uint8_t(total), uint8_t(total >> 8)}));
    Mouse().ClearRequests();
  }
  std::vector<int> Commands() {
    std::vector<int> out;
    for (const auto& r : Mouse().Requests()) out.push_back(r.bytes[device::report::kCommand]);
    return out;
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink link{backend};
  std::array<uint8_t, kCursorImageMax> image{};
};

TEST_F(CursorDownloadTest, ReadsTheAnnouncedImageAfterItsHeader) {
  Header(kCursorImageMagic, 100);
  ASSERT_TRUE(Mouse().Poke("cursor", 99, std::vector<uint8_t>{0x5A}));
  Mouse().ClearRequests();
  EXPECT_EQ(DownloadCursorImage(link, image), 100u);
  EXPECT_EQ(Commands(), (std::vector<int>{1, 22, 22, 22, 2})) << "16 bytes, then 100 in two chunks";
  EXPECT_EQ(image[0], 0xAA);
  EXPECT_EQ(image[99], 0x5A);
  EXPECT_EQ(image[100], 0);
}

TEST_F(CursorDownloadTest, ImpossibleHeadersReadNothingMore) {
  for (const auto& [magic, total] : {std::pair<uint16_t, uint16_t>{0x1234, 100}, {kCursorImageMagic, 15},
                                     {kCursorImageMagic, kCursorImageMax + 1}, {kCursorImageMagic, 0xFFFF}}) {
    Header(magic, total);
    image.fill(0x77);
    EXPECT_EQ(DownloadCursorImage(link, image), 0u) << total;
    EXPECT_EQ(Commands(), (std::vector<int>{1, 22, 2})) << "header only, transfer closed";
    EXPECT_EQ(image[0], 0x77) << "nothing written";
  }
}

TEST_F(CursorDownloadTest, AbsentMouseReadsNothing) {
  link.Detach();
  image.fill(0x77);
  EXPECT_EQ(DownloadCursorImage(link, image), 0u);
  EXPECT_EQ(image[0], 0x77);
}

TEST(CursorImageLength, BoundsTheAnnouncedLength) {
  std::array<uint8_t, kCursorImageHeaderSize> h{0xAA, 0x55, 0x00, 0x0C};
  EXPECT_EQ(CursorImageLength(h), kCursorImageMax);
  h[3] = 0x0D;
  EXPECT_EQ(CursorImageLength(h), std::nullopt);
  h = {0xAA, 0x55, 16, 0};
  EXPECT_EQ(CursorImageLength(h), 16u);
}

}  // namespace
}  // namespace talvo::transfer
