#include "app/shell/notification_router.h"

#include <algorithm>
#include <array>

#include "platform/ascii.h"

namespace talvo::app {
namespace {

// "<dev>_" with dev kb, ms or mp; the rest of the name after it.
std::optional<std::string_view> AfterDevice(std::string_view name) {
  for (std::string_view dev : {"kb_", "ms_", "mp_"})
    if (name.starts_with(dev)) return name.substr(dev.size());
  return std::nullopt;
}

// "<kind>" is key, deng or device.
bool IsKind(std::string_view kind) { return kind == "key" || kind == "deng" || kind == "device"; }

constexpr std::array<std::string_view, 5> kMouseTabs = {"ms_deng_op_tab", "ms_key_op_tab", "ms_rich_op_tab",
                                                        "ms_macro_op_tab", "ms_cursor_op_tab"};

// The mouse picture's zones, in the order of ms_key_0 … ms_key_6.
constexpr std::array<const char*, 7> kMouseZones = {"left", "wheel", "right", "forward", "back", "dpi", "dpi1"};

}  // namespace

std::optional<SplitName> SplitControlName(std::string_view name) {
  const size_t cut = name.rfind('_');
  if (cut == std::string_view::npos || cut + 1 == name.size()) return std::nullopt;
  const std::string_view digits = name.substr(cut + 1);
  if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  int index = 0;
  for (char c : digits) index = index * 10 + (c - '0');
  return SplitName{std::string(name.substr(0, cut + 1)), index};
}

NotificationRouter::NotificationRouter(toolkit::Window& window, WindowActions actions)
    : window_(window), actions_(std::move(actions)) {}

void NotificationRouter::Bind(std::string_view owner, const pages::ControlName& control, Handler handler) {
  const std::string name = platform::AsciiLower(control.name);
  Lookup& lookup = lookup_[std::string(control.type)];
  const size_t at = bound_.size();
  switch (control.match) {
    case pages::NameMatch::Exact: lookup.exact[name].push_back(at); break;
    case pages::NameMatch::Family: lookup.families[name].push_back(at); break;
    case pages::NameMatch::Ending: lookup.endings.push_back(at); break;
  }
  bound_.push_back({std::string(owner), control, std::move(handler)});
}

auto NotificationRouter::Matches(const toolkit::Notification& n, const std::string& name) const -> std::vector<Match> {
  const auto it = lookup_.find(n.type);
  if (it == lookup_.end()) return {};
  const Lookup& lookup = it->second;
  // Candidates by position in bound_: the name's own rows, its family's and
  // every ending.
  std::vector<size_t> candidates;
  if (const auto exact = lookup.exact.find(name); exact != lookup.exact.end())
    candidates.insert(candidates.end(), exact->second.begin(), exact->second.end());
  if (const std::optional<SplitName> split = SplitControlName(name))
    if (const auto family = lookup.families.find(split->prefix); family != lookup.families.end())
      candidates.insert(candidates.end(), family->second.begin(), family->second.end());
  candidates.insert(candidates.end(), lookup.endings.begin(), lookup.endings.end());
  std::vector<std::pair<size_t, int>> found;
  for (size_t at : candidates)
    if (const std::optional<int> index = pages::IndexFor(bound_[at].control, name)) found.push_back({at, *index});
  std::sort(found.begin(), found.end());
  std::vector<Match> matches;
  for (const auto& [at, index] : found) matches.push_back({&bound_[at], index});
  return matches;
}

std::vector<NotificationRouter::Target> NotificationRouter::Targets(const toolkit::Notification& n) const {
  std::vector<Match> matches = Matches(n, platform::AsciiLower(n.sender));
  std::vector<Target> targets;
  if (n.type == "selectchanged") {
    if (std::vector<Match> staying = matches; KeepStaying(staying))
      matches = std::move(staying);
    else
      targets.push_back({std::string(kInputCapture)});
  }
  for (const Match& m : matches) targets.push_back({m.bound->owner, m.index});
  return targets;
}

bool NotificationRouter::KeepStaying(std::vector<Match>& matches) {
  std::erase_if(matches, [](const Match& m) { return m.bound->control.leavesPage; });
  return !matches.empty();
}

void NotificationRouter::Route(const toolkit::Notification& n) {
  const std::string name = platform::AsciiLower(n.sender);
  if (n.type == "click") {
    Click(n, name);
  } else if (n.type == "selectchanged") {
    SelectChanged(n, name);
  } else if (n.type == "setfocus") {
    if (std::find(kMouseTabs.begin(), kMouseTabs.end(), name) != kMouseTabs.end())
      SetVisible("ms_profile_fun_spead_tab", false);
  } else if (n.type == "msenter" || n.type == "msleave") {
    Hover(name, n.type == "msenter");
  } else {
    Deliver(n, Matches(n, name));
  }
}

void NotificationRouter::Click(const toolkit::Notification& n, const std::string& name) {
  const std::optional<SplitName> split = SplitControlName(name);
  if (split && split->prefix == "kb_key_") {
    // A key of the keyboard picture opens the function panel if it is closed.
    if (toolkit::Control* panel = Find("kb_tab_function"); panel && !panel->IsVisible()) {
      panel->SetVisible(true);
      panel->SetEnabled(true);
    }
  } else if (name == "menubtn") {
    if (actions_.openMainMenu) actions_.openMainMenu();
    return;
  } else if (name == "dpi_btn") {
    if (actions_.setDisplayScale && n.control) actions_.setDisplayScale(n.control->UserData());
    return;
  } else if (name == "renew_device") {
    return;
  } else if (name == "kb_profile_fun_spread_btn" || name == "ms_profile_fun_spread_btn" ||
             name == "mp_profile_fun_spread_btn") {
    Toggle((name.substr(0, 3) + "profile_fun_spead_tab").c_str());
    return;
  } else if (const auto rest = AfterDevice(name); rest && rest->starts_with("pro_") && rest->ends_with("_edit_btn")) {
    // kb_pro_key_edit_btn → kb_key_profile_edit, and so on.
    const std::string kind(rest->substr(4, rest->size() - 4 - 9));
    if (IsKind(kind)) {
      Toggle((name.substr(0, 3) + kind + "_profile_edit").c_str());
      return;
    }
  }
  Deliver(n, Matches(n, name));
}

void NotificationRouter::SelectChanged(const toolkit::Notification& n, const std::string& name) {
  std::vector<Match> matches = Matches(n, name);
  if (std::vector<Match> staying = matches; KeepStaying(staying)) {
    Deliver(n, staying);
    return;
  }
  // The guard's own re-selection of the macro tabs raises options again;
  // those pass, or two visible save bars would send each other round forever.
  if (!guarding_) {
    guarding_ = true;
    const bool stopped = MacroGuard(name);
    guarding_ = false;
    if (stopped) return;
  }
  if (releaseCapture_) releaseCapture_();
  SwitchTab(name);
  Deliver(n, matches);
}

bool NotificationRouter::MacroGuard(const std::string& name) {
  struct Guard {
    const char* page;
    const char* bar;
    const char* macroTab;
    const char* deviceTab;
  };
  for (const Guard& g : {Guard{"MS_Macro_UI", "ms_macro_tab_saveorcancel", "ms_macro_Op_tab", "ms_tab"},
                         Guard{"kb_Macro_UI", "kb_macro_tab_saveorcancel", "kb_macro_Op_tab", "kb_tab"}}) {
    // A macro being edited is on a page that was built.
    if (!window_.IsPageBuilt(g.page)) continue;
    toolkit::Control* bar = Find(g.bar);
    if (!bar || !bar->IsVisible() || name == platform::AsciiLower(g.macroTab) || name == g.deviceTab) continue;
    if (toolkit::Control* tab = Find(g.macroTab)) tab->SetCheck(true);
    if (toolkit::Control* tab = Find(g.deviceTab)) {
      if (std::string_view(g.deviceTab) == "kb_tab") tab->SetVisible(true);
      tab->SetCheck(true);
    }
    window_.GetToolkit().ShowMessage(&window_, "message_text_3");
    return true;
  }
  return false;
}

void NotificationRouter::SwitchTab(const std::string& name) {
  static constexpr std::array<std::string_view, 5> kDeviceTabs = {"kb_tab", "ms_tab", "mp_tab", "ani_tab",
                                                                  "split_tab"};
  if (const auto it = std::find(kDeviceTabs.begin(), kDeviceTabs.end(), name); it != kDeviceTabs.end()) {
    SelectPage("tab_switch", int(it - kDeviceTabs.begin()));
    return;
  }
  const auto keyboardProfileControls = [this](bool on) {
    for (const char* c : {"kb_profile_fun_spread_btn", "kb_profile_select_tab", "kb_profile_fun_spead_tab"})
      SetEnabled(c, on);
  };
  if (name == "kb_deng_op_tab") {
    SelectPage("kb_tab_switch", 2);
    SetVisible("kb_deng_layout", true);
    SetVisible("kb_tab_key_seting", false);
    keyboardProfileControls(true);
    SetEnabled("kb_device_profile_edit", true);
  } else if (name == "kb_key_op_tab") {
    toolkit::Control* kbSwitch = Find("kb_tab_switch");
    if (!kbSwitch || kbSwitch->CurrentPage() != 2) {
      SetVisible("kb_tab_function", false);
      SetEnabled("kb_tab_function", false);
      SelectPage("kb_tab_switch", 2);
    }
    SetVisible("kb_deng_layout", false);
    SetVisible("kb_tab_key_seting", true);
    keyboardProfileControls(true);
    SetEnabled("kb_device_profile_edit", true);
  } else if (name == "kb_macro_op_tab") {
    SelectPage("kb_tab_switch", 1);
    keyboardProfileControls(false);
    for (const char* c : {"kb_key_profile_edit", "kb_deng_profile_edit", "kb_device_profile_edit"}) SetEnabled(c, false);
  } else if (name == "kb_cursor_op_tab") {
    SelectPage("kb_tab_switch", 3);
  } else if (name == "ms_deng_op_tab") {
    SelectPage("ms_tab_switch", 0);
    SetEnabled("ms_device_profile_edit", true);
  } else if (name == "ms_macro_op_tab") {
    SelectPage("ms_tab_switch", 1);
    SetEnabled("ms_device_profile_edit", false);
  } else if (name == "ms_key_op_tab") {
    toolkit::Control* msSwitch = Find("ms_tab_switch");
    if (!msSwitch || msSwitch->CurrentPage() != 2) {
      SetVisible("ms_tab_function", true);
      SelectPage("ms_tab_switch", 2);
    }
    SetEnabled("ms_device_profile_edit", true);
  } else if (name == "ms_rich_op_tab") {
    SelectPage("ms_tab_switch", 3);
    SetEnabled("ms_device_profile_edit", true);
  } else if (name == "ms_cursor_op_tab") {
    SelectPage("ms_tab_switch", 4);
  }
}

void NotificationRouter::Hover(const std::string& name, bool enter) {
  const std::optional<SplitName> split = SplitControlName(name);
  if (!split) return;
  if (split->prefix == "ms_key_" && split->index >= 0 && split->index < int(kMouseZones.size())) {
    if (toolkit::Control* image = Find("ms_key_" + std::to_string(split->index) + "_0")) {
      image->SetBkImage(std::string("file='ms/key_") + kMouseZones[size_t(split->index)] +
                        (enter ? "_down.png'" : "_normal.png'"));
    }
  } else if (split->prefix == "ms_dpicolor_btn_" && split->index >= 1 && split->index <= 6) {
    if (toolkit::Control* button = Find("ms_DPIcolor_btn_" + std::to_string(split->index))) {
      button->SetBorderSize(enter ? 2 : 0);
      if (enter) button->SetBorderColor(0xFFFFFFFF);
    }
  }
}

void NotificationRouter::Toggle(const char* controlName) {
  if (toolkit::Control* c = Find(controlName)) c->SetVisible(!c->IsVisible());
}

void NotificationRouter::SetVisible(std::string_view name, bool on) {
  if (toolkit::Control* c = Find(name)) c->SetVisible(on);
}

void NotificationRouter::SetEnabled(std::string_view name, bool on) {
  if (toolkit::Control* c = Find(name)) c->SetEnabled(on);
}

void NotificationRouter::SelectPage(std::string_view tabLayout, int page) {
  if (toolkit::Control* c = Find(tabLayout)) c->SelectPage(page);
}

void NotificationRouter::Deliver(const toolkit::Notification& n, const std::vector<Match>& matches) {
  for (const Match& m : matches)
    if (m.bound->handler) m.bound->handler(n, m.index);
}

}  // namespace talvo::app
