// Images drawn over the keyboard's key buttons (34 x 34, and 68 x 68 for
// @2x): the light of a key, white so the button can tint it with the key's
// colour, and the marker of a key whose assignment differs from its default.
// Both cover the whole button and stay transparent where they add nothing,
// so the key's own face and label show through.

#include <QColor>
#include <QDir>
#include <QImage>

#include <algorithm>
#include <cmath>

#include "art_registry.h"

namespace {

constexpr int kKey = 34;

// Signed distance from (x, y) to a rounded rectangle: negative inside.
float RoundedRectDistance(float x, float y, float left, float top, float right, float bottom, float radius) {
  const float cx = (left + right) / 2.f;
  const float cy = (top + bottom) / 2.f;
  const float hx = (right - left) / 2.f - radius;
  const float hy = (bottom - top) / 2.f - radius;
  const float qx = std::abs(x - cx) - hx;
  const float qy = std::abs(y - cy) - hy;
  const float outside = std::hypot(std::max(qx, 0.f), std::max(qy, 0.f));
  return outside + std::min(std::max(qx, qy), 0.f) - radius;
}

// Renders coverage(x, y) -> (colour, alpha 0..1) in key units, 4 x 4 samples
// a pixel so edges stay smooth at both sizes.
template <typename Shade>
QImage Render(int scale, Shade shade) {
  const int size = kKey * scale;
  QImage image(size, size, QImage::Format_ARGB32);
  constexpr int kSamples = 4;
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const float x = (px + (sx + 0.5f) / kSamples) / float(scale);
          const float y = (py + (sy + 0.5f) / kSamples) / float(scale);
          const auto [colour, alpha] = shade(x, y);
          r += colour.redF() * alpha;
          g += colour.greenF() * alpha;
          b += colour.blueF() * alpha;
          a += alpha;
        }
      }
      constexpr float n = kSamples * kSamples;
      const float alpha = a / n;
      // Un-premultiply: the average colour of the covered samples.
      const auto channel = [&](float c) { return a > 0 ? std::clamp(int(std::lround(c / a * 255.f)), 0, 255) : 0; };
      image.setPixel(px, py, qRgba(channel(r), channel(g), channel(b), std::clamp(int(std::lround(alpha * 255.f)), 0, 255)));
    }
  }
  return image;
}

struct Sample {
  QColor colour;
  float alpha;
};

// A lit key cap: a bright rim along the cap's edge, a glow falling off
// towards the middle, a faint wash over the face so dark keys read as lit,
// and a soft halo just outside the edge.
Sample KeyLight(float x, float y) {
  const float d = RoundedRectDistance(x, y, 1.5f, 1.5f, kKey - 1.5f, kKey - 1.5f, 5.f);
  float alpha;
  if (d <= 0) {
    const float depth = -d;
    const float rim = std::exp(-std::pow(depth / 0.9f, 2.f));
    const float glow = std::exp(-depth / 3.2f);
    // The lower half of the cap catches a little more light, as if lit from below.
    const float wash = 0.10f + 0.06f * std::clamp((y - kKey * 0.35f) / (kKey * 0.6f), 0.f, 1.f);
    alpha = std::min(1.f, 0.92f * rim + 0.55f * glow + wash);
  } else {
    alpha = 0.45f * std::exp(-d / 0.8f);
  }
  return {QColor(255, 255, 255), alpha};
}

// A changed assignment: an accent dot in the top-right corner with a dark
// ring, readable on any key colour, and a faint glow around it.
Sample KeySetMarker(float x, float y) {
  const float cx = kKey - 7.f;
  const float cy = 7.f;
  const float r = std::hypot(x - cx, y - cy);
  constexpr float kDot = 3.f;
  constexpr float kRing = 4.4f;
  if (r <= kDot) return {QColor(0x1e, 0xc8, 0xff), 1.f};
  if (r <= kRing) return {QColor(0x10, 0x12, 0x16), 0.85f};
  return {QColor(0x1e, 0xc8, 0xff), 0.35f * std::exp(-(r - kRing) / 1.2f)};
}

const bool registered = talvo::skin_art::RegisterAreaArt("keyboard", [](const QDir& skin) {
  bool ok = talvo::skin_art::SaveBothScales(skin, "kb/key_light", [](int scale) { return Render(scale, KeyLight); });
  ok = talvo::skin_art::SaveBothScales(skin, "kb/key_set", [](int scale) { return Render(scale, KeySetMarker); }) && ok;
  return ok;
});

}  // namespace
