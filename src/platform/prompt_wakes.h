// For a thread whose every wake is a short piece of work someone waits on: a
// device's lighting thread (a frame goes out at a set time, and a streamed
// set should reach the device at once) or the SDK server's socket thread.
#pragma once

namespace talvo::platform {

// Asks the scheduler, for the calling thread, for a short time slice, so
// that on a busy machine a wake-up runs ahead of threads that compute for
// long spells instead of queueing behind them for one of their slices. It
// neither makes the thread wake more often nor gives it a larger share of
// the CPU. The timer slack stays as it is: a tighter one would keep the
// kernel from ending nearby sleeps in one wake. Kernels without custom
// slices (before 6.12) keep their default; nothing needs privileges.
void AskPromptWakes();

}  // namespace talvo::platform
