// For a thread whose every wake is a short piece of work someone waits on: a
// device's lighting thread (a frame goes out at a set time, and a streamed
// set should reach the device at once) or the SDK server's socket thread.
#pragma once

namespace talvo::platform {

// Asks the scheduler, for the calling thread, for a short time slice, so
// that on a busy machine a wake-up runs ahead of threads that compute for
// long spells instead of queueing behind them for one of their slices, and
// for a tight timer slack, so its timed sleeps end when asked rather than up
// to the default 50 µs late. Neither makes the thread wake more often nor
// gives it a larger share of the CPU. Systems that know neither setting
// keep their defaults; nothing needs privileges.
void AskPromptWakes();

}  // namespace talvo::platform
