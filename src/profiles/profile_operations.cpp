#include "profiles/profile_operations.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>

#include "platform/ascii.h"
#include "platform/debug.h"
#include "platform/files.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_store.h"

namespace talvo::profiles {

namespace {

OperationResult Result(OperationStatus status) {
  OperationResult result;
  result.status = status;
  result.message = MessageFor(status);
  return result;
}

OperationStatus ReadStatus(int read) {
  return read == kReadBadFormat ? OperationStatus::BadFormat : OperationStatus::FileAbsent;
}

// The kind's body read from a file into zeros; nullopt with the status to
// report when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadBody(const ProfileCombo& combo, const std::filesystem::path& path,
                                                  OperationStatus& status) {
  std::vector<std::uint8_t> body(combo.bodySize, 0);
  const int read = ReadProfileFile(path, body, device::DeviceCode(combo.peripheral));
  if (read != kReadOk) {
    status = ReadStatus(read);
    return std::nullopt;
  }
  return body;
}

bool WriteBody(const ProfileCombo& combo, const std::filesystem::path& path, std::span<const std::uint8_t> body) {
  return WriteProfileFile(path, body, device::DeviceCode(combo.peripheral));
}

// The index's entries in list order: an index whose count exceeds its names
// is compacted first (the lists were filled from the compacted index), so a
// list position is an entry number.
std::vector<ProfileEntry> ListedEntries(const ProfileIndex& index) {
  index.CompactNames();
  return index.Entries();
}

std::vector<std::string> NamesOf(const std::vector<ProfileEntry>& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const ProfileEntry& e : entries) names.push_back(e.name);
  return names;
}

bool InRange(int selected, const std::vector<ProfileEntry>& entries) {
  return selected >= 0 && static_cast<std::size_t>(selected) < entries.size();
}

bool IsDeviceList(const ProfileCombo& combo) { return combo.kind == ProfileKind::Device; }

// Keyboard lighting and device lists copy a new body into the live records at
// once on add and copy.
bool AppliesAtOnce(const ProfileCombo& combo) {
  return combo.peripheral == device::Peripheral::Keyboard && combo.kind != ProfileKind::Key;
}

// A typed name without the spaces around it, which the index drops on reading.
std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Appends an unlinked entry whose file was just written at path; removes the
// file again when the index cannot be written.
OperationResult AppendEntry(const ProfileIndex& index, std::vector<ProfileEntry> entries, std::string name,
                            const std::filesystem::path& path, std::vector<std::uint8_t> body) {
  entries.push_back({name, std::string("0"), std::nullopt});
  if (!index.WriteEntries(entries, std::nullopt)) {
    platform::DeleteFile(path);
    return Result(OperationStatus::WriteFailed);
  }
  OperationResult result = Result(OperationStatus::Done);
  result.names = NamesOf(entries);
  result.select = static_cast<int>(entries.size()) - 1;
  result.name = std::move(name);
  result.body = std::move(body);
  return result;
}

bool NamedByAnother(const std::vector<ProfileEntry>& entries, std::string_view name, int except) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (static_cast<int>(i) != except && entries[i].name == name) return true;
  }
  return false;
}

}  // namespace

std::string_view MessageFor(OperationStatus status) {
  switch (status) {
    case OperationStatus::FileAbsent: return "message_text_8";
    case OperationStatus::BadFormat: return "message_text_9";
    case OperationStatus::OnlyProfile: return "message_text_11";
    case OperationStatus::EmptyName: return "message_text_14";
    case OperationStatus::NameTaken: return "message_text_15";
    case OperationStatus::Done:
    case OperationStatus::NothingSelected:
    case OperationStatus::NotConfirmed:
    case OperationStatus::UnsafeName:
    case OperationStatus::WriteFailed: break;
  }
  return {};
}

bool SameProfileName(std::string_view a, std::string_view b) { return platform::EqualsIgnoreCase(a, b); }

std::string FreeProfileName(const ProfileCombo& combo, const std::vector<std::string>& names) {
  std::unordered_set<std::string> taken;
  for (const std::string& name : names) taken.insert(platform::AsciiLower(name));
  for (int n = 1;; ++n) {
    std::string name = NewProfileName(combo, n);
    if (!taken.contains(platform::AsciiLower(name))) return name;
  }
}

std::string CopyName(std::string_view source, const std::vector<std::string>& names) {
  std::unordered_set<std::string> taken;
  for (const std::string& name : names) taken.insert(platform::AsciiLower(name));
  std::string name(source);
  do {
    name += " copy";
  } while (taken.contains(platform::AsciiLower(name)));
  return name;
}

OperationResult AddProfile(const ProfileCombo& combo) {
  const ProfileIndex index(combo);
  const std::vector<ProfileEntry> entries = ListedEntries(index);
  OperationStatus status{};
  auto body = ReadBody(combo, DefaultFilePath(combo), status);
  if (!body) return Result(status);
  std::string name = FreeProfileName(combo, NamesOf(entries));
  const auto path = ProfilePath(combo, name);
  if (!path) return Result(OperationStatus::UnsafeName);
  if (!WriteBody(combo, *path, *body)) return Result(OperationStatus::WriteFailed);
  OperationResult result = AppendEntry(index, entries, std::move(name), *path, std::move(*body));
  result.applyBodyNow = result.Ok() && AppliesAtOnce(combo);
  return result;
}

OperationResult CopyProfile(const ProfileCombo& combo, int selected) {
  const ProfileIndex index(combo);
  const std::vector<ProfileEntry> entries = ListedEntries(index);
  if (!InRange(selected, entries)) return Result(OperationStatus::NothingSelected);
  const std::string& source = entries[static_cast<std::size_t>(selected)].name;
  std::string name = CopyName(source, NamesOf(entries));
  const auto from = ProfilePath(combo, source);
  const auto to = ProfilePath(combo, name);
  if (!from || !to) return Result(OperationStatus::UnsafeName);
  OperationStatus status{};
  auto body = ReadBody(combo, *from, status);
  if (!body) return Result(status);
  if (!WriteBody(combo, *to, *body)) return Result(OperationStatus::WriteFailed);
  OperationResult result = AppendEntry(index, entries, std::move(name), *to, std::move(*body));
  result.applyBodyNow = result.Ok() && AppliesAtOnce(combo);
  return result;
}

OperationResult RenameProfile(const ProfileCombo& combo, int selected, std::string_view typedName) {
  const ProfileIndex index(combo);
  std::vector<ProfileEntry> entries = ListedEntries(index);
  if (!InRange(selected, entries)) return Result(OperationStatus::NothingSelected);
  const std::string newName(TrimSpaces(typedName));
  if (newName.empty()) return Result(OperationStatus::EmptyName);
  for (const ProfileEntry& e : entries) {
    if (SameProfileName(e.name, newName)) return Result(OperationStatus::NameTaken);
  }
  ProfileEntry& entry = entries[static_cast<std::size_t>(selected)];
  const std::string oldName = entry.name;
  const auto from = ProfilePath(combo, oldName);
  const auto to = ProfilePath(combo, newName);
  if (!from || !to) return Result(OperationStatus::UnsafeName);

  // Old file read, new file written, entry renamed, old file removed: each
  // failure before the last step leaves the profile under its old name.
  OperationStatus status{};
  auto body = ReadBody(combo, *from, status);
  if (!body) return Result(status);
  if (!WriteBody(combo, *to, *body)) return Result(OperationStatus::WriteFailed);
  entry.name = newName;
  if (!index.WriteEntries(entries, std::nullopt)) {
    platform::DeleteFile(*to);
    return Result(OperationStatus::WriteFailed);
  }
  if (!NamedByAnother(entries, oldName, selected)) platform::DeleteFile(*from);

  OperationResult result = Result(OperationStatus::Done);
  result.names = NamesOf(entries);
  result.name = newName;
  return result;
}

OperationResult DeleteProfile(const ProfileCombo& combo, int selected, const std::function<bool()>& confirm) {
  const ProfileIndex index(combo);
  std::vector<ProfileEntry> entries = ListedEntries(index);
  if (!InRange(selected, entries)) return Result(OperationStatus::NothingSelected);
  if (entries.size() == 1) return Result(OperationStatus::OnlyProfile);
  if (confirm && !confirm()) return Result(OperationStatus::NotConfirmed);

  const std::string removed = entries[static_cast<std::size_t>(selected)].name;
  entries.erase(entries.begin() + selected);
  const int last = static_cast<int>(entries.size()) - 1;
  const int next = IsDeviceList(combo) ? std::min(selected, last) : last;
  // The entries after the deleted one move down with their links; "select"
  // follows the next selection, so it never names a vanished entry.
  if (!index.WriteEntries(entries, next)) return Result(OperationStatus::WriteFailed);
  // The file goes last, and only when no other entry still names it.
  if (const auto path = ProfilePath(combo, removed); path && !NamedByAnother(entries, removed, -1))
    platform::DeleteFile(*path);

  OperationResult result = Result(OperationStatus::Done);
  result.names = NamesOf(entries);
  result.select = next;
  return result;
}

OperationResult ImportProfile(const ProfileCombo& combo, int selected, const std::filesystem::path& source) {
  const ProfileIndex index(combo);
  const std::vector<ProfileEntry> entries = ListedEntries(index);
  if (!InRange(selected, entries)) return Result(OperationStatus::NothingSelected);
  OperationStatus status{};
  auto body = ReadBody(combo, source, status);
  if (!body) return Result(status);

  if (IsDeviceList(combo)) {
    // The imported body is written under the new name at once, rather than
    // a default profile first and the import over it.
    std::string name = FreeProfileName(combo, NamesOf(entries));
    const auto path = ProfilePath(combo, name);
    if (!path) return Result(OperationStatus::UnsafeName);
    if (!WriteBody(combo, *path, *body)) return Result(OperationStatus::WriteFailed);
    OperationResult result = AppendEntry(index, entries, std::move(name), *path, std::move(*body));
    result.reselect = result.Ok();
    return result;
  }

  const std::string& name = entries[static_cast<std::size_t>(selected)].name;
  const auto path = ProfilePath(combo, name);
  if (!path) return Result(OperationStatus::UnsafeName);
  if (!WriteBody(combo, *path, *body)) return Result(OperationStatus::WriteFailed);
  OperationResult result = Result(OperationStatus::Done);
  result.names = NamesOf(entries);
  result.select = selected;
  result.reselect = true;
  result.name = name;
  result.body = std::move(*body);
  return result;
}

OperationResult ExportProfile(const ProfileCombo& combo, int selected, const std::filesystem::path& target) {
  const ProfileIndex index(combo);
  const std::vector<ProfileEntry> entries = ListedEntries(index);
  if (!InRange(selected, entries)) return Result(OperationStatus::NothingSelected);
  const std::string& name = entries[static_cast<std::size_t>(selected)].name;
  const auto path = ProfilePath(combo, name);
  if (!path) return Result(OperationStatus::UnsafeName);
  OperationStatus status{};
  auto body = ReadBody(combo, *path, status);
  if (!body) return Result(status);
  if (!WriteBody(combo, target, *body)) return Result(OperationStatus::WriteFailed);
  OperationResult result = Result(OperationStatus::Done);
  result.names = NamesOf(entries);
  result.name = name;
  return result;
}

OperationResult ResetProfile(const ProfileCombo& combo, int selected, LiveData& live) {
  const ProfileIndex index(combo);
  const std::vector<ProfileEntry> entries = ListedEntries(index);
  if (!InRange(selected, entries)) return Result(OperationStatus::NothingSelected);
  const std::string& name = entries[static_cast<std::size_t>(selected)].name;
  const auto path = ProfilePath(combo, name);
  if (!path) return Result(OperationStatus::UnsafeName);
  OperationStatus status{};
  auto defaults = ReadBody(combo, DefaultFilePath(combo), status);
  if (!defaults) return Result(status);

  std::vector<std::uint8_t> body = std::move(*defaults);
  if (combo.kind == ProfileKind::Lighting && combo.peripheral != device::Peripheral::Keyboard) {
    // The last 8 bytes of the live image stay as they are.
    std::vector<std::uint8_t> current = BuildBody(live, combo.peripheral, combo.kind);
    std::copy_n(body.begin(), std::min(kResetImageBytes, body.size()), current.begin());
    body = std::move(current);
  }
  ApplyBody(live, combo.peripheral, combo.kind, body);
  std::vector<std::uint8_t> saved = BuildBody(live, combo.peripheral, combo.kind);
  // The live records hold the default now; a failed write leaves the file as
  // it was, and the save failure is told as every failed save is.
  if (!WriteBody(combo, *path, saved)) return Result(OperationStatus::WriteFailed);
  OperationResult result = Result(OperationStatus::Done);
  result.names = NamesOf(entries);
  result.name = name;
  result.body = std::move(saved);
  return result;
}

}  // namespace talvo::profiles
