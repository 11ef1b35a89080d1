#include "app/shell/main_automation_host.h"

#include <QCursor>
#include <QTimer>
#include <QWidget>

#include "app/shell/main_window.h"
#include "platform/system_settings.h"

namespace talvo::app {

void MainAutomationHost::WhenReady(std::function<void()> done) { window_.WhenInitialised(std::move(done)); }

bool MainAutomationHost::Key(int vk, bool down, bool extended) {
  window_.Hook().KeyEvent({.vk = uint16_t(vk), .down = down, .extended = extended});
  return true;
}

bool MainAutomationHost::MouseButton(int message) {
  window_.Hook().MouseButton(message);
  return true;
}

bool MainAutomationHost::ChooseMenuItem(const std::string& name) {
  for (const auto& items : {window_.TrayMenuItems(), window_.MainMenuItems()}) {
    for (const MenuItem& item : items) {
      if (item.name != name) continue;
      if (item.name == "exit") {
        // Ends the program: answer the client first.
        QTimer::singleShot(0, &window_, [w = &window_, item] { w->OnMenuItem(item); });
      } else {
        window_.OnMenuItem(item);
      }
      return true;
    }
  }
  return false;
}

bool MainAutomationHost::ClickTray(bool left) {
  if (!window_.HasTray()) return false;
  if (left) {
    window_.TrayClick();
  } else {
    window_.ShowTrayMenu(QCursor::pos());
  }
  return true;
}

AutomationHost::WindowState MainAutomationHost::Window() const {
  const QWidget* w = window_.Widget();
  WindowState s;
  s.visible = w->isVisible();
  s.minimized = w->isMinimized();
  s.maximized = w->isMaximized();
  s.active = w->isActiveWindow();
  s.title = w->windowTitle().toStdString();
  s.tray = window_.HasTray();
  return s;
}

void MainAutomationHost::SetForeground(const std::string& path) {
  foreground_ = path;
  foregroundProgram_.Set(path);
}

AutomationHost::SystemState MainAutomationHost::System() const {
  SystemState s;
  // Nothing is reported before the first value was applied.
  if (pointer_.ApplyCount() > 0) {
    if (const int speed = pointer_.Speed()) s.pointerSpeed = speed;
    if (const int lines = pointer_.WheelLines()) s.wheelLines = lines;
  }
  s.language = platform::ReadSystemSetting("LANGUAGE");
  return s;
}

void MainAutomationHost::Quit() { window_.Close(); }

}  // namespace talvo::app
