// Readers of the bytes the foreground program sources receive from outside:
// X11 replies as they arrive (host byte order, 32-byte header and the length
// the header announces), the process link from /proc, and the pid texts the
// KWin script and the GNOME Shell extension send. Each checks every length and range before use; a reply
// that does not add up reads as nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::platform {

// Linux never hands out a pid above this (PID_MAX_LIMIT on 64-bit systems).
inline constexpr int kMaxPid = 4 * 1024 * 1024;

// The predefined atoms the readers compare types with.
inline constexpr uint32_t kAtomCardinal = 6;
inline constexpr uint32_t kAtomString = 31;
inline constexpr uint32_t kAtomWindow = 33;

struct PropertyValue {
  uint32_t type = 0;  // 0 when the window has no such property
  uint8_t format = 0;
  std::span<const uint8_t> bytes;  // within the reply
};

// A GetProperty reply: its value bytes, checked against the reply's length.
std::optional<PropertyValue> ReadPropertyReply(std::span<const uint8_t> reply);

// The first 32-bit item of a property of the given type.
std::optional<uint32_t> FirstCard32(const PropertyValue& property, uint32_t type);

// A pid in 1 .. kMaxPid.
std::optional<int> ValidPid(uint64_t value);

// True when a WM_CLIENT_MACHINE property names host (host names compare
// without regard to case; trailing NULs are ignored).
bool ClientMachineIs(const PropertyValue& property, std::string_view host);

// The local client pid in an XRes QueryClientIds reply.
std::optional<int> ReadClientIdsPid(std::span<const uint8_t> reply);

// The target of /proc/PID/exe as an absolute path, " (deleted)" taken off;
// nothing when it is not absolute or holds a NUL.
std::optional<std::string> ExecutableFromProcLink(std::string_view link);

// The KWin script's report: the pid as decimal text, "0" when no window is
// active. Nothing unless it is plain digits within 0 .. kMaxPid.
std::optional<int> ReadReportedPid(std::string_view text);

// More windows than any desktop shows; a longer list is refused.
inline constexpr size_t kMaxReportedWindows = 1024;

// The pids of the desktop's windows as comma-separated decimal text ("" when
// there are none), each once, in the order first given. Nothing unless every
// item is a pid in 1 .. kMaxPid and there are at most kMaxReportedWindows.
std::optional<std::vector<int>> ReadReportedPids(std::string_view text);

}  // namespace talvo::platform
