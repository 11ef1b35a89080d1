// Where Talvo keeps its files: the user's documents folder (XDG user dirs),
// the data folder inside it with one sub-folder per peripheral, and the
// read-only program folder holding skin/ and the factory default files.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace talvo::platform {

// XDG_DOCUMENTS_DIR from user-dirs.dirs ($XDG_CONFIG_HOME, default
// $HOME/.config), else $HOME/Documents. Created when missing.
std::filesystem::path DocumentsFolder();

// DocumentsFolder()/"Gaming MouseV1", created when missing.
std::filesystem::path DataFolder();

// DataFolder()/name, created when missing.
std::filesystem::path DataSubfolder(std::string_view name);

// The folder holding skin/ and the default files, first match of:
//  1. $TALVO_PROGRAM_DIR when set and not empty (tests, tools);
//  2. <folder of the running binary>/../share/talvo when it exists (installed);
//  3. <build tree>/share/talvo, where the build puts generated files.
// Never created; files there are only read.
std::filesystem::path ProgramFolder();

// The documents folder named by the XDG_DOCUMENTS_DIR line of a user-dirs.dirs
// text: a double-quoted value, "$HOME" or "$HOME/..." expanded with home, or
// an absolute path; backslash escapes the next character. nullopt when the
// line is absent or malformed, the result is not absolute, or it uses $HOME
// and home is not an absolute path. The last valid line wins, as when the
// shell sources the file.
std::optional<std::filesystem::path> ParseUserDirsDocuments(std::string_view text, std::string_view home);

}  // namespace talvo::platform
