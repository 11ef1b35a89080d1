#include "platform/hid_backend.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace talvo::platform {

AbortEvent::AbortEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  // Without it no wait could ever be cut short; there is nothing sensible to
  // fall back to.
  if (fd_ < 0) std::abort();
}

AbortEvent::~AbortEvent() { ::close(fd_); }

void AbortEvent::Signal() {
  const uint64_t one = 1;
  while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

bool AbortEvent::Consume() {
  uint64_t count = 0;
  ssize_t n;
  while ((n = ::read(fd_, &count, sizeof count)) < 0 && errno == EINTR) {
  }
  return n == static_cast<ssize_t>(sizeof count) && count > 0;
}

}  // namespace talvo::platform
