#include "profiles/first_run.h"

#include <array>

#include "platform/debug.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "profiles/profile_data_file.h"

namespace talvo::profiles {

namespace {

// A first-run profile file that already reads as a profile (an index lost
// while the data files stayed) is the user's data: it is listed again, not
// replaced by the default.
bool IsProfileFile(const std::filesystem::path& path, std::size_t bodySize) {
  std::vector<std::uint8_t> body(bodySize, 0);
  return ReadProfileFile(path, body, 0) == kReadOk;
}

ProfileListContent Populate(const ProfileCombo& combo) {
  ProfileListContent content{&combo, {}, {}};
  const ProfileIndex index(combo);
  content.names = index.CompactNames();
  if (!content.names.empty()) return content;

  std::vector<std::uint8_t> body(combo.bodySize, 0);
  const std::uint16_t code = device::DeviceCode(combo.peripheral);
  const int read = ReadProfileFile(DefaultFilePath(combo), body, code);
  if (read == kReadAbsent) {
    content.message = "message_text_8";
    return content;
  }
  if (read == kReadBadFormat) {
    content.message = "message_text_9";
    return content;
  }
  const auto path = ProfilePath(combo, combo.firstRunName);
  if (path && !IsProfileFile(*path, combo.bodySize)) WriteProfileFile(*path, body, code);

  content.names.emplace_back(combo.firstRunName);
  index.StartList(combo.firstRunName);
  return content;
}

}  // namespace

std::vector<ProfileListContent> PopulateProfileLists(device::Peripheral peripheral) {
  std::vector<ProfileListContent> lists;
  for (const ProfileKind kind : {ProfileKind::Device, ProfileKind::Lighting, ProfileKind::Key}) {
    if (const ProfileCombo* combo = FindCombo(peripheral, kind)) lists.push_back(Populate(*combo));
  }
  return lists;
}

int RemoveLeftoverTemporaryFiles() {
  int removed = platform::RemoveStaleTemporaryFiles(platform::DataFolder());
  for (const device::Peripheral p : {device::Peripheral::Keyboard, device::Peripheral::Mouse,
                                     device::Peripheral::Mousepad})
    removed += platform::RemoveStaleTemporaryFiles(DeviceFolder(p));
  if (removed > 0) debug::Line("removed " + std::to_string(removed) + " temporary files left by an interrupted save");
  return removed;
}

}  // namespace talvo::profiles
