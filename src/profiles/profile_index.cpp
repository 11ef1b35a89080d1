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

std::optional<std::string> Held(std::optional<std::string_view> value) {
  if (!value) return std::nullopt;
  return std::string(*value);
}

// Entry n's link path: its own section, else the shared one it used to live in.
std::optional<std::string_view> ProcessValue(const ProfileCombo& combo, const platform::IniLookup& values,
                                             const std::string& key) {
  if (auto own = values.Get(combo.processSection, key)) return own;
  if (combo.sharedProcessSection.empty()) return std::nullopt;
  return values.Get(combo.sharedProcessSection, key);
}

ProfileEntry EntryAt(const ProfileCombo& combo, const platform::IniLookup& values, NamedEntry named) {
  const std::string key = Key(named.entry);
  return {std::move(named.name), Held(values.Get(combo.linkedSection, key)), Held(ProcessValue(combo, values, key))};
}

// Before a write that may change `combo`'s link path section: the entries of
// another list of the same file that still read their paths from that
// section (through sharedProcessSection) get them copied into their own, so
// the write does not re-link or shift them.
void KeepSharedLinks(const ProfileCombo& combo, const platform::IniLookup& values,
                     std::vector<platform::IniValue>& changes) {
  for (const ProfileCombo& other : kProfileCombos) {
    if (other.sharedProcessSection.empty() || other.indexFile != combo.indexFile ||
        !platform::EqualsIgnoreCase(other.sharedProcessSection, combo.processSection))
      continue;
    const auto count = values.Get(other.countSection, kCountKey);
    const int entries = std::clamp(count ? platform::LeadingNumber(*count) : 0, 0, kMaxProfiles);
    for (int n = 0; n < entries; ++n) {
      const std::string key = Key(n);
      if (values.Get(other.processSection, key)) continue;
      if (const auto shared = values.Get(other.sharedProcessSection, key))
        changes.push_back({other.processSection, key, std::string(*shared)});
    }
  }
}

// A path written for an unlinked entry: one space, as the files have it, never an empty value.
std::string PathValue(std::string_view path) { return path.empty() ? std::string(" ") : std::string(path); }

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

std::vector<ProfileEntry> ProfileIndex::Entries() const {
  const auto values = platform::IniLookup::FromFile(file_);
  int storedCount = 0;
  std::vector<ProfileEntry> entries;
  for (NamedEntry& e : NamedEntries(combo_, values, storedCount)) entries.push_back(EntryAt(combo_, values, std::move(e)));
  return entries;
}

bool ProfileIndex::WriteEntries(const std::vector<ProfileEntry>& entries, std::optional<int> select) const {
  const auto values = platform::IniLookup::FromFile(file_);
  std::vector<platform::IniValue> changes;
  KeepSharedLinks(combo_, values, changes);
  const auto set = [&](std::string_view section, std::string key, std::string value) {
    const auto current = values.Get(section, key);
    if (!current || *current != value) changes.push_back({section, std::move(key), std::move(value)});
  };
  set(combo_.countSection, std::string(kCountKey), std::to_string(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ProfileEntry& e = entries[i];
    const std::string key = Key(static_cast<int>(i));
    set(combo_.nameSection, key, e.name);
    if (e.linked || values.Get(combo_.linkedSection, key)) set(combo_.linkedSection, key, e.linked.value_or("0"));
    if (e.process) {
      set(combo_.processSection, key, PathValue(*e.process));
    } else {
      // A path left at this position, or one its shared section would lend it.
      const auto own = values.Get(combo_.processSection, key);
      if (own ? !own->empty() : ProcessValue(combo_, values, key).has_value())
        changes.push_back({combo_.processSection, key, " "});
    }
  }
  if (select) set(combo_.selectSection, std::string(kSelectKey), std::to_string(*select));
  return platform::WriteIniStrings(file_, changes);
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
  std::vector<ProfileEntry> entries;
  for (int i = 0; i < static_cast<int>(named.size()); ++i) {
    if (named[static_cast<std::size_t>(i)].entry == oldSelect) newSelect = i;
    entries.push_back(EntryAt(combo_, values, named[static_cast<std::size_t>(i)]));
  }
  // Keys, sections and values came from the file, so every one can be set.
  WriteEntries(entries, newSelect);
  return names;
}

int ProfileIndex::Select() const {
  return platform::ReadIniInt(file_, combo_.selectSection, kSelectKey, 0);
}

bool ProfileIndex::IsLinked(int n) const {
  return platform::ReadIniInt(file_, combo_.linkedSection, Key(n), 0) == 1;
}

std::string ProfileIndex::Process(int n) const {
  const auto values = platform::IniLookup::FromFile(file_);
  const auto path = ProcessValue(combo_, values, Key(n));
  return path ? std::string(platform::CutToCodePoints(*path, platform::kIniReadBufferChars - 1)) : "0";
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
  std::vector<platform::IniValue> changes;
  KeepSharedLinks(combo_, platform::IniLookup::FromFile(file_), changes);
  changes.push_back({combo_.processSection, Key(n), std::string(path)});
  return platform::WriteIniStrings(file_, changes);
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
