// Runs the test's own Qt event loop until a condition holds, for tests that
// wait on signals and sockets in their own process.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <functional>

namespace talvo::test_support {

// Generous: it bounds a failure, it is not a speed goal.
inline constexpr int kEventWaitMs = 20000;

// True once done() holds; false when timeoutMs passed first.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = kEventWaitMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace talvo::test_support
