#include "pages/lighting/mousepad_lighting_page.h"

#include <array>
#include <string_view>


namespace talvo::lighting::pages {
namespace {

using device::Peripheral;

constexpr std::string_view kModeCombo = "mp_deng_combo_modeSelect";
constexpr std::string_view kLightSlider = "mp_deng_light_slider";
constexpr std::string_view kSpeedSlider = "mp_deng_speed_slider";
constexpr std::string_view kMultiCheck = "mp_Deng_7color_check";
constexpr std::string_view kLeftCheck = "mp_Deng_FXL_check";
constexpr std::string_view kRightCheck = "mp_Deng_FXR_check";
constexpr std::string_view kColourButton = "mp_Deng_colordp_btn";
constexpr std::string_view kPalette = "mp_deng_Color_Pallet";
constexpr std::string_view kEdits = "mp_Deng_edit_";

// Parts per mode: 1 shown, 0 hidden, -1 unchanged.
struct ModeParts {
  int8_t fx, colour, multi, speed, sameMode;
};
constexpr std::array<ModeParts, kMousepadModeCount> kModeParts{{
    {1, 1, 1, 1, 1},
    {0, 0, 0, 1, 1},
    {0, 1, 1, 1, 1},
    {0, 1, 0, 0, 1},
    {1, 1, 1, 1, 0},
    {1, 1, 1, 1, 0},
    {1, 0, 0, 1, 0},
    {0, 1, 1, 1, 0},
    {0, 1, 1, 0, 0},
    {0, 1, 1, -1, 0},
}};

}  // namespace

MousepadLightingPage::MousepadLightingPage(toolkit::Window& window, profiles::LiveData& live, profiles::ProfileSaver& saver,
                                           MousepadEffectState& effect, LightPushFlags& pushFlags,
                                           device::CDeviceLink& mousepadLink, std::atomic<uint32_t>& flashTrigger)
    : LightingPage(window, Peripheral::Mousepad),
      live_(live),
      saver_(saver),
      effect_(effect),
      pushFlags_(pushFlags),
      link_(mousepadLink),
      flashTrigger_(flashTrigger) {}

std::span<const ::talvo::pages::ControlBinding<MousepadLightingPage>> MousepadLightingPage::Bindings() {
  using namespace ::talvo::pages;
  using P = MousepadLightingPage;
  static constexpr std::array<ControlBinding<P>, 13> kBindings{{
      {Exact("itemselect", kModeCombo), &P::OnModeCombo},
      {Exact("valuechanged", kLightSlider), &P::OnBrightnessSlider},
      {Exact("movevaluechanged", kLightSlider), &P::OnBrightnessSlider},
      {Exact("valuechanged", kSpeedSlider), &P::OnSpeedSlider},
      {Exact("movevaluechanged", kSpeedSlider), &P::OnSpeedSlider},
      {Exact("selectchanged", kMultiCheck), &P::OnMultiCheck},
      {Exact("selectchanged", kLeftCheck, 1), &P::OnDirectionCheck},
      {Exact("selectchanged", kRightCheck, 0), &P::OnDirectionCheck},
      {Exact("colorchanged", kPalette), &P::OnPalette},
      {Exact("textchanged", "mp_Deng_edit_R", 0), &P::OnColourEdit},
      {Exact("textchanged", "mp_Deng_edit_G", 1), &P::OnColourEdit},
      {Exact("textchanged", "mp_Deng_edit_B", 2), &P::OnColourEdit},
      {Family("click", "mp_Deng_color_btn_", 0, int(kSwatchColours.size()) - 1), &P::OnSwatch},
  }};
  return kBindings;
}



void MousepadLightingPage::OnMultiCheck(const toolkit::Notification& n, int) {
  live_.mousepadLight.record.SetMultiColour(n.wParam != 0 ? 1 : 0);
  Commit();
}

void MousepadLightingPage::OnDirectionCheck(const toolkit::Notification&, int left) {
  live_.mousepadLight.record.SetDirection(left != 0 ? 1 : 0);
  Commit();
}

void MousepadLightingPage::OnSwatch(const toolkit::Notification&, int swatch) {
  ChooseColour(kSwatchColours[size_t(swatch)]);
}

void MousepadLightingPage::ModeChosen(int mode) {
  if (mode < 0 || mode >= kMousepadModeCount) return;
  StartMousepadMode(uint8_t(mode), effect_, flashTrigger_);
  ShowModeParts(mode);
  live_.mousepadLight.record.SetMode(uint8_t(mode));
  Commit();
  link_.syncActive.store(0);
}

void MousepadLightingPage::SliderChosen(size_t field, uint8_t value) {
  live_.mousepadLight.record.Set(field, value);
  Commit();
}

void MousepadLightingPage::ColourChosen(Rgb colour) { ChooseColour(colour); }

LightingState MousepadLightingPage::State() const { return StateOf(live_.mousepadLight.record); }

void MousepadLightingPage::OnColourEdit(const toolkit::Notification& n, int component) {
  const std::optional<uint8_t> typed = view_.TypedComponent(n);
  if (!typed) return;
  LightRecord& record = live_.mousepadLight.record;
  const Rgb c = WithComponent(record.colour(), component, *typed);
  record.SetColour(c);
  record.SetMultiColour(0);
  view_.Check(kMultiCheck, false);
  view_.SetBk(kColourButton, c);
  view_.SetPalette(kPalette, c);
  Commit();
}

void MousepadLightingPage::ChooseColour(Rgb c) {
  view_.SetBk(kColourButton, c);
  view_.SetPalette(kPalette, c);
  view_.ShowComponents(kEdits, c);
  view_.Check(kMultiCheck, false);
  LightRecord& record = live_.mousepadLight.record;
  record.SetColour(c);
  record.SetMultiColour(0);
  Commit();
}

void MousepadLightingPage::ShowModeParts(int mode) {
  if (mode < 0 || mode >= kMousepadModeCount) return;
  const ModeParts& parts = kModeParts[size_t(mode)];
  view_.ShowPart("mp_deng_fx_layout", parts.fx);
  view_.ShowPart("mp_deng_color_layout", parts.colour);
  view_.ShowPart("mp_deng_7colorselect_layout", parts.multi);
  view_.ShowPart("mp_deng_speed_layout", parts.speed);
  view_.ShowPart("mp_deng_same_mode", parts.sameMode);
}

void MousepadLightingPage::StartCometRing() {
  if (live_.mousepadLight.record.mode() == kMousepadCometMode) effect_.SetRing(0, 1);
}

void MousepadLightingPage::Show() {
  const LightRecord& record = live_.mousepadLight.record;
  const int mode = record.mode();
  view_.SelectItem(kModeCombo, mode);
  ShowModeParts(mode);
  view_.SetSlider(kLightSlider, record.brightness());
  view_.SetSlider(kSpeedSlider, SliderOfSpeed(record.speed()));
  view_.SetBk(kColourButton, record.colour());
  view_.SetPalette(kPalette, record.colour());
  view_.ShowComponents(kEdits, record.colour());
  view_.Check(kMultiCheck, record.multiColour() != 0);
  view_.Check(kLeftCheck, record.direction() != 0);
  view_.Check(kRightCheck, record.direction() == 0);
}

void MousepadLightingPage::Commit() {
  pushFlags_.Mark(Peripheral::Mousepad);
  saver_.Mark(Peripheral::Mousepad, profiles::ProfileKind::Lighting);
}

}  // namespace talvo::lighting::pages
