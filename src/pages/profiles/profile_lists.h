// The profile list controls of the device pages, one per device and kind of
// profile, and the companions that share a list's name up to
// "_profile_combo" (ms_device_profile_combo → ms_device_profile_name_edit).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "profiles/profile_index.h"

namespace talvo::pages::profiles {

// "key", "lighting", "device": what requests and messages call a kind.
std::string_view KindName(talvo::profiles::ProfileKind kind);
std::optional<talvo::profiles::ProfileKind> KindOfName(std::string_view name);

// The list control showing the combination's profiles.
std::string_view ProfileListControl(const talvo::profiles::ProfileCombo& combo);
// The combination a list control shows (name compared ignoring case);
// nothing for other names.
const talvo::profiles::ProfileCombo* ComboOfListControl(std::string_view name);
// A companion of the combination's list: its base name followed by suffix.
std::string ProfileListCompanion(const talvo::profiles::ProfileCombo& combo, std::string_view suffix);

}  // namespace talvo::pages::profiles
