// The three lighting effects the host computes for the mouse's 20 LEDs
// (modes 0..2; modes 3..6 the mouse runs itself from its pushed record).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "lighting/light_records.h"

namespace talvo::lighting {

inline constexpr size_t kMouseLeds = 20;
inline constexpr size_t kMouseFrameBytes = kMouseLeds * 3;  // 60
inline constexpr uint8_t kMouseComputedModes = 3;

// The mouse's own effect state: written by the mouse thread, reset by the
// page, every byte whole.
class MouseEffectState {
 public:
  uint8_t phase() const { return bytes_.Get(kPhase); }
  void SetPhase(uint8_t v) { bytes_.Set(kPhase, v); }
  Rgb work() const { return bytes_.GetRgb(kWork); }
  void SetWork(Rgb c) { bytes_.SetRgb(kWork, c); }
  // Two-colour breathing: 0 shows colour A, 1 colour B.
  uint8_t toggle() const { return bytes_.Get(kToggle); }
  void SetToggle(uint8_t v) { bytes_.Set(kToggle, v); }

 private:
  static constexpr size_t kPhase = 0;
  static constexpr size_t kWork = 1;
  static constexpr size_t kToggle = 4;
  ByteRecord<5> bytes_;
};

// LED n at bytes 3n..3n+2, red, green, blue, already scaled.
using MouseFrame = std::array<uint8_t, kMouseFrameBytes>;

// What the mouse page's LED controls show: the unscaled colour packed for
// the preview, and the strength of the light.
struct MousePreview {
  std::array<uint32_t, kMouseLeds> colour{};
  std::array<uint8_t, kMouseLeds> alpha{};
};

// Seven groups of three LEDs that breathe in one gradient colour; LED 9
// stands twice in its group.
inline constexpr std::array<std::array<uint8_t, 3>, 7> kMouseGroups{{
    {0, 7, 19}, {1, 8, 18}, {2, 9, 9}, {3, 10, 14}, {4, 11, 15}, {5, 12, 16}, {6, 13, 17},
}};

// One gradient row per stepCounter value 0..2, one colour per group.
inline constexpr std::array<std::array<Rgb, 7>, 3> kMouseGradients{{
    {{{255, 255, 0}, {200, 255, 0}, {170, 255, 0}, {140, 255, 0}, {110, 255, 0}, {80, 255, 0}, {70, 255, 0}}},
    {{{0, 255, 255}, {0, 200, 255}, {0, 170, 255}, {0, 140, 255}, {0, 110, 255}, {0, 80, 255}, {0, 70, 255}}},
    {{{245, 0, 255}, {245, 0, 200}, {245, 0, 170}, {245, 0, 140}, {245, 0, 110}, {245, 0, 80}, {245, 0, 70}}},
}};

// The mouse's scaling: each working component becomes c × (l + 1) >> 8, so
// a full level keeps the colour and level 0 leaves at most 0.
void ScaleColour(MouseEffectState& state, uint8_t l);
uint8_t StepPhase(MouseEffectState& state, uint8_t direction, unsigned n);

// Mode 0: every LED in one wheel colour, one wheel step a frame.
void MouseSpectrum(const MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                   MousePreview& preview);
// Mode 1: a breath per group along the gradient row of stepCounter (or the
// two record colours in turn); the row and the colour change at the dark
// point, so the record's stepCounter is advanced here.
void MouseGradientBreath(MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                         MousePreview& preview);
// Mode 2: every LED in the record colour.
void MouseStatic(const MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                 MousePreview& preview);

// The effect of the record's mode; false (nothing computed) for the modes
// the mouse runs itself.
bool ComputeMouseFrame(MouseSettingsRecord& record, MouseEffectState& state, MouseFrame& frame,
                       MousePreview& preview);

}  // namespace talvo::lighting
