#include "platform/prompt_wakes.h"

#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace talvo::platform {

namespace {

// The kernel's sched_attr as sched_setattr(2) first defined it; its header
// clashes with the C library's sched.h, and the later fields are not needed.
struct SchedAttr {
  uint32_t size;
  uint32_t policy;
  uint64_t flags;
  int32_t nice;
  uint32_t priority;
  uint64_t runtime;
  uint64_t deadline;
  uint64_t period;
};
static_assert(sizeof(SchedAttr) == 48);

constexpr uint64_t kResetOnFork = 0x01;
// A wake's work here is tens of microseconds: the shortest slice the
// scheduler grants (0.1 ms) is still ample.
constexpr uint64_t kSliceNs = 100'000;

}  // namespace

void AskPromptWakes() {
  // The slice rides on the fair policy's runtime; the thread's policy and
  // nice value are read first and kept as they are.
  SchedAttr attr{};
  if (::syscall(SYS_sched_getattr, 0, &attr, sizeof attr, 0) != 0) return;
  if (attr.policy != SCHED_OTHER && attr.policy != SCHED_BATCH) return;
  attr.size = sizeof attr;
  attr.flags &= kResetOnFork;
  attr.runtime = kSliceNs;
  ::syscall(SYS_sched_setattr, 0, &attr, 0);
}

}  // namespace talvo::platform
