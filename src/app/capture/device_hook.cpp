#include "app/capture/device_hook.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <optional>
#include <string_view>

#include "platform/debug.h"
#include "platform/virtual_keys.h"

namespace talvo::capture {
namespace {

// Evdev codes come as X11 / xkb key codes, 8 higher, on xcb and Wayland alike.
constexpr uint32_t kXkbOffset = 8;

std::optional<platform::CapturedKey> CapturedKeyOf(const QKeyEvent& e) {
  const uint32_t native = e.nativeScanCode();
  if (native < kXkbOffset) return std::nullopt;
  const auto vk = platform::VirtualKeyOfEvdev(native - kXkbOffset);
  if (!vk) return std::nullopt;
  return platform::CapturedKey{.vk = vk->vk,
                               .down = e.type() == QEvent::KeyPress,
                               .extended = vk->extended,
                               .scanCode = native - kXkbOffset,
                               .timeMs = uint32_t(e.timestamp())};
}

bool IsQtLockKey(int key) { return key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock; }

// 0 for buttons the macro mouse-event table has no message for.
int MouseMessageOf(Qt::MouseButton button, bool press) {
  switch (button) {
    case Qt::LeftButton:
      return press ? platform::kWmLButtonDown : platform::kWmLButtonUp;
    case Qt::RightButton:
      return press ? platform::kWmRButtonDown : platform::kWmRButtonUp;
    case Qt::MiddleButton:
      return press ? platform::kWmMButtonDown : platform::kWmMButtonUp;
    case Qt::BackButton:
    case Qt::ForwardButton:
      return press ? platform::kWmXButtonDown : platform::kWmXButtonUp;
    default:
      return 0;
  }
}

std::string_view TraceOf(int message) {
  switch (message) {
    case platform::kMsgKeyboardSingleKey:
      return "WM_HOOK_KEY_SINGLEKEY";
    case platform::kMsgKeyboardMacroKey:
      return "WM_HOOK_KEY_MACRO";
    case platform::kMsgMouseSingleKey:
      return "WM_HOOK_MOU_SINGLEKEY";
    case platform::kMsgMouseMacroKey:
      return "WM_HOOK_MOU_MACRO";
    default:
      return {};
  }
}

}  // namespace

CDeviceHook::CDeviceHook() : active_(QGuiApplication::applicationState() == Qt::ApplicationActive) {
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) { OnApplicationState(state); });
}

CDeviceHook::~CDeviceHook() { Remove(); }

void CDeviceHook::Install(platform::CaptureMode mode, platform::CaptureSink& sink, bool keyboard, bool mouse) {
  keyboard_ = keyboard;
  mouse_ = mouse;
  mode_ = mode;
  sink_ = &sink;
  Watch(active_ && (keyboard || mouse));
}

void CDeviceHook::Remove() {
  keyboard_ = false;
  mouse_ = false;
  Watch(false);
}

void CDeviceHook::Watch(bool on) {
  if (on == watching_) return;
  watching_ = on;
  if (on) {
    qApp->installEventFilter(this);
  } else {
    qApp->removeEventFilter(this);
  }
}

bool CDeviceHook::KeyEvent(const platform::CapturedKey& key) {
  if (!KeyboardOn()) return false;
  const int message = platform::KeyMessageOf(mode_);
  debug::Line(TraceOf(message));
  sink_->OnCaptureKey(message, key);
  return !platform::IsLockKey(key.vk);
}

void CDeviceHook::MouseButton(int message) {
  const int posted = platform::MouseMessageOf(mode_);
  if (!MouseOn() || posted == 0) return;
  sink_->OnCaptureMouse(posted, message);
}

void CDeviceHook::OnApplicationState(Qt::ApplicationState state) {
  active_ = state == Qt::ApplicationActive;
  Watch(active_ && (keyboard_ || mouse_));
}

bool CDeviceHook::LeftToEntry(QObject* target) const {
  const bool singleKey =
      mode_ == platform::CaptureMode::kKeyboardSingleKey || mode_ == platform::CaptureMode::kMouseSingleKey;
  const auto* widget = qobject_cast<const QWidget*>(target);
  return singleKey && widget && widget->testAttribute(Qt::WA_InputMethodEnabled);
}

bool CDeviceHook::OnWindowKey(QObject* window, const QKeyEvent& key) {
  if (LeftToEntry(static_cast<QWindow*>(window)->focusObject())) return false;
  // The desktop repeats a held key as release and press pairs; a held key
  // is one press followed by more presses, as the recorders expect.
  if (key.isAutoRepeat() && key.type() == QEvent::KeyRelease) return !IsQtLockKey(key.key());
  if (const auto captured = CapturedKeyOf(key)) return KeyEvent(*captured);
  return !IsQtLockKey(key.key());
}

bool CDeviceHook::eventFilter(QObject* watched, QEvent* event) {
  // A key or button event reaches the window first and is then handed to a
  // widget and its parents; each is taken once, at the window.
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (!KeyboardOn() || IsQtLockKey(key->key()) || LeftToEntry(watched)) return false;
      // Accepted overrides keep the window's shortcuts from firing; the key
      // itself then comes as a press and is consumed.
      key->accept();
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (!KeyboardOn() || !watched->isWindowType()) return false;
      return OnWindowKey(watched, *static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      if (!MouseOn() || !watched->isWindowType()) return false;
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (const int message = MouseMessageOf(mouse->button(), event->type() == QEvent::MouseButtonPress)) {
        MouseButton(message);
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace talvo::capture
