// The seven device/kind combinations of profiles, and the per-device index
// file ("kbProfile.ini", "msProfile.ini", "mpProfile.ini") that lists each
// kind's profiles by name, the chosen one, and the application links.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/peripheral.h"
#include "keys/key_map.h"
#include "lighting/light_bodies.h"

namespace talvo::profiles {

enum class ProfileKind { Key, Lighting, Device };

// Everything that differs between the combinations. Section names are those
// of the index file; the key within the count section is "count", within the
// select section "select", and list index n (decimal) in the others.
struct ProfileCombo {
  device::Peripheral peripheral;
  ProfileKind kind;
  std::string_view extension;       // lower case, with the dot
  std::size_t bodySize;             // bytes after the 16-byte header
  std::string_view defaultFile;     // in the program folder, never written
  std::string_view newNamePrefix;   // a new profile is this prefix + a number from 1
  std::string_view firstRunName;    // the profile created when the list is empty
  std::string_view indexFile;       // in the device folder
  std::string_view countSection;
  std::string_view nameSection;
  std::string_view selectSection;
  std::string_view linkedSection;   // "1" linked to an application, "0" not
  std::string_view processSection;  // the linked executable's full path
  // A link path section read when processSection has no entry n: the
  // keyboard device list used to keep its paths in the key list's
  // [PROCESS]; files written before it had its own section still read.
  // Empty for the other combinations.
  std::string_view sharedProcessSection;
};

inline constexpr std::size_t kKeyBodySize = keys::kKeyMapSize;
inline constexpr std::size_t kKeyboardLightBodySize = lighting::kKeyboardLightBodySize;
inline constexpr std::size_t kMouseLightBodySize = lighting::kMouseLightBodySize;
inline constexpr std::size_t kMousepadLightBodySize = lighting::kMousepadLightBodySize;

// Every list keeps its link paths in a section of its own. Older files give
// keyboard key and device profiles one shared [PROCESS] in "kbProfile.ini",
// where linking or deleting in one list re-links or shifts the other; the
// keyboard device list now has [DEVICEPROCESS], as the mouse's has, and
// reads [PROCESS] n for an entry n its own section lacks. Writes that change
// [PROCESS] first copy the device list's paths that still live there into
// [DEVICEPROCESS], so no key list change reaches a device profile's link.
inline constexpr std::array<ProfileCombo, 7> kProfileCombos{{
    {device::Peripheral::Keyboard, ProfileKind::Key, ".pro",
     kKeyBodySize, "kbkeydefault.pro", "profile", "profile1", "kbProfile.ini",
     "PROFILECOUNT", "PROFILENAME", "PROFILESELECT", "PROFILELIKEEXE", "PROCESS", ""},
    {device::Peripheral::Keyboard, ProfileKind::Lighting, ".led",
     kKeyboardLightBodySize, "kbdengdefault.led", "profile", "profile1", "kbProfile.ini",
     "PROFILEDENGCOUNT", "PROFILEDENGNAME", "PROFILEDENGSELECT", "PROFILELIKEDENGEXE",
     "DENGPROCESS", ""},
    {device::Peripheral::Keyboard, ProfileKind::Device, ".config",
     kKeyBodySize + kKeyboardLightBodySize, "kbdevicedefault.config", "profile", "profile1",
     "kbProfile.ini", "PROFILEDEVICECOUNT", "PROFILEDEVICENAME", "PROFILEDEVICESELECT",
     "PROFILELIKEDEVICEEXE", "DEVICEPROCESS", "PROCESS"},
    {device::Peripheral::Mouse, ProfileKind::Key, ".pro", kKeyBodySize,
     "mskeydefault.pro", "profile", "profile1", "msProfile.ini", "PROFILECOUNT", "PROFILENAME",
     "PROFILESELECT", "PROFILELIKEEXE", "PROCESS", ""},
    {device::Peripheral::Mouse, ProfileKind::Lighting, ".led",
     kMouseLightBodySize, "msdengdefault.led", "profile", "profile1", "msProfile.ini",
     "PROFILEDENGCOUNT", "PROFILEDENGNAME", "PROFILEDENGSELECT", "PROFILELIKEDENGEXE",
     "DENGPROCESS", ""},
    {device::Peripheral::Mouse, ProfileKind::Device, ".config",
     kKeyBodySize + kMouseLightBodySize, "msdevicedefault.config", "配置", "配置1",
     "msProfile.ini", "PROFILEDEVICECOUNT", "PROFILEDEVICENAME", "PROFILEDEVICESELECT",
     "PROFILELIKEDEVICEEXE", "DEVICEPROCESS", ""},
    {device::Peripheral::Mousepad, ProfileKind::Lighting, ".led",
     kMousepadLightBodySize, "mpdengdefault.led", "profile", "profile1", "mpProfile.ini",
     "PROFILEDENGCOUNT", "PROFILEDENGNAME", "PROFILEDENGSELECT", "PROFILELIKEDENGEXE",
     "DENGPROCESS", ""},
}};

// The peripheral's folder in the data folder ("kb", "ms", "mp"), created
// when missing.
std::filesystem::path DeviceFolder(device::Peripheral peripheral);

inline constexpr std::string_view kCountKey = "count";
inline constexpr std::string_view kSelectKey = "select";

// nullptr for a combination that does not exist (mousepad key or device).
const ProfileCombo* FindCombo(device::Peripheral peripheral, ProfileKind kind);

// The name a new profile gets for number n: "profile3", "配置3".
std::string NewProfileName(const ProfileCombo& combo, int n);

// Device folder + name + extension, or nothing when the name could leave the
// device folder or is otherwise not a safe file name (a hand-edited index
// with "../x" must never reach the file system). Emits a debug line when it
// refuses a name.
std::optional<std::filesystem::path> ProfilePath(const ProfileCombo& combo, std::string_view name);

// Program folder + the combination's default file name.
std::filesystem::path DefaultFilePath(const ProfileCombo& combo);

inline constexpr int kMaxProfiles = 10000;

// One list entry as the index stores it: its name and, verbatim, its link
// flag and link path (nullopt where the index has none).
struct ProfileEntry {
  std::string name;
  std::optional<std::string> linked;
  std::optional<std::string> process;
};

// One kind's entries in its device's index file. Every call is one whole-file
// read or write, so two objects over the same file never hold stale copies.
// A missing value reads as 0 (numbers) or "0" (names and paths).
class ProfileIndex {
 public:
  explicit ProfileIndex(const ProfileCombo& combo);

  const ProfileCombo& Combo() const { return combo_; }
  const std::filesystem::path& File() const { return file_; }

  // The stored count, read as 0 when negative and capped at kMaxProfiles so
  // a damaged index cannot make start-up list billions of entries.
  int Count() const;
  std::string Name(int n) const;
  // The named entries among 0 .. Count()-1 in list order, from one read of
  // the file. An entry without a name (an index cut short, a count edited by
  // hand) is left out rather than listed as "0".
  std::vector<std::string> Names() const;
  // Makes the index list exactly its named entries, so list positions and
  // index entries agree again: they are numbered from 0 with their link
  // flags and paths, count follows, and select follows its entry (0 when
  // that entry had no name). One replace of the file, and none when every
  // entry has a name. Returns the names in list order.
  std::vector<std::string> CompactNames() const;
  // The named entries of Names() with their link flags and paths, from one
  // read of the file.
  std::vector<ProfileEntry> Entries() const;
  // Makes the index list exactly these entries in this order: count, names,
  // link flags and paths numbered from 0, and select when given; in one
  // replace of the file that writes only the values that differ. An entry
  // without a flag or path clears one left at its position ("0", " ").
  // Entries at and above the new count are left as they are.
  bool WriteEntries(const std::vector<ProfileEntry>& entries, std::optional<int> select) const;
  int Select() const;
  bool IsLinked(int n) const;
  std::string Process(int n) const;

  // Writes report whether the index file was written.
  bool SetCount(int count) const;
  bool SetName(int n, std::string_view name) const;
  bool SetSelect(int n) const;
  bool SetLinked(int n, bool linked) const;
  bool SetProcess(int n, std::string_view path) const;
  // A list of one entry, unlinked and chosen, in one replace of the file.
  bool StartList(std::string_view firstName) const;

 private:
  ProfileCombo combo_;
  std::filesystem::path file_;
};

}  // namespace talvo::profiles
