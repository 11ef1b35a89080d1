// Talvo's Status answer over the session bus: its JSON text read into
// records, and the readable lines talvoctl prints for them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::tools {

struct DpiStatus {
  int stage = 0;  // 1-based: the active entry of stages
  std::vector<int> stages;
};

struct DeviceStatus {
  std::string device;  // "mouse", "keyboard" or "mousepad"
  int onboard = 0;
  // The profile chosen in each of the device's lists, "" when none is; nothing
  // for a kind the device has no list of (the mousepad has lighting profiles only).
  std::optional<std::string> keyProfile;
  std::optional<std::string> lightingProfile;
  std::optional<std::string> deviceProfile;
  int mode = 0;
  std::string modeName;
  int brightness = 0;
  int speed = 0;
  std::string colour;
  std::optional<DpiStatus> dpi;
};

struct TalvoStatus {
  std::vector<DeviceStatus> devices;
};

// Reads the Status text. Members beyond the known ones are skipped; a known
// member missing (but for the profiles of kinds a device has not) or of the
// wrong type, or text that is not JSON, gives nothing. Bounded in size and
// nesting, as the text comes from another process.
std::optional<TalvoStatus> ParseTalvoStatus(std::string_view json);

// One small block per device, its texts passed through Printable.
std::string FormatTalvoStatus(const TalvoStatus& status);

// text with its control characters shown as '?', so that text from another
// process cannot act on the terminal.
std::string Printable(std::string_view text);

// text as a JSON string literal, quotes included.
std::string JsonQuoted(std::string_view text);

}  // namespace talvo::tools
