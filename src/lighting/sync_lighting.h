// Synchronized lighting: one effect computed for the keyboard, the mouse and
// the mousepad in step, from the SyncLightRecord.
//
// A same-mode button copies its device's lighting to the other two devices
// and to the SyncLightRecord (SyncApply); the caller then marks all three
// links syncActive, which hands them from their own lighting threads to the
// synchronized thread. A device leaves when its own record is pushed
// (command 6 clears syncActive) or it is detached.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>

#include "device/device_link.h"
#include "device/peripheral.h"
#include "lighting/effect_engine.h"
#include "lighting/led_model.h"
#include "lighting/light_records.h"
#include "lighting/lighting_threads.h"
#include "lighting/mouse_effects.h"
#include "platform/wake_signal.h"

namespace talvo::lighting {

// Effects 0..3: wave, spectrum, breathing, static. Other modes show nothing.
inline constexpr uint8_t kSyncModes = 4;
inline constexpr size_t kSyncMousepadFrameBytes = kMousepadLeds * 3;  // 45

// --- applying ----------------------------------------------------------

// The live records a same-mode button copies between.
struct SyncRecords {
  LightRecord& keyboard;
  MouseSettingsRecord& mouse;
  LightRecord& mousepad;
  SyncLightRecord& sync;
};

// What the caller does for each of the two devices that received the
// source's lighting, in this order: refresh its lighting page, save its
// light profile and, where `deviceProfile` is set, its device profile too.
struct SyncFollowUp {
  struct Target {
    device::Peripheral device;
    bool deviceProfile;
  };
  std::array<Target, 2> targets;
};

// Copies the source's mode .. blue (record bytes 1..8) into the other two
// records and the SyncLightRecord. Nothing is pushed and syncActive is not
// touched: the caller marks the three links and notifies the lighting
// gates. A source that is none of the three devices, or whose mode is not
// one of the kSyncModes the synchronized frames animate, changes nothing and
// returns nullopt.
std::optional<SyncFollowUp> SyncApply(device::Peripheral source, const SyncRecords& records);

// --- frames ------------------------------------------------------------

// One synchronized frame for each device, with the colours for the pages.
// Previews carry the colour before scaling and the strength of the light.
struct SyncFrames {
  KeyboardFrame keyboard{};
  KeyboardPreview keyboardPreview;
  MouseFrame mouse{};
  MousePreview mousePreview;
  std::array<uint8_t, kSyncMousepadFrameBytes> mousepad{};
  std::array<uint32_t, kMousepadLeds> mousepadColour{};
  std::array<uint8_t, kMousepadLeds> mousepadAlpha{};
};

// Computes the next frame set of the record's effect into `frames` (every
// byte rewritten), stepping the shared step counter (the keyboard state's
// snakePos, which the keyboard's own effects also move). False, and
// nothing computed, for a mode without an effect.
bool ComputeSyncFrames(const SyncLightRecord& record, KbEffectState& counter, SyncFrames& frames);

// --- thread ------------------------------------------------------------

struct SyncLightingThread {
  device::CDeviceLink& keyboard;
  device::CDeviceLink& mouse;
  device::CDeviceLink& mousepad;
  const SyncLightRecord& record;
  // Holds the step counter shared with the keyboard's effects.
  KbEffectState& counter;
  LightingPreviewHost& preview;
  // While clear (the session is suspended) frames are computed and previewed
  // but not sent.
  const std::atomic<uint32_t>& systemAwake;
  // Notified when a link's presence or syncActive, or the record's mode, may
  // have changed; the thread sleeps on it while no connected device is
  // synchronized or the mode has no effect.
  platform::WakeSignal& gates;
  std::chrono::milliseconds gateRecheck = kGateRecheck;
};

void RunSyncLighting(std::stop_token stop, const SyncLightingThread& parts);

}  // namespace talvo::lighting
