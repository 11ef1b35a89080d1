// What the three lighting tabs share: choosing a mode, a brightness, a speed
// and a colour, checked, each shown on its control and carried out as the
// user's change of that control is. The tabs' own notification handlers
// call these setters, so a change made by another program runs the code a
// change made by hand runs. Everything runs on the UI thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/peripheral.h"
#include "lighting/light_records.h"
#include "pages/lighting/page_view.h"
#include "pages/page_outcome.h"
#include "pages/peripheral_traits.h"
#include "toolkit/toolkit.h"

namespace talvo::lighting::pages {

// A lighting tab's settings as its controls show them.
struct LightingState {
  int mode = 0;
  int brightness = 0;  // slider position
  int speed = 0;       // slider position
  Rgb colour;
  int onboardProfile = 0;  // the record's, 0-based
};

// What a lighting change sets; what is not given stays.
struct LightingChange {
  std::optional<int> mode;
  std::optional<int> brightness;
  std::optional<int> speed;
  std::optional<Rgb> colour;
};

class LightingPage {
 public:
  virtual ~LightingPage() = default;

  // The modes as the mode list shows them, in order.
  std::vector<std::string> ModeNames() const;
  // From the record alone: cheap enough for every SDK update.
  virtual LightingState State() const = 0;

  ::talvo::pages::Outcome SetMode(int mode);
  ::talvo::pages::Outcome SetBrightness(int position);
  ::talvo::pages::Outcome SetSpeed(int position);
  ::talvo::pages::Outcome SetColour(Rgb colour);
  // Checked whole before anything changes, then set in the order a user
  // goes: the mode first, as choosing it shows the mode's own controls. A
  // mode the list already shows is not chosen again, as the list raises
  // nothing for it.
  ::talvo::pages::Outcome Apply(const LightingChange& change);

 protected:
  LightingPage(toolkit::Window& window, device::Peripheral peripheral)
      : view_(window), traits_(::talvo::pages::TraitsOf(peripheral)) {}

  // The mode list, the sliders and the palette as the tabs bind them: each
  // hands its control's value to its setter.
  void OnModeCombo(const toolkit::Notification& n, int) { SetMode(int(n.wParam)); }
  void OnBrightnessSlider(const toolkit::Notification& n, int) { SetBrightness(SliderPosition(n.wParam)); }
  void OnSpeedSlider(const toolkit::Notification& n, int) { SetSpeed(SliderPosition(n.wParam)); }
  void OnPalette(const toolkit::Notification& n, int) { SetColour(RgbOfArgb(uint32_t(n.wParam))); }

  // What the tab does once the control shows the value.
  virtual void ModeChosen(int mode) = 0;
  // The brightness or speed: the record field (LightFields::kBrightness,
  // kSpeed) and its value.
  virtual void SliderChosen(size_t field, uint8_t value) = 0;
  virtual void ColourChosen(Rgb colour) = 0;

  template <typename Record>
  static LightingState StateOf(const Record& record) {
    return {.mode = record.mode(),
            .brightness = std::min<int>(record.brightness(), kSliderMax),
            .speed = std::clamp(SliderOfSpeed(record.speed()), 0, kSliderMax),
            .colour = record.colour(),
            .onboardProfile = record.profile()};
  }

  PageView view_;

 private:
  ::talvo::pages::Outcome CheckMode(int mode) const;

  const ::talvo::pages::PeripheralTraits& traits_;
};

}  // namespace talvo::lighting::pages
