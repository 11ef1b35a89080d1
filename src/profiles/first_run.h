// Start-up population of a device's profile lists, creating the first
// profile of each kind on a first run. Qt-free: the shell shows the names in
// the list controls and the messages by text id.
#pragma once

#include <string>
#include <vector>

#include "device/peripheral.h"
#include "profiles/profile_index.h"

namespace talvo::profiles {

struct ProfileListContent {
  const ProfileCombo* combo = nullptr;  // names the list control and kind
  std::vector<std::string> names;       // item text and user data, in list order
  std::string message;                  // text id to show, empty for none
};

// For each kind of the device in the order device, lighting, key (the
// mousepad: lighting only). A kind whose index has named profiles lists them
// (entries without a name are dropped from the index first, see
// ProfileIndex::CompactNames); a kind with none gets its first-run profile:
// the default file's body written with a fresh header under the first-run
// name (a file of that name that already reads as a profile is kept: it is
// the user's, left by a lost index), and the index entries count, name 0,
// link flag 0 and select 0 in one replace of the index file. A default file
// that is missing yields "message_text_8", one with a wrong magic
// "message_text_9"; that list stays empty and nothing is written, so the next
// start tries again.
std::vector<ProfileListContent> PopulateProfileLists(device::Peripheral peripheral);

// Removes the temporary files that saves cut short by a crash or a kill left
// in the data folder and the device folders. Returns how many were removed.
int RemoveLeftoverTemporaryFiles();

}  // namespace talvo::profiles
