// Colours another program streams to one device in place of its own effect
// (the SDK server's Direct mode). The server writes them on the UI thread;
// the device's lighting thread takes the newest set and makes it a frame, so
// a client faster than the device skips sets and never queues them.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <span>
#include <vector>

#include "lighting/led_model.h"
#include "lighting/light_records.h"
#include "lighting/mouse_effects.h"
#include "platform/wake_signal.h"

namespace talvo::lighting {

struct MousepadFrame;

class DirectColours {
 public:
  // `wake` is what the device's lighting thread sleeps on, told of every
  // change; no other thread is woken by a set.
  DirectColours(size_t leds, platform::WakeSignal& wake) : colours_(leds), wake_(wake) {}

  size_t Leds() const { return colours_.size(); }
  // While on, the device's effect rests and every new set becomes a frame;
  // turning it on makes the colours held a set to show at once.
  void SetOn(bool on);
  bool On() const { return on_.load(); }
  // New colours for LEDs first, first + 1, …; those past the last LED are
  // dropped.
  void Set(size_t first, std::span<const Rgb> colours);
  // A set came since the thread last took one, and streaming is on.
  bool Pending() const { return on_.load() && pending_.load(); }
  // The colours held, marking them taken.
  std::vector<Rgb> Take();
  std::vector<Rgb> Colours() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Rgb> colours_;
  std::atomic<bool> on_{false};
  std::atomic<bool> pending_{false};
  platform::WakeSignal& wake_;
};

// The direct colours of each device, in the frame layouts the threads send;
// scaled by the record's brightness as the devices' own effects scale. A
// list shorter than the device's LEDs leaves the rest dark.
void MouseDirectFrame(uint8_t brightness, std::span<const Rgb> colours, MouseFrame& frame, MousePreview& preview);
void KeyboardDirectLeds(uint8_t brightness, std::span<const Rgb> colours, LedStates& leds);
// Returns the bytes to send: the short frame layout.
size_t MousepadDirectFrame(uint8_t brightness, std::span<const Rgb> colours, MousepadFrame& frame);

}  // namespace talvo::lighting
