#include "platform/debug.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

namespace talvo::debug {

bool Enabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("TALVO_DEBUG");
    return value != nullptr && std::string_view(value) == "1";
  }();
  return enabled;
}

void Line(std::string_view text) {
  if (!Enabled()) return;
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back('\n');
  // One write() per line keeps lines whole against other processes sharing
  // stderr; the lock also keeps a long line whose write comes back short
  // whole against this process's other threads.
  static std::mutex mutex;
  const std::lock_guard lock(mutex);
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace talvo::debug
