// Who a local process is beyond its executable: the Windows program a Wine
// or Proton loader runs, and the Steam app that started it. The readers look
// only at processes of the user running Talvo, read every /proc file up to a
// cap, and hand the bytes to the parsers below, which check every length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace talvo::platform {

inline constexpr size_t kMaxCommandLineBytes = 4 * 1024;
inline constexpr size_t kMaxEnvironmentBytes = 64 * 1024;
inline constexpr size_t kMaxStatusBytes = 8 * 1024;
// How far up the parents a Steam app id is looked for: Steam's reaper, the
// launcher scripts and Proton sit between Steam and the game.
inline constexpr int kMaxSteamParents = 8;

// Whether the executable is one Wine or Proton runs Windows programs with.
bool IsWineLoader(std::string_view executable);

// The Windows program named by argv[0] (the command line up to its first
// NUL): its last component, split on '\\' and '/', when it ends in ".exe".
std::optional<std::string> WindowsProgramFromCommandLine(std::span<const uint8_t> commandLine);

// SteamAppId, else SteamGameId, from NUL-separated environment entries: 1 to
// 10 digits, "0" meaning none.
std::optional<std::string> SteamAppFromEnvironment(std::span<const uint8_t> environment);

// The PPid line of /proc/PID/status.
std::optional<int> ParentFromStatus(std::span<const uint8_t> status);

// The Windows program of a process whose executable is a Wine loader; empty
// otherwise, or when the process is another user's.
std::string WindowsProgramOfProcess(int pid, std::string_view executable);

// The Steam app of a process or of one of its parents (up to
// kMaxSteamParents), stopping at the first process of another user; empty
// when none names one.
std::string SteamAppOfProcess(int pid);

}  // namespace talvo::platform
