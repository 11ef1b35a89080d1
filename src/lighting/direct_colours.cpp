#include "lighting/direct_colours.h"

#include <algorithm>

#include "lighting/colour_tables.h"
#include "lighting/lighting_threads.h"
#include "lighting/mousepad_effects.h"

namespace talvo::lighting {

namespace {

// c × (level + 1) >> 8 per component: the mouse's and the mousepad's scaling.
Rgb Scaled(Rgb c, uint8_t level) {
  const unsigned f = unsigned{level} + 1;
  return {uint8_t(c.red * f >> 8), uint8_t(c.green * f >> 8), uint8_t(c.blue * f >> 8)};
}

Rgb ColourAt(std::span<const Rgb> colours, size_t n) { return n < colours.size() ? colours[n] : Rgb{}; }

}  // namespace

void DirectColours::SetOn(bool on) {
  {
    std::lock_guard lock(mutex_);
    on_.store(on);
    pending_.store(on);
  }
  wake_.Notify();
}

void DirectColours::Set(size_t first, std::span<const Rgb> colours) {
  bool wasPending = false;
  {
    std::lock_guard lock(mutex_);
    if (first >= colours_.size()) return;
    const size_t n = std::min(colours.size(), colours_.size() - first);
    std::copy_n(colours.begin(), n, colours_.begin() + long(first));
    wasPending = pending_.exchange(true);
  }
  // A set the thread has not taken yet was told already: the thread takes
  // this one with it.
  if (!wasPending) wake_.Notify();
}

std::vector<Rgb> DirectColours::Take() {
  std::lock_guard lock(mutex_);
  pending_.store(false);
  return colours_;
}

std::vector<Rgb> DirectColours::Colours() const {
  std::lock_guard lock(mutex_);
  return colours_;
}

void MouseDirectFrame(uint8_t brightness, std::span<const Rgb> colours, MouseFrame& frame, MousePreview& preview) {
  const uint8_t level = BrightnessLevel(brightness);
  for (size_t n = 0; n < kMouseLeds; ++n) {
    const Rgb c = ColourAt(colours, n);
    const Rgb s = Scaled(c, level);
    frame[3 * n] = s.red;
    frame[3 * n + 1] = s.green;
    frame[3 * n + 2] = s.blue;
    preview.colour[n] = PackPreviewColour(c);
    preview.alpha[n] = level;
  }
}

void KeyboardDirectLeds(uint8_t brightness, std::span<const Rgb> colours, LedStates& leds) {
  const uint8_t level = BrightnessLevel(brightness);
  for (size_t n = 0; n < kKeyboardLeds; ++n) leds.Set(n, ColourAt(colours, n), level);
}

size_t MousepadDirectFrame(uint8_t brightness, std::span<const Rgb> colours, MousepadFrame& frame) {
  const uint8_t level = BrightnessLevel(brightness);
  frame = MousepadFrame{};
  for (size_t n = 0; n < kMousepadLeds; ++n) {
    const Rgb c = ColourAt(colours, n);
    const Rgb s = Scaled(c, level);
    frame.bytes[3 * n] = s.red;
    frame.bytes[3 * n + 1] = s.green;
    frame.bytes[3 * n + 2] = s.blue;
    frame.colour[n] = PackPreviewColour(c);
    frame.alpha[n] = level;
  }
  return kMousepadFrameBytes;
}

}  // namespace talvo::lighting
