// The profile operations on one list (one ProfileCombo): add,
// copy, rename, delete, import, export and reset to default. Qt-free: the
// page passes the list's combination and its selected index (-1 for none),
// asks the user (file dialogs, the delete confirmation) and shows the
// message a result names; these functions keep the index file and the data
// files consistent and say what happened.
//
// How the files are kept safe:
//  - Sources are read before anything changes. Add and Import that cannot
//    read their source add nothing; Rename reads the old file, writes the
//    new one, then renames the entry, then deletes the old file, so a
//    missing or unreadable file or a failed write keeps the old name.
//  - Each operation changes the index in one replace of the file (see
//    ProfileIndex::WriteEntries); a data file written for an index change
//    that then fails is removed again. Failed writes are reported
//    (WriteFailed) rather than silent.
//  - Delete, Rename, Copy, Import, Export and Reset with nothing selected do
//    nothing and ask for no message.
//  - A name that would not stay a plain file name in the device folder
//    (empty, "..", separators, control characters, over 200 bytes; see
//    platform::IsSafeFileName), typed or read from the index, is refused
//    with UnsafeName and changes nothing. Spaces around a typed name are
//    dropped, as the index would drop them on reading.
//  - Delete removes the entry from the index first and its file after, and
//    keeps a file another entry still names; the entries are numbered
//    again with their link flags and paths.
//
// The list positions are those of ProfileIndex::Entries() (the named entries
// in order, as PopulateProfileLists listed them); an index whose count
// exceeds its names is compacted by the first operation that writes it.
//
// Profile files are read and written here, so the caller flushes pending
// saves first (ProfileSaver::Flush) and selects through its Select after a
// result that names a selection.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/live_data.h"
#include "profiles/profile_index.h"

namespace talvo::profiles {

enum class OperationStatus {
  Done,             // the operation changed what the result says
  NothingSelected,  // no entry selected (or the index is out of range): nothing done
  NotConfirmed,     // delete not confirmed: nothing done
  FileAbsent,       // "message_text_8": a file to read is absent or unreadable
  BadFormat,        // "message_text_9": a file to read lacks the magic
  OnlyProfile,      // "message_text_11": the list holds one profile
  EmptyName,        // "message_text_14": rename to an empty name
  NameTaken,        // "message_text_15": rename to a name a list entry has
  UnsafeName,       // the name cannot be a file name; the page shows its own text id
  WriteFailed,      // a file or the index could not be written; files and index unchanged
};

// The text id the page shows for a status; empty for none (Done,
// NothingSelected, NotConfirmed) and for UnsafeName and WriteFailed, whose
// texts the page chooses (the save failure itself is also told through
// platform::SetSaveFailureHandler).
std::string_view MessageFor(OperationStatus status);

struct OperationResult {
  OperationStatus status = OperationStatus::NothingSelected;
  std::string_view message;  // MessageFor(status)
  // Done only from here on.
  std::vector<std::string> names;  // the list's items afterwards (text and user data), in order
  int select = -1;                 // the entry to select afterwards; -1 leaves the selection
  bool reselect = false;           // run Select even when `select` is already selected (import)
  std::string name;                // the entry added, copied to or renamed to
  // The body written (add, copy, import, reset); applyBodyNow when it goes
  // into the live records at once (keyboard lighting and device on
  // add and copy); the Select that follows loads it in any case.
  std::vector<std::uint8_t> body;
  bool applyBodyNow = false;

  bool Ok() const { return status == OperationStatus::Done; }
};

// Names compared as every list compares them: ASCII case-insensitively.
bool SameProfileName(std::string_view a, std::string_view b);

// The name Add gives: the combination's prefix with the smallest number from
// 1 that no name has ("profile%d", "配置%d").
std::string FreeProfileName(const ProfileCombo& combo, const std::vector<std::string>& names);
// The name Copy gives: source + " copy", with " copy" added again while a
// name has it.
std::string CopyName(std::string_view source, const std::vector<std::string>& names);

// Appends a profile under FreeProfileName whose file holds the default
// file's body; selects it. The default is read first: absent or wrong magic
// adds nothing.
OperationResult AddProfile(const ProfileCombo& combo);

// Appends a copy of the selected profile's file under CopyName; selects it.
OperationResult CopyProfile(const ProfileCombo& combo, int selected);

// Renames the selected profile to the typed name (the name field's text).
// Empty → EmptyName; equal to any entry's name ignoring case, the selected
// one's included → NameTaken. The entry keeps its position, link and the
// selection.
OperationResult RenameProfile(const ProfileCombo& combo, int selected, std::string_view typedName);

// Deletes the selected profile. The list holding one profile → OnlyProfile.
// Otherwise `confirm` (the page's "message_text_12" box; none means already
// confirmed) is asked before anything changes. The entries after it move
// down one with their link flags and paths. Next selection: the new last
// entry; for the device lists the entry now at the deleted position, or the
// new last when the last was deleted. "select" follows it in the same write.
OperationResult DeleteProfile(const ProfileCombo& combo, int selected,
                              const std::function<bool()>& confirm = {});

// Imports the chosen file (any profile file: only its magic is checked; a
// shorter body is filled with zeros). Device lists add a profile for it
// (named as Add names one) and select it; the other lists write it over the
// selected profile's file and select that entry again (reselect). Read
// first: a file that cannot be read changes nothing. The body is returned
// for the caller to apply and send.
OperationResult ImportProfile(const ProfileCombo& combo, int selected, const std::filesystem::path& source);

// Writes the selected profile's body with a fresh header to the chosen path,
// replacing it atomically. The index is not changed.
OperationResult ExportProfile(const ProfileCombo& combo, int selected, const std::filesystem::path& target);

// Reads the default file, copies it into the live records (mouse and
// mousepad lighting: only its first 56 bytes; the live image keeps its last
// 8) and writes the live body to the selected profile's file. The caller
// then refreshes and applies as Select does; after a mouse lighting reset it
// also saves the mouse device profile. Nothing changes on a read failure; on
// WriteFailed the live records hold the default but the file is unchanged.
OperationResult ResetProfile(const ProfileCombo& combo, int selected, LiveData& live);

// Bytes of the default lighting image a mouse or mousepad lighting reset takes.
inline constexpr std::size_t kResetImageBytes = 56;

}  // namespace talvo::profiles
