#include "lighting/lighting_threads.h"

#include <algorithm>
#include <string_view>

#include "device/device_commands.h"
#include "platform/debug.h"

namespace talvo::lighting {

namespace {

using std::chrono::milliseconds;

// The loop every device thread runs after its start delay: a 1 ms look at
// the stop token, the frame delay, then one pass while the device is
// connected and not under synchronized lighting. `afterPass` runs whenever
// the device is connected, whether or not the pass ran.
template <typename FrameDelay, typename Pass, typename AfterPass>
void FrameLoop(StopWait& wait, milliseconds startDelay, device::CDeviceLink& link, std::string_view exitText,
               FrameDelay frameDelay, Pass pass, AfterPass afterPass) {
  if (wait.For(startDelay)) {
    while (wait.For(milliseconds(1)) && frameDelay()) {
      if (!link.IsConnected()) {
        wait.For(kDisconnectedPoll);
        continue;
      }
      // The link may drop during the delay; a frame then waits for the next pass.
      if (link.syncActive.load() == 0 && link.IsConnected()) pass();
      afterPass();
    }
  }
  debug::Line(exitText);
}

}  // namespace

bool StopWait::For(milliseconds d) {
  if (stop_.stop_requested()) return false;
  if (d.count() <= 0) return true;
  std::unique_lock lock(mutex_);
  // Nothing but the stop token ends the wait early.
  wake_.wait_for(lock, stop_, d, [] { return false; });
  return !stop_.stop_requested();
}

void SendKeyboardFrame(device::CDeviceLink& link, const LedStates& leds, LightingPreviewHost& preview) {
  KeyboardFrame frame;
  KeyboardPreview shown;
  BuildKeyboardFrame(leds, frame, shown);
  preview.KeyboardPreview(shown.colour, shown.level);
  device::SendLightFrame(link, frame);
}

void RunKeyboardLighting(std::stop_token stop, const KeyboardLightingThread& parts) {
  StopWait wait(std::move(stop));
  LightRecord& record = parts.lighting.record;
  KeyboardEffectContext context{parts.lighting, parts.state, parts.leds, wait};
  FrameLoop(
      wait, parts.startDelay, parts.link, "键盘灯光线程设定退出",
      [&] { return wait.For(milliseconds(KbDelay(record.mode(), record.speed()))); },
      [&] {
        const uint8_t mode = record.mode();
        if (mode < parts.modes.size()) {
          const KeyboardMode& entry = parts.modes[mode];
          if (!wait.For(entry.sleep.For(record.speed()))) return;
          if (entry.run) entry.run(context);
        }
        SendKeyboardFrame(parts.link, parts.leds, parts.preview);
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
      wait, parts.startDelay, parts.link, "鼠标灯光线程设定退出",
      [&] {
        const unsigned speed = record.speed();
        return wait.For(milliseconds(2 * speed + 3)) && wait.For(milliseconds(10 * speed));
      },
      [&] {
        if (!ComputeMouseFrame(record, parts.state, frame, shown)) {
          debug::Line("鼠标灯光线程设定2");
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
  FrameLoop(
      wait, parts.startDelay, parts.link, "鼠标垫灯光线程设定退出",
      [&] { return wait.For(milliseconds(9 + 4 * unsigned{record.speed()})); },
      [&] {
        const uint8_t mode = record.mode();
        if (mode >= parts.modes.size() || !parts.modes[mode].run) return;
        const MousepadMode& entry = parts.modes[mode];
        if (!wait.For(entry.sleep.For(record.speed()))) return;
        frame = MousepadFrame{};
        const size_t length = std::min(entry.run(context), frame.bytes.size());
        if (length == 0) return;
        parts.preview.MousepadPreview(frame.colour, frame.alpha);
        device::SendLightFrame(parts.link, std::span<const uint8_t>(frame.bytes).first(length));
      },
      [] {});
}

}  // namespace talvo::lighting
