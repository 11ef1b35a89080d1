#include "macros/macro_files.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <system_error>

#include "keys/function_tables.h"
#include "platform/ascii.h"
#include "platform/debug.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/utf8.h"

namespace talvo::macros {

namespace {

constexpr std::string_view kMacroCountSection = "MACROCOUNT";
constexpr std::string_view kMacroNameSection = "MACRONAME";
constexpr std::string_view kCursorCountSection = "CURSORCOUNT";
constexpr std::string_view kCursorNameSection = "CURSORNAME";
constexpr std::string_view kStepCountSection = "MACROACTIONCOUNT";
constexpr std::string_view kStepSection = "MACROACTION";
constexpr std::string_view kSelectNameSection = "MACROSELECTNAME";
constexpr std::string_view kCountKey = "count";
constexpr std::string_view kNameKey = "name";

std::filesystem::path IndexPath(device::Peripheral peripheral, const std::filesystem::path& folder) {
  return folder / std::string(MacroIndexFileName(peripheral));
}

std::string CursorName(int slot) { return "name_" + std::to_string(slot + 1); }

// A value as the 260-character read buffer holds it.
std::string Buffered(std::string_view value) {
  return std::string(platform::CutToCodePoints(value, platform::kIniReadBufferChars - 1));
}

size_t BoundedCount(std::optional<std::string_view> stored, size_t limit) {
  const int count = stored ? platform::LeadingNumber(*stored) : 0;
  return static_cast<size_t>(std::clamp<int64_t>(count, 0, static_cast<int64_t>(limit)));
}

bool Writable(std::string_view value) { return value.find_first_of(std::string_view("\r\n\0", 3)) == value.npos; }

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// A ".mac" file built whole and written once, so a reader never meets the
// steps of one save under the count of another.
bool WriteMacroFile(const std::filesystem::path& file, std::string_view name, const std::vector<std::string>& steps) {
  if (steps.size() > kMaxSteps || !Writable(name)) return false;
  std::string text = "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(steps.size()) + "\r\n[MACROACTION]\r\n";
  for (size_t i = 0; i < steps.size(); ++i) {
    if (!Writable(steps[i])) return false;
    text += std::to_string(i) + "=" + steps[i] + "\r\n";
  }
  text += "[MACROSELECTNAME]\r\nname=";
  text += name;
  text += "\r\n";
  return platform::WriteFileAtomically(file, Bytes(text));
}

bool IsMacroKey(keys::KeyFunction f) { return f.kind == keys::kKindMacro || f.kind == keys::kKindMacroRepeat; }

}  // namespace

std::string_view MacroIndexFileName(device::Peripheral peripheral) {
  return peripheral == device::Peripheral::Mouse ? "msMacro.ini" : "kbMacro.ini";
}

bool IsSafeMacroName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes || name.find("..") != name.npos) return false;
  for (size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') return false;
    const size_t length = platform::Utf8SequenceLength(name.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::optional<std::filesystem::path> MacroFilePath(const std::filesystem::path& folder, std::string_view name) {
  if (!IsSafeMacroName(name)) {
    debug::Line("macro name refused as a file name");
    return std::nullopt;
  }
  return folder / (std::string(name) + ".mac");
}

std::vector<std::string> LoadMacroList(device::Peripheral peripheral, const std::filesystem::path& folder,
                                       const std::filesystem::path& programFolder) {
  const std::filesystem::path index = IndexPath(peripheral, folder);
  const auto values = platform::IniLookup::FromFile(index);
  if (peripheral == device::Peripheral::Mouse && BoundedCount(values.Get(kCursorCountSection, kCountKey), 1) == 0) {
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
  std::vector<std::string> names(BoundedCount(index.Get(kMacroCountSection, kCountKey), kMaxIndexedMacros));
  for (size_t i = 0; i < names.size(); ++i)
    names[i] = Buffered(index.Get(kMacroNameSection, std::to_string(i)).value_or("0"));
  return names;
}

std::vector<std::string> ReadMacroNames(device::Peripheral peripheral, const std::filesystem::path& folder) {
  return MacroNames(platform::IniLookup::FromFile(IndexPath(peripheral, folder)));
}

std::vector<std::string> MacroSteps(const platform::IniLookup& file) {
  std::vector<std::string> steps(BoundedCount(file.Get(kStepCountSection, kCountKey), kMaxSteps));
  for (size_t i = 0; i < steps.size(); ++i)
    steps[i] = Buffered(file.Get(kStepSection, std::to_string(i)).value_or("0"));
  return steps;
}

std::vector<std::string> ReadMacro(const std::filesystem::path& folder, std::string_view name) {
  const auto file = MacroFilePath(folder, name);
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
                         std::vector<std::string>& names, size_t selected, std::string_view newName,
                         const std::vector<std::string>& steps) {
  if (selected >= names.size() || names[selected] == newName) return RenameResult::kUnchanged;
  for (size_t i = 0; i < names.size(); ++i)
    if (i != selected && platform::EqualsIgnoreCase(names[i], newName)) return RenameResult::kDuplicate;
  const auto target = MacroFilePath(folder, newName);
  if (!target) return RenameResult::kUnsafeName;
  const auto old = MacroFilePath(folder, names[selected]);
  // Written whole under the new name first: a stale file of that name is
  // replaced, never shown as this macro, and the old file stays until the
  // index names the new one.
  if (!WriteMacroFile(*target, newName, steps)) return RenameResult::kWriteFailed;
  if (!platform::WriteIniString(IndexPath(peripheral, folder), kMacroNameSection, std::to_string(selected), newName)) {
    std::error_code same;
    if (!old || !std::filesystem::equivalent(*old, *target, same)) platform::DeleteFile(*target);
    return RenameResult::kWriteFailed;
  }
  std::error_code error;
  // On a case-insensitive file system a case-only rename wrote the old file.
  if (old && !std::filesystem::equivalent(*old, *target, error)) platform::DeleteFile(*old);
  names[selected] = std::string(newName);
  return RenameResult::kRenamed;
}

bool SaveMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
               const std::vector<std::string>& names, size_t selected, const std::vector<std::string>& steps) {
  if (selected >= names.size()) return false;
  const auto file = MacroFilePath(folder, names[selected]);
  if (!file) return false;
  const platform::IniValue values[] = {{kMacroCountSection, std::string(kCountKey), std::to_string(names.size())},
                                       {kMacroNameSection, std::to_string(names.size() - 1), names.back()}};
  return platform::WriteIniStrings(IndexPath(peripheral, folder), values) &&
         WriteMacroFile(*file, names[selected], steps);
}

bool MacroInUse(const keys::DeviceKeyMaps& maps, size_t keyCount, size_t number) {
  for (const keys::KeyMapRecord& record : maps.profiles)
    for (size_t key = 0; key < std::min(keyCount, keys::kKeysPerMap); ++key) {
      const keys::KeyFunction f = keys::KeyAt(record, key);
      if (IsMacroKey(f) && f.p1 == number) return true;
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
  if (!ok || !platform::WriteFileAtomically(IndexPath(peripheral, folder), Bytes(index.Serialise()))) return false;

  if (const auto file = MacroFilePath(folder, names[selected])) platform::DeleteFile(*file);
  // Every key above the deleted macro moves down with its macro, whether or
  // not a key played the deleted one, so each key keeps playing the same
  // macro.
  for (unsigned profile = 0; profile < keys::kProfileCount; ++profile)
    for (size_t key = 0; key < std::min(keyCount, keys::kKeysPerMap); ++key) {
      keys::KeyFunction f = keys::KeyAt(maps.profiles[profile], key);
      if (!IsMacroKey(f) || f.p1 < selected) continue;
      if (f.p1 == selected) {
        keys::ResetKey(maps, key, profile);
      } else {
        --f.p1;
        keys::SetKey(maps.profiles[profile], key, f);
      }
    }
  names = std::move(remaining);
  return true;
}

ImportResult ImportMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                         std::vector<std::string>& names, const std::filesystem::path& source) {
  ImportResult result{NewMacro(peripheral, folder, names)};
  if (result.added.status != NewMacroResult::kAdded) return result;
  const auto copy = MacroFilePath(folder, result.added.name);
  if (!copy || !platform::CopyFile(source, *copy)) {
    result.rename = RenameResult::kWriteFailed;
    return result;
  }
  const std::string stored = platform::ReadIniString(*copy, kSelectNameSection, kNameKey, "0");
  result.rename =
      RenameMacro(peripheral, folder, names, result.added.number, stored, ReadMacro(folder, result.added.name));
  return result;
}

bool ExportMacro(const std::filesystem::path& folder, const std::vector<std::string>& names, size_t selected,
                 const std::filesystem::path& target) {
  if (selected >= names.size()) return false;
  const auto file = MacroFilePath(folder, names[selected]);
  return file && platform::CopyFile(*file, target);
}

}  // namespace talvo::macros
