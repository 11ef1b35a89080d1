// Replies about the program in front come from the X server, /proc and the
// session bus. Whatever they hold, each reader stays within the bytes given,
// yields values only within span, and pids only within 1 .. kMaxPid (0 for
// "no window" from the desktop's report; window lists bounded, each pid once).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/foreground_replies.h"

using namespace talvo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (const auto property = ReadPropertyReply(bytes)) {
    if (property->bytes.data() < data + 32 || property->bytes.data() + property->bytes.size() > data + size) {
      std::abort();
    }
    if (property->bytes.size() % (property->format == 0 ? 1 : property->format / 8) != 0) std::abort();
    if (const auto value = FirstCard32(*property, kAtomCardinal)) {
      if (const auto pid = ValidPid(*value); pid && (*pid < 1 || *pid > kMaxPid)) std::abort();
    }
    ClientMachineIs(*property, "host");
  }
  if (const auto pid = ReadClientIdsPid(bytes); pid && (*pid < 1 || *pid > kMaxPid)) std::abort();

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto path = ExecutableFromProcLink(text)) {
    if (path->empty() || path->front() != '/' || path->find('\0') != std::string::npos) std::abort();
  }
  if (const auto pid = ReadReportedPid(text); pid && (*pid < 0 || *pid > kMaxPid)) std::abort();
  if (const auto pids = ReadReportedPids(text)) {
    if (pids->size() > kMaxReportedWindows) std::abort();
    for (int pid : *pids)
      if (pid < 1 || pid > kMaxPid || std::count(pids->begin(), pids->end(), pid) != 1) std::abort();
  }
  return 0;
}
