// JSON from a compositor's socket: sway's events and trees, Hyprland's
// replies. Whatever the bytes, the reader keeps to its caps and every pid
// the readers above it take out lies within 1 .. kMaxPid (0 for none).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/compositor_replies.h"
#include "platform/foreground_replies.h"

using namespace talvo::platform;

namespace {

void CheckPid(int pid) {
  if (pid < 0 || pid > kMaxPid) std::abort();
}

// How deep arrays nest: within the depth cap the reader keeps to.
size_t Depth(const JsonValue& value) {
  size_t deepest = 0;
  for (const JsonValue& item : value.Items()) deepest = std::max(deepest, Depth(item));
  return value.Items().empty() ? 1 : deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const JsonLimits limits : {kJsonEventLimits, JsonLimits{4096, 4, 64}}) {
    const auto json = ParseJson(text, limits);
    if (!json) continue;
    if (Depth(*json) > limits.maxDepth + 1) std::abort();
    if (const auto focus = SwayFocusInTree(*json)) CheckPid(focus->pid);
    for (int pid : SwayPidsInTree(*json)) CheckPid(pid == 0 ? -1 : pid);
    if (const auto event = ReadSwayWindowEvent(*json)) CheckPid(event->window.pid);
    IsSwayWorkspaceFocus(*json);
    if (const auto pid = HyprlandActivePid(*json)) CheckPid(*pid);
    for (int pid : HyprlandClientPids(*json)) CheckPid(pid == 0 ? -1 : pid);
  }
  return 0;
}
