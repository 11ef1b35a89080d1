#include "lighting/lighting_threads.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "device/device_commands.h"
#include "platform/debug.h"
#include "platform/prompt_wakes.h"

namespace talvo::lighting {

namespace {

using std::chrono::milliseconds;

// The loop every device thread runs after its start delay. While `open`
// (the thread's gates, read with the signal's lock held) is false the thread
// sleeps on the signal. Otherwise it waits until 1 ms plus the frame delay
// after the last pass, then runs the pass while the device is connected and
// not under synchronized lighting. `afterPass` runs whenever the device is
// connected, whether or not the pass ran.
template <typename Open, typename FrameDelay, typename Pass, typename AfterPass>
void FrameLoop(StopWait& wait, platform::WakeSignal& gates, milliseconds startDelay, milliseconds gateRecheck,
               device::CDeviceLink& link, std::string_view exitText, Open open, FrameDelay frameDelay, Pass pass,
               AfterPass afterPass) {
  constexpr milliseconds kPassPause{1};
  platform::AskPromptWakes();
  if (wait.For(startDelay)) {
    // The pause counts from the last pass rather than from the wake-up, so
    // a streamed set that wakes the thread after a quiet spell goes out at
    // once, yet never closer than the pause to the frame before.
    auto lastPass = std::chrono::steady_clock::now();
    while (!wait.Stopped()) {
      if (!open()) {
        gates.WaitFor(wait.Token(), gateRecheck, open);
        continue;
      }
      // A single wait for the whole pause: every wake-up costs CPU time.
      if (!wait.Until(lastPass + kPassPause + frameDelay())) break;
      // The link may drop during the delay; a frame then waits for the next pass.
      if (!link.IsConnected()) continue;
      if (link.syncActive.load() == 0) pass();
      afterPass();
      lastPass = std::chrono::steady_clock::now();
    }
  }
  debug::Line(exitText);
}

bool Awake(const std::atomic<uint32_t>* systemAwake) { return !systemAwake || systemAwake->load() != 0; }

// Connected and not driven by synchronized lighting.
bool Drivable(const device::CDeviceLink& link) { return link.IsConnected() && link.syncActive.load() == 0; }

bool Streaming(const DirectColours* direct) { return direct && direct->On(); }

// Gate of a streamed device: a set to send. Otherwise the effect's own.
template <typename EffectOpen>
bool OpenWithDirect(const DirectColours* direct, EffectOpen effectOpen) {
  return Streaming(direct) ? direct->Pending() : effectOpen();
}

}  // namespace

bool StopWait::For(milliseconds d) {
  if (d.count() <= 0) return !Stopped();
  return Until(std::chrono::steady_clock::now() + d);
}

void SendKeyboardFrame(device::CDeviceLink& link, const LedStates& leds, LightingPreviewHost& preview, bool send) {
  KeyboardFrame frame;
  KeyboardPreview shown;
  BuildKeyboardFrame(leds, frame, shown);
  preview.KeyboardPreview(shown.colour, shown.level);
  if (send) device::SendLightFrame(link, frame);
}

void RunKeyboardLighting(std::stop_token stop, const KeyboardLightingThread& parts) {
  StopWait wait(std::move(stop));
  LightRecord& record = parts.lighting.record;
  KeyboardEffectContext context{parts.lighting, parts.state, parts.leds, wait};
  FrameLoop(
      wait, parts.gates, parts.startDelay, parts.gateRecheck, parts.link, "keyboard lighting thread ended",
      // A streamed set waits while synchronized lighting drives the keyboard.
      [&] {
        return parts.link.IsConnected() &&
               (!Streaming(parts.direct) || (parts.direct->Pending() && parts.link.syncActive.load() == 0));
      },
      [&] {
        if (Streaming(parts.direct)) return milliseconds(0);
        const uint8_t mode = record.mode();
        const uint8_t speed = record.speed();
        milliseconds delay(KbDelay(mode, speed));
        // The mode's sleep before its effect, taken in the same wait; only a
        // pass that runs has it.
        if (mode < parts.modes.size() && parts.link.syncActive.load() == 0)
          delay += parts.modes[mode].sleep.For(speed);
        return delay;
      },
      [&] {
        const uint8_t mode = record.mode();
        if (Streaming(parts.direct))
          KeyboardDirectLeds(record.brightness(), parts.direct->Take(), parts.leds);
        else if (mode < parts.modes.size() && parts.modes[mode].run)
          parts.modes[mode].run(context);
        SendKeyboardFrame(parts.link, parts.leds, parts.preview, Awake(parts.systemAwake));
      },
      // The hue counter keeps running under synchronized lighting too.
      [&] { parts.state.SetHueTick(static_cast<uint8_t>(parts.state.hueTick() + 1)); });
}

void RunMouseLighting(std::stop_token stop, const MouseLightingThread& parts) {
  StopWait wait(std::move(stop));
  MouseSettingsRecord& record = parts.record;
  MouseFrame frame{};
  MousePreview shown;
  FrameLoop(
      wait, parts.gates, parts.startDelay, parts.gateRecheck, parts.link, "mouse lighting thread ended",
      [&] {
        return Drivable(parts.link) &&
               OpenWithDirect(parts.direct, [&] { return record.mode() < kMouseComputedModes; });
      },
      // 2 × speed + 3 ms and 10 × speed ms, in one wait.
      [&] { return Streaming(parts.direct) ? milliseconds(0) : milliseconds(12 * unsigned{record.speed()} + 3); },
      [&] {
        if (Streaming(parts.direct)) {
          MouseDirectFrame(record.brightness(), parts.direct->Take(), frame, shown);
        } else if (!ComputeMouseFrame(record, parts.state, frame, shown)) {
          debug::Line("mouse lighting: mode " + std::to_string(record.mode()) + " has no frame; none sent");
          return;
        }
        parts.preview.MousePreview(shown.colour, shown.alpha);
        if (parts.systemAwake.load() != 0 && parts.mouseRereadPending.load() == 0)
          device::SendLightFrame(parts.link, frame);
      },
      [] {});
}

void RunMousepadLighting(std::stop_token stop, const MousepadLightingThread& parts) {
  StopWait wait(std::move(stop));
  LightRecord& record = parts.record;
  MousepadFrame frame;
  MousepadEffectContext context{record, frame, wait};
  const auto effect = [&](uint8_t mode) { return mode < parts.modes.size() && parts.modes[mode].run; };
  FrameLoop(
      wait, parts.gates, parts.startDelay, parts.gateRecheck, parts.link, "mousepad lighting thread ended",
      [&] { return Drivable(parts.link) && OpenWithDirect(parts.direct, [&] { return effect(record.mode()); }); },
      [&] {
        if (Streaming(parts.direct)) return milliseconds(0);
        const uint8_t mode = record.mode();
        const uint8_t speed = record.speed();
        milliseconds delay(9 + 4 * unsigned{speed});
        // The mode's sleep before its effect, taken in the same wait.
        if (effect(mode)) delay += parts.modes[mode].sleep.For(speed);
        return delay;
      },
      [&] {
        const uint8_t mode = record.mode();
        const bool streaming = Streaming(parts.direct);
        if (!streaming && !effect(mode)) return;
        frame = MousepadFrame{};
        const size_t length =
            streaming ? MousepadDirectFrame(record.brightness(), parts.direct->Take(), frame)
                      : std::min(parts.modes[mode].run(context), frame.bytes.size());
        if (length == 0) return;
        parts.preview.MousepadPreview(frame.colour, frame.alpha);
        if (Awake(parts.systemAwake))
          device::SendLightFrame(parts.link, std::span<const uint8_t>(frame.bytes).first(length));
      },
      [] {});
}

}  // namespace talvo::lighting
