// What the input capture hands on while the window is in front: each key
// and mouse button event, as the message of the capture mode that is on,
// to the one handler that installed the mode.
#pragma once

#include <cstdint>

namespace talvo::platform {

enum class CaptureMode : int {
  kKeyboardSingleKey = 0x01,
  kKeyboardMacro = 0x04,
  kMouseSingleKey = 0x10,
  kMouseMacro = 0x40,
};

// Messages a handler receives.
inline constexpr int kMsgKeyboardSingleKey = 0x801;
inline constexpr int kMsgKeyboardMacroKey = 0x803;
inline constexpr int kMsgKeyboardMacroMouse = 0x804;
inline constexpr int kMsgMouseSingleKey = 0x810;
inline constexpr int kMsgMouseMacroKey = 0x812;
inline constexpr int kMsgMouseMacroMouse = 0x813;

constexpr int KeyMessageOf(CaptureMode mode) {
  switch (mode) {
    case CaptureMode::kKeyboardSingleKey:
      return kMsgKeyboardSingleKey;
    case CaptureMode::kKeyboardMacro:
      return kMsgKeyboardMacroKey;
    case CaptureMode::kMouseSingleKey:
      return kMsgMouseSingleKey;
    case CaptureMode::kMouseMacro:
      return kMsgMouseMacroKey;
  }
  return 0;
}

// 0 where the mode records no mouse events.
constexpr int MouseMessageOf(CaptureMode mode) {
  switch (mode) {
    case CaptureMode::kKeyboardMacro:
      return kMsgKeyboardMacroMouse;
    case CaptureMode::kMouseMacro:
      return kMsgMouseMacroMouse;
    default:
      return 0;
  }
}

// Windows mouse messages of the buttons.
inline constexpr int kWmLButtonDown = 0x0201;
inline constexpr int kWmLButtonUp = 0x0202;
inline constexpr int kWmRButtonDown = 0x0204;
inline constexpr int kWmRButtonUp = 0x0205;
inline constexpr int kWmMButtonDown = 0x0207;
inline constexpr int kWmMButtonUp = 0x0208;
inline constexpr int kWmXButtonDown = 0x020B;
inline constexpr int kWmXButtonUp = 0x020C;

// One key event. vk is a Windows virtual-key code; the keypad's Enter comes
// as 0x0D with `extended` set or as 0x101.
struct CapturedKey {
  uint16_t vk = 0;
  bool down = false;
  bool extended = false;
  uint32_t scanCode = 0;  // the desktop's evdev code; 0 for scripted events
  uint32_t timeMs = 0;    // the desktop's event time
};

class CaptureSink {
 public:
  virtual ~CaptureSink() = default;
  // message: the mode's key message (0x801, 0x803, 0x810, 0x812).
  virtual void OnCaptureKey(int message, const CapturedKey& key) = 0;
  // message: the mode's mouse message (0x804, 0x813); mouseMessage the
  // button's Windows message.
  virtual void OnCaptureMouse(int message, int mouseMessage) = 0;
};

// Turns the capture on and off; the pages ask, the application carries it out.
class InputCapture {
 public:
  virtual ~InputCapture() = default;
  // Replaces what is on: keys (keyboard) and mouse buttons (mouse) go to
  // sink as the mode's messages until Remove. sink must outlive the capture.
  virtual void Install(CaptureMode mode, CaptureSink& sink, bool keyboard, bool mouse) = 0;
  virtual void Remove() = 0;
};

}  // namespace talvo::platform
