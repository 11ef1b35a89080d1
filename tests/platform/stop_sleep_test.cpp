#include "platform/stop_sleep.h"

#include <gtest/gtest.h>

#include <thread>

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(StopSleepTest, SleepsUntilTheEndUnlessStopped) {
  std::stop_source source;
  StopSleep sleep(source.get_token());
  EXPECT_TRUE(sleep.Until(Clock::now() - 1ms));
  const auto end = Clock::now() + 20ms;
  EXPECT_TRUE(sleep.Until(end));
  EXPECT_GE(Clock::now(), end);

  // A stop ends a sleep in progress, and every sleep after it at once.
  const auto start = Clock::now();
  std::jthread stopper([&] {
    std::this_thread::sleep_for(20ms);
    source.request_stop();
  });
  EXPECT_FALSE(sleep.Until(start + 60s));
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_TRUE(sleep.Stopped());
  EXPECT_FALSE(sleep.Until(Clock::now() + 60s));
}

TEST(StopSleepTest, WithoutAStopSourceOnlyTheTimeEndsIt) {
  StopSleep sleep{std::stop_token{}};
  EXPECT_TRUE(sleep.Until(Clock::now() + 5ms));
  EXPECT_FALSE(sleep.Stopped());
}

}  // namespace
}  // namespace talvo::platform
