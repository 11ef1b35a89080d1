#include "profiles/profile_index.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/debug.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/ini_file.h"

namespace talvo::profiles {

std::filesystem::path DeviceFolder(device::Peripheral peripheral) {
  return platform::DataSubfolder(device::Prefix(peripheral));
}

namespace {

std::string Key(int n) { return std::to_string(n); }

struct NamedEntry {
  int entry;
  std::string name;
};

// The named entries among the first Count() of the index, and the raw count.
std::vector<NamedEntry> NamedEntries(const ProfileCombo& combo, const platform::IniLookup& values,
                                     int& storedCount) {
  const auto count = values.Get(combo.countSection, kCountKey);
  storedCount = count ? platform::LeadingNumber(*count) : 0;
  std::vector<NamedEntry> named;
  for (int n = 0; n < std::clamp(storedCount, 0, kMaxProfiles); ++n) {
    if (const auto name = values.Get(combo.nameSection, Key(n)))
      named.push_back({n, std::string(platform::CutToCodePoints(*name, platform::kIniReadBufferChars - 1))});
  }
  return named;
}

}  // namespace

const ProfileCombo* FindCombo(device::Peripheral peripheral, ProfileKind kind) {
  const auto it = std::find_if(kProfileCombos.begin(), kProfileCombos.end(), [&](const ProfileCombo& c) {
    return c.peripheral == peripheral && c.kind == kind;
  });
  return it == kProfileCombos.end() ? nullptr : &*it;
}

std::string NewProfileName(const ProfileCombo& combo, int n) {
  return std::string(combo.newNamePrefix) + std::to_string(n);
}

std::optional<std::filesystem::path> ProfilePath(const ProfileCombo& combo, std::string_view name) {
  if (!platform::IsSafeFileName(name)) {
    debug::Line("profile name refused as a file name");
    return std::nullopt;
  }
  std::string file(name);
  file += combo.extension;
  return DeviceFolder(combo.peripheral) / file;
}

std::filesystem::path DefaultFilePath(const ProfileCombo& combo) {
  return platform::ProgramFolder() / std::string(combo.defaultFile);
}

ProfileIndex::ProfileIndex(const ProfileCombo& combo)
    : combo_(combo), file_(DeviceFolder(combo.peripheral) / std::string(combo.indexFile)) {}

int ProfileIndex::Count() const {
  const int count = platform::ReadIniInt(file_, combo_.countSection, kCountKey, 0);
  return std::clamp(count, 0, kMaxProfiles);
}

std::string ProfileIndex::Name(int n) const {
  return platform::ReadIniString(file_, combo_.nameSection, Key(n), "0");
}

std::vector<std::string> ProfileIndex::Names() const {
  int storedCount = 0;
  std::vector<std::string> names;
  for (NamedEntry& e : NamedEntries(combo_, platform::IniLookup::FromFile(file_), storedCount))
    names.push_back(std::move(e.name));
  return names;
}

std::vector<std::string> ProfileIndex::CompactNames() const {
  const auto values = platform::IniLookup::FromFile(file_);
  int storedCount = 0;
  std::vector<NamedEntry> named = NamedEntries(combo_, values, storedCount);
  std::vector<std::string> names;
  for (const NamedEntry& e : named) names.push_back(e.name);
  if (named.empty() || static_cast<int>(named.size()) == storedCount) return names;

  debug::Line("profile index " + file_.string() + ": entries without a name dropped");
  const auto select = values.Get(combo_.selectSection, kSelectKey);
  const int oldSelect = select ? platform::LeadingNumber(*select) : 0;
  int newSelect = 0;
  std::vector<platform::IniValue> changes;
  changes.push_back({combo_.countSection, std::string(kCountKey), std::to_string(named.size())});
  for (int i = 0; i < static_cast<int>(named.size()); ++i) {
    const int n = named[static_cast<std::size_t>(i)].entry;
    if (n == oldSelect) newSelect = i;
    if (n == i) continue;
    changes.push_back({combo_.nameSection, Key(i), names[static_cast<std::size_t>(i)]});
    const auto linked = values.Get(combo_.linkedSection, Key(n));
    changes.push_back({combo_.linkedSection, Key(i), std::string(linked.value_or("0"))});
    if (const auto process = values.Get(combo_.processSection, Key(n)))
      changes.push_back({combo_.processSection, Key(i), std::string(*process)});
  }
  changes.push_back({combo_.selectSection, std::string(kSelectKey), std::to_string(newSelect)});
  // Keys, sections and values came from the file, so every one can be set.
  platform::WriteIniStrings(file_, changes);
  return names;
}

int ProfileIndex::Select() const {
  return platform::ReadIniInt(file_, combo_.selectSection, kSelectKey, 0);
}

bool ProfileIndex::IsLinked(int n) const {
  return platform::ReadIniInt(file_, combo_.linkedSection, Key(n), 0) == 1;
}

std::string ProfileIndex::Process(int n) const {
  return platform::ReadIniString(file_, combo_.processSection, Key(n), "0");
}

bool ProfileIndex::SetCount(int count) const {
  return platform::WriteIniString(file_, combo_.countSection, kCountKey, std::to_string(count));
}

bool ProfileIndex::SetName(int n, std::string_view name) const {
  return platform::WriteIniString(file_, combo_.nameSection, Key(n), name);
}

bool ProfileIndex::SetSelect(int n) const {
  return platform::WriteIniString(file_, combo_.selectSection, kSelectKey, std::to_string(n));
}

bool ProfileIndex::SetLinked(int n, bool linked) const {
  return platform::WriteIniString(file_, combo_.linkedSection, Key(n), linked ? "1" : "0");
}

bool ProfileIndex::SetProcess(int n, std::string_view path) const {
  return platform::WriteIniString(file_, combo_.processSection, Key(n), path);
}

bool ProfileIndex::StartList(std::string_view firstName) const {
  const platform::IniValue values[] = {
      {combo_.countSection, std::string(kCountKey), "1"},
      {combo_.linkedSection, Key(0), "0"},
      {combo_.nameSection, Key(0), std::string(firstName)},
      {combo_.selectSection, std::string(kSelectKey), "0"},
  };
  return platform::WriteIniStrings(file_, values);
}

}  // namespace talvo::profiles
