// The log lines of one source (an SDK client, or the server turning clients
// away), bounded however fast they come: the first few go out as they come,
// later ones are only counted, and the count goes out as one line at most
// once every few seconds and when the source ends. A client sending nothing
// but bad packets would otherwise fill the log as fast as it can write.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace talvo::app {

class LogThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  using Sink = std::function<void(std::string_view line)>;

  static constexpr size_t kWrittenLines = 5;
  static constexpr Clock::duration kSummaryEvery = std::chrono::seconds(5);

  explicit LogThrottle(Sink sink) : sink_(std::move(sink)) {}

  void Line(std::string_view line, Clock::time_point now);
  // "... N more like this" for the lines counted since the last summary, if
  // any; the source's owner calls it when the source ends.
  void Flush();

 private:
  Sink sink_;
  size_t written_ = 0;
  uint64_t counted_ = 0;
  Clock::time_point lastSummary_{};
};

}  // namespace talvo::app
