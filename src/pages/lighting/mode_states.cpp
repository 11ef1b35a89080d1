#include "pages/lighting/mode_states.h"

namespace talvo::lighting {
namespace {

constexpr uint8_t kHueCircle = 192;

void SeedFrontBit(KbEffectState& state, size_t column, uint8_t bit) {
  for (size_t f = 0; f < kWaveFronts; ++f) state.SetFront(f, column, uint8_t(state.front(f, column) | bit));
}

// Every key rises through the hue circle from its own start, 33 steps
// after the previous LED's.
void SpreadHues(KbEffectState& state) {
  unsigned s = 0;
  for (size_t led = 0; led < kKeyboardLeds; ++led) {
    s += 33;
    if (s > kHueCircle) s -= kHueCircle;
    state.SetHue(led, uint8_t(s));
  }
}

void SeedPulses(KbEffectState& state) {
  for (size_t c = 0; c < kMatrixColumns; ++c)
    for (size_t r = 0; r < kMatrixRows; ++r) {
      const uint8_t led = kKeyMatrix[c][r];
      if (led == kNoLed) continue;
      state.SetGlow(led, kPulseSeed[c][r]);
      state.SetHue(led, uint8_t(7 * c));
    }
}

// Pulses phased along the diagonals: each row 35 steps behind the one above,
// each column 8 steps behind its left neighbour.
void SeedDiagonals(KbEffectState& state) {
  for (size_t c = 0; c < kMatrixColumns; ++c) {
    uint8_t a = uint8_t(kHueCircle - 8 * c);
    for (size_t r = 0; r < kMatrixRows; ++r) {
      uint8_t b = uint8_t(a - 35);
      if (b >= kHueCircle) b = uint8_t(b - 63);
      const uint8_t led = kKeyMatrix[c][r];
      if (led != kNoLed) {
        state.SetPulsePos(led, b);
        state.SetHue(led, uint8_t(7 * c));
      }
      a = b;
    }
  }
}

}  // namespace

const std::array<std::array<uint8_t, kMatrixRows>, kMatrixColumns> kPulseSeed{{
    {72, 52, 32, 12, 182, 162},   {72, 52, 32, 12, 182, 162},  {120, 100, 80, 60, 40, 20},
    {92, 82, 72, 62, 52, 42},     {160, 140, 120, 100, 80, 60}, {80, 70, 60, 50, 20, 10},
    {90, 30, 0, 160, 130, 100},   {50, 30, 10, 180, 160, 140},  {32, 22, 12, 2, 182, 172},
    {120, 100, 80, 60, 40, 20},   {20, 5, 185, 170, 155, 140},  {60, 35, 15, 180, 155, 130},
    {120, 110, 100, 90, 80, 70},  {192, 162, 132, 102, 72, 32}, {80, 70, 60, 50, 20, 10},
    {100, 95, 90, 85, 80, 75},    {90, 80, 70, 60, 50, 40},     {140, 110, 80, 50, 20, 180},
    {70, 55, 40, 25, 10, 190},    {120, 100, 80, 60, 40, 20},   {92, 82, 72, 62, 52, 42},
    {60, 50, 40, 30, 20, 10},     {192, 162, 132, 102, 72, 32},
}};

void StartKeyboardMode(uint8_t mode, KbEffectState& state) {
  switch (mode) {
    case 4: SpreadHues(state); break;
    case 5: SeedFrontBit(state, 9, 1u << 6); break;
    case 11: SeedPulses(state); break;
    case 15: SeedFrontBit(state, 1, 1u << 0); break;
    case 16: SeedDiagonals(state); break;
    default: break;
  }
}

}  // namespace talvo::lighting
