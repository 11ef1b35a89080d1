// Whole-file operations on the data folder: reads bounded in size, writes that
// never leave a half-written file behind, and the check a user-chosen name
// passes before it becomes part of a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::platform {

// Writes bytes to a temporary file in the target's folder, flushes it to disk
// and renames it over the target, so readers see either the old or the new
// content, never a mixture. The temporary file is removed on any failure.
// The new file has the permissions of the regular file it replaces (a
// symlink in its place lends none; then the umask decides), and its owner
// can always read and write it. The target's folder must exist. False on any
// I/O failure, with errno telling why.
bool WriteFileAtomically(const std::filesystem::path& file, std::span<const uint8_t> bytes);

// Removes from folder the temporary files of WriteFileAtomically that a
// process left behind when it ended before renaming them (killed, crashed,
// powered off): those whose process is gone, or is a later process that
// reuses its number (it started after the file was last written). Returns
// how many were removed.
int RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// Hears, on the writing thread, the failed writes under root worth telling:
// the folder written to and the errno, once per folder and errno, and again
// only after a write into that folder has succeeded. Writes elsewhere
// (desktop settings, the system-wide language) are not told. An empty
// handler stops the telling.
using SaveFailureHandler = std::function<void(const std::filesystem::path& folder, int error)>;
void SetSaveFailureHandler(const std::filesystem::path& root, SaveFailureHandler handler);

// Tells the handler about a write into folder: success, or failure with
// errno error. WriteFileAtomically and CopyFile do this themselves; other
// writers that fail before writing (a file that cannot be read to be
// changed) call it.
void NoteSaveResult(const std::filesystem::path& folder, bool ok, int error);

// The first maxBytes bytes of a regular file (all of it when shorter);
// nullopt when it is absent, not a regular file or cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& file, size_t maxBytes);

// Copies a regular file; the target is replaced atomically as in
// WriteFileAtomically. With failIfExists an existing target is kept and the
// call fails. Files above 64 MiB are refused.
bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to, bool failIfExists = false);

// Removes a file (not a folder). False when it was absent or could not be
// removed.
bool DeleteFile(const std::filesystem::path& file);

// Renames a file within the file system. Fails, changing nothing, when the
// source is absent or the target already exists.
bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Names (not paths) of the regular files directly in folder whose name ends in
// extension ("mac" or ".mac"; ASCII case-insensitive), sorted byte-wise.
// Empty when the folder is absent.
std::vector<std::string> FindFiles(const std::filesystem::path& folder, std::string_view extension);

// Whether a user-chosen name may become a file name in our folders: not empty,
// at most maxBytes bytes, valid UTF-8, not "." or "..", no '/' or '\\', no
// control characters (below 0x20, 0x7F). Without separators a name cannot
// leave its folder, so dots inside a name ("a..b", "Burst...") are allowed.
inline constexpr size_t kMaxFileNameBytes = 200;
bool IsSafeFileName(std::string_view name, size_t maxBytes = kMaxFileNameBytes);

}  // namespace talvo::platform
