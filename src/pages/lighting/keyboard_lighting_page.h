// The keyboard's lighting tab: mode, brightness, speed, direction, colours,
// and the custom painting of keys into five colour sets.
//
// A change of the light record ends with the keyboard's commit: the record
// push is marked, the light and device profiles are saved and the keyboard
// leaves synchronized lighting. Painting (mode 8) only saves. Everything
// runs on the UI thread; with the keyboard absent the records and files
// still change and the push simply finds no device.
#pragma once

#include <span>
#include <string_view>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/device_link.h"
#include "lighting/effect_engine.h"
#include "lighting/light_records.h"
#include "pages/lighting/lighting_page.h"
#include "pages/lighting/mode_states.h"
#include "pages/lighting/page_view.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"

namespace talvo::lighting::pages {

inline constexpr int kKeyboardModeCount = 17;
inline constexpr uint8_t kKeyboardCustomMode = 8;
inline constexpr uint8_t kKeyboardStarsMode = 9;

class KeyboardLightingPage final : public LightingPage {
 public:
  // Every reference must outlive the page; the window holds the tab.
  KeyboardLightingPage(toolkit::Window& window, profiles::LiveData& live, profiles::ProfileSaver& saver,
                       KbEffectState& effect, LightPushFlags& pushFlags,
                       device::CDeviceLink& keyboardLink);

  // The controls of the keyboard's lighting tab the page handles.
  static std::span<const ::talvo::pages::ControlBinding<KeyboardLightingPage>> Bindings();

  // Sets every lighting control of the tab from the live records; stores
  // and pushes nothing.
  void Refresh();

  LightingState State() const override;

 private:
  void ModeChosen(int mode) override;
  void SliderChosen(size_t field, uint8_t value) override;
  void ColourChosen(Rgb colour) override;
  void OnSetCombo(const toolkit::Notification& n, int);
  void OnMultiCheck(const toolkit::Notification& n, int);
  void OnDirectionCheck(const toolkit::Notification& n, int left);
  void OnFillCheck(const toolkit::Notification& n, int bright);
  void OnSwatch(const toolkit::Notification& n, int swatch);
  void OnPictureKey(const toolkit::Notification& n, int key);
  // component: 0 red, 1 green, 2 blue.
  void OnColourEdit(const toolkit::Notification& n, int component);
  void OnKeyClicked(int led);
  void ChooseColour(Rgb c, bool store);
  void ShowModeParts(int mode);
  void FillCustomSet(bool onlyUnpainted, Rgb c);
  bool ComboShowsCustomMode() const;
  void Commit();
  void SaveProfiles();

  profiles::LiveData& live_;
  profiles::ProfileSaver& saver_;
  KbEffectState& effect_;
  LightPushFlags& pushFlags_;
  device::CDeviceLink& link_;
};

}  // namespace talvo::lighting::pages
