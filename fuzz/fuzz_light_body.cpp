// Light file bodies come from files the user may have copied from anywhere.
// The input is read as each device's body the way a light file is loaded:
// into a zeroed buffer of the body's size, cut when longer. Loading and
// saving again must give the same bytes back (the mouse's zero pointer speed
// and wheel lines excepted, which load as 1); anything else aborts.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "lighting/light_bodies.h"

namespace {

using namespace talvo::lighting;

template <size_t N>
std::array<uint8_t, N> AsBody(const uint8_t* data, size_t size) {
  std::array<uint8_t, N> body{};
  std::copy_n(data, std::min(size, N), body.begin());
  return body;
}

template <typename Lighting, size_t N>
void RoundTrip(const std::array<uint8_t, N>& body, std::array<uint8_t, N> expected) {
  Lighting lighting;
  UnpackLightBody(std::span<const uint8_t, N>(body), lighting);
  std::array<uint8_t, N> again{};
  PackLightBody(lighting, std::span<uint8_t, N>(again));
  if (again != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto keyboard = AsBody<kKeyboardLightBodySize>(data, size);
  RoundTrip<KeyboardLighting>(keyboard, keyboard);

  const auto mouse = AsBody<kMouseLightBodySize>(data, size);
  auto mouseSaved = mouse;
  mouseSaved[kMouseBodyPointerSpeed] = std::max<uint8_t>(mouseSaved[kMouseBodyPointerSpeed], 1);
  mouseSaved[kMouseBodyWheelLines] = std::max<uint8_t>(mouseSaved[kMouseBodyWheelLines], 1);
  RoundTrip<MouseLighting>(mouse, mouseSaved);

  const auto mousepad = AsBody<kMousepadLightBodySize>(data, size);
  RoundTrip<MousepadLighting>(mousepad, mousepad);
  return 0;
}
