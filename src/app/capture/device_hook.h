// The input capture: while a capture mode is on, every key and mouse button
// event of the application's windows goes to the handler that installed the
// mode. Only the program's own windows are watched, and only while it is in
// front, so it works alike on X11 and Wayland and grabs nothing: the watch
// pauses while another program is in front and resumes when Talvo is back.
#pragma once

#include <QObject>

#include "platform/input_capture.h"

class QEvent;
class QKeyEvent;

namespace talvo::capture {

class CDeviceHook final : public QObject, public platform::InputCapture {
 public:
  CDeviceHook();
  ~CDeviceHook() override;

  void Install(platform::CaptureMode mode, platform::CaptureSink& sink, bool keyboard, bool mouse) override;
  // Stops capturing; the mode and the handler are kept.
  void Remove() override;

  // Capturing now: installed and the application in front.
  bool KeyboardOn() const { return keyboard_ && active_; }
  bool MouseOn() const { return mouse_ && active_; }

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
  void Watch(bool on);

  bool keyboard_ = false;
  bool mouse_ = false;
  bool active_ = true;    // the application is in front
  bool watching_ = false;  // the event filter is installed
};

}  // namespace talvo::capture
