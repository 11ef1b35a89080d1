// The input capture: while a capture mode is on, every key and mouse button
// event of the application's windows goes to the handler that installed the
// mode. Only the program's own windows are watched, and only while it is in
// front, so it works alike on X11 and Wayland and grabs nothing.
#pragma once

#include <QObject>

#include "platform/input_capture.h"

class QEvent;
class QKeyEvent;

namespace talvo::capture {

class CDeviceHook final : public QObject {
 public:
  CDeviceHook();
  ~CDeviceHook() override;

  // Replaces what is on: keys (keyboard) and mouse buttons (mouse) go to
  // sink as the mode's messages until Remove or until the application is
  // no longer in front. sink must outlive the capture.
  void Install(platform::CaptureMode mode, platform::CaptureSink& sink, bool keyboard, bool mouse);
  // Stops capturing; the mode and the handler are kept.
  void Remove();

  bool KeyboardOn() const { return keyboard_; }
  bool MouseOn() const { return mouse_; }

  // Every key event, from the desktop or scripted, enters here: it goes to
  // the handler; true when it must go no further (while keys are captured,
  // all but the three lock keys).
  bool KeyEvent(const platform::CapturedKey& key);
  // Every mouse button event (Windows message) enters here; never consumed.
  void MouseButton(int message);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnApplicationState(Qt::ApplicationState state);
  // A key event as the window received it; true when it is consumed.
  bool OnWindowKey(QObject* window, const QKeyEvent& key);
  // Single-key capture leaves typing in a text entry alone.
  bool LeftToEntry(QObject* target) const;

  platform::CaptureMode mode_ = platform::CaptureMode::kKeyboardSingleKey;
  platform::CaptureSink* sink_ = nullptr;
  bool keyboard_ = false;
  bool mouse_ = false;
};

}  // namespace talvo::capture
