#include "lighting/lighting_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "device/device_report.h"
#include "sim/simulated_backend.h"

namespace talvo::lighting {
namespace {

using namespace std::chrono_literals;
using sim::DeviceKind;

class RecordingHost final : public LightingPreviewHost {
 public:
  void KeyboardPreview(std::span<const uint32_t, kKeyboardLeds>, std::span<const uint8_t, kKeyboardLeds>) override {
    ++keyboard;
  }
  void MousePreview(std::span<const uint32_t, kMouseLeds> colour, std::span<const uint8_t, kMouseLeds>) override {
    std::lock_guard lock(mutex_);
    lastMouseColour_ = colour[0];
    ++mouse;
  }
  void MousepadPreview(std::span<const uint32_t, kMousepadLeds>, std::span<const uint8_t, kMousepadLeds>) override {
    ++mousepad;
  }
  uint32_t LastMouseColour() {
    std::lock_guard lock(mutex_);
    return lastMouseColour_;
  }

  std::atomic<int> keyboard{0};
  std::atomic<int> mouse{0};
  std::atomic<int> mousepad{0};

 private:
  std::mutex mutex_;
  uint32_t lastMouseColour_ = 0;
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

struct FrameReport {
  unsigned offset;
  unsigned length;
};

// A gate of a lighting thread: how the test shuts it, and how it opens it
// and tells the thread.
struct Gate {
  const char* name;
  std::function<void()> close;
  std::function<void()> open;
};

class LightingThreadTest : public ::testing::Test {
 protected:
  LightingThreadTest() { backend.SetLatency(0us); }

  void Attach(DeviceKind kind, uint16_t productId, device::CDeviceLink& link) {
    backend.Plug(kind);
    link.SetCommandIdentity(productId);
    link.SetPresenceSignal(&gates);
    ASSERT_TRUE(link.Attach());
  }

  // The command 18 reports the device has received.
  std::vector<FrameReport> FrameReports(DeviceKind kind) {
    std::vector<FrameReport> out;
    for (const auto& r : backend.Device(kind).Requests()) {
      if (r.bytes[device::report::kCommand] != static_cast<uint8_t>(device::Command::SendLightFrame)) continue;
      out.push_back({device::report::Offset(r.bytes), r.bytes[device::report::kLength]});
    }
    return out;
  }
  size_t Frames(DeviceKind kind) {
    size_t n = 0;
    for (const auto& r : FrameReports(kind)) n += r.offset == 0;
    return n;
  }
  // Waits until `count` has moved by `passes` from now.
  static bool Passes(const std::atomic<int>& count, int passes) {
    const int from = count.load();
    return WaitUntil([&] { return count.load() >= from + passes; });
  }
  // With each gate shut in turn the thread started by `start` neither
  // previews nor sends; the opening, announced on `gates`, brings frames
  // long before the recheck would.
  void ExpectEachGateHolds(DeviceKind kind, const std::atomic<int>& previews, std::span<const Gate> table,
                           const std::function<void()>& start, const std::function<void()>& stop) {
    for (const Gate& gate : table) {
      gate.close();
      backend.Device(kind).ClearRequests();
      const int before = previews.load();
      start();
      std::this_thread::sleep_for(100ms);
      EXPECT_EQ(Frames(kind), 0u) << gate.name;
      EXPECT_EQ(previews.load(), before) << gate.name;
      gate.open();
      EXPECT_TRUE(WaitUntil([&] { return Frames(kind) >= 1; })) << gate.name;
      stop();
    }
  }

  sim::SimulatedBackend backend;
  RecordingHost host;
  platform::WakeSignal gates;
  // Far enough away that only a notification can open a gate in time.
  std::chrono::milliseconds recheck = 1h;
};

// --- mouse -------------------------------------------------------------

class MouseThreadTest : public LightingThreadTest {
 protected:
  MouseThreadTest() {
    Attach(DeviceKind::Mouse, device::kMouseProductId, link);
    record.SetMode(2);
    record.SetBrightness(4);
    record.SetColour({255, 128, 0});
  }
  void Start(std::chrono::milliseconds startDelay = 0ms) {
    thread = std::jthread(RunMouseLighting, MouseLightingThread{link, record, state, host, systemAwake, rereadPending,
                                                                gates, startDelay, recheck});
  }
  // Lets a pass that saw the old flags finish, then forgets what was sent.
  void Settle() {
    ASSERT_TRUE(Passes(host.mouse, 1));
    backend.Device(DeviceKind::Mouse).ClearRequests();
  }
  // The same where no pass previews any more: gives a pass that began before
  // the change time to end.
  void Quiesce() {
    std::this_thread::sleep_for(50ms);
    backend.Device(DeviceKind::Mouse).ClearRequests();
  }

  device::CDeviceLink link{backend};
  MouseSettingsRecord record;
  MouseEffectState state;
  std::atomic<uint32_t> systemAwake{1};
  std::atomic<uint32_t> rereadPending{0};
  std::jthread thread;
};

TEST_F(MouseThreadTest, FramesOf60BytesArriveInTwoReportsWhileConnected) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 3; }));
  thread = {};

  const auto reports = FrameReports(DeviceKind::Mouse);
  ASSERT_EQ(reports.size() % 2, 0u);
  for (size_t i = 0; i < reports.size(); i += 2) {
    EXPECT_EQ(reports[i].offset, 0u);
    EXPECT_EQ(reports[i].length, 56u);
    EXPECT_EQ(reports[i + 1].offset, 56u);
    EXPECT_EQ(reports[i + 1].length, 4u);
  }
  const auto memory = backend.Device(DeviceKind::Mouse).Memory("frame");
  ASSERT_GE(memory.size(), kMouseFrameBytes);
  for (size_t n = 0; n < kMouseLeds; ++n) {
    EXPECT_EQ(memory[3 * n], 255) << n;
    EXPECT_EQ(memory[3 * n + 1], 128) << n;
    EXPECT_EQ(memory[3 * n + 2], 0) << n;
  }
  EXPECT_EQ(host.LastMouseColour(), PackPreviewColour({255, 128, 0}));
}

TEST_F(MouseThreadTest, FramesPauseWhileAsleepOrARereadIsPendingButThePreviewMoves) {
  record.SetMode(0);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));

  for (auto* gate : {&systemAwake, &rereadPending}) {
    gate->store(gate == &systemAwake ? 0 : 1);
    Settle();
    const uint8_t phase = state.phase();
    ASSERT_TRUE(Passes(host.mouse, 5));
    EXPECT_NE(state.phase(), phase);
    EXPECT_EQ(Frames(DeviceKind::Mouse), 0u);

    gate->store(gate == &systemAwake ? 1 : 0);
    EXPECT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));
  }
}

TEST_F(MouseThreadTest, NothingIsComputedOrSentUnderSyncOrWhileDisconnected) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));

  link.syncActive = 1;
  Quiesce();
  int previews = host.mouse.load();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Frames(DeviceKind::Mouse), 0u);
  EXPECT_EQ(host.mouse.load(), previews);

  link.syncActive = 0;
  gates.Notify();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));

  link.Detach();
  Quiesce();
  previews = host.mouse.load();
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(Frames(DeviceKind::Mouse), 0u);
  EXPECT_EQ(host.mouse.load(), previews);

  ASSERT_TRUE(link.Attach());
  EXPECT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));
}

TEST_F(MouseThreadTest, ModesTheMouseRunsItselfGetNoFrame) {
  record.SetMode(4);
  Start();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Frames(DeviceKind::Mouse), 0u);
  EXPECT_EQ(host.mouse.load(), 0);
  record.SetMode(0);
  gates.Notify();
  EXPECT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));
}

// Streamed colours replace the effect, even in a mode the mouse runs itself:
// each new set is one frame, scaled by the brightness; no set, no frame.
TEST_F(MouseThreadTest, StreamedColoursGoOutOneFramePerSetInPlaceOfTheEffect) {
  DirectColours direct(kMouseLeds, gates);
  record.SetMode(4);
  record.SetBrightness(2);  // level 150
  thread = std::jthread(RunMouseLighting, MouseLightingThread{link, record, state, host, systemAwake, rereadPending,
                                                              gates, 0ms, recheck, &direct});
  const std::vector<Rgb> red(kMouseLeds, Rgb{200, 0, 100});
  direct.Set(0, red);
  direct.SetOn(true);
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Frames(DeviceKind::Mouse), 1u) << "a frame went out without a new set";
  const auto memory = backend.Device(DeviceKind::Mouse).Memory("frame");
  ASSERT_GE(memory.size(), kMouseFrameBytes);
  EXPECT_EQ(memory[57], 200 * 151 >> 8);
  EXPECT_EQ(memory[59], 100 * 151 >> 8);
  EXPECT_EQ(host.LastMouseColour(), PackPreviewColour({200, 0, 100}));

  direct.Set(19, std::vector<Rgb>(5, Rgb{0, 255, 0}));  // only LED 19 exists of these
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 2; }));
  EXPECT_EQ(backend.Device(DeviceKind::Mouse).Memory("frame")[58], 255 * 151 >> 8);

  direct.SetOn(false);
  Quiesce();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Frames(DeviceKind::Mouse), 0u) << "mode 4 is the mouse's own again";
}

TEST_F(MouseThreadTest, AGateOpenedWithoutNotificationIsFoundAtTheRecheck) {
  recheck = 20ms;
  record.SetMode(4);
  Start();
  std::this_thread::sleep_for(50ms);
  record.SetMode(0);
  EXPECT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));
}

TEST_F(MouseThreadTest, StopsPromptlyInTheStartDelayAndBetweenSlowFrames) {
  using Clock = std::chrono::steady_clock;
  Start(kMouseStartDelay);
  std::this_thread::sleep_for(20ms);
  auto t0 = Clock::now();
  thread = {};
  EXPECT_LT(Clock::now() - t0, 1s);
  EXPECT_EQ(Frames(DeviceKind::Mouse), 0u);

  record.SetSpeed(4);  // 11 ms and then 40 ms between frames
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse) >= 1; }));
  t0 = Clock::now();
  thread = {};
  EXPECT_LT(Clock::now() - t0, 1s);

  // Waiting on a shut gate, an hour from its recheck.
  record.SetMode(4);
  Start();
  std::this_thread::sleep_for(20ms);
  t0 = Clock::now();
  thread = {};
  EXPECT_LT(Clock::now() - t0, 1s);
}

// --- keyboard ----------------------------------------------------------

class KeyboardThreadTest : public LightingThreadTest {
 protected:
  KeyboardThreadTest() {
    Attach(DeviceKind::Keyboard, device::kKeyboardProductId, link);
    lighting.record.SetMode(3);
    // A stand-in effect for mode 3: every LED blue at full level.
    modes[3].run = [this](KeyboardEffectContext& c) {
      ++effectRuns;
      for (size_t i = 0; i < kKeyboardLeds; ++i) c.leds.Set(i, {0, 0, 255}, 255);
    };
  }
  void Start() {
    thread = std::jthread(RunKeyboardLighting, KeyboardLightingThread{link, lighting, state, leds, modes, host, gates,
                                                                      0ms, recheck, &awake});
  }
  std::atomic<uint32_t> awake{1};

  device::CDeviceLink link{backend};
  KeyboardLighting lighting;
  KbEffectState state;
  LedStates leds;
  KeyboardModeTable modes;
  std::atomic<int> effectRuns{0};
  std::jthread thread;
};

TEST_F(KeyboardThreadTest, FramesCarryTheLedStatesIn378Bytes) {
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Keyboard) >= 2; }));
  thread = {};

  const auto reports = FrameReports(DeviceKind::Keyboard);
  ASSERT_GE(reports.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(reports[i].offset, 56 * i);
    EXPECT_EQ(reports[i].length, i < 6 ? 56u : 42u);
  }
  const auto memory = backend.Device(DeviceKind::Keyboard).Memory("frame");
  ASSERT_GE(memory.size(), kKeyboardFrameBytes);
  EXPECT_EQ(memory[2], 254);         // position 0, blue
  EXPECT_EQ(memory[3 * 13 + 2], 0);  // position 13 has no LED
  EXPECT_EQ(memory[3 * 62 + 2], 254);
  EXPECT_GE(host.keyboard.load(), 2);
}

TEST_F(KeyboardThreadTest, WhileTheSessionSleepsOnlyThePreviewMoves) {
  awake = 0;
  Start();
  ASSERT_TRUE(WaitUntil([&] { return host.keyboard.load() >= 3; }));
  EXPECT_EQ(Frames(DeviceKind::Keyboard), 0u);
  awake = 1;
  EXPECT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Keyboard) >= 1; }));
}

TEST_F(KeyboardThreadTest, ModesWithoutAnEffectSendTheLedStatesAsTheyStand) {
  leds.Set(0, {100, 0, 0}, 255);
  for (uint8_t mode : {uint8_t{5}, uint8_t{40}}) {
    lighting.record.SetMode(mode);
    backend.Device(DeviceKind::Keyboard).ClearRequests();
    Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Keyboard) >= 2; }));
    thread = {};
    EXPECT_EQ(backend.Device(DeviceKind::Keyboard).Memory("frame")[0], 99) << int{mode};
  }
  EXPECT_EQ(effectRuns.load(), 0);
}

TEST_F(KeyboardThreadTest, HueCounterRunsUnderSyncButNotWhileDisconnected) {
  link.syncActive = 1;
  Start();
  const uint8_t tick = state.hueTick();
  ASSERT_TRUE(WaitUntil([&] { return static_cast<uint8_t>(state.hueTick() - tick) >= 5; }));
  EXPECT_EQ(Frames(DeviceKind::Keyboard), 0u);
  EXPECT_EQ(effectRuns.load(), 0);
  EXPECT_EQ(host.keyboard.load(), 0);

  link.Detach();
  std::this_thread::sleep_for(150ms);  // a pass that began connected ends
  const uint8_t stopped = state.hueTick();
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(state.hueTick(), stopped);
  EXPECT_EQ(Frames(DeviceKind::Keyboard), 0u);
}

TEST_F(KeyboardThreadTest, ADetachedKeyboardWaitsForItsLinkToAttach) {
  const Gate table[] = {{"detached", [&] { link.Detach(); }, [&] { ASSERT_TRUE(link.Attach()); }}};
  ExpectEachGateHolds(DeviceKind::Keyboard, host.keyboard, table, [&] { Start(); }, [&] { thread = {}; });
}

TEST_F(KeyboardThreadTest, StopEndsAModesExtraSleep) {
  modes[3].sleep = {60000, 0};
  Start();
  std::this_thread::sleep_for(50ms);
  const auto t0 = std::chrono::steady_clock::now();
  thread = {};
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  EXPECT_EQ(effectRuns.load(), 0);
}

// --- mousepad ----------------------------------------------------------

class MousepadThreadTest : public LightingThreadTest {
 protected:
  MousepadThreadTest() {
    Attach(DeviceKind::Mousepad, device::kMousepadProductId, link);
    // Stand-in effects: mode 0 a short frame, mode 2 a long one, mode 7 a
    // pass without a frame.
    modes[0].run = [](MousepadEffectContext& c) {
      c.frame.bytes[0] = 7;
      return size_t{45};
    };
    modes[2].run = [](MousepadEffectContext& c) {
      c.frame.bytes[44] = 9;
      return size_t{60};
    };
    modes[7].run = [](MousepadEffectContext&) { return size_t{0}; };
  }
  void Start() {
    thread =
        std::jthread(RunMousepadLighting, MousepadLightingThread{link, record, modes, host, gates, 0ms, recheck});
  }

  device::CDeviceLink link{backend};
  LightRecord record;
  MousepadModeTable modes;
  std::jthread thread;
};

TEST_F(MousepadThreadTest, SendsAsManyBytesAsTheEffectAsksFor) {
  record.SetMode(0);
  Start();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mousepad) >= 2; }));
  record.SetMode(2);
  backend.Device(DeviceKind::Mousepad).ClearRequests();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mousepad) >= 3; }));
  thread = {};

  const auto reports = FrameReports(DeviceKind::Mousepad);
  // The first report may still belong to a mode 0 frame.
  const size_t first = reports.front().length == 45 ? 1 : 0;
  ASSERT_GE(reports.size(), first + 4);
  EXPECT_EQ(reports[first].length, 56u);
  EXPECT_EQ(reports[first + 1].offset, 56u);
  EXPECT_EQ(reports[first + 1].length, 4u);
  const auto memory = backend.Device(DeviceKind::Mousepad).Memory("frame");
  EXPECT_EQ(memory[0], 0);  // the frame is cleared before each effect
  EXPECT_EQ(memory[44], 9);
  EXPECT_GE(host.mousepad.load(), 5);
}

TEST_F(MousepadThreadTest, PassesWithoutAFrameSendNothing) {
  for (uint8_t mode : {uint8_t{7}, uint8_t{1}, uint8_t{9}}) {
    record.SetMode(mode);
    Start();
    std::this_thread::sleep_for(80ms);
    thread = {};
    EXPECT_EQ(Frames(DeviceKind::Mousepad), 0u) << int{mode};
  }
  EXPECT_EQ(host.mousepad.load(), 0);
}

TEST_F(MousepadThreadTest, EachClosedGateHoldsTheThreadUntilItsOpeningIsNotified) {
  record.SetMode(0);
  const Gate table[] = {
      {"detached", [&] { link.Detach(); }, [&] { ASSERT_TRUE(link.Attach()); }},
      {"synchronized", [&] { link.syncActive = 1; },
       [&] {
         link.syncActive = 0;
         gates.Notify();
       }},
      {"mode without an effect", [&] { record.SetMode(1); },
       [&] {
         record.SetMode(0);
         gates.Notify();
       }},
  };
  ExpectEachGateHolds(DeviceKind::Mousepad, host.mousepad, table, [&] { Start(); }, [&] { thread = {}; });
}

}  // namespace
}  // namespace talvo::lighting
