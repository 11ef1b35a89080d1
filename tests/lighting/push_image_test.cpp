#include "lighting/push_image.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/device_commands.h"
#include "device/device_report.h"
#include "sim/simulated_backend.h"

namespace talvo::lighting {
namespace {

using sim::DeviceKind;

struct WriteSeen {
  uint8_t command;
  uint8_t length;
  unsigned offset;
  std::vector<uint8_t> data;
};

// Three simulated devices, each with an attached link, replying at once.
class PushTest : public ::testing::Test {
 protected:
  PushTest() {
    backend.SetLatency(std::chrono::microseconds(0));
    Attach(DeviceKind::Keyboard, device::kKeyboardProductId, keyboard);
    Attach(DeviceKind::Mouse, device::kMouseProductId, mouse);
    Attach(DeviceKind::Mousepad, device::kMousepadProductId, mousepad);
  }

  void Attach(DeviceKind kind, uint16_t productId, device::CDeviceLink& link) {
    backend.Plug(kind);
    link.SetCommandIdentity(productId);
    ASSERT_TRUE(link.Attach());
  }

  std::vector<WriteSeen> Seen(DeviceKind kind) {
    std::vector<WriteSeen> out;
    for (const auto& r : backend.Device(kind).Requests()) {
      const auto& b = r.bytes;
      out.push_back({b[device::report::kCommand], b[device::report::kLength], device::report::Offset(b),
                     std::vector<uint8_t>(b.begin() + device::kReportDataOffset, b.end())});
    }
    return out;
  }

  // What the push tick does with the pushes it takes.
  void PushPending() {
    for (const PendingPush& push : TakePendingPushes(flags, kb, ms, mp)) {
      device::CDeviceLink& link = push.peripheral == device::Peripheral::Keyboard ? keyboard
                                  : push.peripheral == device::Peripheral::Mouse  ? mouse
                                                                                  : mousepad;
      SendPushImage(link, push.writes);
    }
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink keyboard{backend};
  device::CDeviceLink mouse{backend};
  device::CDeviceLink mousepad{backend};
  KeyboardLighting kb;
  MouseLighting ms;
  MousepadLighting mp;
  LightPushFlags flags;
};

std::vector<uint8_t> Expected(std::vector<uint8_t> head, size_t zeros) {
  head.resize(head.size() + zeros, 0);
  return head;
}

TEST_F(PushTest, KeyboardPushSendsTheRecordAndEndsSynchronizedLighting) {
  for (size_t i = 0; i < LightRecord::kSize; ++i) kb.record.Set(i, static_cast<uint8_t>(0x40 + i));
  kb.record.SetProfile(0);
  keyboard.syncActive = 1;
  flags.Mark(device::Peripheral::Keyboard);

  PushPending();

  EXPECT_FALSE(flags.IsPending(device::Peripheral::Keyboard));
  EXPECT_EQ(keyboard.syncActive.load(), 0u);
  const auto seen = Seen(DeviceKind::Keyboard);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].command, static_cast<uint8_t>(device::Command::WriteSettings));
  EXPECT_EQ(seen[0].offset, 0u);
  EXPECT_EQ(seen[0].length, 56);
  const auto record = kb.record.Snapshot();
  EXPECT_EQ(seen[0].data, Expected({record.begin(), record.end()}, 35));
  const auto settings = backend.Device(DeviceKind::Keyboard).Memory("settings");
  for (size_t i = 1; i < 21; ++i) EXPECT_EQ(settings.at(i), record[i]) << "device byte " << i;

  EXPECT_TRUE(Seen(DeviceKind::Mouse).empty()) << "only flagged devices are pushed";
  EXPECT_TRUE(Seen(DeviceKind::Mousepad).empty());
}

TEST(PushImageTest, AProfileByteNamingNoOnboardProfileGoesAsZero) {
  for (const uint8_t profile : {uint8_t(4), uint8_t(5), uint8_t(0xFF)}) {
    LightRecord record;
    record.SetProfile(profile);
    EXPECT_EQ(LightRecordPushImage(record)[0].data[0], profile <= 4 ? profile : 0) << int(profile);
  }
}

TEST_F(PushTest, MousePushLeavesReportRateAndActiveStageToTheMouse) {
  for (size_t i = 0; i < MouseSettingsRecord::kSize; ++i) ms.record.Set(i, static_cast<uint8_t>(0x80 + i));
  ms.record.SetProfile(0);
  const std::array<uint8_t, 1> rate{0x02};
  const std::array<uint8_t, 1> stage{0x03};
  auto& device = backend.Device(DeviceKind::Mouse);
  ASSERT_TRUE(device.Poke("settings", 14, rate));
  ASSERT_TRUE(device.Poke("settings", 19, stage));
  flags.Mark(device::Peripheral::Mouse);

  PushPending();

  const auto seen = Seen(DeviceKind::Mouse);
  ASSERT_EQ(seen.size(), 3u);
  const auto r = ms.record.Snapshot();
  const std::array<std::pair<unsigned, uint8_t>, 3> ranges{{{0, 14}, {15, 4}, {20, 44}}};
  for (size_t w = 0; w < 3; ++w) {
    EXPECT_EQ(seen[w].offset, ranges[w].first);
    EXPECT_EQ(seen[w].length, ranges[w].second);
    const unsigned end = seen[w].offset + seen[w].length;
    EXPECT_FALSE(seen[w].offset <= 14 && 14 < end) << "write " << w << " covers byte 14";
    EXPECT_FALSE(seen[w].offset <= 19 && 19 < end) << "write " << w << " covers byte 19";
  }
  EXPECT_EQ(seen[0].data, Expected({r.begin(), r.begin() + 14}, 42));
  EXPECT_EQ(seen[1].data, Expected({r.begin() + 15, r.begin() + 19}, 52));
  EXPECT_EQ(seen[2].data, Expected({r.begin() + 20, r.end()}, 42));

  const auto settings = device.Memory("settings");
  EXPECT_EQ(settings.at(14), 0x02);
  EXPECT_EQ(settings.at(19), 0x03);
  EXPECT_EQ(settings.at(15), r[15]);
  EXPECT_EQ(settings.at(33), r[33]);
}

TEST_F(PushTest, FailedWritesDoNotStopThePushAndAreReported) {
  backend.Device(DeviceKind::Mouse).InjectFault(sim::Fault::StatusFF, 1);
  EXPECT_EQ(SendPushImage(mouse, MousePushImage(ms.record)), device::kResultDeviceFailed);
  EXPECT_EQ(Seen(DeviceKind::Mouse).size(), 3u);
  EXPECT_EQ(SendPushImage(mouse, MousePushImage(ms.record)), device::kResultOk);
}

TEST_F(PushTest, TakingThePushesClearsEveryFlagInDeviceOrder) {
  flags.Mark(device::Peripheral::Mousepad);
  flags.Mark(device::Peripheral::Keyboard);
  flags.Mark(device::Peripheral::Mouse);
  const auto pushes = TakePendingPushes(flags, kb, ms, mp);
  ASSERT_EQ(pushes.size(), 3u);
  EXPECT_EQ(pushes[0].peripheral, device::Peripheral::Keyboard);
  EXPECT_EQ(pushes[1].peripheral, device::Peripheral::Mouse);
  EXPECT_EQ(pushes[2].peripheral, device::Peripheral::Mousepad);
  EXPECT_TRUE(TakePendingPushes(flags, kb, ms, mp).empty()) << "each flag is taken once";
}

}  // namespace
}  // namespace talvo::lighting
