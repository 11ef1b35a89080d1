#include "macros/macro_files.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <system_error>

#include "keys/function_tables.h"
#include "platform/ascii.h"
#include "platform/debug.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace talvo::macros {

namespace {

constexpr std::string_view kMacroCountSection = "MACROCOUNT";
constexpr std::string_view kMacroNameSection = "MACRONAME";
constexpr std::string_view kCursorCountSection = "CURSORCOUNT";
constexpr std::string_view kCursorNameSection = "CURSORNAME";
constexpr std::string_view kStepCountSection = "MACROACTIONCOUNT";
constexpr std::string_view kStepSection = "MACROACTION";
constexpr std::string_view kSelectNameSection = "MACROSELECTNAME";
constexpr std::string_view kPendingSection = "PENDING";
constexpr std::string_view kCountKey = "count";
constexpr std::string_view kNameKey = "name";
constexpr std::string_view kMacroExtension = ".mac";

std::filesystem::path IndexPath(device::Peripheral peripheral, const std::filesystem::path& folder) {
  return folder / std::string(MacroIndexFileName(peripheral));
}

// The note an interrupted rename or delete leaves beside the index.
std::filesystem::path PendingPath(device::Peripheral peripheral, const std::filesystem::path& folder) {
  return folder / (std::string(MacroIndexFileName(peripheral)) + ".pending");
}

std::string CursorName(int slot) { return "name_" + std::to_string(slot + 1); }

// A value as the 260-character read buffer holds it.
std::string Buffered(std::string_view value) {
  return std::string(platform::CutToCodePoints(value, platform::kIniReadBufferChars - 1));
}

// The stored count, bounded by the entries the section holds and the limit.
size_t BoundedCount(const platform::IniLookup& file, std::string_view countSection, std::string_view entrySection,
                    size_t limit) {
  const std::optional<std::string_view> stored = file.Get(countSection, kCountKey);
  const int count = stored ? platform::LeadingNumber(*stored) : 0;
  const size_t present = std::min(file.KeyCount(entrySection), limit);
  return static_cast<size_t>(std::clamp<int64_t>(count, 0, static_cast<int64_t>(present)));
}

bool Writable(std::string_view value) { return value.find_first_of(std::string_view("\r\n\0", 3)) == value.npos; }

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string MacroFileText(std::string_view name, const std::vector<std::string>& steps) {
  std::string text = "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(steps.size()) + "\r\n[MACROACTION]\r\n";
  for (size_t i = 0; i < steps.size(); ++i) text += std::to_string(i) + "=" + steps[i] + "\r\n";
  text += "[MACROSELECTNAME]\r\nname=";
  text += name;
  text += "\r\n";
  return text;
}

bool Storable(std::string_view name, const std::vector<std::string>& steps) {
  return steps.size() <= kMaxSteps && Writable(name) && std::ranges::all_of(steps, Writable);
}

// A ".mac" file built whole and written once, so a reader never meets the
// steps of one save under the count of another.
bool WriteMacroFile(const std::filesystem::path& file, std::string_view name, const std::vector<std::string>& steps) {
  return Storable(name, steps) && platform::WriteFileAtomically(file, Bytes(MacroFileText(name, steps)));
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return a == b || std::filesystem::equivalent(a, b, error);
}

// Lists the files a change is about to replace or remove (see
// RecoverInterruptedChange).
bool BeginChange(device::Peripheral peripheral, const std::filesystem::path& folder,
                 std::initializer_list<std::filesystem::path> files) {
  std::string text = "[PENDING]\r\n";
  int n = 0;
  for (const std::filesystem::path& file : files) text += std::to_string(n++) + "=" + file.filename().string() + "\r\n";
  return platform::WriteFileAtomically(PendingPath(peripheral, folder), Bytes(text));
}

void EndChange(device::Peripheral peripheral, const std::filesystem::path& folder) {
  platform::DeleteFile(PendingPath(peripheral, folder));
}

}  // namespace

std::string_view MacroIndexFileName(device::Peripheral peripheral) {
  return peripheral == device::Peripheral::Mouse ? "msMacro.ini" : "kbMacro.ini";
}

bool IsSafeMacroName(std::string_view name) { return platform::IsSafeFileName(name, kMaxNameBytes); }

std::string_view TrimmedMacroName(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

std::optional<std::filesystem::path> MacroFilePath(const std::filesystem::path& folder, std::string_view name) {
  if (!IsSafeMacroName(name)) {
    debug::Line("macro name refused as a file name");
    return std::nullopt;
  }
  return folder / (std::string(name) + std::string(kMacroExtension));
}

std::optional<std::filesystem::path> FindMacroFile(const std::filesystem::path& folder, std::string_view name) {
  auto path = MacroFilePath(folder, name);
  std::error_code error;
  if (!path || std::filesystem::exists(*path, error)) return path;
  for (const std::string& file : platform::FindFiles(folder, kMacroExtension)) {
    const std::string_view stem = std::string_view(file).substr(0, file.size() - kMacroExtension.size());
    if (stem != name && TrimmedMacroName(stem) == name) return folder / file;
  }
  return path;
}

std::vector<std::string> LoadMacroList(device::Peripheral peripheral, const std::filesystem::path& folder,
                                       const std::filesystem::path& programFolder) {
  if (const int removed = RecoverInterruptedChange(peripheral, folder); removed > 0)
    debug::Line("removed " + std::to_string(removed) + " macro files left by an interrupted change");
  const std::filesystem::path index = IndexPath(peripheral, folder);
  const auto values = platform::IniLookup::FromFile(index);
  const std::optional<std::string_view> cursorCount = values.Get(kCursorCountSection, kCountKey);
  if (peripheral == device::Peripheral::Mouse && (!cursorCount || platform::LeadingNumber(*cursorCount) <= 0)) {
    std::vector<platform::IniValue> cursor{{kCursorCountSection, std::string(kCountKey), "4"}};
    for (int slot = 0; slot < kCursorSlots; ++slot) {
      cursor.push_back({kCursorNameSection, std::to_string(slot), CursorName(slot)});
      const std::string file = CursorName(slot) + ".cur";
      platform::CopyFile(programFolder / file, folder / file, /*failIfExists=*/true);
    }
    platform::WriteIniStrings(index, cursor);
  }
  return ReadMacroNames(peripheral, folder);
}

std::vector<std::string> MacroNames(const platform::IniLookup& index) {
  std::vector<std::string> names(BoundedCount(index, kMacroCountSection, kMacroNameSection, kMaxIndexedMacros));
  for (size_t i = 0; i < names.size(); ++i)
    names[i] = Buffered(index.Get(kMacroNameSection, std::to_string(i)).value_or("0"));
  return names;
}

std::vector<std::string> ReadMacroNames(device::Peripheral peripheral, const std::filesystem::path& folder) {
  return MacroNames(platform::IniLookup::FromFile(IndexPath(peripheral, folder)));
}

std::vector<std::string> MacroSteps(const platform::IniLookup& file) {
  std::vector<std::string> steps(BoundedCount(file, kStepCountSection, kStepSection, kMaxSteps));
  for (size_t i = 0; i < steps.size(); ++i)
    steps[i] = Buffered(file.Get(kStepSection, std::to_string(i)).value_or("0"));
  return steps;
}

std::vector<std::string> ReadMacro(const std::filesystem::path& folder, std::string_view name) {
  const auto file = FindMacroFile(folder, name);
  return file ? MacroSteps(platform::IniLookup::FromFile(*file)) : std::vector<std::string>{};
}

NewMacroResult NewMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                        std::vector<std::string>& names) {
  if (names.size() >= kMaxMacros) return {NewMacroResult::kListFull, {}, kMaxMacros};
  std::string name;
  for (size_t n = names.size() + 1;; ++n) {
    name = "name_" + std::to_string(n);
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& taken) { return platform::EqualsIgnoreCase(taken, name); }))
      break;
  }
  const size_t number = names.size();
  const platform::IniValue values[] = {{kMacroCountSection, std::string(kCountKey), std::to_string(number + 1)},
                                       {kMacroNameSection, std::to_string(number), name}};
  if (!platform::WriteIniStrings(IndexPath(peripheral, folder), values)) return {NewMacroResult::kWriteFailed, {}, 0};
  names.push_back(name);
  return {NewMacroResult::kAdded, std::move(name), number};
}

RenameResult RenameMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                         std::vector<std::string>& names, size_t selected, std::string_view typedName,
                         const std::vector<std::string>& steps) {
  const std::string_view newName = TrimmedMacroName(typedName);
  if (selected >= names.size() || names[selected] == newName) return RenameResult::kUnchanged;
  for (size_t i = 0; i < names.size(); ++i)
    if (i != selected && platform::EqualsIgnoreCase(names[i], newName)) return RenameResult::kDuplicate;
  const auto target = MacroFilePath(folder, newName);
  if (!target) return RenameResult::kUnsafeName;
  const auto old = FindMacroFile(folder, names[selected]);
  if (!Storable(newName, steps)) return RenameResult::kWriteFailed;
  if (!BeginChange(peripheral, folder, {old.value_or(*target), *target})) return RenameResult::kWriteFailed;
  // Written whole under the new name first: a stale file of that name is
  // replaced, never shown as this macro, and the old file stays until the
  // index names the new one.
  if (!WriteMacroFile(*target, newName, steps)) {
    EndChange(peripheral, folder);
    return RenameResult::kWriteFailed;
  }
  if (!platform::WriteIniString(IndexPath(peripheral, folder), kMacroNameSection, std::to_string(selected), newName)) {
    if (!old || !SameFile(*old, *target)) platform::DeleteFile(*target);
    EndChange(peripheral, folder);
    return RenameResult::kWriteFailed;
  }
  // On a case-insensitive file system a case-only rename wrote the old file.
  if (old && !SameFile(*old, *target)) platform::DeleteFile(*old);
  EndChange(peripheral, folder);
  names[selected] = std::string(newName);
  return RenameResult::kRenamed;
}

SaveResult SaveMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                     const std::vector<std::string>& names, size_t selected, const std::vector<std::string>& steps) {
  if (selected >= names.size()) return SaveResult::kNotSaved;
  const auto file = MacroFilePath(folder, names[selected]);
  if (!file) return SaveResult::kUnsafeName;
  if (!Storable(names[selected], steps)) return SaveResult::kNotSaved;
  const auto found = FindMacroFile(folder, names[selected]);
  const platform::IniValue values[] = {{kMacroCountSection, std::string(kCountKey), std::to_string(names.size())},
                                       {kMacroNameSection, std::to_string(names.size() - 1), names.back()}};
  if (!platform::WriteIniStrings(IndexPath(peripheral, folder), values) ||
      !WriteMacroFile(*file, names[selected], steps))
    return SaveResult::kWriteFailed;
  // A file found under the name with spaces around it is now superseded.
  if (found && !SameFile(*found, *file)) platform::DeleteFile(*found);
  return SaveResult::kSaved;
}

bool MacroInUse(const keys::DeviceKeyMaps& maps, size_t keyCount, size_t number) {
  for (const keys::KeyMapRecord& record : maps.profiles)
    for (size_t key = 0; key < std::min(keyCount, keys::kKeysPerMap); ++key) {
      const keys::KeyFunction f = keys::KeyAt(record, key);
      if ((f.kind == keys::kKindMacro || f.kind == keys::kKindMacroRepeat) && f.p1 == number) return true;
    }
  return false;
}

bool DeleteMacro(device::Peripheral peripheral, const std::filesystem::path& folder, std::vector<std::string>& names,
                 size_t selected, keys::DeviceKeyMaps& maps, size_t keyCount) {
  if (selected >= names.size()) return false;
  std::vector<std::string> remaining = names;
  remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(selected));

  platform::IniDocument index = platform::IniDocument::Parse({});
  bool ok = index.Set(kMacroCountSection, kCountKey, std::to_string(remaining.size()));
  if (peripheral == device::Peripheral::Mouse) {
    ok = ok && index.Set(kCursorCountSection, kCountKey, std::to_string(kCursorSlots));
    for (int slot = 0; slot < kCursorSlots; ++slot)
      ok = ok && index.Set(kCursorNameSection, std::to_string(slot), CursorName(slot));
  }
  for (size_t i = 0; i < remaining.size(); ++i)
    ok = ok && index.Set(kMacroNameSection, std::to_string(i), remaining[i]);
  if (!ok) return false;

  const auto file = FindMacroFile(folder, names[selected]);
  // A macro whose name is not a file name has no file to lose.
  if (file && !BeginChange(peripheral, folder, {*file})) return false;
  if (!platform::WriteFileAtomically(IndexPath(peripheral, folder), Bytes(index.Serialise()))) {
    EndChange(peripheral, folder);
    return false;
  }
  if (file) {
    platform::DeleteFile(*file);
    EndChange(peripheral, folder);
  }
  for (keys::KeyMapRecord& record : maps.profiles) keys::ForgetMacro(record, maps.defaultMap, keyCount, selected);
  names = std::move(remaining);
  return true;
}

int RecoverInterruptedChange(device::Peripheral peripheral, const std::filesystem::path& folder) {
  const std::filesystem::path pending = PendingPath(peripheral, folder);
  const auto note = platform::ReadWholeFile(pending, platform::kIniMaxFileBytes);
  if (!note) return 0;
  const std::vector<std::string> names = ReadMacroNames(peripheral, folder);
  const auto listed = platform::IniLookup::Parse(*note);
  int removed = 0;
  for (size_t i = 0; i < listed.KeyCount(kPendingSection); ++i) {
    const std::string file(listed.Get(kPendingSection, std::to_string(i)).value_or(""));
    // Only a macro file in this folder, by a name Talvo wrote down.
    if (!platform::IsSafeFileName(file, kMaxNameBytes + kMacroExtension.size()) || !file.ends_with(kMacroExtension))
      continue;
    const std::string_view stem = std::string_view(file).substr(0, file.size() - kMacroExtension.size());
    if (std::ranges::find(names, TrimmedMacroName(stem)) != names.end()) continue;
    if (platform::DeleteFile(folder / file)) ++removed;
  }
  platform::DeleteFile(pending);
  return removed;
}

ImportResult ImportMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                         std::vector<std::string>& names, const std::filesystem::path& source) {
  ImportResult result;
  // Read and checked before anything changes: a folder, a pipe, a device or a
  // huge file adds no macro.
  const auto bytes = platform::ReadWholeFile(source, kMaxMacroFileBytes + 1);
  if (!bytes || bytes->size() > kMaxMacroFileBytes) {
    result.unreadable = true;
    return result;
  }
  result.added = NewMacro(peripheral, folder, names);
  if (result.added.status != NewMacroResult::kAdded) return result;
  const auto copy = MacroFilePath(folder, result.added.name);
  if (!copy || !platform::WriteFileAtomically(*copy, *bytes)) {
    result.rename = RenameResult::kWriteFailed;
    return result;
  }
  const auto file = platform::IniLookup::Parse(*bytes);
  const std::string stored(file.Get(kSelectNameSection, kNameKey).value_or("0"));
  result.rename = RenameMacro(peripheral, folder, names, result.added.number, stored, MacroSteps(file));
  return result;
}

bool ExportMacro(const std::filesystem::path& folder, const std::vector<std::string>& names, size_t selected,
                 const std::filesystem::path& target) {
  if (selected >= names.size()) return false;
  const auto file = FindMacroFile(folder, names[selected]);
  if (!file) return false;
  std::error_code error;
  if (std::filesystem::exists(*file, error)) return platform::CopyFile(*file, target);
  return platform::WriteFileAtomically(target, Bytes(MacroFileText(names[selected], {})));
}

}  // namespace talvo::macros
