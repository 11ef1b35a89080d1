#include "lighting/sync_lighting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "device/device_report.h"
#include "sim/simulated_backend.h"

namespace talvo::lighting {
namespace {

using namespace std::chrono_literals;
using device::Peripheral;
using sim::DeviceKind;

// --- applying ----------------------------------------------------------

template <typename Record>
std::vector<uint8_t> Bytes(const Record& r) {
  const auto s = r.Snapshot();
  return {s.begin(), s.end()};
}

// Live records whose bytes tell where they came from, each in an effect the
// synchronized frames animate.
struct Records {
  Records() {
    for (size_t i = 0; i < MouseSettingsRecord::kSize; ++i) {
      keyboard.Set(i, static_cast<uint8_t>(0x10 + i));
      mouse.Set(i, static_cast<uint8_t>(0x40 + i));
      mousepad.Set(i, static_cast<uint8_t>(0x70 + i));
    }
    keyboard.SetMode(0);
    mouse.SetMode(1);
    mousepad.SetMode(2);
  }
  std::vector<std::vector<uint8_t>> All() const { return {Bytes(keyboard), Bytes(mouse), Bytes(mousepad), Bytes(sync)}; }
  LightRecord keyboard, mousepad;
  MouseSettingsRecord mouse;
  SyncLightRecord sync;
};

TEST(SyncApply, CopiesModeToBlueFromTheSourceAndNamesWhatToRefreshAndSave) {
  using Target = SyncFollowUp::Target;
  struct Case {
    uint16_t source;  // as the button hands it over; 0 and 4 are no device
    bool applies;
    Target first, second;
    int mode = -1;  // the source's mode, when not the one Records gives
  };
  const Case table[] = {
      {1, true, {Peripheral::Mouse, true}, {Peripheral::Mousepad, false}},
      {2, true, {Peripheral::Mousepad, false}, {Peripheral::Keyboard, true}},
      {3, true, {Peripheral::Mouse, true}, {Peripheral::Keyboard, true}},
      {0, false, {}, {}},
      {4, false, {}, {}},
      // A mode the synchronized frames do not animate would stop every device.
      {2, false, {}, {}, kSyncModes},
      {1, false, {}, {}, 9},
  };
  for (const Case& c : table) {
    Records r;
    if (c.mode >= 0) (c.source == 1 ? r.keyboard.SetMode(uint8_t(c.mode)) : r.mouse.SetMode(uint8_t(c.mode)));
    auto expected = r.All();
    if (c.applies) {
      const std::vector<uint8_t> source = expected[c.source - 1];
      for (size_t d = 0; d < 3; ++d) std::copy(source.begin() + 1, source.begin() + 9, expected[d].begin() + 1);
      expected[3].assign(source.begin() + 1, source.begin() + 9);
    }
    const auto followUp = SyncApply(static_cast<Peripheral>(c.source), {r.keyboard, r.mouse, r.mousepad, r.sync});
    EXPECT_EQ(r.All(), expected) << c.source;
    ASSERT_EQ(followUp.has_value(), c.applies) << c.source;
    if (!followUp) continue;
    for (size_t t = 0; t < 2; ++t) {
      const Target& want = t == 0 ? c.first : c.second;
      EXPECT_EQ(followUp->targets[t].device, want.device) << c.source << " target " << t;
      EXPECT_EQ(followUp->targets[t].deviceProfile, want.deviceProfile) << c.source << " target " << t;
    }
  }
}

// --- frames ------------------------------------------------------------

Rgb At(std::span<const uint8_t> frame, size_t led) { return {frame[3 * led], frame[3 * led + 1], frame[3 * led + 2]}; }

TEST(ComputeSyncFrames, EachEffectPaintsTheThreeDevicesInStep) {
  enum Where { kKeyboardPosition, kMouseLed, kMousepadLed };
  struct Spot {
    Where where;
    size_t index;
    Rgb colour;
  };
  struct Case {
    const char* name;
    uint8_t mode, brightness, direction, multiColour;
    Rgb colour;
    uint8_t counterBefore, counterAfter;
    std::vector<Spot> spots;
  };
  const Case table[] = {
      // Column c takes wheel entry 1 + 7c: column 0 holds only the key at
      // position 105, column 14's key 75 sits at position 76, column 22's
      // key 119 at 62.
      {"wave, wheel",
       0, 4, 1, 1, {}, 0, 1,
       {{kKeyboardPosition, 105, {255, 3, 0}},
        {kMouseLed, 19, {255, 3, 0}},
        {kMouseLed, 1, {255, 26, 0}},
        {kMousepadLed, 14, {0, 206, 255}},
        {kKeyboardPosition, 76, {0, 206, 255}},
        {kKeyboardPosition, 62, {200, 0, 255}},
        {kKeyboardPosition, 13, {0, 0, 0}}}},
      {"wave, wheel backwards", 0, 4, 0, 1, {}, 0, 191, {{kMouseLed, 0, {255, 0, 0}}, {kMouseLed, 8, {255, 18, 0}}}},
      // Breath levels 24 and 57 for the first two bands.
      {"wave, record colour", 0, 4, 1, 0, {100, 200, 40}, 0, 1,
       {{kMouseLed, 7, {9, 19, 3}}, {kMousepadLed, 1, {22, 45, 9}}}},
      // Every keyboard position, unmapped ones too, at level 150.
      {"spectrum", 1, 2, 1, 1, {}, 10, 11,
       {{kKeyboardPosition, 13, {150, 25, 0}}, {kMouseLed, 19, {150, 25, 0}}, {kMousepadLed, 14, {150, 25, 0}}}},
      {"breathing at the top", 2, 1, 0, 0, {10, 20, 30}, 63, 64,
       {{kKeyboardPosition, 125, {3, 7, 10}}, {kMouseLed, 0, {3, 7, 10}}}},
      {"breathing, wheel", 2, 4, 1, 1, {}, 63, 64, {{kMousepadLed, 0, {0, 255, 1}}}},
      // A counter the wave or the spectrum left past the breath restarts it.
      {"breathing from 150", 2, 4, 1, 0, {10, 20, 30}, 150, 0, {{kMouseLed, 0, {0, 0, 0}}}},
      {"breathing from 127", 2, 4, 1, 0, {10, 20, 30}, 127, 0, {{kMousepadLed, 0, {0, 0, 0}}}},
  };
  for (const Case& c : table) {
    SyncLightRecord record;
    record.SetMode(c.mode);
    record.SetBrightness(c.brightness);
    record.SetDirection(c.direction);
    record.SetMultiColour(c.multiColour);
    record.SetColour(c.colour);
    KbEffectState counter;
    counter.SetSnakePos(c.counterBefore);
    SyncFrames frames;
    ASSERT_TRUE(ComputeSyncFrames(record, counter, frames)) << c.name;
    EXPECT_EQ(counter.snakePos(), c.counterAfter) << c.name;
    for (const Spot& s : c.spots) {
      const Rgb got = s.where == kKeyboardPosition ? At(frames.keyboard, s.index)
                      : s.where == kMouseLed       ? At(frames.mouse, s.index)
                                                   : At(frames.mousepad, s.index);
      EXPECT_EQ(got, s.colour) << c.name << " at " << s.where << "/" << s.index;
    }
  }
}

// Whatever the keyboard's effects leave in the shared counter, every effect
// reads within its tables (ASan watches) and leaves it within its cycle.
TEST(ComputeSyncFrames, AnyCounterValueStaysWithinTheTables) {
  SyncLightRecord record;
  record.SetBrightness(4);
  SyncFrames frames;
  for (unsigned v = 0; v < 4 * 2 * 2 * 256; ++v) {
    const auto mode = static_cast<uint8_t>(v >> 10), multi = static_cast<uint8_t>(v >> 9 & 1);
    record.SetMode(mode);
    record.SetMultiColour(multi);
    record.SetDirection(static_cast<uint8_t>(v >> 8 & 1));
    KbEffectState counter;
    counter.SetSnakePos(static_cast<uint8_t>(v));
    ASSERT_TRUE(ComputeSyncFrames(record, counter, frames));
    const unsigned cycle = mode == 2 ? 128 : mode == 0 && multi == 0 ? 96 : mode == 3 ? 256 : 192;
    EXPECT_LT(counter.snakePos(), cycle) << "mode " << int{mode} << ", from " << (v & 255);
  }
}

// --- thread ------------------------------------------------------------

class CountingHost final : public LightingPreviewHost {
 public:
  void KeyboardPreview(std::span<const uint32_t, kKeyboardLeds>, std::span<const uint8_t, kKeyboardLeds>) override {
    ++keyboard;
  }
  void MousePreview(std::span<const uint32_t, kMouseLeds>, std::span<const uint8_t, kMouseLeds>) override { ++mouse; }
  void MousepadPreview(std::span<const uint32_t, kMousepadLeds>, std::span<const uint8_t, kMousepadLeds>) override {
    ++mousepad;
  }
  std::atomic<int> keyboard{0};
  std::atomic<int> mouse{0};
  std::atomic<int> mousepad{0};
};

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class SyncThreadTest : public ::testing::Test {
 protected:
  SyncThreadTest() {
    backend.SetLatency(0us);
    for (auto [kind, link, product] : {std::tuple{DeviceKind::Keyboard, &keyboard, device::kKeyboardProductId},
                                       std::tuple{DeviceKind::Mouse, &mouse, device::kMouseProductId},
                                       std::tuple{DeviceKind::Mousepad, &mousepad, device::kMousepadProductId}}) {
      backend.Plug(kind);
      link->SetCommandIdentity(product);
      link->SetPresenceSignal(&gates);
    }
    keyboardLight.SetMode(3);
    keyboardLight.SetBrightness(4);
    keyboardLight.SetColour({10, 20, 30});
  }
  // The main window's side of a same-mode button on the keyboard page.
  void ApplyFromKeyboard() {
    ASSERT_TRUE(SyncApply(Peripheral::Keyboard, {keyboardLight, mouseLight, mousepadLight, sync}));
    for (auto* link : {&keyboard, &mouse, &mousepad}) link->syncActive = 1;
    gates.Notify();
  }
  void Start() {
    thread = std::jthread(RunSyncLighting, SyncLightingThread{keyboard, mouse, mousepad, sync, counter, host,
                                                              systemAwake, gates, 1h});
  }
  // The frames (their first report) the device has received, and the
  // length of each.
  std::vector<unsigned> Frames(DeviceKind kind) {
    std::vector<unsigned> out;
    for (const auto& r : backend.Device(kind).Requests())
      if (r.bytes[device::report::kCommand] == static_cast<uint8_t>(device::Command::SendLightFrame) &&
          device::report::Offset(r.bytes) == 0)
        out.push_back(r.bytes[device::report::kLength]);
    return out;
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink keyboard{backend}, mouse{backend}, mousepad{backend};
  LightRecord keyboardLight, mousepadLight;
  MouseSettingsRecord mouseLight;
  SyncLightRecord sync;
  KbEffectState counter;
  CountingHost host;
  std::atomic<uint32_t> systemAwake{1};
  platform::WakeSignal gates;
  std::jthread thread;
};

TEST_F(SyncThreadTest, OnlyConnectedSynchronizedDevicesArePreviewedAndSent) {
  ASSERT_TRUE(mouse.Attach());
  Start();
  ApplyFromKeyboard();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mouse).size() >= 3; }));
  EXPECT_TRUE(Frames(DeviceKind::Keyboard).empty());
  EXPECT_TRUE(Frames(DeviceKind::Mousepad).empty());
  EXPECT_EQ(host.keyboard + host.mousepad, 0);

  // Detaching clears the mouse's syncActive: once back, its own thread
  // drives it. The keyboard, still marked, joins when it attaches.
  mouse.Detach();
  std::this_thread::sleep_for(30ms);  // a frame set begun before the detach ends
  ASSERT_TRUE(mouse.Attach());
  ASSERT_TRUE(keyboard.Attach());
  backend.Device(DeviceKind::Mouse).ClearRequests();
  ASSERT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Keyboard).size() >= 5; }));
  EXPECT_TRUE(Frames(DeviceKind::Mouse).empty());

  // While the session sleeps the pages still move but nothing is sent.
  systemAwake = 0;
  std::this_thread::sleep_for(30ms);
  backend.Device(DeviceKind::Keyboard).ClearRequests();
  const int previews = host.keyboard.load();
  std::this_thread::sleep_for(60ms);
  EXPECT_TRUE(Frames(DeviceKind::Keyboard).empty());
  EXPECT_GT(host.keyboard.load(), previews);
}

TEST_F(SyncThreadTest, AModeWithoutEffectShowsNothingUntilAnEffectIsNotified) {
  for (auto* link : {&keyboard, &mouse, &mousepad}) ASSERT_TRUE(link->Attach());
  ApplyFromKeyboard();
  sync.SetMode(kSyncModes);
  Start();
  std::this_thread::sleep_for(100ms);
  for (auto kind : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad})
    EXPECT_TRUE(Frames(kind).empty()) << static_cast<int>(kind);
  EXPECT_EQ(host.keyboard + host.mouse + host.mousepad, 0);

  sync.SetMode(3);
  gates.Notify();
  EXPECT_TRUE(WaitUntil([&] { return Frames(DeviceKind::Mousepad).size() >= 1; }));

  // Asleep on its gate again, the thread still stops at once.
  mouse.syncActive = keyboard.syncActive = mousepad.syncActive = 0;
  std::this_thread::sleep_for(30ms);
  const auto t0 = std::chrono::steady_clock::now();
  thread = {};
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
}

}  // namespace
}  // namespace talvo::lighting
