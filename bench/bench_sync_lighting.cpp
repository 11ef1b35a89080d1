// Time to compute one synchronized frame set (keyboard, mouse and mousepad
// frames with their previews) for each effect, and the same with the three
// frames sent to simulated devices that answer at once, as the synchronized
// thread does every pass. The fastest pass sleeps 1 ms plus what the effect
// holds; computing must stay far below that.
#include <benchmark/benchmark.h>

#include "device/device_commands.h"
#include "device/device_link.h"
#include "lighting/sync_lighting.h"
#include "sim/simulated_backend.h"

namespace {

using namespace talvo;
using namespace talvo::lighting;

SyncLightRecord Record(uint8_t mode, uint8_t multiColour) {
  SyncLightRecord record;
  record.SetMode(mode);
  record.SetBrightness(3);
  record.SetDirection(1);
  record.SetMultiColour(multiColour);
  record.SetColour({200, 100, 50});
  return record;
}

// Arguments: the effect (0 wave, 1 spectrum, 2 breathing, 3 static) and
// multiColour. The counter runs on from set to set, as on the thread.
void BM_SyncFrameSet(benchmark::State& bench) {
  const SyncLightRecord record = Record(static_cast<uint8_t>(bench.range(0)), static_cast<uint8_t>(bench.range(1)));
  KbEffectState counter;
  SyncFrames frames;
  for (auto _ : bench) {
    ComputeSyncFrames(record, counter, frames);
    benchmark::DoNotOptimize(frames);
  }
}
BENCHMARK(BM_SyncFrameSet)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

// One pass's work towards three connected devices: the frame set and its
// three command 18 transfers (7 + 2 + 1 reports) to the simulated firmware.
void BM_SyncFrameSetSent(benchmark::State& bench) {
  sim::SimulatedBackend backend;
  backend.SetLatency(std::chrono::microseconds{0});
  device::CDeviceLink keyboard{backend}, mouse{backend}, mousepad{backend};
  const std::tuple<sim::DeviceKind, device::CDeviceLink*, uint16_t> devices[] = {
      {sim::DeviceKind::Keyboard, &keyboard, device::kKeyboardProductId},
      {sim::DeviceKind::Mouse, &mouse, device::kMouseProductId},
      {sim::DeviceKind::Mousepad, &mousepad, device::kMousepadProductId}};
  for (const auto& [kind, link, product] : devices) {
    backend.Plug(kind);
    link->SetCommandIdentity(product);
    if (!link->Attach()) {
      bench.SkipWithError("a simulated device did not attach");
      return;
    }
  }
  const SyncLightRecord record = Record(static_cast<uint8_t>(bench.range(0)), 1);
  KbEffectState counter;
  SyncFrames frames;
  for (auto _ : bench) {
    ComputeSyncFrames(record, counter, frames);
    device::SendLightFrame(keyboard, frames.keyboard);
    device::SendLightFrame(mouse, frames.mouse);
    device::SendLightFrame(mousepad, frames.mousepad);
    // The firmware logs every request; keep the log from growing over the run.
    bench.PauseTiming();
    for (const auto& [kind, link, product] : devices) backend.Device(kind).ClearRequests();
    bench.ResumeTiming();
  }
}
BENCHMARK(BM_SyncFrameSetSent)->DenseRange(0, 3);

}  // namespace
