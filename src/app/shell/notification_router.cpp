#include "app/shell/notification_router.h"

#include <algorithm>
#include <array>

#include "platform/ascii.h"
#include "platform/debug.h"

namespace talvo::app {
namespace {

template <size_t N>
bool OneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// "<dev>_" with dev kb, ms or mp; the rest of the name after it.
std::optional<std::string_view> AfterDevice(std::string_view name) {
  for (std::string_view dev : {"kb_", "ms_", "mp_"})
    if (name.starts_with(dev)) return name.substr(dev.size());
  return std::nullopt;
}

// "<kind>" is key, deng or device.
bool IsKind(std::string_view kind) { return kind == "key" || kind == "deng" || kind == "device"; }

// <dev>_pro_<kind>_<op>_btn for the profile buttons.
bool IsProfileButton(std::string_view name) {
  const auto rest = AfterDevice(name);
  if (!rest || !rest->starts_with("pro_") || !rest->ends_with("_btn")) return false;
  const std::string_view middle = rest->substr(4, rest->size() - 4 - 4);  // <kind>_<op>
  const size_t cut = middle.find('_');
  if (cut == std::string_view::npos || !IsKind(middle.substr(0, cut))) return false;
  const std::string_view op = middle.substr(cut + 1);
  return op == "add" || op == "sub" || op == "copy" || op == "import" || op == "export" || op == "reset";
}

// <dev>_<kind>_<suffix>, e.g. suffix "profile_combo".
bool IsDeviceKindName(std::string_view name, std::string_view suffix) {
  const auto rest = AfterDevice(name);
  if (!rest || !rest->ends_with(suffix) || rest->size() <= suffix.size() + 1) return false;
  const std::string_view kind = rest->substr(0, rest->size() - suffix.size());
  return kind.back() == '_' && IsKind(kind.substr(0, kind.size() - 1));
}

constexpr std::array<std::string_view, 14> kMacroButtonEndings = {
    "redio", "name_add", "name_sub", "down", "up", "uptop", "downbottom",
    "delete", "deleteall", "cancel", "save", "import", "export", "savemacroname"};

bool IsMacroButton(std::string_view name) {
  for (std::string_view prefix : {"ms_macro_btn_", "kb_macro_btn_"})
    if (name.starts_with(prefix) && OneOf(name.substr(prefix.size()), kMacroButtonEndings)) return true;
  return name.starts_with("ms_macro_inset_") || name.starts_with("kb_macro_inset_");
}

constexpr std::array<std::string_view, 7> kFireKeyButtons = {
    "ms_bulletdate_save_btn", "ms_bulletdate_reset_btn", "ms_bulletdate_import_btn", "ms_bulletdate_export_btn",
    "bullet_selected_prev",   "bullet_selected_next",    "improt_gun_button"};

constexpr std::array<std::string_view, 14> kMacroEdits = {
    "ms__macro_edit_actiondelay", "ms__macro_edit_mou_action_delay", "ms_macro_edit_mou_pointer_skewing",
    "kb__macro_edit_actiondelay", "kb__macro_edit_mou_action_delay", "kb_macro_edit_mou_pointer_skewing",
    "ms_mouse_x_left_edit",       "ms_mouse_x_right_edit",           "ms_mouse_y_up_edit",
    "ms_mouse_y_down_edit",       "kb_mouse_x_left_edit",            "kb_mouse_x_right_edit",
    "kb_mouse_y_up_edit",         "kb_mouse_y_down_edit"};

constexpr std::array<std::string_view, 7> kMacroOptions = {
    "ms_macro_check_time", "ms_macro_keyboard_event", "ms_macro_mouse_click", "ms_macro_mouse_roller",
    "ms_macro_mouse_move", "ms_macro_btn_shubiao",    "kb_macro_btn_shubiao"};

constexpr std::array<std::string_view, 9> kLightChecks = {
    "kb_deng_7color_check", "ms_deng_7color_check", "mp_deng_7color_check", "kb_deng_fxl_check", "kb_deng_fxr_check",
    "ms_deng_fxl_check",    "ms_deng_fxr_check",    "mp_deng_fxl_check",    "mp_deng_fxr_check"};

constexpr std::array<std::string_view, 5> kMouseTabs = {"ms_deng_op_tab", "ms_key_op_tab", "ms_rich_op_tab",
                                                        "ms_macro_op_tab", "ms_cursor_op_tab"};

// The mouse picture's zones, in the order of ms_key_0 … ms_key_6.
constexpr std::array<const char*, 7> kMouseZones = {"left", "wheel", "right", "forward", "back", "dpi", "dpi1"};

// Key-function edits that carry a value: 11, 12, 15 … 20, 25.
bool IsKeyFunctionEditNumber(int n) { return n == 11 || n == 12 || (n >= 15 && n <= 20) || n == 25; }
bool IsKeyFunctionComboNumber(int n) { return (n >= 11 && n <= 14) || (n >= 21 && n <= 26); }

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

const char* OwnerName(Owner owner) {
  switch (owner) {
    case Owner::KeyAssignment: return "key assignment";
    case Owner::LightingPage: return "lighting page";
    case Owner::SyncLighting: return "synchronized lighting";
    case Owner::OnboardProfile: return "onboard profile";
    case Owner::FireKeys: return "fire keys";
    case Owner::MacroEditor: return "macro editor";
    case Owner::MacroUpload: return "macro upload";
    case Owner::ProfileOperations: return "profile operations";
    case Owner::ProfileLink: return "profile link";
    case Owner::MouseSettings: return "mouse settings";
    case Owner::MousepadDefaults: return "mousepad defaults";
    case Owner::InputCapture: return "input capture";
  }
  return "?";
}

NotificationRouter::NotificationRouter(toolkit::Window& window, WindowActions actions)
    : window_(window), actions_(std::move(actions)) {}

void NotificationRouter::Connect(Owner owner, Handler handler) { handlers_[owner] = std::move(handler); }

std::vector<NotificationRouter::Target> NotificationRouter::Targets(const toolkit::Notification& n) const {
  const std::string name = platform::AsciiLower(n.sender);
  const std::optional<SplitName> split = SplitControlName(name);
  const auto family = [&](std::string_view prefix) { return split && split->prefix == prefix; };
  const int index = split ? split->index : -1;
  using O = Owner;

  if (n.type == "click") {
    if (family("kb_key_")) return {{O::KeyAssignment, index}, {O::LightingPage, index}};
    if (family("kb_dkey_") || family("ms_deng_color_btn_") || family("mp_deng_color_btn_") ||
        family("kb_deng_color_btn_"))
      return {{O::LightingPage, index}};
    if (family("ms_profile_")) return {{O::OnboardProfile, index}};
    if (family("ms_bullet_op_")) return {{O::FireKeys, index}};
    if (OneOf(name, kFireKeyButtons)) return {{O::FireKeys}};
    if (name == "ms_key_butt_keysave" || name == "ms_key_butt_keydefalut" || name == "kb_key_butt_keydefalut")
      return {{O::KeyAssignment}};
    if (name == "ms_key_butt_prosave" || name == "kb_key_butt_prosave") return {{O::MacroUpload}};
    if (name == "ms_device_cancle_link_btn" || name == "kb_deng_cancle_link_btn" || name == "kb_device_cancle_link_btn")
      return {{O::ProfileLink}};
    if (IsMacroButton(name)) return {{O::MacroEditor}};
    if (name == "ms_gunlun_speed_up_btn" || name == "ms_gunlun_speed_down_btn" || name == "ms_one_profile_default")
      return {{O::MouseSettings}};
    if (name == "mp_one_profile_default") return {{O::MousepadDefaults}};
    if (name == "ms_deng_fxl_btn" || name == "ms_deng_fxr_btn" || name == "ms_deng_colordm_btn" ||
        name == "ms_deng_colordk_btn")
      return {{O::LightingPage}};
    if (name == "kb_deng_same_mode" || name == "ms_deng_same_mode" || name == "mp_deng_same_mode")
      return {{O::SyncLighting}};
    if (IsProfileButton(name)) {
      if (name == "ms_pro_device_reset_btn") return {{O::ProfileOperations}, {O::FireKeys}};
      return {{O::ProfileOperations}};
    }
    if (IsDeviceKindName(name, "profile_edit_save_btn")) return {{O::ProfileOperations}};
    if (IsDeviceKindName(name, "profile_link_btn")) return {{O::ProfileLink}};
    return {};
  }
  if (n.type == "itemselect") {
    if (name == "kb_deng_combo_modeselect" || name == "ms_deng_combo_modeselect2" ||
        name == "mp_deng_combo_modeselect" || name == "kb_deng_combo_curtom_count")
      return {{O::LightingPage}};
    if (name == "mp_deng_combo_profile") return {{O::OnboardProfile}};
    if (name == "ms_report_fct_combo") return {{O::MouseSettings}};
    if (name == "ms_key_fct_combo" || name == "kb_key_fct_combo") return {{O::KeyAssignment}};
    if ((family("ms_key_fct_combo_") || family("kb_key_fct_combo_")) && IsKeyFunctionComboNumber(index))
      return {{O::KeyAssignment, index}};
    if (name == "ms_macroname_list" || name == "kb_macroname_list" || name == "ms_macro_list" ||
        name == "kb_macro_list" || name == "ms_macro_combo_keyselect" || name == "ms_macro_combo_mouselect" ||
        name == "ms_macro_combo_upordown" || name == "kb_macro_combo_keyselect" ||
        name == "kb_macro_combo_mouselect" || name == "kb_macro_combo_upordown")
      return {{O::MacroEditor}};
    if (IsDeviceKindName(name, "profile_combo")) return {{O::ProfileOperations}};
    return {};
  }
  if (n.type == "itemclick") return {{O::MacroEditor}};
  if (n.type == "selectchanged") {
    if (family("ms_gun_op_") || family("ms_bullet_op_")) return {{O::FireKeys, index}};
    if (family("ms_key_")) return {{O::KeyAssignment, index}};
    if (OneOf(name, kMacroOptions)) return {{O::MacroEditor}};
    if (name == "ms_cursor_x_check" || name == "ms_cursor_y_check") return {{O::FireKeys}};
    if (OneOf(name, kLightChecks)) return {{O::LightingPage}};
    // Past the guard: every other option releases the input capture first.
    std::vector<Target> targets{{O::InputCapture}};
    if (IsDeviceKindName(name, "profile_link_check")) targets.push_back({O::ProfileLink});
    // Both device pages show the cursor macros; the one brought up shows them anew.
    if (name == "ms_cursor_op_tab" || name == "kb_cursor_op_tab") targets.push_back({O::FireKeys});
    if (name == "kb_deng_all_kill_check" || name == "kb_deng_all_bright_check") targets.push_back({O::LightingPage});
    return targets;
  }
  if (n.type == "valuechanged" || n.type == "movevaluechanged") {
    const bool moving = n.type == "movevaluechanged";
    for (std::string_view dev : {"kb_", "ms_", "mp_"}) {
      if (moving && dev == "kb_") continue;
      if (name == std::string(dev) + "deng_light_slider" || name == std::string(dev) + "deng_speed_slider")
        return {{O::LightingPage}};
    }
    const int lastStage = moving ? 6 : 4;
    for (int stage = 1; stage <= lastStage; ++stage)
      if (name == "ms_dpi" + std::to_string(stage) + "_slider") return {{O::MouseSettings}};
    if (name == "ms_point_speed_slider") return {{O::MouseSettings}};
    if (moving && name == "ms_sensor_height_slider") return {{O::MouseSettings}};
    return {};
  }
  if (n.type == "textchanged") {
    if ((family("ms_key_fct_edit_") || family("kb_key_fct_edit_")) && IsKeyFunctionEditNumber(index))
      return {{O::KeyAssignment, index}};
    for (std::string_view dev : {"kb_", "ms_", "mp_"})
      for (std::string_view c : {"r", "g", "b"})
        if (name == std::string(dev) + "deng_edit_" + std::string(c)) return {{O::LightingPage}};
    if (name == "ms_gunlun_speed_edit") return {{O::MouseSettings}};
    if (OneOf(name, kMacroEdits)) return {{O::MacroEditor}};
    if (name == "ms_cursor_x_eidt" || name == "ms_cursor_y_eidt" || name == "ms_cursor_delay_eidt")
      return {{O::FireKeys}};
    return {};
  }
  if (n.type == "killfocus") {
    if (name == "ms_macro_edit_macroname" || name == "kb_macro_edit_macroname") return {{O::MacroEditor}};
    if (name == "ms_gunlun_speed_edit") return {{O::MouseSettings}};
    return {};
  }
  if (n.type == "colorchanged") return {{O::LightingPage}};
  return {};
}

void NotificationRouter::Route(const toolkit::Notification& n) {
  const std::string name = platform::AsciiLower(n.sender);
  if (n.type == "click") {
    Click(n, name);
  } else if (n.type == "selectchanged") {
    SelectChanged(n, name);
  } else if (n.type == "setfocus") {
    if (OneOf(name, kMouseTabs)) SetVisible("ms_profile_fun_spead_tab", false);
  } else if (n.type == "msenter" || n.type == "msleave") {
    Hover(name, n.type == "msenter");
  } else {
    Deliver(n, Targets(n));
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
  Deliver(n, Targets(n));
}

void NotificationRouter::SelectChanged(const toolkit::Notification& n, const std::string& name) {
  std::vector<Target> targets = Targets(n);
  const bool pastGuard = !targets.empty() && targets.front().owner == Owner::InputCapture;
  if (!pastGuard) {
    Deliver(n, targets);
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
  Deliver(n, {targets.front()});
  SwitchTab(name);
  Deliver(n, {targets.begin() + 1, targets.end()});
}

bool NotificationRouter::MacroGuard(const std::string& name) {
  struct Guard {
    const char* bar;
    const char* macroTab;
    const char* deviceTab;
  };
  for (const Guard& g : {Guard{"ms_macro_tab_saveorcancel", "ms_macro_Op_tab", "ms_tab"},
                         Guard{"kb_macro_tab_saveorcancel", "kb_macro_Op_tab", "kb_tab"}}) {
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

void NotificationRouter::Deliver(const toolkit::Notification& n, const std::vector<Target>& targets) {
  for (const Target& t : targets) {
    const auto it = handlers_.find(t.owner);
    if (it == handlers_.end()) {
      debug::Line(std::string("no ") + OwnerName(t.owner) + " for " + n.type + " " + n.sender);
      continue;
    }
    it->second(n, t.index);
  }
}

}  // namespace talvo::app
