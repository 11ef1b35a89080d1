#include "profiles/profile_index.h"

#include <algorithm>

#include "platform/debug.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/ini_file.h"

namespace talvo::profiles {

namespace {

std::string Key(int n) { return std::to_string(n); }

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
  return platform::DeviceFolder(combo.peripheral) / file;
}

std::filesystem::path DefaultFilePath(const ProfileCombo& combo) {
  return platform::ProgramFolder() / std::string(combo.defaultFile);
}

ProfileIndex::ProfileIndex(const ProfileCombo& combo)
    : combo_(combo), file_(platform::DeviceFolder(combo.peripheral) / std::string(combo.indexFile)) {}

int ProfileIndex::Count() const {
  const int count = platform::ReadIniInt(file_, combo_.countSection, kCountKey, 0);
  return std::clamp(count, 0, kMaxProfiles);
}

std::string ProfileIndex::Name(int n) const {
  return platform::ReadIniString(file_, combo_.nameSection, Key(n), "0");
}

std::vector<std::string> ProfileIndex::Names() const {
  const int count = Count();
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(count));
  const auto bytes = platform::ReadWholeFile(file_, platform::kIniMaxFileBytes);
  const auto doc = platform::IniDocument::Parse(bytes ? std::span<const uint8_t>(*bytes)
                                                      : std::span<const uint8_t>());
  for (int n = 0; n < count; ++n) {
    const auto value = doc.Get(combo_.nameSection, Key(n));
    names.emplace_back(value ? platform::CutToCodePoints(*value, platform::kIniReadBufferChars - 1)
                             : std::string_view("0"));
  }
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

}  // namespace talvo::profiles
