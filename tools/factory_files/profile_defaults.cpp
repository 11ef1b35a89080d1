// What a new user's keyboard, mouse and mousepad profiles hold.
//
// Each default profile file is a 16-byte header (magic AA 55, two zero bytes,
// the device code 1 keyboard / 2 mouse / 3 mousepad as a little-endian 16-bit
// number, ten zero bytes) followed by a body:
//   key profile (.pro)       the 512-byte key map             528 bytes in all
//   light profile (.led)     keyboard 1958-byte light body   1974 bytes
//                            mouse, mousepad 64-byte body      80 bytes
//   device profile (.config) key map, then the light body    2486 / 592 bytes
// The bodies come from the live records below through the same code that
// saves a user's profile, so a default file is exactly what saving this state
// writes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "keys/function_tables.h"
#include "keys/key_map.h"
#include "lighting/light_records.h"
#include "tools/factory_files/factory_files.h"

namespace talvo::factory {
namespace {

using keys::KeyFunction;
using keys::KeyMapRecord;
using lighting::Rgb;

// ---------------------------------------------------------------------------
// Key maps. Key k of a map is bytes 3k, 3k+1, 3k+2: kind, p1, p2. A map holds
// keys 0..169; bytes 510 and 511 belong to no key.

// Factory filler of keys a device does not have, or that do nothing.
constexpr KeyFunction kDisabled{keys::kKindDisabled, 0x05, 0x05};

// The gaps of the on-screen keyboard grid hold 20 00 00 (a keyboard function
// with neither modifier nor usage) in the layout table.
constexpr KeyFunction kLayoutGap{keys::kKindKeyboard, 0x00, 0x00};

// Keyboard: the board numbers its keys in on-screen order, row by row from
// the top left, leaving out the gaps of the grid. So key 0 is Esc, keys 1..12
// F1..F12, 13..15 Print Scr / Scroll Lock / Pause, key 16 the grave accent
// (position 21), and so on to key 105, the right Win key (position 125): 106
// keys. Each key carries the standard function of its position, which makes
// the position map built from this map tie every position to its own key,
// including the function key A0 02 02 (position 110, key 95). The simulated
// keyboard numbers its keys the same way. Keys 106..169 do not exist and hold
// 05 05 05; bytes 510 and 511 are 0.
KeyMapRecord KeyboardKeyMap() {
  KeyMapRecord map{};
  for (size_t k = 0; k < keys::kKeysPerMap; ++k) keys::SetKey(map, k, kDisabled);
  size_t key = 0;
  for (const KeyFunction& function : keys::KeyboardLayoutTable) {
    if (function != kLayoutGap) keys::SetKey(map, key++, function);
  }
  return map;
}

// Mouse: the seven buttons shown on the mouse page are keys 0..6.
//   0 left button     10 01 00        4 back button      10 08 00
//   1 middle button   10 04 00        5 DPI cycle        13 03 00
//   2 right button    10 02 00        6 (spare button)   05 05 05, off
//   3 forward button  10 10 00
// Kind 0x10 is a mouse button with its button bit in p1; kind 0x13 steps the
// DPI stage, p1 = 3 cycling through the stages. The mouse keeps each onboard
// profile's map as 42 keys (126 bytes, keys 7..41 off) at device offset
// profile × 126, and a key profile travels as 512 bytes from there, so bytes
// 126 onwards of the record land on the following profiles' maps. They repeat
// the same 126 bytes: a default key profile written to onboard profile p gives
// the later profiles the default buttons too instead of switching them off.
// (This is also what reading profile 0 of a factory-fresh mouse returns.)
constexpr size_t kMouseProfileMapBytes = 126;

KeyMapRecord MouseKeyMap() {
  const std::array<KeyFunction, keys::kMouseKeyCount> buttons = {
      keys::kMouseButtonRows[0].Function(),  // left
      keys::kMouseButtonRows[1].Function(),  // middle
      keys::kMouseButtonRows[2].Function(),  // right
      keys::kMouseButtonRows[3].Function(),  // forward
      keys::kMouseButtonRows[4].Function(),  // back
      keys::kDpiRows[2].Function(),          // DPI cycle
      kDisabled,
  };
  KeyMapRecord profileMap{};
  for (size_t k = 0; k < kMouseProfileMapBytes / keys::kKeyFunctionSize; ++k) {
    keys::SetKey(profileMap, k, k < buttons.size() ? buttons[k] : kDisabled);
  }
  KeyMapRecord map{};
  for (size_t i = 0; i < map.size(); ++i) map[i] = profileMap[i % kMouseProfileMapBytes];
  return map;
}

// ---------------------------------------------------------------------------
// Lighting. All three devices start with a rainbow moving the same way, at
// the second-highest brightness and middle speed, so a new setup looks
// lively and matched without being glaring.

// Brightness index 3: LED level 200 of 255; full level 255 is one step up.
constexpr uint8_t kBrightness = 3;
// Speed index 2 of 0 (fastest) .. 4 (slowest).
constexpr uint8_t kSpeed = 2;
// 1: the first direction of each effect (left to right, the "FXL" choice).
constexpr uint8_t kDirection = 1;
// Nonzero: colours from the built-in rainbow tables.
constexpr uint8_t kRainbow = 1;
// The single colour an effect uses once multi-colour is turned off: the sky
// blue of colour swatch 4, the same on every device.
constexpr Rgb kSkyBlue{0, 138, 255};
// Second colour of the mouse's two-colour breathing: the orange of swatch 7,
// opposite the blue on the colour wheel.
constexpr Rgb kOrange{254, 84, 0};
// The colour keys are painted with in custom mode: white shows every key.
constexpr Rgb kWhite{255, 255, 255};

// Bytes 0..9 of every record. Byte 0 (onboard profile 0) and byte 9 (the step
// counter running effects advance) stay 0; so do the bytes that belong to the
// device (keyboard and mousepad 10..20, mouse 10..13 and 20..27) and the rest
// of each 64-byte light image.
template <typename Record>
void SetCommonLight(Record& record, uint8_t mode) {
  record.SetMode(mode);
  record.SetBrightness(kBrightness);
  record.SetSpeed(kSpeed);
  record.SetDirection(kDirection);
  record.SetMultiColour(kRainbow);
  record.SetColour(kSkyBlue);
}

// Keyboard mode 0, Wave: rainbow bands moving across the columns. Custom
// colour set 0 is chosen, and all five sets start unpainted (all zero), a
// blank canvas for custom mode.
constexpr uint8_t kKeyboardWave = 0;

void SetKeyboardLighting(lighting::KeyboardLighting& kb) {
  SetCommonLight(kb.record, kKeyboardWave);
  kb.paint.SetCustomSetIndex(0);
  kb.paint.SetPaintColour(kWhite);
}

// Mouse mode 0, Spectrum: all LEDs in one colour moving along the colour
// wheel.
constexpr uint8_t kMouseSpectrum = 0;

// Report rate: index 3 of the report-rate list (125, 250, 500, 1000 reports a
// second), the highest. The mouse keeps its own value: the record's byte is
// never pushed, it only follows the profile.
constexpr uint8_t kReportRateItem = 3;

// DPI stages are slider positions v; the mouse reports its step and base, and
// a position means v × step + base DPI. For the family's 0x3360 sensor
// (base 100, step 100, top position 119 = 12000 DPI) these are 800, 1600,
// 3200 and 6400 DPI. On a sensor with a finer step the same positions give
// less (0x3325 at step 50: 550, 950, 1750, 3350), still inside its range.
constexpr std::array<uint8_t, lighting::MouseSettingsRecord::kDpiStages> kDpiStagePositions = {7, 15, 31, 63};

// Active DPI stage as the mouse reports it, 0-based: stage 2, 1600 DPI on
// the 0x3360 sensor, which suits a desktop at the pointer speed below. Never
// pushed; the mouse reports its own.
constexpr uint8_t kActiveDpiStage = 1;

// Pointer speed 10 of 1..20 is the middle setting desktops start with, and 3
// lines per wheel notch their usual default, so loading the profile leaves
// the pointer and the wheel as a user knows them.
constexpr uint8_t kPointerSpeed = 10;
constexpr uint8_t kWheelLines = 3;

void SetMouseLighting(lighting::MouseLighting& ms) {
  SetCommonLight(ms.record, kMouseSpectrum);
  ms.record.SetReportRate(kReportRateItem);
  for (size_t stage = 1; stage <= kDpiStagePositions.size(); ++stage) {
    ms.record.SetDpiStage(stage, kDpiStagePositions[stage - 1]);
  }
  ms.record.SetActiveDpiStage(kActiveDpiStage);
  ms.record.SetColourA(kSkyBlue);
  ms.record.SetColourB(kOrange);
  ms.SetPointerSpeed(kPointerSpeed);
  ms.SetWheelLines(kWheelLines);
}

// Mousepad mode 0, PadWave: rainbow bands running around the pad's edge.
constexpr uint8_t kMousepadWave = 0;

void SetMousepadLighting(lighting::MousepadLighting& mp) { SetCommonLight(mp.record, kMousepadWave); }

}  // namespace

profiles::LiveData FactoryLiveData() {
  profiles::LiveData live;
  // Keyboard profiles load into and save from profile 0's map; the mouse's
  // from its record's onboard profile, 0 here.
  live.keyboardKeys.profiles[0] = KeyboardKeyMap();
  live.mouseKeys.profiles[0] = MouseKeyMap();
  SetKeyboardLighting(live.keyboardLight);
  SetMouseLighting(live.mouseLight);
  SetMousepadLighting(live.mousepadLight);
  return live;
}

}  // namespace talvo::factory
