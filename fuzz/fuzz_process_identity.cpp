// /proc files of another program's process: its command line, environment
// and status. Whatever they hold, a Windows program name is one path
// component ending in ".exe", a Steam app is 1 to 10 digits and not all
// zeros, and a parent pid lies within 1 .. kMaxPid.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/foreground_replies.h"
#include "platform/process_identity.h"

using namespace talvo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  if (const auto name = WindowsProgramFromCommandLine(bytes)) {
    if (name->size() < 5 || name->size() > size || name->find_first_of(std::string_view("\\/\0", 3)) != std::string::npos) {
      std::abort();
    }
  }
  if (const auto app = SteamAppFromEnvironment(bytes)) {
    if (app->empty() || app->size() > 10 || app->find_first_not_of("0123456789") != std::string::npos ||
        app->find_first_not_of('0') == std::string::npos) {
      std::abort();
    }
  }
  if (const auto parent = ParentFromStatus(bytes); parent && (*parent < 1 || *parent > kMaxPid)) std::abort();
  return 0;
}
