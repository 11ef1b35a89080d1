#include "device/device_session.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "device/device_commands.h"
#include "device/device_report.h"
#include "sim/simulated_backend.h"

namespace talvo::device {
namespace {

using Outcome = DeviceSession::Outcome;
using sim::DeviceKind;

// A session on a plugged-in simulated mouse, its thread serving.
class DeviceSessionTest : public ::testing::Test {
 protected:
  DeviceSessionTest() {
    backend.Plug(DeviceKind::Mouse);
    session.Link().SetCommandIdentity(kMouseProductId);
    EXPECT_TRUE(session.Link().Attach());
  }

  sim::SimDevice& Mouse() { return backend.Device(DeviceKind::Mouse); }

  // Queues a transfer of `reads` one-byte settings reads; the future gives
  // its outcome and how many of the reads succeeded.
  std::future<std::pair<Outcome, int>> Transfer(int reads) {
    auto done = std::make_shared<std::promise<std::pair<Outcome, int>>>();
    auto succeeded = std::make_shared<int>(0);
    const bool queued = session.Run(
        [reads, succeeded](CDeviceLink& link) {
          BeginTransfer(link);
          std::array<uint8_t, 1> byte{};
          for (int i = 0; i < reads; ++i) *succeeded += ReadSettings(link, 1, 0, byte) == kResultOk;
          EndTransfer(link);
        },
        [done, succeeded](Outcome outcome) { done->set_value({outcome, *succeeded}); });
    EXPECT_TRUE(queued);
    return done->get_future();
  }

  std::vector<uint8_t> Commands() {
    std::vector<uint8_t> out;
    for (const auto& r : Mouse().Requests()) out.push_back(r.bytes[report::kCommand]);
    return out;
  }

  sim::SimulatedBackend backend;
  DeviceSession session{backend};
  std::jthread thread{[this](std::stop_token stop) { session.Serve(stop); }};
};

TEST_F(DeviceSessionTest, AnAbsentDeviceQueuesNothing) {
  backend.Unplug(DeviceKind::Mouse);
  session.Link().Detach();
  bool ran = false;
  EXPECT_FALSE(session.Run([&](CDeviceLink&) { ran = true; }, [&](Outcome) { ran = true; }));
  EXPECT_FALSE(session.Busy());
  EXPECT_FALSE(ran);
}

TEST_F(DeviceSessionTest, ADevicePulledOutEndsTheSequenceAtItsNextReport) {
  // The sixth request pulls the mouse out; the sequence asks for 50 reads.
  Mouse().InjectFault(sim::Fault::Unplug, 1, 5);
  const auto [outcome, succeeded] = Transfer(50).get();
  EXPECT_EQ(outcome, Outcome::Cut);
  EXPECT_EQ(succeeded, 4);
  // Nothing more was tried on the device: one attempt at the sixth request.
  EXPECT_EQ(Commands().size(), 5u);
}

TEST_F(DeviceSessionTest, StoppingCutsTheRunningSequenceAndTheQueuedOnesShort) {
  // A mouse that stops answering: each request would wait out four tries.
  Mouse().InjectFault(sim::Fault::NoReply, 1000);
  auto running = Transfer(1000);
  auto queued = Transfer(1);
  while (Mouse().Requests().empty()) std::this_thread::yield();
  thread.request_stop();
  thread.join();
  EXPECT_EQ(running.get().first, Outcome::Cut);
  EXPECT_EQ(queued.get().first, Outcome::Cut);
  EXPECT_LT(Mouse().Requests().size(), 10u);
}

}  // namespace
}  // namespace talvo::device
