// Starting Talvo when the user logs in: the desktop entry talvo.desktop in
// $XDG_CONFIG_HOME/autostart (default $HOME/.config/autostart), which desktops
// following the XDG autostart convention run at login. It is the user's own
// choice, so nothing is ever installed there.
//
// Only an entry whose Exec starts a program named talvo is Talvo's: a
// foreign file of that name is never shown as Talvo's, replaced or removed.
// Desktops that turn an entry off in their settings either remove it or mark
// it Hidden=true or X-GNOME-Autostart-enabled=false; such an entry does not
// start Talvo.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::platform {

// Where the entry goes; nullopt when neither an absolute XDG_CONFIG_HOME nor
// HOME is set.
std::optional<std::filesystem::path> AutostartEntryPath();

// Whether the entry is there, is Talvo's and is not turned off.
bool StartsAtLogin();

// Writes the entry starting `program` with --hidden, making the folder when
// missing; the file is replaced whole, never left half-written. False with
// errno set when it cannot be written: EEXIST when a foreign file holds the
// name, EINVAL when program is not an absolute UTF-8 path.
bool EnableStartAtLogin(const std::filesystem::path& program);

// Removes Talvo's entry; true when none is left (a foreign file stays). False
// with errno set when it cannot be removed.
bool DisableStartAtLogin();

// The entry's text: Type=Application, Name=Talvo, Exec with the program quoted
// as desktop entries require, Icon=talvo, X-GNOME-Autostart-enabled=true and a
// comment. nullopt when program is not an absolute UTF-8 path without NUL.
std::optional<std::string> AutostartEntryText(const std::filesystem::path& program);

// What an entry's text says, read from its [Desktop Entry] group.
struct AutostartEntry {
  bool talvo = false;    // its Exec starts a program named talvo
  bool enabled = false;  // talvo, and not turned off
};
AutostartEntry ParseAutostartEntry(std::string_view text);

}  // namespace talvo::platform
