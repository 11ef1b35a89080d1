// What a profile's link may name, and whether it names a program. A link is
// stored as text in the profile index, in one of three forms:
//   an absolute path         "/usr/bin/game"  the executable, byte for byte
//   a Windows program        "game.exe", or a Windows path whose last part is
//                            one ("C:\Games\game.exe")  a program run by
//                            Wine or Proton, by its name, case-insensitively
//   a Steam app              "steam:APPID"    a game Steam started
// Anything else is stored and shown but names no program.
#pragma once

#include <string>
#include <string_view>

#include "platform/foreground_program.h"

namespace talvo::profiles {

enum class LinkForm { Path, WindowsProgram, SteamApp, None };

LinkForm FormOf(std::string_view link);

// The link a user would make to this program: its Steam app, else its
// Windows program name, else its executable's path.
std::string LinkFor(const platform::ForegroundAnswer& program);

// What the link row's field shows: a path's file name, a Windows program's
// name without its Windows folders ("game.exe"), anything else as it is.
std::string LinkFieldText(std::string_view link);

// Whether two links of the same form name the same program: paths byte for
// byte, Windows programs by name and Steam apps case-insensitively. Links
// that name no program are never the same.
bool SameLink(std::string_view a, std::string_view b);

// Whether the link names the program. `resolved` is a path link with its
// symbolic links followed, or empty; the running program is always known by
// its real file.
bool LinkNames(std::string_view link, std::string_view resolved, const platform::ForegroundAnswer& program);

}  // namespace talvo::profiles
