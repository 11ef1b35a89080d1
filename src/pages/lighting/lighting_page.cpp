#include "pages/lighting/lighting_page.h"

namespace talvo::lighting::pages {
namespace {

using ::talvo::pages::Outcome;
using ::talvo::pages::Refusal;

Outcome CheckPosition(int position, const char* what) {
  if (position >= 0 && position <= kSliderMax) return std::nullopt;
  return Refusal::Invalid(std::string(what) + " must be 0 to " + std::to_string(kSliderMax));
}

}  // namespace

std::vector<std::string> LightingPage::ModeNames() const {
  std::vector<std::string> names;
  if (const toolkit::Control* list = view_.Find(traits_.modeCombo))
    for (int i = 0; i < list->Count(); ++i) names.push_back(list->ItemText(i));
  return names;
}

Outcome LightingPage::CheckMode(int mode) const {
  const toolkit::Control* list = view_.Find(traits_.modeCombo);
  if (list && mode >= 0 && mode < list->Count()) return std::nullopt;
  return Refusal::Invalid("the " + std::string(traits_.name) + " has no lighting mode " + std::to_string(mode));
}

Outcome LightingPage::SetMode(int mode) {
  if (auto refused = CheckMode(mode)) return refused;
  view_.SelectItem(traits_.modeCombo, mode);
  ModeChosen(mode);
  return std::nullopt;
}

Outcome LightingPage::SetBrightness(int position) {
  if (auto refused = CheckPosition(position, "brightness")) return refused;
  view_.SetSlider(traits_.brightnessSlider, position);
  SliderChosen(LightRecord::kBrightness, uint8_t(position));
  return std::nullopt;
}

Outcome LightingPage::SetSpeed(int position) {
  if (auto refused = CheckPosition(position, "speed")) return refused;
  view_.SetSlider(traits_.speedSlider, position);
  // The record counts speed down from the slider's right end.
  SliderChosen(LightRecord::kSpeed, uint8_t(kSliderMax - position));
  return std::nullopt;
}

Outcome LightingPage::SetColour(Rgb colour) {
  view_.SetPalette(traits_.palette, colour);
  ColourChosen(colour);
  return std::nullopt;
}

Outcome LightingPage::Apply(const LightingChange& change) {
  for (std::string_view control : {traits_.modeCombo, traits_.brightnessSlider, traits_.speedSlider, traits_.palette})
    if (!view_.Find(control)) return Refusal::Failed("the " + std::string(traits_.name) + "'s lighting page is missing");
  if (change.mode)
    if (auto refused = CheckMode(*change.mode)) return refused;
  if (change.brightness)
    if (auto refused = CheckPosition(*change.brightness, "brightness")) return refused;
  if (change.speed)
    if (auto refused = CheckPosition(*change.speed, "speed")) return refused;

  if (change.mode && *change.mode != view_.CurrentIndex(traits_.modeCombo)) SetMode(*change.mode);
  if (change.brightness) SetBrightness(*change.brightness);
  if (change.speed) SetSpeed(*change.speed);
  if (change.colour) SetColour(*change.colour);
  return std::nullopt;
}

}  // namespace talvo::lighting::pages
