#include "lighting/effect_engine.h"

#include <array>

namespace talvo::lighting {

void ScaleColour(KbEffectState& state, uint8_t l) {
  const Rgb c = state.work();
  state.SetWork({static_cast<uint8_t>(unsigned{c.red} * l >> 8), static_cast<uint8_t>(unsigned{c.green} * l >> 8),
                 static_cast<uint8_t>(unsigned{c.blue} * l >> 8)});
}

uint8_t StepPhase(KbEffectState& state, uint8_t direction, unsigned n) {
  const uint8_t k = NextPhase(state.phase(), direction, n);
  state.SetPhase(k);
  return k;
}

void DecayGlow(KbEffectState& state, size_t led, uint8_t mode) {
  const unsigned v = state.glow(led);
  const bool faintStays = mode == 5;
  unsigned step = 0;
  if (v >= 128) {
    step = faintStays ? 40 : 30;
  } else if (v >= 64) {
    step = faintStays ? 30 : 20;
  } else if (v >= 32) {
    step = 10;
  } else if (v >= 17) {
    step = faintStays ? 8 : 5;
  } else if (v >= 9) {
    step = faintStays ? 0 : 4;
  } else {
    step = v;
  }
  state.SetGlow(led, static_cast<uint8_t>(v - step));
}

void SeedWave(KbEffectState& state, size_t led) {
  if (led >= kNoLed) return;
  for (size_t c = 0; c < kMatrixColumns; ++c) {
    for (size_t r = 0; r < kMatrixRows; ++r) {
      if (kKeyMatrix[c][r] != led) continue;
      for (size_t f = 0; f < kWaveFronts; ++f)
        state.SetFront(f, c, static_cast<uint8_t>(state.front(f, c) | 1u << r));
      return;
    }
  }
}

void AdvanceWaves(KbEffectState& state) {
  using F = KbEffectState::Front;
  std::array<std::array<uint8_t, kMatrixColumns + 2>, kWaveFronts> before{};
  // Columns shifted by one so that the missing neighbours of the edge
  // columns read as 0.
  for (size_t f = 0; f < kWaveFronts; ++f)
    for (size_t c = 0; c < kMatrixColumns; ++c) before[f][c + 1] = state.front(f, c);
  for (size_t c = 0; c < kMatrixColumns; ++c) {
    const size_t at = c + 1;
    state.SetFront(F::kLeftUp, c, static_cast<uint8_t>(before[F::kLeftUp][at] >> 1 | before[F::kLeftUp][at + 1]));
    state.SetFront(F::kLeftDown, c,
                   static_cast<uint8_t>(before[F::kLeftDown][at] << 1 | before[F::kLeftDown][at + 1]));
    state.SetFront(F::kRightUp, c,
                   static_cast<uint8_t>(before[F::kRightUp][at] >> 1 | before[F::kRightUp][at - 1]));
    state.SetFront(F::kRightDown, c,
                   static_cast<uint8_t>(before[F::kRightDown][at] << 1 | before[F::kRightDown][at - 1]));
  }
}

void LightWaves(KbEffectState& state, bool multiColour) {
  for (size_t c = 0; c < kMatrixColumns; ++c) {
    unsigned bits = 0;
    for (size_t f = 0; f < kWaveFronts; ++f) bits |= state.front(f, c);
    for (size_t r = 0; r < kMatrixRows; ++r) {
      const uint8_t k = kKeyMatrix[c][r];
      if ((bits >> r & 1u) == 0 || k >= kNoLed) continue;
      state.SetGlow(k, 255);
      if (multiColour) {
        const uint8_t tick = static_cast<uint8_t>(state.hueTick() + 11);
        state.SetHueTick(tick);
        state.SetHue(k, tick);
      }
    }
  }
}

void ResetKbState(KbEffectState& state) {
  state.SetPhase(0);
  state.SetStage(0);
  for (size_t i = 0; i < kKeyboardLeds; ++i) {
    state.SetGlow(i, 0);
    state.SetHue(i, 0);
  }
  for (size_t f = 0; f < kWaveFronts; ++f)
    for (size_t c = 0; c < kMatrixColumns; ++c) state.SetFront(f, c, 0);
}

}  // namespace talvo::lighting
