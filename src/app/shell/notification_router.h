// Where each notification of the main window goes: first by event type, then
// by the sender's name (compared case-insensitively; numbered families by
// their prefix). The router carries out the behaviours that belong to the
// window itself — tabs, panel toggles, hover images, the unsaved-macro guard
// — and hands every feature notification to the owner connected for it.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/toolkit.h"

namespace talvo::app {

// A numbered name cut at its last "_": "kb_key_12" → {"kb_key_", 12}.
struct SplitName {
  std::string prefix;  // up to and including the last "_"
  int index = 0;
  bool operator==(const SplitName&) const = default;
};
// Nothing when the name has no "_" or what follows the last one is not a
// decimal number.
std::optional<SplitName> SplitControlName(std::string_view name);

// The features that own notifications.
enum class Owner {
  KeyAssignment,      // key pages: key picture, function combos and edits, save and defaults
  LightingPage,       // modes, colours, sliders and checks of the lighting pages, custom painting
  SyncLighting,       // the "same mode" buttons
  OnboardProfile,     // the mouse's onboard profile buttons, the mousepad's onboard profile list
  FireKeys,           // cursor macros and fire-key options
  MacroEditor,
  MacroUpload,        // storing key profile and macros on the device
  ProfileOperations,  // profile lists and their buttons
  ProfileLink,        // profiles linked to programs
  MouseSettings,      // DPI, report rate, pointer speed, wheel lines, mouse defaults
  MousepadDefaults,
  InputCapture,       // releases its hooks when an option changes
};
const char* OwnerName(Owner owner);

class NotificationRouter {
 public:
  // index: the number of a numbered family, -1 otherwise.
  using Handler = std::function<void(const toolkit::Notification& n, int index)>;
  // What the window itself must do for a few clicks; each may be empty.
  struct WindowActions {
    std::function<void()> openMainMenu;
    std::function<void(const std::string& scale)> setDisplayScale;
  };

  NotificationRouter(toolkit::Window& window, WindowActions actions);

  // Connects a feature; a later call for the same owner replaces it.
  void Connect(Owner owner, Handler handler);

  // Routes everything but "windowinit" and the window buttons, which the
  // main window handles before asking.
  void Route(const toolkit::Notification& n);

  // The owners a notification goes to, in order, with the family index; for
  // tests and diagnostics. Router-own behaviours are not listed.
  struct Target {
    Owner owner;
    int index = -1;
    bool operator==(const Target&) const = default;
  };
  std::vector<Target> Targets(const toolkit::Notification& n) const;

 private:
  void Deliver(const toolkit::Notification& n, const std::vector<Target>& targets);
  void Click(const toolkit::Notification& n, const std::string& name);
  void SelectChanged(const toolkit::Notification& n, const std::string& name);
  bool MacroGuard(const std::string& name);
  void SwitchTab(const std::string& name);
  void Hover(const std::string& name, bool enter);
  void Toggle(const char* controlName);
  toolkit::Control* Find(std::string_view name) { return window_.FindControl(name); }
  void SetVisible(std::string_view name, bool on);
  void SetEnabled(std::string_view name, bool on);
  void SelectPage(std::string_view tabLayout, int page);

  toolkit::Window& window_;
  WindowActions actions_;
  std::map<Owner, Handler> handlers_;
  bool guarding_ = false;
};

}  // namespace talvo::app
