// A device's macro list: the index file ("msMacro.ini", "kbMacro.ini") naming
// the macros in list order, and one ".mac" file per macro holding its steps.
// Key functions of kind 0x70/0x71 refer to a macro by its list position.
//
// Every operation works in the device folder the caller gives and writes each
// file once, atomically: a failure leaves the old state. Names that become
// file names are checked first, so a hand-edited index or an imported file
// cannot reach outside that folder. Asking the user (confirmations, the
// editing state, messages) is the caller's part; results say what to ask or
// show.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/peripheral.h"
#include "keys/key_map.h"
#include "platform/ini_file.h"

namespace talvo::macros {

// Macros a user may create on one device.
inline constexpr size_t kMaxMacros = 50;
// Entries an index may list: as many as a key function's one-byte macro
// number can address. A larger stored count is read as this.
inline constexpr size_t kMaxIndexedMacros = 256;
// Steps a macro may hold: the device image counts them in 16 bits.
inline constexpr size_t kMaxSteps = 65535;
// Longest macro name in bytes: with ".mac" it still fits a file name.
inline constexpr size_t kMaxNameBytes = 251;
// Largest file an import takes: the most steps a macro may hold, as text,
// fit in it many times over.
inline constexpr size_t kMaxMacroFileBytes = 4 * 1024 * 1024;
inline constexpr int kCursorSlots = 4;

// A macro and its steps as stored: action strings, kept as they are so that a
// step that does not parse survives a load and save (ParseAction reads them).
struct MacroRecord {
  std::string name;
  std::vector<std::string> steps;
};

// "msMacro.ini" or "kbMacro.ini".
std::string_view MacroIndexFileName(device::Peripheral peripheral);

// Not empty, not "." or "..", at most kMaxNameBytes bytes of valid UTF-8, no
// '/' or '\\', no control characters. Dots elsewhere are fine ("Burst...").
bool IsSafeMacroName(std::string_view name);

// The name without the spaces around it, as the index reads it back.
std::string_view TrimmedMacroName(std::string_view name);

// Folder + name + ".mac"; nothing for a name that is not safe.
std::optional<std::filesystem::path> MacroFilePath(const std::filesystem::path& folder, std::string_view name);

// The file holding the named macro's steps: MacroFilePath when that exists,
// else a ".mac" file whose name differs from it only by spaces around the
// name (kept by an earlier version's rename), else MacroFilePath.
std::optional<std::filesystem::path> FindMacroFile(const std::filesystem::path& folder, std::string_view name);

// The macro names in list order, at most kMaxIndexedMacros (a missing name
// reads as "0").
std::vector<std::string> ReadMacroNames(device::Peripheral peripheral, const std::filesystem::path& folder);

// ReadMacroNames for the page's lists, after removing what an interrupted
// rename or delete left (see RecoverInterruptedChange). The mouse's index
// gets its four cursor-macro slots the first time, and the slots' ".cur"
// files are copied from programFolder where missing.
std::vector<std::string> LoadMacroList(device::Peripheral peripheral, const std::filesystem::path& folder,
                                       const std::filesystem::path& programFolder);

// What an index file's and a ".mac" file's values hold. A stored count is
// worth at most the entries the file holds beside it, so a file claiming
// millions costs what it holds; then the limits above apply.
std::vector<std::string> MacroNames(const platform::IniLookup& index);
std::vector<std::string> MacroSteps(const platform::IniLookup& file);

// The steps of the named macro: none when it has no file or an unsafe name.
// A missing step within the count reads as "0".
std::vector<std::string> ReadMacro(const std::filesystem::path& folder, std::string_view name);

struct NewMacroResult {
  enum Status { kAdded, kListFull, kWriteFailed } status;
  // The new macro's name and list position when added; for kListFull the
  // limit, which the caller puts into "message_text_17".
  std::string name;
  size_t number = 0;
};
// Appends "name_<n>", n from count + 1 up to the first free one (names
// compare without regard to case). No ".mac" file yet: a new macro has no
// steps. `names` changes only when the index was written.
NewMacroResult NewMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                        std::vector<std::string>& names);

enum class RenameResult {
  kRenamed,
  kUnchanged,   // no such entry, or the same name
  kDuplicate,   // another entry has it ("message_text_5")
  kUnsafeName,  // it cannot be a file name
  kWriteFailed,
};
// Renames entry `selected` to newName without its surrounding spaces and
// writes `steps` (the editor's) into its file under the new name; the old
// file goes. A case-only change of the selected macro's own name is allowed.
RenameResult RenameMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                         std::vector<std::string>& names, size_t selected, std::string_view newName,
                         const std::vector<std::string>& steps);

enum class SaveResult {
  kSaved,
  kNotSaved,    // no such entry, or steps that cannot be stored
  kUnsafeName,  // the entry's stored name cannot be a file name: rename it first
  kWriteFailed,
};
// Writes the count and the last entry's name to the index, and `steps` with
// the entry's name into its ".mac" file.
SaveResult SaveMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                     const std::vector<std::string>& names, size_t selected, const std::vector<std::string>& steps);

// Whether a key of the device plays macro `number` in any profile: the
// caller asks "message_text_2" first. keyCount: 7 for the mouse, the
// keyboard's key count.
bool MacroInUse(const keys::DeviceKeyMaps& maps, size_t keyCount, size_t number);

// Removes entry `selected`, its file, and its number from the live key maps
// (keys::ForgetMacro). The index is rewritten in one piece. False, with
// nothing changed, when there is no such entry or the index cannot be
// written. The key maps in the profile files are the caller's.
bool DeleteMacro(device::Peripheral peripheral, const std::filesystem::path& folder, std::vector<std::string>& names,
                 size_t selected, keys::DeviceKeyMaps& maps, size_t keyCount);

// A rename or delete changes the index and one or two ".mac" files. It first
// lists those files in a note beside the index; a program ended between the
// steps leaves the note, and the next start removes each listed file the
// index does not name, then the note. Files Talvo did not list are never
// touched. Returns the number of files removed.
int RecoverInterruptedChange(device::Peripheral peripheral, const std::filesystem::path& folder);

struct ImportResult {
  // The source is missing, not a regular file, unreadable or larger than
  // kMaxMacroFileBytes: nothing was added.
  bool unreadable = false;
  NewMacroResult added{NewMacroResult::kWriteFailed, {}, 0};
  // Whether the name stored in the file was taken; when it is a duplicate or
  // not a safe file name the macro keeps its generated name.
  RenameResult rename = RenameResult::kUnchanged;
};
// Reads `source`, then adds a macro (as NewMacro) holding its bytes, named
// after the name the file holds.
ImportResult ImportMacro(device::Peripheral peripheral, const std::filesystem::path& folder,
                         std::vector<std::string>& names, const std::filesystem::path& source);

// Copies entry `selected`'s file to `target`, replacing it atomically; a
// macro that has no file yet is exported as a file of no steps. False with
// errno set when the target could not be written.
bool ExportMacro(const std::filesystem::path& folder, const std::vector<std::string>& names, size_t selected,
                 const std::filesystem::path& target);

}  // namespace talvo::macros
