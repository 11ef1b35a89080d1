// Time to compute one lighting frame: each mouse effect, and the keyboard
// frame built from the LED states. The fastest keyboard setting leaves 2 ms
// a frame for everything, the USB transfer included.
#include <benchmark/benchmark.h>

#include "lighting/colour_tables.h"
#include "lighting/led_model.h"
#include "lighting/mouse_effects.h"

namespace {

using namespace talvo::lighting;

void MouseEffect(benchmark::State& bench, uint8_t mode) {
  MouseSettingsRecord record;
  record.SetMode(mode);
  record.SetBrightness(3);
  record.SetDirection(1);
  record.SetMultiColour(1);
  record.SetColour({200, 100, 50});
  MouseEffectState state;
  MouseFrame frame{};
  MousePreview preview;
  for (auto _ : bench) {
    ComputeMouseFrame(record, state, frame, preview);
    benchmark::DoNotOptimize(frame);
    benchmark::DoNotOptimize(preview);
  }
}

void BM_MouseSpectrum(benchmark::State& bench) { MouseEffect(bench, 0); }
void BM_MouseGradientBreath(benchmark::State& bench) { MouseEffect(bench, 1); }
void BM_MouseStatic(benchmark::State& bench) { MouseEffect(bench, 2); }

void BM_KeyboardFrame(benchmark::State& bench) {
  LedStates leds;
  for (size_t i = 0; i < kKeyboardLeds; ++i) leds.Set(i, ColourWheel(static_cast<uint8_t>(i)), 200);
  KeyboardFrame frame;
  KeyboardPreview preview;
  for (auto _ : bench) {
    BuildKeyboardFrame(leds, frame, preview);
    benchmark::DoNotOptimize(frame);
    benchmark::DoNotOptimize(preview);
  }
}

BENCHMARK(BM_MouseSpectrum);
BENCHMARK(BM_MouseGradientBreath);
BENCHMARK(BM_MouseStatic);
BENCHMARK(BM_KeyboardFrame);

}  // namespace
