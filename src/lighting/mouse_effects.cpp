#include "lighting/mouse_effects.h"

#include "lighting/colour_tables.h"
#include "lighting/effect_engine.h"

namespace talvo::lighting {

namespace {

void PutLed(size_t led, Rgb scaled, uint32_t previewColour, uint8_t alpha, MouseFrame& frame,
            MousePreview& preview) {
  preview.colour[led] = previewColour;
  preview.alpha[led] = alpha;
  frame[3 * led] = scaled.red;
  frame[3 * led + 1] = scaled.green;
  frame[3 * led + 2] = scaled.blue;
}

// All LEDs in `colour` scaled by the record's brightness.
void AllLeds(const MouseSettingsRecord& record, MouseEffectState& state, Rgb colour, MouseFrame& frame,
             MousePreview& preview) {
  const uint8_t level = BrightnessLevel(record.brightness());
  state.SetWork(colour);
  ScaleColour(state, level);
  const Rgb scaled = state.work();
  const uint32_t packed = PackPreviewColour(colour);
  for (size_t n = 0; n < kMouseLeds; ++n) PutLed(n, scaled, packed, level, frame, preview);
}

}  // namespace

void ScaleColour(MouseEffectState& state, uint8_t l) {
  const unsigned f = unsigned{l} + 1;
  const Rgb c = state.work();
  state.SetWork({static_cast<uint8_t>(c.red * f >> 8), static_cast<uint8_t>(c.green * f >> 8),
                 static_cast<uint8_t>(c.blue * f >> 8)});
}

uint8_t StepPhase(MouseEffectState& state, uint8_t direction, unsigned n) {
  const uint8_t k = NextPhase(state.phase(), direction, n);
  state.SetPhase(k);
  return k;
}

void MouseSpectrum(const MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                   MousePreview& preview) {
  const uint8_t k = StepPhase(state, record.direction(), 192);
  AllLeds(record, state, ColourWheel(k), frame, preview);
}

void MouseStatic(const MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                 MousePreview& preview) {
  AllLeds(record, state, record.colour(), frame, preview);
}

void MouseGradientBreath(MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                         MousePreview& preview) {
  const uint8_t k = StepPhase(state, record.direction(), 128);
  if (k == 0) {
    const uint8_t next = static_cast<uint8_t>(record.stepCounter() + 1);
    record.SetStepCounter(next > 2 ? 0 : next);
    state.SetToggle(state.toggle() == 0 ? 1 : 0);
  }
  const uint8_t level = BrightnessLevel(record.brightness());
  const uint8_t breath = kBreath128[k];
  const uint8_t alpha = static_cast<uint8_t>(unsigned{breath} * level >> 8);
  // A counter beyond the three rows (a record from a file) shows the first.
  const uint8_t row = record.stepCounter() <= 2 ? record.stepCounter() : 0;
  const bool multi = record.multiColour() != 0;
  const Rgb twoColour = state.toggle() == 0 ? record.colourA() : record.colourB();
  for (size_t g = 0; g < kMouseGroups.size(); ++g) {
    const Rgb colour = multi ? kMouseGradients[row][g] : twoColour;
    state.SetWork(colour);
    ScaleColour(state, breath);
    ScaleColour(state, level);
    const Rgb scaled = state.work();
    const uint32_t packed = PackPreviewColour(colour);
    for (uint8_t n : kMouseGroups[g]) PutLed(n, scaled, packed, alpha, frame, preview);
  }
}

bool ComputeMouseFrame(MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                       MousePreview& preview) {
  switch (record.mode()) {
    case 0: MouseSpectrum(record, state, frame, preview); return true;
    case 1: MouseGradientBreath(record, state, frame, preview); return true;
    case 2: MouseStatic(record, state, frame, preview); return true;
    default: return false;
  }
}

}  // namespace talvo::lighting
