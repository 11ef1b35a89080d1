#include "pages/profiles/profile_lists.h"

#include "platform/ascii.h"

namespace talvo::pages::profiles {

using talvo::profiles::ProfileCombo;
using talvo::profiles::ProfileKind;

std::string_view KindName(ProfileKind kind) {
  switch (kind) {
    case ProfileKind::Key: return "key";
    case ProfileKind::Lighting: return "lighting";
    case ProfileKind::Device: return "device";
  }
  return "key";
}

std::optional<ProfileKind> KindOfName(std::string_view name) {
  for (auto kind : {ProfileKind::Key, ProfileKind::Lighting, ProfileKind::Device})
    if (platform::EqualsIgnoreCase(name, KindName(kind))) return kind;
  return std::nullopt;
}

std::string_view ProfileListControl(const ProfileCombo& combo) {
  const bool keyboard = combo.peripheral == device::Peripheral::Keyboard;
  const bool mouse = combo.peripheral == device::Peripheral::Mouse;
  switch (combo.kind) {
    case ProfileKind::Key:
      return keyboard ? "kb_key_profile_combo" : "ms_key_profile_combo";
    case ProfileKind::Lighting:
      return keyboard ? "kb_deng_profile_combo" : mouse ? "ms_deng_profile_combo" : "mp_deng_profile_combo";
    case ProfileKind::Device:
      return keyboard ? "kb_device_profile_combo" : "ms_device_profile_combo";
  }
  return "";
}

const ProfileCombo* ComboOfListControl(std::string_view name) {
  for (const ProfileCombo& combo : talvo::profiles::kProfileCombos)
    if (platform::EqualsIgnoreCase(ProfileListControl(combo), name)) return &combo;
  return nullptr;
}

std::string ProfileListCompanion(const ProfileCombo& combo, std::string_view suffix) {
  constexpr std::string_view kList = "_profile_combo";
  std::string_view base = ProfileListControl(combo);
  if (base.ends_with(kList)) base.remove_suffix(kList.size());
  return std::string(base) + std::string(suffix);
}

}  // namespace talvo::pages::profiles
