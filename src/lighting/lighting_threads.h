// The per-device lighting threads: each wakes at the pace its effect's speed
// sets, computes the next frame from its device's record while the device is
// connected and not driven by synchronized lighting, hands the colours to
// the page preview and streams the frame with command 18.
//
// While a thread has nothing to send (its device absent, and for the mouse
// and the mousepad also under synchronized lighting or in a mode the device
// runs itself) it sleeps on its gates signal instead of looking again every
// frame: an idle program then stays asleep. Whoever opens a gate notifies
// the signal after the change. Each thread has a signal of its own, so the
// colours streamed to one device wake that device's thread alone.
//
// While another program streams colours to a device (its DirectColours on)
// the device's effect rests: the thread sleeps until a new set comes and
// sends it as the next frame, as fast as the device takes frames.
//
// The thread bodies run until their stop token is signalled; every sleep is
// a wait on the token, so shutdown never waits out a frame delay.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stop_token>

#include "device/device_link.h"
#include "lighting/colour_tables.h"
#include "lighting/direct_colours.h"
#include "lighting/effect_engine.h"
#include "lighting/led_model.h"
#include "lighting/light_records.h"
#include "lighting/mouse_effects.h"
#include "platform/stop_sleep.h"
#include "platform/wake_signal.h"

namespace talvo::lighting {

inline constexpr std::chrono::milliseconds kKeyboardStartDelay{1000};
inline constexpr std::chrono::milliseconds kMouseStartDelay{3000};
inline constexpr std::chrono::milliseconds kMousepadStartDelay{3000};
// How long a thread with a closed gate sleeps before it looks again on its
// own. Every opening is notified, so this only bounds the cost of one that
// was not.
inline constexpr std::chrono::milliseconds kGateRecheck{5000};

inline constexpr size_t kMousepadLeds = 15;
inline constexpr size_t kMousepadFrameMax = 60;
inline constexpr size_t kMousepadComputedModes = 9;

// Receives each frame's colours for the device pictures of the pages. Called
// on the lighting threads once per frame, so an implementation only stores
// the values (the page repaints on its own timer) and never blocks.
class LightingPreviewHost {
 public:
  // Colours packed red | blue << 8 | green << 16, before scaling. The
  // keyboard's level is its LedState level; whether a key shows its light
  // (not while the key-assignment tab is up) is the page's to decide.
  virtual void KeyboardPreview(std::span<const uint32_t, kKeyboardLeds> colour,
                               std::span<const uint8_t, kKeyboardLeds> level) = 0;
  virtual void MousePreview(std::span<const uint32_t, kMouseLeds> colour,
                            std::span<const uint8_t, kMouseLeds> alpha) = 0;
  virtual void MousepadPreview(std::span<const uint32_t, kMousepadLeds> colour,
                               std::span<const uint8_t, kMousepadLeds> alpha) = 0;

 protected:
  ~LightingPreviewHost() = default;
};

// A sleep that ends early, and for good, once stop is requested; also for
// a span of time.
class StopWait : public platform::StopSleep {
 public:
  using StopSleep::StopSleep;
  // False when stop is requested (at once when it already was).
  bool For(std::chrono::milliseconds d);
};

// A mode's sleep before its effect: base + perSpeed × speed milliseconds.
struct ExtraSleep {
  uint16_t baseMs = 0;
  uint16_t perSpeedMs = 0;
  std::chrono::milliseconds For(uint8_t speed) const {
    return std::chrono::milliseconds(baseMs + unsigned{perSpeedMs} * speed);
  }
};

// What a keyboard effect works on for one frame. `wait` serves effects that
// pause in the middle of a frame.
struct KeyboardEffectContext {
  KeyboardLighting& lighting;
  KbEffectState& state;
  LedStates& leds;
  StopWait& wait;
};

// One keyboard mode: its extra sleep and its effect, which paints LedStates.
// A mode without an effect sends the LED states as they stand.
struct KeyboardMode {
  ExtraSleep sleep;
  std::function<void(KeyboardEffectContext&)> run;
};
using KeyboardModeTable = std::array<KeyboardMode, kKeyboardModes>;

struct MousepadFrame {
  std::array<uint8_t, kMousepadFrameMax> bytes{};
  std::array<uint32_t, kMousepadLeds> colour{};
  std::array<uint8_t, kMousepadLeds> alpha{};
};

struct MousepadEffectContext {
  LightRecord& record;
  MousepadFrame& frame;  // zeroed before the effect runs
  StopWait& wait;
};

// One mousepad mode: its extra sleep and its effect, which fills the frame
// and returns how many of its bytes to send (0: no frame this pass). A mode
// without an effect, like a mode beyond the table, sends nothing.
struct MousepadMode {
  ExtraSleep sleep;
  std::function<size_t(MousepadEffectContext&)> run;
};
using MousepadModeTable = std::array<MousepadMode, kMousepadComputedModes>;

struct KeyboardLightingThread {
  device::CDeviceLink& link;
  KeyboardLighting& lighting;
  KbEffectState& state;
  LedStates& leds;
  const KeyboardModeTable& modes;
  LightingPreviewHost& preview;
  // Notified when the link's presence changes. Every keyboard mode streams
  // frames, and under synchronized lighting the hue counter still runs, so
  // presence is the keyboard's only gate.
  platform::WakeSignal& gates;
  std::chrono::milliseconds startDelay = kKeyboardStartDelay;
  std::chrono::milliseconds gateRecheck = kGateRecheck;
  // Frames go out only while the session is awake (always when null); the
  // preview moves regardless.
  const std::atomic<uint32_t>* systemAwake = nullptr;
  // Colours streamed in place of the effect; none when null.
  DirectColours* direct = nullptr;
};

struct MouseLightingThread {
  device::CDeviceLink& link;
  MouseSettingsRecord& record;
  MouseEffectState& state;
  LightingPreviewHost& preview;
  // Frames go out only while the session is awake and no settings re-read
  // the mouse asked for is pending; the preview moves regardless.
  const std::atomic<uint32_t>& systemAwake;
  const std::atomic<uint32_t>& mouseRereadPending;
  // Notified when the link's presence, syncActive or the record's mode may
  // have changed.
  platform::WakeSignal& gates;
  std::chrono::milliseconds startDelay = kMouseStartDelay;
  std::chrono::milliseconds gateRecheck = kGateRecheck;
  // As the keyboard's.
  DirectColours* direct = nullptr;
};

struct MousepadLightingThread {
  device::CDeviceLink& link;
  LightRecord& record;
  const MousepadModeTable& modes;
  LightingPreviewHost& preview;
  // Notified when the link's presence, syncActive or the record's mode may
  // have changed.
  platform::WakeSignal& gates;
  std::chrono::milliseconds startDelay = kMousepadStartDelay;
  std::chrono::milliseconds gateRecheck = kGateRecheck;
  // As the keyboard's.
  const std::atomic<uint32_t>* systemAwake = nullptr;
  DirectColours* direct = nullptr;
};

void RunKeyboardLighting(std::stop_token stop, const KeyboardLightingThread& parts);
void RunMouseLighting(std::stop_token stop, const MouseLightingThread& parts);
void RunMousepadLighting(std::stop_token stop, const MousepadLightingThread& parts);

// One keyboard frame: the LED states built into the frame and the preview,
// then sent with command 18 (seven reports). The send's result is not acted
// on; the next frame comes all the same.
// Without `send` only the preview is shown (the session is asleep).
void SendKeyboardFrame(device::CDeviceLink& link, const LedStates& leds, LightingPreviewHost& preview,
                       bool send = true);

}  // namespace talvo::lighting
