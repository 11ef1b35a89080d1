// Loaders and savers moving one profile between its data file and the live
// records. The file is the one the index names: Load takes the entry by list
// index, Save the entry the index file has chosen ("select").
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "device/peripheral.h"
#include "profiles/live_data.h"
#include "profiles/profile_index.h"

namespace talvo::profiles {

// Reads entry `index` of the kind's list into a zeroed body and, only when
// the file was read (kReadOk), copies it into the live records: the current
// key map for key profiles, the light image with its companions for
// lighting profiles, both for device profiles (see CurrentKeyMap). Says on
// the debug output when the file is absent (or its stored name is unsafe)
// or its magic is wrong; live records are then unchanged.
// Returns kReadOk, kReadAbsent or kReadBadFormat; kReadAbsent also for a
// combination that does not exist.
int LoadProfile(LiveData& live, device::Peripheral peripheral, ProfileKind kind, int index);

// Builds the kind's body from the live records (storing the live lighting
// record into image slot 0 first, as the light body carries it) and writes it
// to the file of the selected entry. Returns whether the file was written;
// callers may ignore it.
bool SaveProfile(LiveData& live, device::Peripheral peripheral, ProfileKind kind);

// The body of the kind assembled from the live records, and the reverse.
// Exposed for the profile operations that copy default or imported bodies
// straight into the live records.
std::vector<std::uint8_t> BuildBody(LiveData& live, device::Peripheral peripheral,
                                    ProfileKind kind);
// False (nothing changed) when body is not the kind's body size or the
// combination does not exist.
bool ApplyBody(LiveData& live, device::Peripheral peripheral, ProfileKind kind,
               std::span<const std::uint8_t> body);

// Runs `change` on the key map of every key and device profile file the
// peripheral's index lists (each file once) and writes back the files whose
// map it changed. A file that cannot be read is left as it is. False when a
// changed file could not be written.
bool ChangeKeyMapsInFiles(device::Peripheral peripheral, const std::function<bool(keys::KeyMapRecord&)>& change);

inline int LoadKeyProfile(LiveData& live, device::Peripheral p, int index) {
  return LoadProfile(live, p, ProfileKind::Key, index);
}
inline int LoadLightProfile(LiveData& live, device::Peripheral p, int index) {
  return LoadProfile(live, p, ProfileKind::Lighting, index);
}
inline int LoadDeviceProfile(LiveData& live, device::Peripheral p, int index) {
  return LoadProfile(live, p, ProfileKind::Device, index);
}
inline bool SaveKeyProfile(LiveData& live, device::Peripheral p) {
  return SaveProfile(live, p, ProfileKind::Key);
}
inline bool SaveLightProfile(LiveData& live, device::Peripheral p) {
  return SaveProfile(live, p, ProfileKind::Lighting);
}
inline bool SaveDeviceProfile(LiveData& live, device::Peripheral p) {
  return SaveProfile(live, p, ProfileKind::Device);
}

}  // namespace talvo::profiles
