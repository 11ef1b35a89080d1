// The mouse's session, its lighting thread and the device watcher on one
// link at once, while the mouse comes and goes: the sequences the program
// runs stay whole and every shared byte is touched whole (the ThreadSanitizer
// build checks the second).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "device/device_report.h"
#include "device/device_session.h"
#include "device/device_watcher.h"
#include "lighting/lighting_threads.h"
#include "profiles/live_data.h"
#include "sim/simulated_backend.h"
#include "transfer/cursor_download.h"
#include "transfer/mouse_transfer.h"

namespace talvo::transfer {
namespace {

using device::DeviceSession;
using sim::DeviceKind;

class NoPreview final : public lighting::LightingPreviewHost {
 public:
  void KeyboardPreview(std::span<const uint32_t, lighting::kKeyboardLeds>,
                       std::span<const uint8_t, lighting::kKeyboardLeds>) override {}
  void MousePreview(std::span<const uint32_t, lighting::kMouseLeds>,
                    std::span<const uint8_t, lighting::kMouseLeds>) override {}
  void MousepadPreview(std::span<const uint32_t, lighting::kMousepadLeds>,
                       std::span<const uint8_t, lighting::kMousepadLeds>) override {}
};

// What the main window does on attach, with the UI thread's part done under
// a mutex: the cursor read, then a full read applied in one step.
class Host final : public device::DeviceWatcherHost {
 public:
  Host(DeviceSession& session, profiles::LiveData& live) : session_(session), live_(live) {}

  int SelectedDeviceProfile() override { return 0; }
  void ReadCursorMacros(device::CDeviceLink&) override {
    session_.Run([](device::CDeviceLink& link) {
      std::array<uint8_t, kCursorImageMax> image{};
      DownloadCursorImage(link, image);
    });
  }
  void MouseAttached(int) override {
    auto readback = std::make_shared<MouseReadback>();
    {
      std::lock_guard lock(mutex_);
      *readback = MouseReadback::Of(data_, live_);
    }
    session_.Run([readback](device::CDeviceLink& link) { MouseFullRead(link, *readback); },
                 [this, readback](DeviceSession::Outcome outcome) {
                   std::lock_guard lock(mutex_);
                   if (outcome == DeviceSession::Outcome::Whole) ApplyMouseFullRead(*readback, data_, live_);
                   ++reads;
                 });
  }
  void MouseDetached() override {}
  void SameModeVisible(bool) override {}
  void FirstPassFoundMouse() override {}
  void OtherAttached(device::Peripheral) override {}
  void OtherDetached(device::Peripheral) override {}

  std::atomic<int> reads{0};

 private:
  DeviceSession& session_;
  profiles::LiveData& live_;
  std::mutex mutex_;
  MouseDeviceData data_;
};

TEST(SessionsTogether, WatcherSessionAndLightingShareTheMouseWhileItComesAndGoes) {
  sim::SimulatedBackend backend;
  backend.SetLatency(std::chrono::microseconds(50));
  DeviceSession mouse(backend);
  DeviceSession keyboard(backend);
  DeviceSession mousepad(backend);
  mouse.Link().SetCommandIdentity(device::kMouseProductId);
  platform::WakeSignal gates;
  mouse.Link().SetPresenceSignal(&gates);
  profiles::LiveData live;
  live.mouseLight.record.SetMode(0);  // an effect the host animates
  Host host(mouse, live);
  NoPreview preview;
  lighting::MouseEffectState effect;
  std::atomic<uint32_t> awake{1}, rereadPending{0};

  std::jthread session([&](std::stop_token stop) { mouse.Serve(stop); });
  std::jthread lightingThread([&](std::stop_token stop) {
    lighting::RunMouseLighting(stop, {mouse.Link(), live.mouseLight.record, effect, preview, awake, rereadPending,
                                      gates, std::chrono::milliseconds(0)});
  });
  std::jthread watcher([&](std::stop_token stop) {
    device::RunDeviceWatcher(stop, mouse.Link(), keyboard.Link(), mousepad.Link(), host);
  });

  for (int round = 0; round < 3; ++round) {
    const int before = host.reads;
    backend.Plug(DeviceKind::Mouse);
    while (host.reads == before) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // The UI thread changes the record meanwhile.
    live.mouseLight.record.SetSpeed(uint8_t(round));
    gates.Notify();
    backend.Unplug(DeviceKind::Mouse);
    while (mouse.Link().IsConnected()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  // Every transfer the mouse saw was whole: no frame inside one.
  bool inside = false;
  int frames = 0;
  for (const auto& request : backend.Device(DeviceKind::Mouse).Requests()) {
    const uint8_t command = request.bytes[device::report::kCommand];
    if (command == uint8_t(device::Command::BeginTransfer)) inside = true;
    if (command == uint8_t(device::Command::EndTransfer)) inside = false;
    frames += command == uint8_t(device::Command::SendLightFrame);
    EXPECT_FALSE(inside && command == uint8_t(device::Command::SendLightFrame));
  }
  EXPECT_GT(frames, 0);
}

}  // namespace
}  // namespace talvo::transfer
