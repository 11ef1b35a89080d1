// What the automation socket needs from the main window: the commands that
// act on the application as a whole rather than on one control.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace talvo::app {

class AutomationHost {
 public:
  struct WindowState {
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool active = false;
    std::string title;
    bool tray = false;  // a tray icon is shown
  };
  struct SystemState {
    std::optional<int> pointerSpeed;  // last applied through the pointer settings
    std::optional<int> wheelLines;
    std::optional<std::string> language;  // the system settings' LANGUAGE value
  };

  virtual ~AutomationHost() = default;

  // Calls done once start-up ("windowinit" handling) is complete: at once
  // when it already is, else later on the UI thread.
  virtual void WhenReady(std::function<void()> done) = 0;
  // A key event as the input capture sees it (Windows virtual-key code);
  // false when the program has no input capture to hand it to.
  virtual bool Key(int vk, bool down, bool extended) = 0;
  // A mouse button event as the input capture sees it (window message
  // number); false as for Key.
  virtual bool MouseButton(int message) = 0;
  // The user chooses a pop-up menu item; false when there is no such item.
  virtual bool ChooseMenuItem(const std::string& item) = 0;
  // The user clicks the tray icon; false when none is shown.
  virtual bool ClickTray(bool left) = 0;
  virtual WindowState Window() const = 0;
  // The program in front, as the application watchers will see it.
  virtual void SetForeground(const std::string& path) = 0;
  virtual SystemState System() const = 0;
  // Ends the program as the tray menu's exit item does.
  virtual void Quit() = 0;
};

}  // namespace talvo::app
