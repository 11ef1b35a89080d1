// Turns captured input into a key assignment or into macro steps: the
// single-key capture and the key and mouse recorders of one page. Knows no
// controls and no action strings; the page shows and stores what it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "keys/function_tables.h"
#include "macros/macro_action.h"
#include "platform/input_capture.h"

namespace talvo::macros {

// Rows 0 to 103 of the key-code table are the keyboard's keys; the media and
// system rows after them are never recorded.
inline constexpr size_t kRecordableKeyRows = 104;
inline constexpr uint16_t kMaxDelay = 65535;
inline constexpr uint16_t kFixedDelay = 50;

// The key function a single-key capture assigns: the first key-code row of
// the key (the keypad's Enter as 0x101); nullptr for keys that are not
// keyboard keys, such as media keys.
const keys::KeyCodeRow* SingleKeyRow(uint16_t vk, bool extended);

struct RecordedStep {
  enum class Source { kKey, kMouse };
  Source source = Source::kKey;
  uint16_t code = 0;  // virtual-key code (0x101 for the keypad's Enter) or mouse message
  bool down = false;
  bool extended = false;
  uint8_t event = 0;       // event byte: type, bit 7 set on a press
  uint8_t value = 0;       // HID usage, modifier bit or button bit
  std::string_view label;  // text id
};

struct Recorded {
  RecordedStep step;  // its own pause is not known yet: 0
  // The pause since the previous recorded event (or the start): the delay
  // of the step before this one, when there is one.
  uint16_t previousDelay = 0;
};

class MacroRecorder {
 public:
  // Monotonic milliseconds.
  using Clock = std::function<uint64_t()>;

  struct Options {
    bool fixedDelay = false;   // every pause is 50 ms
    bool mouseClicks = false;  // button presses and releases are recorded
  };

  explicit MacroRecorder(Clock clock);
  MacroRecorder();

  // Pauses count from now.
  void Start(Options options);

  // A step for a key event, or nothing for an auto-repeat or a key that is
  // not a keyboard key.
  std::optional<Recorded> Key(const platform::CapturedKey& key);
  // A step for a left, right or middle button press or release, or nothing
  // for other messages, when clicks are not recorded, or for the same
  // message twice in a row.
  std::optional<Recorded> Mouse(int message);

 private:
  uint16_t Elapsed();

  Clock clock_;
  Options options_;
  uint64_t lastTick_ = 0;
  uint16_t lastHeldKey_ = 0;
  int lastMouseMessage_ = 0;
};

}  // namespace talvo::macros
