#include "pages/remote/page_actions.h"

#include <algorithm>
#include <charconv>

#include "pages/peripheral_traits.h"
#include "platform/ascii.h"

namespace talvo::pages::remote {

namespace {

using device::Peripheral;

// The most onboard profiles any device keeps.
constexpr int kMostOnboardProfiles =
    std::max_element(kPeripheralTraits.begin(), kPeripheralTraits.end(), [](const auto& a, const auto& b) {
      return a.onboardProfiles < b.onboardProfiles;
    })->onboardProfiles;

std::string Name(Peripheral p) { return std::string(PeripheralName(p)); }

}  // namespace

std::string_view PeripheralName(Peripheral peripheral) { return TraitsOf(peripheral).name; }

std::optional<Peripheral> PeripheralOfName(std::string_view name) {
  for (Peripheral p : kPeripherals)
    if (platform::EqualsIgnoreCase(name, PeripheralName(p))) return p;
  return std::nullopt;
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
  return LightingOf(peripheral).ModeNames();
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

LightingState PageActions::Lighting(Peripheral peripheral) const { return LightingOf(peripheral).State(); }

int PageActions::Onboard(Peripheral peripheral) const {
  const int profiles = TraitsOf(peripheral).onboardProfiles;
  if (profiles == 1) return 1;
  return std::min(Lighting(peripheral).onboardProfile, profiles - 1) + 1;
}

std::string PageActions::ProfileName(Peripheral peripheral, talvo::profiles::ProfileKind kind) const {
  return s_.profiles.ChosenName(peripheral, kind);
}

Outcome PageActions::NeedConnected(Peripheral peripheral) const {
  if (Connected(peripheral)) return std::nullopt;
  return Refusal::Failed("the " + Name(peripheral) + " is not connected");
}

Outcome PageActions::SetLighting(Peripheral peripheral, const LightingChange& change) {
  if (auto refused = NeedConnected(peripheral)) return refused;
  return LightingOf(peripheral).Apply(change);
}

Outcome PageActions::SelectProfile(Peripheral peripheral, talvo::profiles::ProfileKind kind, std::string_view name) {
  return s_.profiles.SelectByName(peripheral, kind, name);
}

Outcome PageActions::SelectOnboard(Peripheral peripheral, int number) {
  if (number < 1 || number > kMostOnboardProfiles)
    return Refusal::Invalid("onboard profiles are numbered 1 to " + std::to_string(kMostOnboardProfiles));
  if (auto refused = NeedConnected(peripheral)) return refused;
  const int profiles = TraitsOf(peripheral).onboardProfiles;
  if (profiles == 1) {
    if (number != 1) return Refusal::Invalid("the " + Name(peripheral) + " has a single onboard profile");
    return std::nullopt;
  }
  s_.selectOnboard(peripheral, number - 1);
  return std::nullopt;
}

Outcome PageActions::Store(Peripheral peripheral) {
  // A device without keys is refused as such, whether it is there or not.
  if (TraitsOf(peripheral).keys) {
    if (auto refused = NeedConnected(peripheral)) return refused;
    // None queues behind another. Refusing tells the caller its store did
    // not happen, where joining the one under way would claim changes made
    // since it began.
    if (s_.macros.Storing(peripheral))
      return Refusal::Failed("the " + Name(peripheral) + " is still storing; ask again once it is done");
  }
  return s_.macros.Store(peripheral);
}

}  // namespace talvo::pages::remote
