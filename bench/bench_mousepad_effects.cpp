// Time to compute one mousepad frame in each of the nine modes, through the
// effect table the mousepad thread calls. The fastest mousepad setting
// sleeps 10 ms a frame; a frame's computation should be lost in that.
#include <benchmark/benchmark.h>

#include <atomic>
#include <stop_token>

#include "lighting/effect_engine.h"
#include "lighting/lighting_threads.h"
#include "lighting/mousepad_effects.h"

namespace {

using namespace talvo::lighting;

void MousepadEffect(benchmark::State& bench, uint8_t mode) {
  LightRecord record;
  record.SetMode(mode);
  record.SetBrightness(3);
  record.SetDirection(1);
  record.SetMultiColour(1);
  record.SetColour({200, 100, 50});
  MousepadEffectState state;
  KbEffectState keyboard;
  std::atomic<uint32_t> trigger{0};
  const MousepadModeTable modes = MousepadModes(state, keyboard, trigger);
  StartMousepadMode(mode, state, trigger);
  // A stopped wait: the sweep's turning frames return at once instead of
  // pausing a second, so only computation is timed.
  std::stop_source stopped;
  stopped.request_stop();
  StopWait wait(stopped.get_token());
  MousepadFrame frame;
  MousepadEffectContext context{record, frame, wait};
  for (auto _ : bench) {
    // Every flash frame a fresh request: the lit frame, clock read included.
    if (mode == 8) trigger.store(1);
    frame = MousepadFrame{};
    benchmark::DoNotOptimize(modes[mode].run(context));
    benchmark::DoNotOptimize(frame);
  }
}

void BM_PadWave(benchmark::State& bench) { MousepadEffect(bench, 0); }
void BM_PadSpectrum(benchmark::State& bench) { MousepadEffect(bench, 1); }
void BM_PadBreathing(benchmark::State& bench) { MousepadEffect(bench, 2); }
void BM_PadStatic(benchmark::State& bench) { MousepadEffect(bench, 3); }
void BM_PadBar(benchmark::State& bench) { MousepadEffect(bench, 4); }
void BM_PadComet(benchmark::State& bench) { MousepadEffect(bench, 5); }
void BM_PadColumnWave(benchmark::State& bench) { MousepadEffect(bench, 6); }
void BM_PadSweep(benchmark::State& bench) { MousepadEffect(bench, 7); }
void BM_PadFlash(benchmark::State& bench) { MousepadEffect(bench, 8); }

BENCHMARK(BM_PadWave);
BENCHMARK(BM_PadSpectrum);
BENCHMARK(BM_PadBreathing);
BENCHMARK(BM_PadStatic);
BENCHMARK(BM_PadBar);
BENCHMARK(BM_PadComet);
BENCHMARK(BM_PadColumnWave);
BENCHMARK(BM_PadSweep);
BENCHMARK(BM_PadFlash);

}  // namespace
