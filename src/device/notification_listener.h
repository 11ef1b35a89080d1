// KeyboardListener and MouseListener: the threads that read the keyboard's
// and the mouse's notification interface, a consumer-control collection on
// which the device reports, as input, that its settings were changed on the
// device itself.
//
// Idle, a listener looks for its interface once a second (at once when the
// backend reports interfaces coming or going). Listening, it reads one
// report at a time with a 500 ms time-out; a read that fails is followed by
// a probe, and only a failed probe (the device is gone) returns it to idle.
// Each listener owns its own CHidDevice and touches no link.
#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>

#include "platform/hid_backend.h"

namespace talvo::device {

enum class ListenerKind { Keyboard, Mouse };

// Notification usages: re-read the active settings block, read everything
// again, and (mouse only) the mousepad's flash trigger.
inline constexpr uint16_t kUsageSettingsChanged = 0x401;
inline constexpr uint16_t kUsageEverythingChanged = 0x402;
inline constexpr uint16_t kUsageFlash = 0x403;

// Whether a listener of `kind` passes `usage` on; 0 never.
bool HandlesUsage(ListenerKind kind, uint16_t usage);

// Runs on the listener thread for every usage the listener handles and must
// not return before the UI thread has acted on it: the next report is read
// only afterwards.
using NotificationHandler = std::function<void(uint16_t usage)>;

// The listener thread's body; returns when `stop` is requested, or at once
// when the interfaces cannot be listed.
void RunNotificationListener(std::stop_token stop, platform::HidBackend& backend, ListenerKind kind,
                             const NotificationHandler& handler);

}  // namespace talvo::device
