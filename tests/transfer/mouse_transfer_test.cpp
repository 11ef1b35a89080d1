#include "transfer/mouse_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../profiles/profile_test_env.h"
#include "device/device_report.h"
#include "platform/folders.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_index.h"
#include "sim/simulated_backend.h"
#include "sent_requests.h"

namespace talvo::transfer {
namespace {

using device::Command;
using device::Peripheral;
using profiles::ProfileKind;
using profiles::test::Pattern;
using profiles::test::ReadBytes;
using sim::DeviceKind;

using test::Req;
using test::Sent;
using test::SentTo;

// The chunks of a 512-byte key-map transfer starting at `base`.
void AppendMapChunks(std::vector<Sent>& out, Command c, unsigned base) {
  for (unsigned pos = 0; pos < 512; pos += 56) {
    out.push_back(Req(c, static_cast<uint8_t>(std::min(56u, 512 - pos)), base + pos));
  }
}

// A plugged-in simulated mouse that answers at once, a link attached to it,
// and private folders holding one chosen mouse light and device profile.
class MouseTransferTest : public profiles::test::ProfileFolders {
 protected:
  void SetUp() override {
    ProfileFolders::SetUp();
    profiles::test::ChooseSavedProfiles({Peripheral::Mouse});
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(DeviceKind::Mouse);
    Identify(link);
    ASSERT_TRUE(link.Attach());
    live = std::make_unique<profiles::LiveData>();
  }

  static void Identify(device::CDeviceLink& l) {
    l.SetCommandIdentity(device::kMouseProductId);
  }

  sim::SimDevice& Mouse() { return backend.Device(DeviceKind::Mouse); }

  std::vector<Sent> Requests() { return SentTo(Mouse()); }

  void Poke(std::string_view area, size_t offset, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(Mouse().Poke(area, offset, bytes));
  }

  // Distinct bytes in every live slot and the live record.
  void FillLive(uint8_t recordProfile) {
    for (size_t s = 0; s < live->mouseLight.slots.size(); ++s) {
      live->mouseLight.slots[s].Load(Pattern(64, static_cast<uint8_t>(0x10 * (s + 1))));
    }
    live->mouseLight.record.Load(Pattern(34, 0xE0));
    live->mouseLight.record.SetProfile(recordProfile);
  }

  std::vector<uint8_t> Memory(std::string_view area, size_t offset, size_t n) {
    const auto all = Mouse().Memory(area);
    return {all.begin() + static_cast<std::ptrdiff_t>(offset), all.begin() + static_cast<std::ptrdiff_t>(offset + n)};
  }

  static std::vector<uint8_t> Head(const lighting::LightImage& slot, size_t n) {
    const auto bytes = slot.Snapshot();
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
  }

  void ExpectSlotsOneToFourAre(const std::array<lighting::LightImage, 5>& expected) const {
    for (size_t s = 1; s < expected.size(); ++s) EXPECT_EQ(live->mouseLight.slots[s], expected[s]) << "slot " << s;
  }

  // Each sequence as the main window runs it: the device half, then the
  // apply half.
  void FullRead(device::CDeviceLink& l) {
    MouseReadback readback = MouseReadback::Of(data, *live);
    MouseFullRead(l, readback);
    ApplyMouseFullRead(readback, data, *live);
  }
  bool Reread() { return ApplyMouseSettingsReread(MouseSettingsReread(link), data, *live); }
  bool Select(unsigned n) { return ApplyMouseProfileSwitch(SelectMouseProfile(link, n), n, data, *live); }

  sim::SimulatedBackend backend;
  device::CDeviceLink link{backend};
  std::unique_ptr<profiles::LiveData> live;
  MouseDeviceData data;
};

// ---- full read ----------------------------------------------------------

TEST_F(MouseTransferTest, FullReadSendsEveryRequestInOrder) {
  FullRead(link);

  std::vector<Sent> expected{Req(Command::BeginTransfer, 0, 0), Req(Command::ReadDeviceInfo, 33, 0)};
  AppendMapChunks(expected, Command::ReadDefaultMap, 0);
  for (unsigned p = 0; p < 5; ++p) {
    expected.push_back(Req(Command::ReadSettings, 56, p * 64));
    AppendMapChunks(expected, Command::ReadKeyMap, p * 126);
  }
  expected.push_back(Req(Command::EndTransfer, 0, 0));
  EXPECT_EQ(Requests(), expected);
}

TEST_F(MouseTransferTest, FullReadFillsEachDestinationFromTheMouse) {
  Poke("info", 0, Pattern(33, 0x21));
  Poke("default_map", 0, Pattern(512, 0x33));
  Poke("keymaps", 0, Pattern(sim::kKeyMapsSize, 0x45));
  Poke("settings", 0, Pattern(sim::kSettingsSize, 0x57));
  Poke("settings", 0, {0});  // profile 0 active, so block 0 reads as stored
  FillLive(4);
  const auto slots = live->mouseLight.slots;

  FullRead(link);

  EXPECT_EQ(std::vector<uint8_t>(data.info.bytes.begin(), data.info.bytes.end()), Memory("info", 0, 33));
  EXPECT_EQ(std::vector<uint8_t>(live->mouseKeys.defaultMap.begin(), live->mouseKeys.defaultMap.end()),
            Memory("default_map", 0, 512));
  for (unsigned p = 0; p < 5; ++p) {
    SCOPED_TRACE(p);
    const auto& map = live->mouseKeys.profiles[p];
    EXPECT_EQ(std::vector<uint8_t>(map.begin(), map.end()), Memory("keymaps", p * 126, 512));
    const auto copy = data.blocks.Copy(p);
    EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.end()), Memory("settings", p * 64, 56));
  }
  // The slots are not read here; the live record comes from the active one.
  ExpectSlotsOneToFourAre(slots);
  auto expected = Head(slots[0], 34);
  expected[0] = 0;
  const auto record = live->mouseLight.record.Snapshot();
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), expected);
}

TEST_F(MouseTransferTest, FullReadTakesTheLiveRecordFromTheActiveProfilesSlot) {
  Poke("settings", 0, {3});
  FillLive(0);

  FullRead(link);

  EXPECT_EQ(live->mouseLight.record.profile(), 3);
  const auto record = live->mouseLight.record.Snapshot();
  auto expected = Head(live->mouseLight.slots[3], 34);
  expected[0] = 3;
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), expected);
}

TEST_F(MouseTransferTest, FullReadWithAnActiveProfileAboveFourLeavesTheLightingAlone) {
  Poke("settings", 0, {7});  // mirrored into byte 0 of every block
  FillLive(1);
  const auto before = live->mouseLight.slots;
  const auto record = live->mouseLight.record.Snapshot();

  FullRead(link);

  EXPECT_EQ(data.blocks.Copy(4)[0], 7);
  EXPECT_EQ(live->mouseLight.record.Snapshot(), record);
  EXPECT_EQ(live->mouseLight.slots, before);
}

TEST_F(MouseTransferTest, FullReadOfAnAbsentMouseKeepsTheOutputs) {
  device::CDeviceLink absent{backend};
  Identify(absent);
  data.info.bytes.fill(0x66);
  std::fill(data.blocks.bytes.begin(), data.blocks.bytes.end(), uint8_t{0x77});
  data.blocks.Copy(4)[0] = 2;
  live->mouseKeys.defaultMap.fill(0x88);
  for (auto& map : live->mouseKeys.profiles) map.fill(0x99);
  FillLive(0);
  const MouseDeviceData dataBefore = data;
  const auto keysBefore = live->mouseKeys;

  FullRead(absent);

  EXPECT_TRUE(Mouse().Requests().empty());
  EXPECT_EQ(data.info.bytes, dataBefore.info.bytes);
  EXPECT_EQ(data.blocks.bytes, dataBefore.blocks.bytes);
  EXPECT_EQ(live->mouseKeys.defaultMap, keysBefore.defaultMap);
  EXPECT_EQ(live->mouseKeys.profiles, keysBefore.profiles);
  // The record still follows the kept copy of block 4.
  auto expected = Head(live->mouseLight.slots[2], 34);
  expected[0] = 2;
  const auto record = live->mouseLight.record.Snapshot();
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), expected);
}

// Everything the re-read and the profile switch may change.
struct LightState {
  std::array<lighting::LightImage, 5> slots;
  std::array<uint8_t, 34> record;
  std::array<uint8_t, 320> blocks;
  friend bool operator==(const LightState&, const LightState&) = default;
};

LightState StateOf(const profiles::LiveData& live, const MouseDeviceData& data) {
  return {live.mouseLight.slots, live.mouseLight.record.Snapshot(), data.blocks.bytes};
}

// ---- settings re-read ---------------------------------------------------

TEST_F(MouseTransferTest, RereadLoadsTheActiveProfilesBlock) {
  Poke("settings", 0, Pattern(sim::kSettingsSize, 0x19));
  Poke("settings", 0, {2});
  FillLive(1);
  const auto oldRecord = live->mouseLight.record.Snapshot();

  EXPECT_TRUE(Reread());

  EXPECT_EQ(Requests(), (std::vector<Sent>{Req(Command::ReadSettings, 1, 0), Req(Command::ReadSettings, 56, 128)}));
  const auto block = Memory("settings", 128, 56);
  ASSERT_EQ(block[0], 2);
  EXPECT_EQ(Head(live->mouseLight.slots[2], 56), block);
  const auto copy = data.blocks.Copy(0);
  EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.end()), block);
  const auto record = live->mouseLight.record.Snapshot();
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), Head(live->mouseLight.slots[2], 34));
  EXPECT_EQ(live->mouseLight.record.profile(), 2);
  // The record that was live went back to its own slot first.
  EXPECT_EQ(Head(live->mouseLight.slots[1], 34), std::vector<uint8_t>(oldRecord.begin(), oldRecord.end()));
}

TEST_F(MouseTransferTest, RereadWithoutAUsableActiveProfileChangesNothing) {
  struct Case {
    const char* name;
    sim::Fault fault;
    unsigned count;  // a missing reply is asked four times
    uint8_t active;
  };
  for (const Case c : {Case{"no reply", sim::Fault::NoReply, 4, 2}, Case{"status ff", sim::Fault::StatusFF, 1, 2},
                       Case{"profile 7", sim::Fault::None, 0, 7}}) {
    SCOPED_TRACE(c.name);
    Poke("settings", 0, {c.active});
    FillLive(1);
    const LightState before = StateOf(*live, data);
    Mouse().ClearRequests();
    Mouse().InjectFault(c.fault, c.count);

    EXPECT_FALSE(Reread());

    EXPECT_EQ(StateOf(*live, data), before);
    for (const Sent& s : Requests()) EXPECT_EQ(s, Req(Command::ReadSettings, 1, 0));
  }
}

// ---- onboard-profile switch ---------------------------------------------

TEST_F(MouseTransferTest, SelectingAnotherProfileSwitchesTheMouseAndLoadsItsBlock) {
  Poke("settings", 0, Pattern(sim::kSettingsSize, 0x2B));
  Poke("settings", 0, {0});
  FillLive(0);
  const auto oldRecord = live->mouseLight.record.Snapshot();

  EXPECT_TRUE(Select(1));

  EXPECT_EQ(Requests(), (std::vector<Sent>{Req(Command::ReadSettings, 1, 0), Req(Command::WriteSettings, 1, 0),
                                           Req(Command::ReadSettings, 56, 64)}));
  EXPECT_EQ(Mouse().Requests()[1].bytes[device::kReportDataOffset], 1);
  EXPECT_EQ(Mouse().ActiveProfile(), 1);
  EXPECT_EQ(Head(live->mouseLight.slots[0], 34), std::vector<uint8_t>(oldRecord.begin(), oldRecord.end()));
  const auto block = Memory("settings", 64, 56);
  EXPECT_EQ(Head(live->mouseLight.slots[1], 56), block);
  const auto copy = data.blocks.Copy(0);
  EXPECT_EQ(std::vector<uint8_t>(copy.begin(), copy.end()), block);
  auto expected = Head(live->mouseLight.slots[1], 34);
  expected[0] = 1;
  const auto record = live->mouseLight.record.Snapshot();
  EXPECT_EQ(std::vector<uint8_t>(record.begin(), record.end()), expected);
}

TEST_F(MouseTransferTest, SelectingStopsAfterTheOneByteReadUnlessItCanSwitch) {
  struct Case {
    const char* name;
    uint8_t active;
    sim::Fault fault;
    unsigned n;
  };
  for (const Case c : {Case{"already active", 3, sim::Fault::None, 3}, Case{"mouse reports 7", 7, sim::Fault::None, 1},
                       Case{"read refused", 0, sim::Fault::StatusFF, 1}}) {
    SCOPED_TRACE(c.name);
    Poke("settings", 0, {c.active});
    FillLive(c.active < 5 ? c.active : 0);
    const LightState before = StateOf(*live, data);
    Mouse().ClearRequests();
    Mouse().InjectFault(c.fault, 1);

    EXPECT_FALSE(Select(c.n));

    EXPECT_EQ(Requests(), std::vector<Sent>{Req(Command::ReadSettings, 1, 0)});
    EXPECT_EQ(StateOf(*live, data), before);
    EXPECT_EQ(Mouse().ActiveProfile(), c.active);
  }
}

TEST_F(MouseTransferTest, SelectingAProfileAboveFourSendsNothing) {
  FillLive(0);
  const LightState before = StateOf(*live, data);
  EXPECT_FALSE(Select(5));
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(StateOf(*live, data), before);
}

}  // namespace
}  // namespace talvo::transfer
