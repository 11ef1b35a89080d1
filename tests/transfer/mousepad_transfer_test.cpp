#include "transfer/mousepad_transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>
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

// Everything the mousepad's sequences may change in the live data.
struct LightState {
  std::array<lighting::LightImage, 5> slots;
  std::array<uint8_t, 21> record;
  friend bool operator==(const LightState&, const LightState&) = default;
};

// A plugged-in simulated mousepad with distinct contents in every block, a
// link attached to it, and live slots and record holding marker bytes.
class MousepadTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(DeviceKind::Mousepad);
    link.SetCommandIdentity(device::kMousepadProductId);
    ASSERT_TRUE(link.Attach());
    live = std::make_unique<profiles::LiveData>();
    ASSERT_TRUE(Mousepad().Poke("settings", 0, Pattern(sim::kSettingsSize, 0x2B)));
    Prepare(0, 0);
  }

  // The mousepad with profile `active` active, the live record of
  // `recordProfile`, and an empty request log.
  void Prepare(uint8_t active, uint8_t recordProfile) {
    ASSERT_TRUE(Mousepad().Poke("settings", 0, std::vector<uint8_t>{active}));
    for (size_t s = 0; s < live->mousepadLight.slots.size(); ++s) {
      live->mousepadLight.slots[s].Load(Pattern(64, static_cast<uint8_t>(0x10 * (s + 1))));
    }
    live->mousepadLight.record.Load(Pattern(21, 0xE0));
    live->mousepadLight.record.SetProfile(recordProfile);
    Mousepad().ClearRequests();
  }

  sim::SimDevice& Mousepad() { return backend.Device(DeviceKind::Mousepad); }

  std::vector<Sent> Requests() { return SentTo(Mousepad()); }

  std::vector<uint8_t> Block(unsigned profile, size_t n) {
    return Bytes(Mousepad().Memory("settings"), profile * 64, n);
  }
  std::vector<uint8_t> Slot(unsigned profile, size_t n) {
    return Bytes(live->mousepadLight.slots[profile].Snapshot(), 0, n);
  }
  LightState State() const { return {live->mousepadLight.slots, live->mousepadLight.record.Snapshot()}; }

  unsigned FullRead() { return ApplyMousepadFullRead(MousepadFullRead(link), data, *live); }
  std::optional<unsigned> Select(unsigned n) {
    return ApplyMousepadProfileSwitch(SelectMousepadProfile(link, n), n, *live);
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink link{backend};
  std::unique_ptr<profiles::LiveData> live;
  MousepadData data;
};

// ---- full read ----------------------------------------------------------

TEST_F(MousepadTransferTest, FullReadSendsEveryRequestInOrder) {
  FullRead();

  std::vector<Sent> expected{Req(Command::BeginTransfer, 0, 0), Req(Command::ReadDeviceInfo, 33, 0)};
  for (unsigned p = 0; p < 5; ++p) expected.push_back(Req(Command::ReadSettings, 56, p * 64));
  expected.push_back(Req(Command::ReadSettings, 1, 0));
  expected.push_back(Req(Command::EndTransfer, 0, 0));
  EXPECT_EQ(Requests(), expected);
  EXPECT_EQ(data.info.bytes, Mousepad().Info());
  for (unsigned p = 0; p < 5; ++p) EXPECT_EQ(Slot(p, 56), Block(p, 56)) << "slot " << p;
}

TEST_F(MousepadTransferTest, FullReadTakesTheLiveRecordFromTheActiveProfile) {
  struct Case {
    const char* name;
    uint8_t active;
    unsigned skippedRequests;  // before the one-byte read
    sim::Fault fault;
    unsigned expected;
  };
  for (const Case c : {Case{"profile 3", 3, 0, sim::Fault::None, 3}, Case{"profile 7", 7, 0, sim::Fault::None, 0},
                       Case{"no answer", 2, 7, sim::Fault::StatusFF, 0}}) {
    SCOPED_TRACE(c.name);
    Prepare(c.active, 1);
    Mousepad().InjectFault(c.fault, 1, c.skippedRequests);

    EXPECT_EQ(FullRead(), c.expected);

    auto record = Slot(c.expected, 21);
    record[0] = static_cast<uint8_t>(c.expected);
    EXPECT_EQ(Bytes(live->mousepadLight.record.Snapshot(), 0, 21), record);
  }
}

// ---- onboard-profile switch ---------------------------------------------

TEST_F(MousepadTransferTest, SelectingAnotherProfileSwitchesTheMousepadAndLoadsItsBlock) {
  const auto oldRecord = live->mousepadLight.record.Snapshot();

  EXPECT_EQ(Select(1), 1u);

  EXPECT_EQ(Requests(), (std::vector<Sent>{Req(Command::ReadSettings, 1, 0), Req(Command::WriteSettings, 1, 0),
                                           Req(Command::ReadSettings, 56, 64)}));
  EXPECT_EQ(Mousepad().Requests()[1].bytes[device::kReportDataOffset], 1);
  EXPECT_EQ(Mousepad().ActiveProfile(), 1);
  EXPECT_EQ(Slot(0, 21), Bytes(oldRecord, 0, 21));
  EXPECT_EQ(Slot(1, 56), Block(1, 56));
  auto record = Block(1, 21);
  record[0] = 1;
  EXPECT_EQ(Bytes(live->mousepadLight.record.Snapshot(), 0, 21), record);
}

TEST_F(MousepadTransferTest, SelectingChangesNothingUnlessTheMousepadCanSwitch) {
  struct Case {
    const char* name;
    uint8_t active;
    uint8_t recordProfile;
    sim::Fault fault;
    unsigned n;
    bool sendsRead;
    std::optional<unsigned> shown;
  };
  for (const Case c : {Case{"already active", 3, 3, sim::Fault::None, 3, true, 3},
                       Case{"mousepad reports 7", 7, 2, sim::Fault::None, 1, true, 2},
                       Case{"read refused", 0, 4, sim::Fault::StatusFF, 1, true, 4},
                       Case{"record names no slot", 0, 9, sim::Fault::StatusFF, 1, true, std::nullopt},
                       Case{"profile 5", 0, 0, sim::Fault::None, 5, false, 0}}) {
    SCOPED_TRACE(c.name);
    Prepare(c.active, c.recordProfile);
    const LightState before = State();
    Mousepad().InjectFault(c.fault, 1);

    EXPECT_EQ(Select(c.n), c.shown);

    EXPECT_EQ(Requests(), c.sendsRead ? std::vector<Sent>{Req(Command::ReadSettings, 1, 0)} : std::vector<Sent>{});
    EXPECT_EQ(State(), before);
    EXPECT_EQ(Mousepad().ActiveProfile(), c.active);
  }
}

TEST_F(MousepadTransferTest, AMousepadPulledOutMidSwitchIsLeftAsItWas) {
  const LightState before = State();
  Mousepad().InjectFault(sim::Fault::Unplug, 1, 1);  // the write finds it gone

  {
    std::lock_guard lock(link.IoLock());
    link.BeginSequence(std::stop_token{});
    SelectMousepadProfile(link, 1);
    EXPECT_TRUE(link.EndSequence());
  }

  EXPECT_EQ(Requests(), std::vector<Sent>{Req(Command::ReadSettings, 1, 0)});
  EXPECT_EQ(Mousepad().ActiveProfile(), 0);
  // A cut sequence hands over nothing; the choice returns to the profile in use.
  EXPECT_EQ(ApplyMousepadProfileSwitch({}, 1, *live), 0u);
  EXPECT_EQ(State(), before);
}

}  // namespace
}  // namespace talvo::transfer
