// The mouse's lighting tab: mode, brightness, speed, direction, the single
// colour and the two colours of the two-colour breath.
//
// A change of the light record ends with the mouse's commit: the record
// push is marked and the mouse light and device profiles are marked to save; a new
// mode also ends synchronized lighting on the mouse. Everything runs on the
// UI thread.
#pragma once

#include <span>
#include <string_view>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/device_link.h"
#include "lighting/light_records.h"
#include "lighting/mouse_effects.h"
#include "pages/lighting/lighting_page.h"
#include "pages/lighting/page_view.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"

namespace talvo::lighting::pages {

inline constexpr int kMouseModeCount = 7;
inline constexpr uint8_t kMouseTwoColourMode = 1;

class MouseLightingPage final : public LightingPage {
 public:
  // Which colour the colour controls edit in the two-colour mode.
  enum class Target { ColourA, ColourB };

  // Every reference must outlive the page; the window holds the tab.
  MouseLightingPage(toolkit::Window& window, profiles::LiveData& live, profiles::ProfileSaver& saver,
                    MouseEffectState& effect, LightPushFlags& pushFlags, device::CDeviceLink& mouseLink);

  // The controls of the mouse's lighting tab the page handles.
  static std::span<const ::talvo::pages::ControlBinding<MouseLightingPage>> Bindings();

  // Sets every lighting control of the tab from the live record; stores and
  // pushes nothing. The main window runs it after every mouse read.
  void Refresh();

  Target target() const { return target_; }
  LightingState State() const override;

 private:
  void ModeChosen(int mode) override;
  void SliderChosen(size_t field, uint8_t value) override;
  void ColourChosen(Rgb colour) override;
  void OnMultiCheck(const toolkit::Notification& n, int);
  void OnDirectionCheck(const toolkit::Notification& n, int left);
  void OnDirectionButton(const toolkit::Notification& n, int left);
  void OnTargetButton(const toolkit::Notification& n, int target);
  void OnSwatch(const toolkit::Notification& n, int swatch);
  // component: 0 red, 1 green, 2 blue.
  void OnColourEdit(const toolkit::Notification& n, int component);
  void ChooseColour(Rgb c, bool store);
  void ChooseTarget(Target target);
  void ShowModeParts(int mode);
  // The colour the colour controls edit: the target in the two-colour mode,
  // else the record colour.
  Rgb EditedColour() const;
  void SetEditedColour(Rgb c);
  // The button that shows the edited colour.
  std::string_view EditedButton() const;
  void ResetEffect();
  void Commit();

  profiles::LiveData& live_;
  profiles::ProfileSaver& saver_;
  MouseEffectState& effect_;
  LightPushFlags& pushFlags_;
  device::CDeviceLink& link_;
  Target target_ = Target::ColourA;
};

}  // namespace talvo::lighting::pages
