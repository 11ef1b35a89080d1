#include "platform/prompt_wakes.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace talvo::platform {
namespace {

// The thread's policy and nice value are the user's: only the slice (which
// kernels before 6.12 do not offer) and the timer slack change. Each case
// runs on a thread of its own, so the test process keeps its settings.
TEST(PromptWakesTest, KeepsPolicyAndNiceAndTightensSlack) {
  for (const int policy : {SCHED_OTHER, SCHED_BATCH}) {
    std::jthread([policy] {
      const pid_t tid = pid_t(::syscall(SYS_gettid));
      const sched_param param{};
      ASSERT_EQ(::sched_setscheduler(0, policy, &param), 0);
      ASSERT_EQ(::setpriority(PRIO_PROCESS, id_t(tid), 5), 0);
      AskPromptWakes();
      EXPECT_EQ(::sched_getscheduler(0), policy);
      EXPECT_EQ(::getpriority(PRIO_PROCESS, id_t(tid)), 5);
      EXPECT_LE(::prctl(PR_GET_TIMERSLACK), 1'000);
    });
  }
}

}  // namespace
}  // namespace talvo::platform
