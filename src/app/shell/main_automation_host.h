// The automation socket's view of the application as a whole, on the main
// window.
#pragma once

#include <string>

#include "app/automation/automation_host.h"
#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"

namespace talvo::app {

class CMainWnd;

class MainAutomationHost final : public AutomationHost {
 public:
  // pointer: what the window applies pointer settings through, recording
  // instead of changing the desktop.
  // foreground: what the application watchers ask for the program in front.
  MainAutomationHost(CMainWnd& window, const platform::RecordingPointerSettings& pointer,
                     platform::ScriptedForegroundProgram& foreground)
      : window_(window), pointer_(pointer), foregroundProgram_(foreground) {}

  void WhenReady(std::function<void()> done) override;
  bool Key(int vk, bool down, bool extended) override;
  bool MouseButton(int message) override;
  bool ChooseMenuItem(const std::string& item) override;
  bool ClickTray(bool left) override;
  WindowState Window() const override;
  void SetForeground(const std::string& path) override;
  SystemState System() const override;
  void Quit() override;

  // The program in front as last set by the automation client.
  const std::string& Foreground() const { return foreground_; }

 private:
  CMainWnd& window_;
  const platform::RecordingPointerSettings& pointer_;
  platform::ScriptedForegroundProgram& foregroundProgram_;
  std::string foreground_;
};

}  // namespace talvo::app
