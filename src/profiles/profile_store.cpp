#include "profiles/profile_store.h"

#include <algorithm>
#include <set>

#include "lighting/light_bodies.h"
#include "platform/debug.h"
#include "profiles/profile_data_file.h"

namespace talvo::profiles {

namespace {

template <std::size_t N>
std::span<const std::uint8_t, N> Fixed(std::span<const std::uint8_t> bytes) {
  return bytes.first<N>();
}

template <std::size_t N>
std::span<std::uint8_t, N> Fixed(std::span<std::uint8_t> bytes) {
  return bytes.first<N>();
}

// The light part of a lighting or device body.
void PackLight(LiveData& live, device::Peripheral peripheral, std::span<std::uint8_t> body) {
  switch (peripheral) {
    case device::Peripheral::Keyboard:
      lighting::PackLightBody(live.keyboardLight, Fixed<kKeyboardLightBodySize>(body));
      break;
    case device::Peripheral::Mouse:
      lighting::PackLightBody(live.mouseLight, Fixed<kMouseLightBodySize>(body));
      break;
    case device::Peripheral::Mousepad:
      lighting::PackLightBody(live.mousepadLight, Fixed<kMousepadLightBodySize>(body));
      break;
  }
}

void UnpackLight(std::span<const std::uint8_t> body, LiveData& live, device::Peripheral peripheral) {
  switch (peripheral) {
    case device::Peripheral::Keyboard:
      lighting::UnpackLightBody(Fixed<kKeyboardLightBodySize>(body), live.keyboardLight);
      break;
    case device::Peripheral::Mouse:
      lighting::UnpackLightBody(Fixed<kMouseLightBodySize>(body), live.mouseLight);
      break;
    case device::Peripheral::Mousepad:
      lighting::UnpackLightBody(Fixed<kMousepadLightBodySize>(body), live.mousepadLight);
      break;
  }
}

}  // namespace

std::vector<std::uint8_t> BuildBody(LiveData& live, device::Peripheral peripheral,
                                    ProfileKind kind) {
  const ProfileCombo* combo = FindCombo(peripheral, kind);
  if (combo == nullptr) return {};
  std::vector<std::uint8_t> body(combo->bodySize, 0);
  std::span<std::uint8_t> light(body);
  if (kind != ProfileKind::Lighting) {
    const keys::KeyMapRecord* map = CurrentKeyMap(live, peripheral);
    std::copy(map->begin(), map->end(), body.begin());
    light = light.subspan(kKeyBodySize);
  }
  if (kind != ProfileKind::Key) PackLight(live, peripheral, light);
  return body;
}

bool ApplyBody(LiveData& live, device::Peripheral peripheral, ProfileKind kind,
               std::span<const std::uint8_t> body) {
  const ProfileCombo* combo = FindCombo(peripheral, kind);
  if (combo == nullptr || body.size() != combo->bodySize) return false;
  // The light part goes in first: it may change the mouse record's profile
  // byte, and the key map belongs to the profile the loaded settings name,
  // the one the key page shows, the save reads back and the push activates.
  if (kind != ProfileKind::Key) {
    UnpackLight(kind == ProfileKind::Device ? body.subspan(kKeyBodySize) : body, live, peripheral);
  }
  if (kind != ProfileKind::Lighting) {
    keys::KeyMapRecord* map = CurrentKeyMap(live, peripheral);
    std::copy_n(body.begin(), kKeyBodySize, map->begin());
  }
  return true;
}

int LoadProfile(LiveData& live, device::Peripheral peripheral, ProfileKind kind, int index) {
  const ProfileCombo* combo = FindCombo(peripheral, kind);
  if (combo == nullptr) return kReadAbsent;
  const ProfileIndex profileIndex(*combo);
  const auto path = ProfilePath(*combo, profileIndex.Name(index));
  std::vector<std::uint8_t> body(combo->bodySize, 0);
  const int result = path ? ReadProfileFile(*path, body, device::DeviceCode(peripheral)) : kReadAbsent;
  if (result == kReadAbsent) {
    debug::Line("profile file missing: " + profileIndex.Name(index));
  } else if (result == kReadBadFormat) {
    debug::Line("profile file not in the profile format: " + profileIndex.Name(index));
  } else {
    ApplyBody(live, peripheral, kind, body);
    live.applied[size_t(combo - kProfileCombos.data())] = profileIndex.Name(index);
  }
  return result;
}

bool SaveProfile(LiveData& live, device::Peripheral peripheral, ProfileKind kind) {
  const ProfileCombo* combo = FindCombo(peripheral, kind);
  if (combo == nullptr) return false;
  const auto path = ProfilePath(*combo, AppliedProfileName(live, *combo));
  if (!path) return false;
  return WriteProfileFile(*path, BuildBody(live, peripheral, kind), device::DeviceCode(peripheral));
}

bool ChangeKeyMapsInFiles(device::Peripheral peripheral, const std::function<bool(keys::KeyMapRecord&)>& change) {
  bool written = true;
  std::set<std::filesystem::path> seen;
  for (ProfileKind kind : {ProfileKind::Key, ProfileKind::Device}) {
    const ProfileCombo* combo = FindCombo(peripheral, kind);
    if (combo == nullptr) continue;
    for (const std::string& name : ProfileIndex(*combo).Names()) {
      const auto path = ProfilePath(*combo, name);
      // An index naming one file twice must not change it twice.
      if (!path || !seen.insert(*path).second) continue;
      std::vector<std::uint8_t> body(combo->bodySize, 0);
      if (ReadProfileFile(*path, body, device::DeviceCode(peripheral)) != kReadOk) continue;
      keys::KeyMapRecord map;
      std::copy_n(body.begin(), kKeyBodySize, map.begin());
      if (!change(map)) continue;
      std::copy(map.begin(), map.end(), body.begin());
      written = WriteProfileFile(*path, body, device::DeviceCode(peripheral)) && written;
    }
  }
  return written;
}

}  // namespace talvo::profiles
