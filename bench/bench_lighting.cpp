// Time to compute one lighting frame: each mouse effect, the keyboard frame
// built from the LED states, and each keyboard effect with the frame built
// from what it painted. The fastest keyboard setting leaves 2 ms a frame for
// everything, the USB transfer included.
#include <benchmark/benchmark.h>

#include <stop_token>

#include "lighting/colour_tables.h"
#include "lighting/keyboard_effects.h"
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

// Arguments: the keyboard mode and multiColour. The effect state runs on
// from frame to frame, as on the keyboard thread, so the multi-stage and
// ring effects pass through all their stages.
void BM_KeyboardEffect(benchmark::State& bench) {
  const auto mode = static_cast<uint8_t>(bench.range(0));
  KeyboardLighting lighting;
  lighting.record.SetMode(mode);
  lighting.record.SetBrightness(3);
  lighting.record.SetDirection(1);
  lighting.record.SetMultiColour(static_cast<uint8_t>(bench.range(1)));
  lighting.record.SetColour({200, 100, 50});
  for (size_t p = 0; p < CustomColourSets::kPositions; ++p)
    lighting.custom.SetColour(0, p, ColourWheel(static_cast<uint8_t>(p)));
  KbEffectState state;
  // The rings of modes 5 and 15 start from their seeds.
  for (size_t f = 0; f < kWaveFronts; ++f) {
    state.SetFront(f, 9, 1u << 6);
    state.SetFront(f, 1, 1u << 0);
  }
  LedStates leds;
  StopWait wait{std::stop_token{}};
  KeyboardEffectContext context{lighting, state, leds, wait};
  const KeyboardModeTable modes = KeyboardModes();
  KeyboardFrame frame;
  KeyboardPreview preview;
  for (auto _ : bench) {
    modes[mode].run(context);
    BuildKeyboardFrame(leds, frame, preview);
    benchmark::DoNotOptimize(frame);
    benchmark::DoNotOptimize(preview);
  }
}

BENCHMARK(BM_MouseSpectrum);
BENCHMARK(BM_MouseGradientBreath);
BENCHMARK(BM_MouseStatic);
BENCHMARK(BM_KeyboardFrame);
BENCHMARK(BM_KeyboardEffect)->ArgNames({"mode", "multi"})->ArgsProduct({benchmark::CreateDenseRange(0, 16, 1), {0, 1}});

}  // namespace
