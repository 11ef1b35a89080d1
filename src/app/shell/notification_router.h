// Where each notification of the main window goes: first by event type, then
// by the sender's name (compared case-insensitively; numbered families by
// their prefix, endings by their ending). The pages bind their tables of the
// controls they handle; the router builds its lookup from them, carries out
// the behaviours that belong to the window itself — tabs, panel toggles,
// hover images, the unsaved-macro guard — and hands every feature
// notification to the handlers bound for it.
#pragma once

#include <functional>
#include <map>
#include <span>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "pages/control_bindings.h"
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

  // Binds a page's table; owner names the page in diagnostics. Where
  // several handlers take one notification they run in the order bound.
  template <typename Page>
  void Bind(std::string_view owner, Page& page,
            std::type_identity_t<std::span<const pages::ControlBinding<Page>>> table) {
    for (const pages::ControlBinding<Page>& row : table) {
      Handler handler;
      if (row.handler)
        handler = [&page, h = row.handler](const toolkit::Notification& n, int index) { (page.*h)(n, index); };
      Bind(owner, row.control, std::move(handler));
    }
  }
  // One control of the window's own.
  void Bind(std::string_view owner, const pages::ControlName& control, Handler handler);
  // Every option that leaves its page (pages::ControlName::leavesPage, or
  // bound by nobody) first releases the input capture through this.
  void SetCaptureRelease(std::function<void()> release) { releaseCapture_ = std::move(release); }

  // Routes everything but "windowinit" and the window buttons, which the
  // main window handles before asking.
  void Route(const toolkit::Notification& n);

  // The handlers a notification goes to, in order, by owner with the index
  // they are handed; for tests and diagnostics. An option that leaves its
  // page lists kInputCapture first. Router-own behaviours are not listed.
  static constexpr std::string_view kInputCapture = "input capture";
  struct Target {
    std::string owner;
    int index = -1;
    bool operator==(const Target&) const = default;
  };
  std::vector<Target> Targets(const toolkit::Notification& n) const;

 private:
  struct Bound {
    std::string owner;
    pages::ControlName control;
    Handler handler;
  };
  // Per notification type, the bound rows by how they match; each list
  // holds positions in bound_, in the order bound.
  struct Lookup {
    std::map<std::string, std::vector<size_t>, std::less<>> exact;
    std::map<std::string, std::vector<size_t>, std::less<>> families;  // by prefix
    std::vector<size_t> endings;
  };
  struct Match {
    const Bound* bound;
    int index;  // handed to the handler
  };
  // The bound rows a notification matches, in the order bound.
  std::vector<Match> Matches(const toolkit::Notification& n, const std::string& name) const;
  // An option's matches that stay on their page; false when there are none
  // and the option leaves its page.
  static bool KeepStaying(std::vector<Match>& matches);
  void Deliver(const toolkit::Notification& n, const std::vector<Match>& matches);
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
  std::vector<Bound> bound_;
  std::map<std::string, Lookup, std::less<>> lookup_;  // by notification type
  std::function<void()> releaseCapture_;
  bool guarding_ = false;
};

}  // namespace talvo::app
