#include "pages/remote/page_actions.h"

#include <algorithm>
#include <charconv>

#include "pages/lighting/page_view.h"
#include "pages/mouse/mouse_performance_page.h"
#include "pages/peripheral_traits.h"
#include "pages/profiles/profile_lists.h"
#include "platform/ascii.h"

namespace talvo::pages::remote {

namespace {

using device::Peripheral;

constexpr int kSliderMax = 4;
constexpr int kOnboardProfiles = 5;

std::string DpiSlider(int stage) { return "ms_DPI" + std::to_string(stage) + "_slider"; }

Refusal Invalid(std::string message) { return {Refusal::Kind::InvalidArgument, std::move(message)}; }
Refusal Failed(std::string message) { return {Refusal::Kind::Failed, std::move(message)}; }

std::string Name(Peripheral p) { return std::string(PeripheralName(p)); }

template <typename Record>
LightingState StateOf(const Record& record) {
  return {.mode = record.mode(),
          .brightness = std::min<int>(record.brightness(), kSliderMax),
          .speed = std::clamp(lighting::pages::SliderOfSpeed(record.speed()), 0, kSliderMax),
          .colour = record.colour()};
}

}  // namespace

std::string_view PeripheralName(Peripheral peripheral) { return TraitsOf(peripheral).name; }

std::optional<Peripheral> PeripheralOfName(std::string_view name) {
  for (Peripheral p : kPeripherals)
    if (platform::EqualsIgnoreCase(name, PeripheralName(p))) return p;
  return std::nullopt;
}

std::string_view KindName(talvo::profiles::ProfileKind kind) {
  switch (kind) {
    case talvo::profiles::ProfileKind::Key: return "key";
    case talvo::profiles::ProfileKind::Lighting: return "lighting";
    case talvo::profiles::ProfileKind::Device: return "device";
  }
  return "key";
}

std::optional<talvo::profiles::ProfileKind> KindOfName(std::string_view name) {
  using talvo::profiles::ProfileKind;
  for (auto kind : {ProfileKind::Key, ProfileKind::Lighting, ProfileKind::Device})
    if (platform::EqualsIgnoreCase(name, KindName(kind))) return kind;
  return std::nullopt;
}

std::string Quoted(std::string_view text) {
  if (text.size() <= kQuotedBytes) return "\"" + std::string(text) + "\"";
  size_t cut = kQuotedBytes;
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  return "\"" + std::string(text.substr(0, cut)) + "...\"";
}

std::optional<lighting::Rgb> ParseHexColour(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  uint8_t bytes[3];
  for (size_t i = 0; i < 3; ++i) {
    const auto [end, error] = std::from_chars(text.data() + 2 * i, text.data() + 2 * i + 2, bytes[i], 16);
    if (error != std::errc() || end != text.data() + 2 * i + 2) return std::nullopt;
  }
  return lighting::Rgb{bytes[0], bytes[1], bytes[2]};
}

std::string HexColour(lighting::Rgb colour) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : {colour.red, colour.green, colour.blue}) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

std::vector<std::string> PageActions::ModeNames(Peripheral peripheral) const {
  std::vector<std::string> names;
  if (const toolkit::Control* combo = Find(TraitsOf(peripheral).modeCombo))
    for (int i = 0; i < combo->Count(); ++i) names.push_back(combo->ItemText(i));
  return names;
}

std::optional<int> PageActions::ModeOf(Peripheral peripheral, std::string_view numberOrName,
                                       const EnglishText& english) const {
  const std::vector<std::string> names = ModeNames(peripheral);
  int number = -1;
  const auto [end, error] = std::from_chars(numberOrName.data(), numberOrName.data() + numberOrName.size(), number);
  if (error == std::errc() && end == numberOrName.data() + numberOrName.size())
    return number >= 0 && number < int(names.size()) ? std::optional<int>(number) : std::nullopt;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == numberOrName || platform::EqualsIgnoreCase(names[i], numberOrName)) return int(i);
  if (!english) return std::nullopt;
  for (size_t i = 0; i < names.size(); ++i)
    if (const auto name = english(TraitsOf(peripheral).ModeTextId(i)); name && platform::EqualsIgnoreCase(*name, numberOrName))
      return int(i);
  return std::nullopt;
}

LightingState PageActions::Lighting(Peripheral peripheral) const {
  LightingState state;
  switch (peripheral) {
    case Peripheral::Keyboard: state = StateOf(s_.live.keyboardLight.record); break;
    case Peripheral::Mouse: state = StateOf(s_.live.mouseLight.record); break;
    case Peripheral::Mousepad: state = StateOf(s_.live.mousepadLight.record); break;
  }
  return state;
}

int PageActions::Onboard(Peripheral peripheral) const {
  switch (peripheral) {
    case Peripheral::Keyboard: return 1;
    case Peripheral::Mouse: return std::min<int>(s_.live.mouseLight.record.profile(), kOnboardProfiles - 1) + 1;
    case Peripheral::Mousepad: return std::min<int>(s_.live.mousepadLight.record.profile(), kOnboardProfiles - 1) + 1;
  }
  return 1;
}

std::string PageActions::ProfileName(Peripheral peripheral, talvo::profiles::ProfileKind kind) const {
  const talvo::profiles::ProfileCombo* combo = talvo::profiles::FindCombo(peripheral, kind);
  const toolkit::Control* list = combo ? Find(pages::profiles::ProfileListControl(*combo)) : nullptr;
  if (!list || list->CurrentIndex() < 0) return {};
  return list->ItemText(list->CurrentIndex());
}

DpiState PageActions::Dpi() const {
  const mouse::DpiScale scale = mouse::DpiScale::From(s_.mouseData.info);
  const auto block = s_.mouseData.blocks.Copy(0);
  const int active = block[lighting::MouseSettingsRecord::kActiveDpiStage];
  const int stages = DpiStages();
  DpiState state;
  state.activeStage = active < stages ? active + 1 : 0;
  // The stages the profile keeps, then those the page only shows on its sliders.
  for (int stage = 1; stage <= stages; ++stage) {
    const toolkit::Control* slider = Find(DpiSlider(stage));
    state.stages.push_back(scale.Dpi(stage <= int(lighting::MouseSettingsRecord::kDpiStages)
                                         ? s_.live.mouseLight.record.dpiStage(size_t(stage))
                                         : slider->Value()));
  }
  return state;
}

int PageActions::DpiStages() const {
  int stages = 0;
  while (Find(DpiSlider(stages + 1))) ++stages;
  return stages;
}

void PageActions::Raise(std::string type, toolkit::Control& control, int64_t wParam) {
  s_.raise(toolkit::Notification{.type = std::move(type), .sender = control.Name(), .wParam = wParam, .lParam = 0,
                             .control = &control});
}

Outcome PageActions::NeedConnected(Peripheral peripheral) const {
  if (Connected(peripheral)) return std::nullopt;
  return Failed("the " + Name(peripheral) + " is not connected");
}

Outcome PageActions::SetLighting(Peripheral peripheral, const LightingChange& change) {
  if (auto refused = NeedConnected(peripheral)) return refused;
  const PeripheralTraits& traits = TraitsOf(peripheral);
  toolkit::Control* mode = Find(traits.modeCombo);
  toolkit::Control* brightness = Find(traits.brightnessSlider);
  toolkit::Control* speed = Find(traits.speedSlider);
  toolkit::Control* palette = Find(traits.palette);
  if (!mode || !brightness || !speed || !palette)
    return Failed("the " + Name(peripheral) + "'s lighting page is missing");
  if (change.mode && (*change.mode < 0 || *change.mode >= mode->Count()))
    return Invalid("the " + Name(peripheral) + " has no lighting mode " + std::to_string(*change.mode));
  for (const auto& [value, what] : {std::pair{change.brightness, "brightness"}, std::pair{change.speed, "speed"}})
    if (value && (*value < 0 || *value > kSliderMax))
      return Invalid(std::string(what) + " must be 0 to " + std::to_string(kSliderMax));

  // In the order a user would go: the mode first, as choosing it shows the
  // mode's own controls.
  if (change.mode) mode->SelectItem(*change.mode);
  for (const auto& [value, slider] : {std::pair{change.brightness, brightness}, std::pair{change.speed, speed}}) {
    if (!value) continue;
    slider->SetValue(*value);
    Raise("valuechanged", *slider, *value);
  }
  if (change.colour) {
    const uint32_t argb = lighting::pages::ArgbOf(*change.colour);
    palette->SetSelectColor(argb);
    Raise("colorchanged", *palette, argb);
  }
  return std::nullopt;
}

Outcome PageActions::SelectProfile(Peripheral peripheral, talvo::profiles::ProfileKind kind, std::string_view name) {
  const talvo::profiles::ProfileCombo* combo = talvo::profiles::FindCombo(peripheral, kind);
  if (!combo) return Invalid("the " + Name(peripheral) + " has no " + std::string(KindName(kind)) + " profiles");
  toolkit::Control* list = Find(pages::profiles::ProfileListControl(*combo));
  if (!list) return Failed("the " + Name(peripheral) + "'s profile list is missing");
  for (int i = 0; i < list->Count(); ++i) {
    if (list->ItemText(i) != name) continue;
    list->SelectItem(i);
    return std::nullopt;
  }
  return Invalid("the " + Name(peripheral) + " has no " + std::string(KindName(kind)) + " profile named " +
                 Quoted(name));
}

Outcome PageActions::SelectOnboard(Peripheral peripheral, int number) {
  if (number < 1 || number > kOnboardProfiles)
    return Invalid("onboard profiles are numbered 1 to " + std::to_string(kOnboardProfiles));
  if (auto refused = NeedConnected(peripheral)) return refused;
  switch (peripheral) {
    case Peripheral::Keyboard:
      if (number != 1) return Invalid("the keyboard has a single onboard profile");
      return std::nullopt;
    case Peripheral::Mouse: {
      toolkit::Control* button = Find("ms_profile_" + std::to_string(number - 1));
      if (!button) return Failed("the mouse's onboard profile buttons are missing");
      Raise("click", *button);
      return std::nullopt;
    }
    case Peripheral::Mousepad: {
      toolkit::Control* list = Find("mp_deng_combo_profile");
      if (!list) return Failed("the mousepad's onboard profile list is missing");
      list->SelectItem(number - 1);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

Outcome PageActions::SetDpi(int stage, int dpi) {
  const int stages = DpiStages();
  if (stages == 0) return Failed("the mouse's DPI sliders are missing");
  if (stage < 1 || stage > stages) return Invalid("DPI stages are numbered 1 to " + std::to_string(stages));
  if (auto refused = NeedConnected(Peripheral::Mouse)) return refused;
  const mouse::DpiScale scale = mouse::DpiScale::From(s_.mouseData.info);
  if (scale.dpiStep == 0) return Failed("the mouse's DPI range is not known yet");
  const int offset = dpi - scale.dpiBase;
  if (offset < 0 || offset % scale.dpiStep != 0 || offset / scale.dpiStep > scale.sliderMax)
    return Invalid("the mouse takes " + std::to_string(scale.Dpi(0)) + " to " +
                   std::to_string(scale.Dpi(scale.sliderMax)) + " DPI in steps of " + std::to_string(scale.dpiStep));
  toolkit::Control* slider = Find(DpiSlider(stage));
  const int position = offset / scale.dpiStep;
  slider->SetValue(position);
  // Dragged, then let go: the stages the profile does not keep show their
  // value only while dragged.
  Raise("movevaluechanged", *slider, position);
  Raise("valuechanged", *slider, position);
  return std::nullopt;
}

Outcome PageActions::Store(Peripheral peripheral) {
  if (peripheral == Peripheral::Mousepad) return Invalid("the mousepad has no keys to store");
  if (auto refused = NeedConnected(peripheral)) return refused;
  toolkit::Control* button = Find(peripheral == Peripheral::Mouse ? "ms_key_butt_prosave" : "kb_key_butt_prosave");
  if (!button) return Failed("the " + Name(peripheral) + "'s store button is missing");
  // None queues behind another. Refusing tells the caller its store did not
  // happen, where joining the one under way would claim changes made since
  // it began.
  if (s_.storing && s_.storing(peripheral))
    return Failed("the " + Name(peripheral) + " is still storing; ask again once it is done");
  Raise("click", *button);
  return std::nullopt;
}

}  // namespace talvo::pages::remote
