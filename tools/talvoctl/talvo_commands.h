// The talvoctl commands that ask a running Talvo over the session bus: their
// arguments, checked before anything is sent, and what they print.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "talvo_bus_client.h"

namespace talvo::tools {

enum class TalvoVerb { Status, SelectProfile, SelectOnboard, SetLighting, SetDpi, Store };

struct TalvoCommand {
  TalvoVerb verb = TalvoVerb::Status;
  bool json = false;
  std::string device;
  std::string kind;         // profile kind: "key", "lighting" or "device"
  std::string name;         // profile name, or lighting mode (number or name)
  uint32_t number = 0;      // onboard profile (1..5) or DPI stage (1..kDpiStages)
  uint32_t value = 0;       // DPI
  int32_t brightness = -1;  // -1 keeps the current one, as does an empty colour
  int32_t speed = -1;
  std::string colour;
};

// The onboard profiles, numbered as the pages and the direct commands number them.
inline constexpr uint32_t kOnboardProfiles = 5;
// The DPI stages the mouse's performance page shows.
inline constexpr uint32_t kDpiStages = 6;

// Whether word names one of these commands rather than a direct one.
bool IsTalvoCommand(std::string_view word);

// arguments: the words after the command word; json: --json came among the
// leading options. Nothing when the arguments are not valid, with what is
// wrong in *error as one line.
std::optional<TalvoCommand> ParseTalvoCommand(std::string_view word, std::span<char* const> arguments, bool json,
                                              std::string* error);

// A bad argument: what is wrong on stderr and, with --json, as
// {"ok":false,"error":...} on stdout. Returns the exit code, 2.
int UsageError(const std::string& what, bool json);

// Makes the call, prints its outcome and returns the exit code: 0 done,
// 1 Talvo not running or silent, 3 Talvo refused or sent an unreadable status.
int RunTalvoCommand(const TalvoCommand& command, TalvoBusClient& client);

}  // namespace talvo::tools
