// The mousepad's lighting tab: mode, brightness, speed, direction and
// colour.
//
// A change of the light record ends with the mousepad's commit: the record
// push is marked and the mousepad light profile is saved; a new mode also
// ends synchronized lighting on the mousepad. Everything runs on the UI
// thread; with the mousepad absent the record and file still change.
#pragma once

#include <atomic>
#include <span>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/device_link.h"
#include "lighting/light_records.h"
#include "pages/lighting/lighting_page.h"
#include "pages/lighting/mode_states.h"
#include "pages/lighting/page_view.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"

namespace talvo::lighting::pages {

// Modes 0..8 are computed; mode 9 is offered but nobody computes it.
inline constexpr int kMousepadModeCount = 10;
inline constexpr uint8_t kMousepadCometMode = 5;

class MousepadLightingPage final : public LightingPage {
 public:
  // Every reference must outlive the page; the window holds the tab.
  // flashTrigger: the mouse's flash request, which the flash mode must not
  // find left over when it starts.
  MousepadLightingPage(toolkit::Window& window, profiles::LiveData& live, profiles::ProfileSaver& saver,
                       MousepadEffectState& effect, LightPushFlags& pushFlags, device::CDeviceLink& mousepadLink,
                       std::atomic<uint32_t>& flashTrigger);

  // The controls of the mousepad's lighting tab the page handles.
  static std::span<const ::talvo::pages::ControlBinding<MousepadLightingPage>> Bindings();

  // Sets every lighting control of the tab from the live record (and starts
  // the comet's ring when the record shows that mode); stores and pushes
  // nothing.
  void Refresh() {
    StartCometRing();
    Show();
  }
  void StartCometRing();
  void Show();

  LightingState State() const override;

 private:
  void ModeChosen(int mode) override;
  void SliderChosen(size_t field, uint8_t value) override;
  void ColourChosen(Rgb colour) override;
  void OnMultiCheck(const toolkit::Notification& n, int);
  void OnDirectionCheck(const toolkit::Notification& n, int left);
  void OnSwatch(const toolkit::Notification& n, int swatch);
  // component: 0 red, 1 green, 2 blue.
  void OnColourEdit(const toolkit::Notification& n, int component);
  void ChooseColour(Rgb c);
  void ShowModeParts(int mode);
  void Commit();

  profiles::LiveData& live_;
  profiles::ProfileSaver& saver_;
  MousepadEffectState& effect_;
  LightPushFlags& pushFlags_;
  device::CDeviceLink& link_;
  std::atomic<uint32_t>& flashTrigger_;
};

}  // namespace talvo::lighting::pages
