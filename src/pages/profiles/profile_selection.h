// Choosing an entry of a profile list: the name field, the stored choice, the
// link state, then the profile loaded into the live records and applied to
// the device and the pages. Qt-free: the list and its companions are reached
// through the toolkit, the applying through the effects the caller gives.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "toolkit/toolkit.h"
#include "profiles/live_data.h"
#include "profiles/profile_index.h"

namespace talvo::pages::profiles {

// What applying a loaded profile does beyond the live records; each may be
// empty where the program has nothing for it yet.
struct SelectionEffects {
  // Closes the key page's function panel (CloseKeyPanel).
  std::function<void()> closeKeyPanel;
  std::function<void()> refreshKeyPage;
  std::function<void()> writeKeyMap;
  std::function<void()> refreshLightingPages;
  // Shows the profile's pointer speed and wheel lines and applies them.
  std::function<void()> applyPointerSettings;
  std::function<void()> markPush;
};

// How a profile that cannot be loaded is told: in a message box when the
// user chose it, on the debug output when a linked program in front did
// (a box would pop up over that program).
enum class LoadFailure { kAsk, kQuiet };

// Entry `index` of the combination's list was chosen. Returns whether the
// profile was loaded (false for an index outside the list or a file that
// cannot be read; the last is told with "message_text_22" or quietly as
// `failure` says, the live records unchanged). A linked entry whose stored
// program no desktop here can run ("C:\Games\game.exe") loads like any
// other; it only never matches the program in front.
bool SelectProfile(toolkit::Window& window, talvo::profiles::LiveData& live, const talvo::profiles::ProfileCombo& combo,
                   int index, const SelectionEffects& effects, LoadFailure failure = LoadFailure::kAsk);

// The device's key function panel hidden and disabled, where it is shown.
void CloseKeyPanel(toolkit::Window& window, device::Peripheral peripheral);

// What follows a load into the live records (also a reset to the default):
// the key panel closed, the pages refreshed, the settings pushed and the key
// map written, as the kind needs.
void ApplyLoadedProfile(toolkit::Window& window, const talvo::profiles::ProfileCombo& combo,
                        const SelectionEffects& effects);

}  // namespace talvo::pages::profiles
