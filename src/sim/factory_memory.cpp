#include "sim/factory_memory.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace talvo::sim {
namespace {

struct KeyFunction {
  uint8_t kind;
  uint8_t p1;
  uint8_t p2;
};

constexpr KeyFunction Key(uint8_t usage) { return {0x20, 0x00, usage}; }
constexpr KeyFunction Modifier(uint8_t mask) { return {0x20, mask, 0x00}; }
constexpr KeyFunction kDisabled{0x05, 0x05, 0x05};

// The keyboard's keys in the order of their on-screen positions; key number
// k is entry k. A full-size ISO board with a function key: 106 keys.
constexpr std::array<KeyFunction, 106> kKeyboardKeys = {{
    // Esc, F1..F12, Print Screen, Scroll Lock, Pause
    Key(0x29), Key(0x3A), Key(0x3B), Key(0x3C), Key(0x3D), Key(0x3E), Key(0x3F), Key(0x40),
    Key(0x41), Key(0x42), Key(0x43), Key(0x44), Key(0x45), Key(0x46), Key(0x47), Key(0x48),
    // ` 1..9 0 - = Backspace Insert Home PageUp NumLock / * -
    Key(0x35), Key(0x1E), Key(0x1F), Key(0x20), Key(0x21), Key(0x22), Key(0x23), Key(0x24),
    Key(0x25), Key(0x26), Key(0x27), Key(0x2D), Key(0x2E), Key(0x2A), Key(0x49), Key(0x4A),
    Key(0x4B), Key(0x53), Key(0x54), Key(0x55), Key(0x56),
    // Tab Q W E R T Y U I O P [ ] backslash Delete End PageDown keypad 7 8 9
    Key(0x2B), Key(0x14), Key(0x1A), Key(0x08), Key(0x15), Key(0x17), Key(0x1C), Key(0x18),
    Key(0x0C), Key(0x12), Key(0x13), Key(0x2F), Key(0x30), Key(0x31), Key(0x4C), Key(0x4D),
    Key(0x4E), Key(0x5F), Key(0x60), Key(0x61),
    // CapsLock A S D F G H J K L ; ' Enter keypad 4 5 6
    Key(0x39), Key(0x04), Key(0x16), Key(0x07), Key(0x09), Key(0x0A), Key(0x0B), Key(0x0D),
    Key(0x0E), Key(0x0F), Key(0x33), Key(0x34), Key(0x28), Key(0x5C), Key(0x5D), Key(0x5E),
    // LShift Z X C V B N M , . / RShift Up keypad 1 2 3
    Modifier(0x02), Key(0x1D), Key(0x1B), Key(0x06), Key(0x19), Key(0x05), Key(0x11), Key(0x10),
    Key(0x36), Key(0x37), Key(0x38), Modifier(0x20), Key(0x52), Key(0x59), Key(0x5A), Key(0x5B),
    // the extra key of ISO boards
    Key(0x64),
    // LCtrl LWin LAlt Space RAlt Fn App RCtrl Left Down Right keypad 0 . Enter +
    Modifier(0x01), Modifier(0x08), Modifier(0x04), Key(0x2C), Modifier(0x40), {0xA0, 0x02, 0x02},
    Key(0x65), Modifier(0x10), Key(0x50), Key(0x51), Key(0x4F), Key(0x62), Key(0x63), Key(0x58),
    Key(0x57),
    // RWin
    Modifier(0x80),
}};

// Left, middle, right, forward, back, DPI cycle; the seventh button is off.
constexpr std::array<KeyFunction, 7> kMouseButtons = {{
    {0x10, 0x01, 0x00},
    {0x10, 0x04, 0x00},
    {0x10, 0x02, 0x00},
    {0x10, 0x10, 0x00},
    {0x10, 0x08, 0x00},
    {0x13, 0x03, 0x00},
    kDisabled,
}};

void Put(std::vector<uint8_t>& bytes, size_t offset, KeyFunction f) {
  bytes[offset] = f.kind;
  bytes[offset + 1] = f.p1;
  bytes[offset + 2] = f.p2;
}

void PutLe16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

// Keys 0..169 of a 512-byte map: `keys` first, every other key disabled;
// the two trailing bytes stay 0.
template <size_t N>
std::vector<uint8_t> DefaultMap(const std::array<KeyFunction, N>& keys) {
  std::vector<uint8_t> map(kDefaultMapSize, 0);
  for (size_t k = 0; k < kDefaultMapSize / 3; ++k) Put(map, 3 * k, k < N ? keys[k] : kDisabled);
  return map;
}

// Mouse: every onboard profile's 42 keys start as the default map's first
// 42; the key-map memory beyond the last profile's keys holds disabled keys.
std::vector<uint8_t> MouseKeyMaps(const std::vector<uint8_t>& defaultMap) {
  std::vector<uint8_t> maps(kKeyMapsSize, kDisabled.kind);
  for (size_t p = 0; p < kProfileCount; ++p) {
    std::copy_n(defaultMap.begin(), kKeyMapStride, maps.begin() + static_cast<std::ptrdiff_t>(p * kKeyMapStride));
  }
  return maps;
}

// Keyboard: its one map of key count × 3 bytes starts at 0 and overlaps the
// addresses of the later profiles, so the memory simply holds the default
// map followed by disabled keys.
std::vector<uint8_t> KeyboardKeyMaps(const std::vector<uint8_t>& defaultMap) {
  std::vector<uint8_t> maps(kKeyMapsSize, kDisabled.kind);
  std::copy(defaultMap.begin(), defaultMap.end(), maps.begin());
  return maps;
}

struct Rgb {
  uint8_t r, g, b;
};
constexpr std::array<Rgb, kProfileCount> kProfileColours = {{
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}}};

// Bytes 1..9 of every light record: mode, brightness, speed, direction,
// multi-colour, colour, step counter.
void PutLightFields(std::vector<uint8_t>& block, uint8_t mode, Rgb colour) {
  block[1] = mode;
  block[2] = 3;  // brightness level 200
  block[3] = 2;  // middle speed
  block[4] = 1;  // first direction
  block[5] = 1;  // built-in colours
  block[6] = colour.r;
  block[7] = colour.g;
  block[8] = colour.b;
  block[9] = 0;
}

// One 64-byte block per onboard profile. Byte 0 of every block mirrors the
// active profile, 0 from the factory.
std::vector<uint8_t> Settings(DeviceKind kind) {
  std::vector<uint8_t> settings(kSettingsSize, 0);
  for (size_t p = 0; p < kProfileCount; ++p) {
    std::vector<uint8_t> block(kSettingsBlockSize, 0);
    const auto mode = static_cast<uint8_t>(p);
    PutLightFields(block, mode, kProfileColours[p]);
    if (kind == DeviceKind::Mouse) {
      block[14] = 3;  // report-rate item
      // DPI stages 800, 1600, 3200, 6400 with the factory sensor scale.
      block[15] = 7;
      block[16] = 15;
      block[17] = 31;
      block[18] = 63;
      block[19] = 1;  // active DPI stage
      block[28] = 255;  // two-colour effect: red, then blue
      block[33] = 255;
      block[34] = 10;  // pointer speed
      block[35] = 3;   // wheel lines
    }
    std::copy(block.begin(), block.end(), settings.begin() + static_cast<std::ptrdiff_t>(p * kSettingsBlockSize));
  }
  return settings;
}

// Factory cursor macros: four guns of 30 bullets, six steps a bullet (press,
// release, steady, the bullet's pause, horizontal and vertical recoil),
// packed like a macro image.
std::vector<uint8_t> CursorImage() {
  constexpr size_t kSlots = 4;
  constexpr size_t kSteps = 180;
  constexpr size_t kTotal = 16 + kSlots * 6 + 4 * kSlots * kSteps;
  static_assert(kTotal <= kCursorSize);
  std::vector<uint8_t> image(kCursorSize, 0);
  PutLe16(image, 0, 0x55AA);
  PutLe16(image, 2, static_cast<uint16_t>(kTotal));
  PutLe16(image, 4, static_cast<uint16_t>(kSlots));
  size_t block = 16 + 2 * kSlots;
  for (size_t s = 0; s < kSlots; ++s) {
    PutLe16(image, 16 + 2 * s, static_cast<uint16_t>(block));
    PutLe16(image, block, static_cast<uint16_t>(kSteps));
    size_t at = block + 4;
    auto step = [&](uint16_t delay, uint8_t event, uint8_t value) {
      PutLe16(image, at, delay);
      image[at + 2] = event;
      image[at + 3] = value;
      at += 4;
    };
    for (size_t b = 0; b < kSteps / 6; ++b) {
      step(8, 0x81, 0x01);  // left button down
      step(8, 0x01, 0x01);  // left button up
      step(0, 0x04, 0x00);
      step(90, 0x05, 0x00);  // pause between bullets
      step(0, 0x04, 0x00);
      step(0, 0x05, static_cast<uint8_t>(2 + s));  // pull down
    }
    block = at;
  }
  return image;
}

std::vector<uint8_t> Info(DeviceKind kind) {
  std::vector<uint8_t> bytes(info::kSize, 0);
  PutLe16(bytes, 0, 0x0102);  // firmware 1.02
  bytes[3] = static_cast<uint8_t>(kProfileCount);
  switch (kind) {
    case DeviceKind::Keyboard:
      bytes[2] = 1;
      bytes[4] = 126;  // LEDs
      bytes[info::kKeyCount] = static_cast<uint8_t>(kKeyboardKeys.size());
      bytes[info::kMacroCapacity] = 32;  // 4 KiB
      break;
    case DeviceKind::Mouse:
      bytes[2] = 2;
      bytes[4] = 20;
      bytes[info::kKeyCount] = static_cast<uint8_t>(kMouseButtons.size());
      bytes[info::kMacroCapacity] = 32;
      // A 100..12000 DPI sensor in steps of 100.
      PutLe16(bytes, info::kSensorCode, 0x3360);
      bytes[info::kDpiStep] = 100;
      bytes[info::kSliderMax] = 119;
      PutLe16(bytes, info::kDpiBase, 100);
      break;
    case DeviceKind::Mousepad:
      bytes[2] = 3;
      bytes[4] = 15;
      break;
  }
  return bytes;
}

}  // namespace

FactoryMemory MakeFactoryMemory(DeviceKind kind) {
  FactoryMemory m;
  m.info = Info(kind);
  m.settings = Settings(kind);
  m.frame.assign(kFrameSize, 0);
  if (kind == DeviceKind::Keyboard) {
    m.defaultMap = DefaultMap(kKeyboardKeys);
    m.keyMaps = KeyboardKeyMaps(m.defaultMap);
  } else if (kind == DeviceKind::Mouse) {
    m.defaultMap = DefaultMap(kMouseButtons);
    m.keyMaps = MouseKeyMaps(m.defaultMap);
    m.cursor = CursorImage();
  }
  return m;
}

}  // namespace talvo::sim
