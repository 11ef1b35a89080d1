#include "profiles/live_data.h"

namespace talvo::profiles {

namespace {

template <typename Live>
auto* KeyMapOf(Live& live, device::Peripheral peripheral) {
  switch (peripheral) {
    case device::Peripheral::Keyboard:
      return &live.keyboardKeys.profiles[0];
    case device::Peripheral::Mouse: {
      // The profile byte comes from the mouse or from a file; one naming no
      // record falls back to profile 0 rather than reaching past the array.
      const unsigned profile = live.mouseLight.record.profile();
      return &live.mouseKeys.profiles[profile < keys::kProfileCount ? profile : 0];
    }
    case device::Peripheral::Mousepad:
      break;
  }
  return decltype(&live.keyboardKeys.profiles[0]){nullptr};
}

}  // namespace

keys::KeyMapRecord* CurrentKeyMap(LiveData& live, device::Peripheral peripheral) {
  return KeyMapOf(live, peripheral);
}

const keys::KeyMapRecord* CurrentKeyMap(const LiveData& live, device::Peripheral peripheral) {
  return KeyMapOf(live, peripheral);
}

std::string AppliedProfileName(const LiveData& live, const ProfileCombo& combo) {
  const std::string& applied = live.applied[size_t(&combo - kProfileCombos.data())];
  if (!applied.empty()) return applied;
  // No entry chosen, or one without a name: there is nothing to save into
  // (rather than a file named after the index's "0").
  const ProfileIndex index(combo);
  const std::vector<std::string> names = index.Names();
  const int select = index.Select();
  return select >= 0 && size_t(select) < names.size() ? names[size_t(select)] : std::string();
}

}  // namespace talvo::profiles
