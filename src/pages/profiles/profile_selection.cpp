#include "pages/profiles/profile_selection.h"

#include <string>

#include "pages/profiles/profile_lists.h"
#include "platform/debug.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_store.h"
#include "profiles/program_links.h"

namespace talvo::pages::profiles {
namespace {

using namespace talvo::profiles;

void Run(const std::function<void()>& f) {
  if (f) f();
}

std::string Control(const ProfileCombo& combo, std::string_view suffix) {
  return ProfileListCompanion(combo, suffix);
}

}  // namespace

bool SelectProfile(toolkit::Window& window, LiveData& live, const ProfileCombo& combo, int index,
                   const SelectionEffects& effects, LoadFailure failure) {
  toolkit::Control* list = window.FindControl(ProfileListControl(combo));
  if (!list || index < 0 || index >= list->Count()) return false;
  const std::string name = list->ItemUserData(index);
  if (toolkit::Control* field = window.FindControl(Control(combo, "_profile_name_edit"))) field->SetText(name);

  const ProfileIndex profiles(combo);
  profiles.SetSelect(index);

  // The link state of the entry.
  const bool linked = profiles.IsLinked(index);
  const std::string process = profiles.Process(index);
  if (toolkit::Control* check = window.FindControl(Control(combo, "_profile_link_check"))) check->SetCheck(linked, false);
  if (linked) {
    if (toolkit::Control* field = window.FindControl(Control(combo, "_profile_link_edit")))
      field->SetText(LinkFieldText(process));
    if (toolkit::Control* row = window.FindControl(Control(combo, "_profile_link_name_hor"))) row->SetVisible(true);
  }

  if (LoadProfile(live, combo.peripheral, combo.kind, index) != kReadOk) {
    if (failure == LoadFailure::kAsk) {
      window.GetToolkit().ShowMessage(&window, "message_text_22");
    } else {
      debug::Line("linked profile " + name + " could not be loaded; the current settings stay");
    }
    return false;
  }
  ApplyLoadedProfile(window, combo, effects);
  return true;
}

void CloseKeyPanel(toolkit::Window& window, device::Peripheral peripheral) {
  const std::string function = std::string(device::Prefix(peripheral)) + "_tab_function";
  if (toolkit::Control* panel = window.FindControl(function); panel && panel->IsVisible()) {
    panel->SetVisible(false);
    panel->SetEnabled(false);
  }
}

void ApplyLoadedProfile(toolkit::Window& window, const ProfileCombo& combo, const SelectionEffects& effects) {
  const bool keyMap = combo.kind != ProfileKind::Lighting;
  const bool lighting = combo.kind != ProfileKind::Key;
  if (keyMap) {
    if (effects.closeKeyPanel) {
      effects.closeKeyPanel();
    } else {
      CloseKeyPanel(window, combo.peripheral);
    }
  }
  if (lighting && combo.peripheral == device::Peripheral::Mouse) Run(effects.applyPointerSettings);
  if (lighting) Run(effects.refreshLightingPages);
  if (keyMap) Run(effects.refreshKeyPage);
  if (lighting) Run(effects.markPush);
  if (keyMap) Run(effects.writeKeyMap);
}

}  // namespace talvo::pages::profiles
