#include "transfer/keyboard_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "device/device_report.h"
#include "sim/simulated_backend.h"
#include "sent_requests.h"

namespace talvo::transfer {
namespace {

using device::Command;
using sim::DeviceKind;

using test::Bytes;
using test::Pattern;
using test::Req;
using test::Sent;
using test::SentTo;

// The first `chunks` chunks of a key-map transfer of `total` bytes.
void AppendMapChunks(std::vector<Sent>& out, Command c, unsigned total, unsigned chunks = ~0u) {
  for (unsigned pos = 0; pos < total && chunks > 0; pos += 56, --chunks) {
    out.push_back(Req(c, static_cast<uint8_t>(std::min(56u, total - pos)), pos));
  }
}

// A plugged-in simulated keyboard that answers at once and a link attached
// to it; live maps and records hold marker bytes, so whatever a sequence
// leaves alone can be told from what it wrote.
class KeyboardTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(DeviceKind::Keyboard);
    link.SetCommandIdentity(device::kKeyboardProductId);
    ASSERT_TRUE(link.Attach());
    Reset();
  }

  void Reset() {
    live = std::make_unique<profiles::LiveData>();
    data = {};
    positions = {};
    live->keyboardKeys.defaultMap.fill(0xEE);
    live->keyboardKeys.profiles[0].fill(0xDD);
    for (size_t s = 0; s < live->keyboardLight.slots.size(); ++s) {
      live->keyboardLight.slots[s].Load(Pattern(64, static_cast<uint8_t>(0x10 * (s + 1))));
    }
    live->keyboardLight.record.Load(Pattern(21, 0xE0));
    Keyboard().ClearRequests();
  }

  sim::SimDevice& Keyboard() { return backend.Device(DeviceKind::Keyboard); }

  std::vector<Sent> Requests() { return SentTo(Keyboard()); }

  KeyboardReadResult FullRead() {
    KeyboardReadback readback = KeyboardReadback::Of(data, *live);
    KeyboardFullRead(link, readback);
    return ApplyKeyboardFullRead(readback, data, *live, positions);
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink link{backend};
  std::unique_ptr<profiles::LiveData> live;
  KeyboardData data;
  keys::PositionMap positions;
};

// ---- full read ----------------------------------------------------------

TEST_F(KeyboardTransferTest, KeyCountSetsTheMapLengthOrEndsTheRead) {
  struct Case {
    uint8_t keys;
    bool accepted;
  };
  for (const Case c : {Case{0, true}, Case{104, true}, Case{170, true}, Case{171, false}, Case{255, false}}) {
    SCOPED_TRACE(int(c.keys));
    Reset();
    Keyboard().SetKeyCount(c.keys);
    const auto linkLength = link.TransferSize();
    const auto record = live->keyboardLight.record.Snapshot();
    const auto keysBefore = live->keyboardKeys;

    const KeyboardReadResult result = FullRead();

    const unsigned length = c.keys * 3u;
    std::vector<Sent> expected{Req(Command::BeginTransfer, 0, 0), Req(Command::ReadDeviceInfo, 33, 0)};
    if (c.accepted) {
      AppendMapChunks(expected, Command::ReadDefaultMap, length);
      AppendMapChunks(expected, Command::ReadKeyMap, length);
    }
    expected.push_back(Req(Command::EndTransfer, 0, 0));
    EXPECT_EQ(Requests(), expected);

    if (c.accepted) {
      EXPECT_EQ(result, KeyboardReadResult::Read);
      EXPECT_EQ(link.TransferSize(), length);
      EXPECT_EQ(data.info.bytes, Keyboard().Info());
      EXPECT_TRUE(data.keyMapLengthKnown);
      EXPECT_EQ(live->keyboardLight.record.profile(), 0);
      // Only keys the keyboard has are tied to positions.
      size_t mapped = 0;
      for (const uint8_t key : positions.keys) {
        if (key == keys::kNoKey) continue;
        ++mapped;
        EXPECT_LT(key, c.keys);
      }
      EXPECT_EQ(mapped > 0, c.keys > 0);
    } else {
      EXPECT_EQ(result, KeyboardReadResult::KeyCountRefused);
      EXPECT_EQ(link.TransferSize(), linkLength);
      EXPECT_EQ(data.info.bytes, device::DeviceInfo{}.bytes);
      EXPECT_FALSE(data.keyMapLengthKnown);
      EXPECT_EQ(live->keyboardLight.record.Snapshot(), record);
      EXPECT_EQ(live->keyboardKeys.defaultMap, keysBefore.defaultMap);
      EXPECT_EQ(live->keyboardKeys.profiles, keysBefore.profiles);
      EXPECT_EQ(positions.keys, keys::PositionMap{}.keys);
    }
  }
}

TEST_F(KeyboardTransferTest, FullReadFillsTheKeysItsKeyCountCoversAndTakesTheRecordFromSlotZero) {
  Keyboard().SetKeyCount(104);
  ASSERT_TRUE(Keyboard().Poke("default_map", 0, Pattern(512, 0x33)));
  ASSERT_TRUE(Keyboard().Poke("keymaps", 0, Pattern(sim::kKeyMapsSize, 0x45)));
  live->keyboardLight.slots[0].Set(0, 3);

  ASSERT_EQ(FullRead(), KeyboardReadResult::Read);

  const auto& maps = live->keyboardKeys;
  EXPECT_EQ(Bytes(maps.defaultMap, 0, 312), Bytes(Keyboard().Memory("default_map"), 0, 312));
  EXPECT_EQ(Bytes(maps.profiles[0], 0, 312), Bytes(Keyboard().Memory("keymaps"), 0, 312));
  EXPECT_EQ(Bytes(maps.defaultMap, 312, 200), std::vector<uint8_t>(200, 0xEE));
  EXPECT_EQ(Bytes(maps.profiles[0], 312, 200), std::vector<uint8_t>(200, 0xDD));
  auto expected = Bytes(live->keyboardLight.slots[0].Snapshot(), 0, 21);
  expected[0] = 0;
  EXPECT_EQ(Bytes(live->keyboardLight.record.Snapshot(), 0, 21), expected);
}

TEST_F(KeyboardTransferTest, AMapWhoseChunkFailsIsKeptWholeAndTheReadGoesOn) {
  struct Case {
    const char* name;
    unsigned failingRequest;  // counted from 0: 1, 3, then the chunks
    unsigned defaultChunks;
    unsigned keyMapChunks;
  };
  for (const Case c : {Case{"default map, chunk 3", 4, 3, 6}, Case{"key map, chunk 4", 11, 6, 4}}) {
    SCOPED_TRACE(c.name);
    Reset();
    Keyboard().SetKeyCount(104);
    Keyboard().InjectFault(sim::Fault::StatusFF, 1, c.failingRequest);

    ASSERT_EQ(FullRead(), KeyboardReadResult::Read);

    std::vector<Sent> expected{Req(Command::BeginTransfer, 0, 0), Req(Command::ReadDeviceInfo, 33, 0)};
    AppendMapChunks(expected, Command::ReadDefaultMap, 312, c.defaultChunks);
    AppendMapChunks(expected, Command::ReadKeyMap, 312, c.keyMapChunks);
    expected.push_back(Req(Command::EndTransfer, 0, 0));
    EXPECT_EQ(Requests(), expected);
    const bool defaultFailed = c.defaultChunks < 6;
    const auto& maps = live->keyboardKeys;
    EXPECT_EQ(maps.defaultMap[0] == 0xEE, defaultFailed);
    EXPECT_EQ(maps.profiles[0][0] == 0xDD, !defaultFailed);
    EXPECT_EQ(maps.defaultMap[311] == 0xEE, defaultFailed);
    EXPECT_EQ(maps.profiles[0][311] == 0xDD, !defaultFailed);
  }
}

TEST_F(KeyboardTransferTest, AnAbsentKeyboardLeavesTheMapLengthUnknown) {
  device::CDeviceLink absent{backend};
  absent.SetCommandIdentity(device::kKeyboardProductId);
  KeyboardReadback readback = KeyboardReadback::Of(data, *live);
  KeyboardFullRead(absent, readback);

  EXPECT_EQ(ApplyKeyboardFullRead(readback, data, *live, positions), KeyboardReadResult::Read);
  EXPECT_FALSE(data.keyMapLengthKnown);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(live->keyboardKeys.defaultMap[0], 0xEE);
  EXPECT_EQ(live->keyboardLight.record.profile(), 0);
}

// ---- settings re-read ---------------------------------------------------

TEST_F(KeyboardTransferTest, RereadLoadsSlotZeroAsProfileZero) {
  struct Case {
    const char* name;
    uint8_t recordProfile;
    sim::Fault fault;
  };
  for (const Case c :
       {Case{"record of profile 2", 2, sim::Fault::None}, Case{"record naming profile 7", 7, sim::Fault::None},
        Case{"read refused", 2, sim::Fault::StatusFF}}) {
    SCOPED_TRACE(c.name);
    Reset();
    ASSERT_TRUE(Keyboard().Poke("settings", 0, Pattern(sim::kSettingsSize, 0x19)));
    ASSERT_TRUE(Keyboard().Poke("settings", 0, std::vector<uint8_t>{3}));  // the keyboard says profile 3 is active
    live->keyboardLight.record.SetProfile(c.recordProfile);
    const auto oldRecord = live->keyboardLight.record.Snapshot();
    const auto slotsBefore = live->keyboardLight.slots;
    const auto customBefore = live->keyboardLight.custom;
    Keyboard().InjectFault(c.fault, 1);

    ApplyKeyboardSettingsReread(KeyboardSettingsReread(link), *live);

    EXPECT_EQ(Requests(), std::vector<Sent>{Req(Command::ReadSettings, 56, 0)});
    const auto& slots = live->keyboardLight.slots;
    for (size_t s = 1; s < slots.size(); ++s) {
      const bool storedHere = s == c.recordProfile;
      EXPECT_EQ(Bytes(slots[s].Snapshot(), 0, 21),
                storedHere ? Bytes(oldRecord, 0, 21) : Bytes(slotsBefore[s].Snapshot(), 0, 21))
          << "slot " << s;
    }
    std::vector<uint8_t> slotZero;
    if (c.fault == sim::Fault::None) {
      slotZero = Bytes(Keyboard().Memory("settings"), 3 * 64, 56);  // the active profile's block
    } else {
      slotZero = Bytes(slotsBefore[0].Snapshot(), 0, 56);
    }
    slotZero[0] = 0;
    EXPECT_EQ(Bytes(slots[0].Snapshot(), 0, 56), slotZero);
    EXPECT_EQ(Bytes(live->keyboardLight.record.Snapshot(), 0, 21), Bytes(slotZero, 0, 21));
    // What lies beside the slots is untouched whatever the record names.
    EXPECT_EQ(live->keyboardLight.custom, customBefore);
  }
}

}  // namespace
}  // namespace talvo::transfer
