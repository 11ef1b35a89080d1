// Settings kept outside Talvo's data folder (the stored LANGUAGE choice), in
// the INI file talvo/system.ini under the XDG configuration folders, section
// "Gaming Mouse", one key per setting.
//
// Reading looks in $XDG_CONFIG_HOME (default $HOME/.config), then in each
// entry of $XDG_CONFIG_DIRS (default /etc/xdg) in order; the first file
// holding the key wins, so a value the user stored is kept over a default an
// installer put in a system folder. Writing goes only to the user's own file
// (its folder talvo/ is created when missing): a program must not write under
// /etc at run time, even when it runs as root.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvo::platform {

std::optional<std::string> ReadSystemSetting(std::string_view name);

// False when the user's configuration folder is unknown (no XDG_CONFIG_HOME
// and no HOME) or cannot be written, or name or value cannot be stored in an
// INI file.
bool WriteSystemSetting(std::string_view name, std::string_view value);

}  // namespace talvo::platform
