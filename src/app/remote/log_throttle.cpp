#include "app/remote/log_throttle.h"

#include <string>

namespace talvo::app {

void LogThrottle::Line(std::string_view line, Clock::time_point now) {
  if (written_ < kWrittenLines) {
    sink_(line);
    // The first summary waits a whole period after the last line written.
    if (++written_ == kWrittenLines) lastSummary_ = now;
    return;
  }
  ++counted_;
  if (now - lastSummary_ < kSummaryEvery) return;
  Flush();
  lastSummary_ = now;
}

void LogThrottle::Flush() {
  if (counted_ == 0) return;
  sink_("... " + std::to_string(counted_) + " more like this");
  counted_ = 0;
}

}  // namespace talvo::app
