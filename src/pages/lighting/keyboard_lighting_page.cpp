#include "pages/lighting/keyboard_lighting_page.h"

#include <array>

#include "lighting/led_model.h"

namespace talvo::lighting::pages {
namespace {

using device::Peripheral;

constexpr std::string_view kModeCombo = "kb_deng_combo_modeSelect";
constexpr std::string_view kSetCombo = "kb_deng_combo_curtom_count";
constexpr std::string_view kLightSlider = "kb_deng_light_slider";
constexpr std::string_view kSpeedSlider = "kb_deng_speed_slider";
constexpr std::string_view kMultiCheck = "kb_Deng_7color_check";
constexpr std::string_view kLeftCheck = "kb_Deng_FXL_check";
constexpr std::string_view kRightCheck = "kb_Deng_FXR_check";
constexpr std::string_view kBrightCheck = "kb_Deng_all_bright_check";
constexpr std::string_view kKillCheck = "kb_Deng_all_kill_check";
constexpr std::string_view kPalette = "kb_deng_Color_Pallet";
constexpr std::string_view kColourButton = "kb_Deng_colordp_btn";
constexpr std::string_view kPaintButton = "kb_Deng_custom_colordp_btn";
constexpr std::string_view kEdits = "kb_Deng_edit_";
constexpr std::string_view kLightingTab = "kb_deng_Op_tab";

// Parts per mode: 1 shown, 0 hidden, -1 unchanged; the direction labels of
// the two direction checks.
struct ModeParts {
  int8_t fx, colour, multi, speed, sameMode;
  const char* leftLabel;
  const char* rightLabel;
};
constexpr const char* kL = "Deng_FXL_text";
constexpr const char* kR = "Deng_FXR_text";
constexpr std::array<ModeParts, kKeyboardModeCount> kModeParts{{
    {1, 1, 1, 1, 1, kL, kR},
    {0, 0, 0, 1, 1, kL, kR},
    {0, 1, 1, 1, 1, kL, kR},
    {0, 1, 0, 0, 1, kL, kR},
    {0, 0, 0, 1, 0, kL, kR},
    {0, 1, 1, 1, 0, kL, kR},
    {0, 1, 1, 1, 0, kL, kR},
    {1, 1, 1, 1, 0, kL, kR},
    {0, 1, 0, 0, 0, kL, kR},
    {0, 1, 1, -1, 0, kL, kR},
    {1, 0, 0, -1, 0, "Deng_FXU_text", "Deng_FXD_text"},
    {0, 1, 1, -1, 0, kL, kR},
    {1, 1, 1, -1, 0, kL, kR},
    {1, 0, 0, -1, 0, "Deng_FXJ_text", "Deng_FXK_text"},
    {1, 1, 1, -1, 0, kL, kR},
    {0, 1, 1, -1, 0, kL, kR},
    {0, 1, 1, -1, 0, kL, kR},
}};

}  // namespace

KeyboardLightingPage::KeyboardLightingPage(toolkit::Window& window, profiles::LiveData& live,
                                           profiles::ProfileSaver& saver, KbEffectState& effect,
                                           LightPushFlags& pushFlags,
                                           device::CDeviceLink& keyboardLink)
    : LightingPage(window, Peripheral::Keyboard),
      live_(live),
      saver_(saver),
      effect_(effect),
      pushFlags_(pushFlags),
      link_(keyboardLink) {}

std::span<const ::talvo::pages::ControlBinding<KeyboardLightingPage>> KeyboardLightingPage::Bindings() {
  using namespace ::talvo::pages;
  using P = KeyboardLightingPage;
  static constexpr std::array<ControlBinding<P>, 15> kBindings{{
      {Exact("itemselect", kModeCombo), &P::OnModeCombo},
      {Exact("itemselect", kSetCombo), &P::OnSetCombo},
      // The keyboard commits its sliders on release only.
      {Exact("valuechanged", kLightSlider), &P::OnBrightnessSlider},
      {Exact("valuechanged", kSpeedSlider), &P::OnSpeedSlider},
      {Exact("selectchanged", kMultiCheck), &P::OnMultiCheck},
      {Exact("selectchanged", kLeftCheck, 1), &P::OnDirectionCheck},
      {Exact("selectchanged", kRightCheck, 0), &P::OnDirectionCheck},
      {Exact("selectchanged", kBrightCheck, 1).LeavingPage(), &P::OnFillCheck},
      {Exact("selectchanged", kKillCheck, 0).LeavingPage(), &P::OnFillCheck},
      {Exact("colorchanged", kPalette), &P::OnPalette},
      {Exact("textchanged", "kb_Deng_edit_R", 0), &P::OnColourEdit},
      {Exact("textchanged", "kb_Deng_edit_G", 1), &P::OnColourEdit},
      {Exact("textchanged", "kb_Deng_edit_B", 2), &P::OnColourEdit},
      {Family("click", "kb_Deng_color_btn_", 0, int(kSwatchColours.size()) - 1), &P::OnSwatch},
      // The same key buttons assign keys on the key tab.
      {Family("click", "kb_key_"), &P::OnPictureKey},
  }};
  return kBindings;
}

void KeyboardLightingPage::OnSetCombo(const toolkit::Notification& n, int) {
  if (n.wParam < 0 || n.wParam >= int64_t(CustomColourSets::kSets)) return;
  live_.keyboardLight.paint.SetCustomSetIndex(uint8_t(n.wParam));
  SaveProfiles();
}



void KeyboardLightingPage::OnMultiCheck(const toolkit::Notification& n, int) {
  live_.keyboardLight.record.SetMultiColour(n.wParam != 0 ? 1 : 0);
  Commit();
}

void KeyboardLightingPage::OnDirectionCheck(const toolkit::Notification&, int left) {
  view_.Check(kLeftCheck, left != 0);
  view_.Check(kRightCheck, left == 0);
  live_.keyboardLight.record.SetDirection(left != 0 ? 1 : 0);
  Commit();
}

void KeyboardLightingPage::OnFillCheck(const toolkit::Notification&, int bright) {
  view_.Check(kBrightCheck, bright != 0);
  view_.Check(kKillCheck, bright == 0);
  FillCustomSet(bright != 0, bright != 0 ? live_.keyboardLight.paint.paintColour() : Rgb{});
  SaveProfiles();
}


void KeyboardLightingPage::OnSwatch(const toolkit::Notification&, int swatch) {
  ChooseColour(kSwatchColours[size_t(swatch)], true);
}

void KeyboardLightingPage::OnPictureKey(const toolkit::Notification&, int key) {
  // Only the lighting tab paints with the keys.
  if (view_.IsSelected(kLightingTab)) OnKeyClicked(key);
}

void KeyboardLightingPage::ModeChosen(int mode) {
  if (mode < 0 || mode >= kKeyboardModeCount) return;
  ResetKbState(effect_);
  ShowModeParts(mode);
  StartKeyboardMode(uint8_t(mode), effect_);
  const Rgb current =
      mode == kKeyboardCustomMode ? live_.keyboardLight.paint.paintColour() : live_.keyboardLight.record.colour();
  ChooseColour(current, false);
  live_.keyboardLight.record.SetMode(uint8_t(mode));
  Commit();
}

void KeyboardLightingPage::SliderChosen(size_t field, uint8_t value) {
  live_.keyboardLight.record.Set(field, value);
  Commit();
}

void KeyboardLightingPage::ColourChosen(Rgb colour) { ChooseColour(colour, true); }

LightingState KeyboardLightingPage::State() const { return StateOf(live_.keyboardLight.record); }

void KeyboardLightingPage::OnColourEdit(const toolkit::Notification& n, int component) {
  const std::optional<uint8_t> typed = view_.TypedComponent(n);
  if (!typed) return;
  if (ComboShowsCustomMode()) {
    const Rgb c = WithComponent(live_.keyboardLight.paint.paintColour(), component, *typed);
    live_.keyboardLight.paint.SetPaintColour(c);
    view_.SetBk(kPaintButton, c);
    view_.SetPalette(kPalette, c);
    SaveProfiles();
    return;
  }
  LightRecord& record = live_.keyboardLight.record;
  const Rgb c = WithComponent(record.colour(), component, *typed);
  record.SetColour(c);
  record.SetMultiColour(0);
  view_.Check(kMultiCheck, false);
  view_.SetBk(kColourButton, c);
  view_.SetPalette(kPalette, c);
  Commit();
}

void KeyboardLightingPage::OnKeyClicked(int led) {
  if (led < 0 || led >= int(kKeyboardLeds)) return;
  const uint8_t mode = live_.keyboardLight.record.mode();
  if (mode == kKeyboardCustomMode) {
    live_.keyboardLight.custom.SetColour(live_.keyboardLight.paint.customSetIndex(), kLedFrameMap[size_t(led)],
                                         live_.keyboardLight.paint.paintColour());
    SaveProfiles();
  } else if (mode == kKeyboardStarsMode) {
    SeedWave(effect_, size_t(led));
  }
}

void KeyboardLightingPage::ChooseColour(Rgb c, bool store) {
  view_.ShowComponents(kEdits, c);
  if (ComboShowsCustomMode()) {
    view_.SetBk(kPaintButton, c);
    if (store) {
      live_.keyboardLight.paint.SetPaintColour(c);
      SaveProfiles();
    }
    return;
  }
  view_.SetBk(kColourButton, c);
  view_.SetPalette(kPalette, c);
  if (store) {
    view_.Check(kMultiCheck, false);
    live_.keyboardLight.record.SetColour(c);
    live_.keyboardLight.record.SetMultiColour(0);
    Commit();
  }
}

void KeyboardLightingPage::ShowModeParts(int mode) {
  view_.Show("kb_deng_fx_layout", true);
  view_.Show("kb_deng_7colorselect_layout", true);
  view_.Show("kb_deng_color_display_layout", true);
  view_.Show("kb_deng_custom_tool_layout", false);
  view_.Show("kb_deng_custom_select_layout", false);
  view_.Show("kb_deng_custom_color_layout", false);
  if (mode < 0 || mode >= kKeyboardModeCount) return;
  const ModeParts& parts = kModeParts[size_t(mode)];
  view_.ShowPart("kb_deng_fx_layout", parts.fx);
  view_.ShowPart("kb_deng_color_layout", parts.colour);
  view_.ShowPart("kb_deng_7colorselect_layout", parts.multi);
  view_.ShowPart("kb_deng_speed_layout", parts.speed);
  view_.ShowPart("kb_deng_same_mode", parts.sameMode);
  view_.SetTextId(kLeftCheck, parts.leftLabel);
  view_.SetTextId(kRightCheck, parts.rightLabel);
  if (mode == kKeyboardCustomMode) {
    view_.Show("kb_deng_color_display_layout", false);
    view_.Show("kb_deng_custom_tool_layout", true);
    view_.Show("kb_deng_custom_select_layout", true);
    view_.Show("kb_deng_custom_color_layout", true);
  }
}

void KeyboardLightingPage::FillCustomSet(bool onlyUnpainted, Rgb c) {
  CustomColourSets& sets = live_.keyboardLight.custom;
  const uint8_t set = live_.keyboardLight.paint.customSetIndex();
  for (size_t p = 0; p < CustomColourSets::kPositions; ++p)
    if (!onlyUnpainted || sets.Colour(set, p) == Rgb{}) sets.SetColour(set, p, c);
}

bool KeyboardLightingPage::ComboShowsCustomMode() const {
  return view_.CurrentIndex(kModeCombo) == kKeyboardCustomMode;
}

void KeyboardLightingPage::Refresh() {
  const LightRecord& record = live_.keyboardLight.record;
  const CustomPaint& paint = live_.keyboardLight.paint;
  const int mode = record.mode();
  view_.SelectItem(kModeCombo, mode);
  ShowModeParts(mode);
  view_.SetSlider(kLightSlider, record.brightness());
  view_.SetSlider(kSpeedSlider, SliderOfSpeed(record.speed()));
  view_.SetBk(kColourButton, record.colour());
  view_.SetBk(kPaintButton, paint.paintColour());
  const Rgb shown = mode == kKeyboardCustomMode ? paint.paintColour() : record.colour();
  view_.SetPalette(kPalette, shown);
  view_.ShowComponents(kEdits, shown);
  view_.Check(kMultiCheck, record.multiColour() != 0);
  view_.Check(kLeftCheck, record.direction() != 0);
  view_.Check(kRightCheck, record.direction() == 0);
  view_.SelectItem(kSetCombo, paint.customSetIndex());
}

void KeyboardLightingPage::Commit() {
  pushFlags_.Mark(Peripheral::Keyboard);
  SaveProfiles();
  link_.syncActive.store(0);
}

void KeyboardLightingPage::SaveProfiles() {
  saver_.MarkLightAndDevice(Peripheral::Keyboard);
}

}  // namespace talvo::lighting::pages
