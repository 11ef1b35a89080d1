#include "pages/lighting/mouse_lighting_page.h"

#include <array>


namespace talvo::lighting::pages {
namespace {

using device::Peripheral;

constexpr std::string_view kModeCombo = "ms_deng_combo_modeSelect2";
constexpr std::string_view kModeSwitch = "ms_deng_mode_switch";
constexpr int kModeSwitchPage = 2;
constexpr std::string_view kLightSlider = "ms_deng_light_slider";
constexpr std::string_view kSpeedSlider = "ms_deng_speed_slider";
constexpr std::string_view kMultiCheck = "ms_Deng_7color_check";
constexpr std::string_view kLeftCheck = "ms_Deng_FXL_check";
constexpr std::string_view kRightCheck = "ms_Deng_FXR_check";
constexpr std::string_view kLeftButton = "ms_Deng_FXL_btn";
constexpr std::string_view kRightButton = "ms_Deng_FXR_btn";
constexpr std::string_view kColourAButton = "ms_Deng_colordm_btn";
constexpr std::string_view kColourBButton = "ms_Deng_colordk_btn";
constexpr std::string_view kColourButton = "ms_Deng_colordp_btn";
constexpr std::string_view kPalette = "ms_deng_Color_Pallet";
constexpr std::string_view kLump = "ms_Deng_color_lump";
constexpr std::string_view kEdits = "ms_Deng_edit_";
constexpr uint32_t kTargetBorder = 0xFFFFFFFF;

// Parts per mode: 1 shown, 0 hidden, -1 unchanged.
struct ModeParts {
  int8_t fx, colour, multi, twoColours, speed, palette, lump, sameMode;
};
constexpr std::array<ModeParts, kMouseModeCount> kModeParts{{
    {0, 0, 0, 0, 1, 0, -1, 1},
    {0, 1, 0, 1, 1, 1, 0, 1},
    {0, 1, 0, 0, 0, 1, 1, 1},
    {0, 1, 0, -1, 0, 1, -1, 1},
    {1, 1, 1, -1, 1, 1, -1, 0},
    {1, 1, 1, -1, 1, 1, -1, 0},
    {0, 1, 1, -1, 1, 1, -1, 0},
}};

}  // namespace

MouseLightingPage::MouseLightingPage(toolkit::Window& window, profiles::LiveData& live, profiles::ProfileSaver& saver,
                                     MouseEffectState& effect, LightPushFlags& pushFlags, device::CDeviceLink& mouseLink)
    : LightingPage(window, Peripheral::Mouse),
      live_(live),
      saver_(saver),
      effect_(effect),
      pushFlags_(pushFlags),
      link_(mouseLink) {}

std::span<const ::talvo::pages::ControlBinding<MouseLightingPage>> MouseLightingPage::Bindings() {
  using namespace ::talvo::pages;
  using P = MouseLightingPage;
  static constexpr std::array<ControlBinding<P>, 17> kBindings{{
      {Exact("itemselect", kModeCombo), &P::OnModeCombo},
      {Exact("valuechanged", kLightSlider), &P::OnBrightnessSlider},
      {Exact("movevaluechanged", kLightSlider), &P::OnBrightnessSlider},
      {Exact("valuechanged", kSpeedSlider), &P::OnSpeedSlider},
      {Exact("movevaluechanged", kSpeedSlider), &P::OnSpeedSlider},
      {Exact("selectchanged", kMultiCheck), &P::OnMultiCheck},
      {Exact("selectchanged", kLeftCheck, 1), &P::OnDirectionCheck},
      {Exact("selectchanged", kRightCheck, 0), &P::OnDirectionCheck},
      {Exact("colorchanged", kPalette), &P::OnPalette},
      {Exact("textchanged", "ms_Deng_edit_R", 0), &P::OnColourEdit},
      {Exact("textchanged", "ms_Deng_edit_G", 1), &P::OnColourEdit},
      {Exact("textchanged", "ms_Deng_edit_B", 2), &P::OnColourEdit},
      {Family("click", "ms_Deng_color_btn_", 0, int(kSwatchColours.size()) - 1), &P::OnSwatch},
      {Exact("click", kLeftButton, 1), &P::OnDirectionButton},
      {Exact("click", kRightButton, 0), &P::OnDirectionButton},
      {Exact("click", kColourAButton, int(Target::ColourA)), &P::OnTargetButton},
      {Exact("click", kColourBButton, int(Target::ColourB)), &P::OnTargetButton},
  }};
  return kBindings;
}



void MouseLightingPage::OnMultiCheck(const toolkit::Notification& n, int) {
  // The mouse's check shows the single-colour state.
  live_.mouseLight.record.SetMultiColour(n.wParam != 0 ? 0 : 1);
  Commit();
}

void MouseLightingPage::OnDirectionCheck(const toolkit::Notification&, int left) {
  live_.mouseLight.record.SetDirection(left != 0 ? 1 : 0);
  Commit();
  ResetEffect();
}

void MouseLightingPage::OnDirectionButton(const toolkit::Notification&, int left) {
  // The buttons count the other way round from the checks.
  live_.mouseLight.record.SetDirection(left != 0 ? 0 : 1);
  Commit();
}

void MouseLightingPage::OnTargetButton(const toolkit::Notification&, int target) { ChooseTarget(Target(target)); }


void MouseLightingPage::OnSwatch(const toolkit::Notification&, int swatch) {
  ChooseColour(kSwatchColours[size_t(swatch)], true);
}

void MouseLightingPage::ModeChosen(int mode) {
  if (mode < 0 || mode >= kMouseModeCount) return;
  ResetEffect();
  ShowModeParts(mode);
  live_.mouseLight.record.SetMode(uint8_t(mode));
  Commit();
  link_.syncActive.store(0);
}

void MouseLightingPage::SliderChosen(size_t field, uint8_t value) {
  live_.mouseLight.record.Set(field, value);
  Commit();
}

void MouseLightingPage::ColourChosen(Rgb colour) { ChooseColour(colour, true); }

LightingState MouseLightingPage::State() const { return StateOf(live_.mouseLight.record); }

void MouseLightingPage::OnColourEdit(const toolkit::Notification& n, int component) {
  const std::optional<uint8_t> typed = view_.TypedComponent(n);
  if (!typed) return;
  const Rgb c = WithComponent(EditedColour(), component, *typed);
  SetEditedColour(c);
  view_.SetBk(EditedButton(), c);
  view_.SetPalette(kPalette, c);
  Commit();
}

void MouseLightingPage::ChooseColour(Rgb c, bool store) {
  view_.ShowComponents(kEdits, c);
  view_.SetBk(EditedButton(), c);
  view_.SetPalette(kPalette, c);
  if (store) {
    SetEditedColour(c);
    Commit();
  }
}

void MouseLightingPage::ChooseTarget(Target target) {
  target_ = target;
  toolkit::Control* chosen = view_.Find(target == Target::ColourA ? kColourAButton : kColourBButton);
  toolkit::Control* other = view_.Find(target == Target::ColourA ? kColourBButton : kColourAButton);
  if (chosen) {
    chosen->SetBorderSize(1);
    chosen->SetBorderColor(kTargetBorder);
  }
  if (other) other->SetBorderColor(0);
  // The edits and the palette show the colour that edits now go to; nothing
  // is stored.
  view_.ShowComponents(kEdits, EditedColour());
  view_.SetPalette(kPalette, EditedColour());
}

void MouseLightingPage::ShowModeParts(int mode) {
  if (mode < 0 || mode >= kMouseModeCount) return;
  const ModeParts& parts = kModeParts[size_t(mode)];
  view_.ShowPart("ms_deng_fx_layout", parts.fx);
  view_.ShowPart("ms_deng_color_layout", parts.colour);
  view_.ShowPart("ms_deng_7colorselect_layout", parts.multi);
  view_.ShowPart("ms_deng_2colorselect_layout", parts.twoColours);
  view_.ShowPart("ms_deng_speed_layout", parts.speed);
  view_.ShowPart(kPalette, parts.palette);
  view_.ShowPart(kLump, parts.lump);
  view_.ShowPart("ms_deng_same_mode", parts.sameMode);
}

Rgb MouseLightingPage::EditedColour() const {
  const MouseSettingsRecord& record = live_.mouseLight.record;
  if (record.mode() != kMouseTwoColourMode) return record.colour();
  return target_ == Target::ColourA ? record.colourA() : record.colourB();
}

void MouseLightingPage::SetEditedColour(Rgb c) {
  MouseSettingsRecord& record = live_.mouseLight.record;
  if (record.mode() != kMouseTwoColourMode)
    record.SetColour(c);
  else if (target_ == Target::ColourA)
    record.SetColourA(c);
  else
    record.SetColourB(c);
}

std::string_view MouseLightingPage::EditedButton() const {
  if (live_.mouseLight.record.mode() != kMouseTwoColourMode) return kColourButton;
  return target_ == Target::ColourA ? kColourAButton : kColourBButton;
}

void MouseLightingPage::Refresh() {
  const MouseSettingsRecord& record = live_.mouseLight.record;
  const int mode = record.mode();
  view_.SelectItem(kModeCombo, mode);
  if (toolkit::Control* modes = view_.Find(kModeSwitch)) modes->SelectPage(kModeSwitchPage);
  ShowModeParts(mode);
  view_.SetSlider(kLightSlider, record.brightness());
  view_.SetSlider(kSpeedSlider, SliderOfSpeed(record.speed()));
  view_.SetBk(kColourButton, record.colour());
  view_.SetBk(kColourAButton, record.colourA());
  view_.SetBk(kColourBButton, record.colourB());
  view_.SetPalette(kPalette, EditedColour());
  view_.ShowComponents(kEdits, EditedColour());
  view_.Check(kMultiCheck, record.multiColour() == 0);
  view_.Check(kLeftCheck, record.direction() != 0);
  view_.Check(kRightCheck, record.direction() == 0);
}

void MouseLightingPage::ResetEffect() { effect_ = MouseEffectState{}; }

void MouseLightingPage::Commit() {
  pushFlags_.Mark(Peripheral::Mouse);
  saver_.MarkLightAndDevice(Peripheral::Mouse);
}

}  // namespace talvo::lighting::pages
