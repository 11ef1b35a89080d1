#include "platform/prompt_wakes.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

namespace talvo::platform {
namespace {

// The calling thread's slice as sched_getattr(2) tells it: 0 where the
// kernel has none for the fair policy.
uint64_t SliceNs() {
  uint64_t attr[6] = {};  // size, policy, flags, nice and priority, runtime, ...
  if (::syscall(SYS_sched_getattr, 0, attr, sizeof attr, 0) != 0) return 0;
  return attr[3];
}

// The thread's policy and nice value are the user's: only the slice (which
// kernels before 6.12 do not offer) changes. Each case runs on a thread of
// its own, so the test process keeps its settings.
TEST(PromptWakesTest, TakesTheSliceAndKeepsPolicyAndNice) {
  for (const int policy : {SCHED_OTHER, SCHED_BATCH}) {
    std::jthread([policy] {
      const pid_t tid = pid_t(::syscall(SYS_gettid));
      const sched_param param{};
      ASSERT_EQ(::sched_setscheduler(0, policy, &param), 0);
      ASSERT_EQ(::setpriority(PRIO_PROCESS, id_t(tid), 5), 0);
      const uint64_t before = SliceNs();
      AskPromptWakes();
      // A kernel that tells a fair thread's slice takes the one asked for.
      if (before != 0) {
        EXPECT_EQ(SliceNs(), 100'000u);
      }
      EXPECT_EQ(::sched_getscheduler(0), policy);
      EXPECT_EQ(::getpriority(PRIO_PROCESS, id_t(tid)), 5);
    });
  }
}

}  // namespace
}  // namespace talvo::platform
