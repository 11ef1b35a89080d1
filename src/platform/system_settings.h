// Machine-wide settings an installer may set (the stored LANGUAGE choice), kept
// in the INI file talvo/system.ini under the XDG configuration folders,
// section "Gaming Mouse", one key per setting.
//
// Reading looks in $XDG_CONFIG_HOME (default $HOME/.config), then each entry
// of $XDG_CONFIG_DIRS (default /etc/xdg) in order; the first file holding the
// key wins. Writing goes to the first $XDG_CONFIG_DIRS entry where the file can
// be written (the folder talvo/ is created when missing).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvo::platform {

std::optional<std::string> ReadSystemSetting(std::string_view name);

// False when no entry of $XDG_CONFIG_DIRS can be written, or name or value
// cannot be stored in an INI file.
bool WriteSystemSetting(std::string_view name, std::string_view value);

}  // namespace talvo::platform
