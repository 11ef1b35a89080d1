// What sets each peripheral apart on the window, in one table: the prefix of
// its control names, its tab, the name requests and messages call it by,
// its lighting controls, how many LEDs a frame lights, how many onboard
// profiles it keeps and whether it has keys to assign and store. Code that
// must treat the devices differently looks its difference up here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "device/peripheral.h"
#include "lighting/led_model.h"
#include "lighting/lighting_threads.h"
#include "lighting/mouse_effects.h"

namespace talvo::pages {

struct PeripheralTraits {
  device::Peripheral peripheral;
  std::string_view prefix;  // "kb", "ms", "mp"
  std::string_view tab;     // the device's tab on the window
  std::string_view name;    // "keyboard", "mouse", "mousepad"
  // The lighting page's controls.
  std::string_view modeCombo;
  std::string_view brightnessSlider;
  std::string_view speedSlider;
  std::string_view palette;
  // A mode's item text id in the mode list: prefix, the mode's number, suffix.
  std::string_view modeTextPrefix;
  std::string_view modeTextSuffix;
  size_t leds;
  int onboardProfiles;
  bool keys;
  // The pages of the device's tab that show its lighting, its keys and its
  // macros ("" where it has none).
  std::string_view lightingPage;
  std::string_view keyPage;
  std::string_view macroPage;

  std::string ModeTextId(size_t mode) const {
    return std::string(modeTextPrefix) + std::to_string(mode) + std::string(modeTextSuffix);
  }
};

// In the order of device::kAllPeripherals.
inline constexpr std::array<PeripheralTraits, 3> kPeripheralTraits{{
    {device::Peripheral::Keyboard, "kb", "kb_tab", "keyboard", "kb_deng_combo_modeSelect", "kb_deng_light_slider",
     "kb_deng_speed_slider", "kb_deng_Color_Pallet", "kb_deng_mode_", "", lighting::kKeyboardLeds, 1, true,
     "kb_Deng_UI", "kb_Key_UI", "kb_Macro_UI"},
    {device::Peripheral::Mouse, "ms", "ms_tab", "mouse", "ms_deng_combo_modeSelect2", "ms_deng_light_slider",
     "ms_deng_speed_slider", "ms_deng_Color_Pallet", "ms_deng_mode_", "_text", lighting::kMouseLeds, 5, true,
     "MS_Deng_UI", "MS_Key_UI", "MS_Macro_UI"},
    {device::Peripheral::Mousepad, "mp", "mp_tab", "mousepad", "mp_deng_combo_modeSelect", "mp_deng_light_slider",
     "mp_deng_speed_slider", "mp_deng_Color_Pallet", "mp_deng_mode_", "_text", lighting::kMousepadLeds, 5, false,
     "MP_deng_UI", "", ""},
}};

inline constexpr const PeripheralTraits& TraitsOf(device::Peripheral p) {
  return kPeripheralTraits[device::IndexOf(p)];
}

}  // namespace talvo::pages
