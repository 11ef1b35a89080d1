#include "lighting/led_model.h"

#include "lighting/colour_tables.h"

namespace talvo::lighting {

namespace {

constexpr std::array<uint8_t, kKeyboardLeds> MakeLedFrameMap() {
  std::array<uint8_t, kKeyboardLeds> map{};
  for (auto& p : map) p = kNoLed;
  auto run = [&map](size_t firstLed, std::initializer_list<uint8_t> positions) {
    size_t led = firstLed;
    for (uint8_t p : positions) map[led++] = p;
  };
  auto same = [&map](size_t first, size_t last) {
    for (size_t i = first; i <= last; ++i) map[i] = static_cast<uint8_t>(i);
  };
  same(0, 12);
  run(13, {14, 15, 16});
  same(21, 61);
  same(63, 74);
  run(75, {76, 80, 81, 82});
  run(84, {84, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95});
  run(95, {97, 99, 101, 102, 103});
  same(105, 111);
  run(112, {113, 119, 120, 121, 123, 124, 104, 62});
  return map;
}

}  // namespace

const std::array<uint8_t, kKeyboardLeds> kLedFrameMap = MakeLedFrameMap();

const std::array<std::array<uint8_t, kMatrixRows>, kMatrixColumns> kKeyMatrix{{
    {126, 126, 126, 126, 126, 105},  // 0
    {126, 21, 42, 63, 84, 106},      // 1
    {0, 22, 43, 64, 85, 107},        // 2
    {1, 23, 44, 65, 86, 126},        // 3
    {2, 24, 45, 66, 87, 126},        // 4
    {3, 25, 46, 67, 88, 126},        // 5
    {4, 26, 47, 68, 89, 108},        // 6
    {126, 27, 48, 69, 90, 126},      // 7
    {5, 28, 49, 70, 91, 126},        // 8
    {6, 29, 50, 71, 92, 109},        // 9
    {7, 30, 51, 72, 93, 126},        // 10
    {8, 31, 52, 73, 94, 110},        // 11
    {9, 32, 53, 74, 126, 126},       // 12
    {10, 33, 54, 126, 126, 111},     // 13
    {11, 34, 55, 75, 95, 126},       // 14
    {12, 126, 126, 126, 126, 112},   // 15
    {13, 35, 56, 126, 126, 113},     // 16
    {14, 36, 57, 126, 96, 114},      // 17
    {15, 37, 58, 126, 126, 115},     // 18
    {126, 38, 59, 76, 97, 116},      // 19
    {126, 39, 60, 77, 98, 126},      // 20
    {126, 40, 61, 78, 99, 117},      // 21
    {126, 41, 126, 119, 118, 126},   // 22
}};

void BuildKeyboardFrame(const LedStates& leds, KeyboardFrame& frame, KeyboardPreview& preview) {
  frame.fill(0);
  for (size_t i = 0; i < kKeyboardLeds; ++i) {
    const LedState s = leds.Get(i);
    preview.colour[i] = PackPreviewColour({s.red, s.green, s.blue});
    preview.level[i] = s.level;
    const uint8_t p = kLedFrameMap[i];
    if (p >= kNoLed) continue;
    uint8_t* out = &frame[size_t{p} * 3];
    out[0] = static_cast<uint8_t>(unsigned{s.red} * s.level >> 8);
    out[1] = static_cast<uint8_t>(unsigned{s.green} * s.level >> 8);
    out[2] = static_cast<uint8_t>(unsigned{s.blue} * s.level >> 8);
  }
}

}  // namespace talvo::lighting
