// What choosing a keyboard mode seeds in the keyboard's effect state, and
// the colour-edit reading the lighting pages share. The effect states
// themselves live with their effects.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "lighting/effect_engine.h"
#include "lighting/led_model.h"
#include "lighting/light_records.h"
#include "lighting/mousepad_effects.h"

namespace talvo::lighting {

// Start value of each key's pulse in the key pulse mode, by key-matrix
// column and row.
extern const std::array<std::array<uint8_t, kMatrixRows>, kMatrixColumns> kPulseSeed;

// What choosing keyboard mode `mode` does to the effect state after
// ResetKbState: mode 4 spreads the hues, 5 and 15 seed their first ring, 11
// and 16 seed the pulses; the other modes start from the reset state.
void StartKeyboardMode(uint8_t mode, KbEffectState& state);

}  // namespace talvo::lighting
