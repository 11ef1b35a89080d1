// The profile room: the seven profile lists of the device pages with their
// buttons (choose, add, copy, rename, delete, import, export, reset), the
// links of profiles to programs, and the choices the application watchers
// make while a linked program is in front. Runs on the UI thread; the file
// work is the profile operations', the applying the window's effects.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/peripheral.h"
#include "pages/page_outcome.h"
#include "pages/profiles/profile_selection.h"
#include "platform/foreground_program.h"
#include "profiles/live_data.h"
#include "profiles/profile_index.h"
#include "profiles/profile_operations.h"
#include "profiles/profile_saver.h"
#include "profiles/profile_watcher.h"

namespace talvo::pages::profiles {

class ProfilePage {
 public:
  struct Setup {
    talvo::profiles::LiveData& live;
    talvo::profiles::ProfileSaver& saver;
    // What applying a loaded profile of the peripheral does beyond the records.
    std::function<SelectionEffects(device::Peripheral)> effects;
    // Whether the desktop says which program is in front: read again
    // whenever it may have changed, so it must not block. Available when
    // empty.
    std::function<platform::ForegroundAvailability()> availability;
    // The programs the link chooser offers; none when empty.
    toolkit::ProgramLister programs;
    // After each handled notification of the page: links or entries may
    // have changed, so whether a list has a link to follow may have too.
    std::function<void()> changed;
  };

  ProfilePage(toolkit::Window& window, Setup setup);

  // The device's lists from its index files; a first run creates the first
  // profile of each kind.
  void FillLists(device::Peripheral peripheral);
  // The lists and their buttons, the link check boxes, browse and unlink
  // buttons. A list's controls share its base name ("ms_device"), so most
  // rows take a name ending and the handler finds the list.
  static std::span<const ::talvo::pages::ControlBinding<ProfilePage>> Bindings();
  // One watcher's poll: the first profile linked to the program in front is
  // shown, else the user's choice, which stays the stored choice either way.
  void OnForeground(const talvo::profiles::WatchedList& list, const platform::ForegroundAnswer& answer);
  // Whether the list has a link its watcher can follow, among the entries
  // the list shows (as OnForeground decides over them).
  bool HasFollowableLink(const talvo::profiles::WatchedList& list) const;
  // The link rows follow the source's availability when it changed since
  // they last showed it: the source came up, went away, or its GNOME Shell
  // extension was switched on or off.
  void RefreshAvailability();

  // Chooses the entry of that name (as the list shows it) in the device's
  // list of that kind, as the user choosing it there does; the entry shown
  // already is left as it is.
  Outcome SelectByName(device::Peripheral peripheral, talvo::profiles::ProfileKind kind, std::string_view name);
  // The entry the device's list of that kind shows; empty when none is
  // chosen or the device has no such list.
  std::string ChosenName(device::Peripheral peripheral, talvo::profiles::ProfileKind kind) const;

  // Loads and applies entry `index` of the list, after writing what is still
  // waiting to be saved. An entry that cannot be loaded leaves the list and
  // the stored choice on `previous` (when there was one), whose settings are
  // still the live ones, so no save lands in the file that failed.
  void Select(const talvo::profiles::ProfileCombo& combo, int index, int previous = -1,
              LoadFailure failure = LoadFailure::kAsk);

 private:
  void OnListChosen(const toolkit::Notification& n, int);
  void OnOperationButton(const toolkit::Notification& n, int operation);
  void OnRenameButton(const toolkit::Notification& n, int);
  void OnUnlinkButton(const toolkit::Notification& n, int button);
  void OnLinkCheck(const toolkit::Notification& n, int);
  void OnLinkButton(const toolkit::Notification& n, int);
  // The link the user chose in the program chooser; nothing when cancelled
  // or when it names no program.
  std::optional<std::string> ChooseLink();

  toolkit::Control* Find(const talvo::profiles::ProfileCombo& combo, std::string_view suffix) const;
  toolkit::Control* List(const talvo::profiles::ProfileCombo& combo) const;
  int Selected(const talvo::profiles::ProfileCombo& combo) const;
  void ShowList(const talvo::profiles::ProfileCombo& combo, const std::vector<std::string>& names);
  void Operate(const talvo::profiles::ProfileCombo& combo, std::string_view operation);
  void Finish(const talvo::profiles::ProfileCombo& combo, const talvo::profiles::OperationResult& result);
  void Rename(const talvo::profiles::ProfileCombo& combo);
  void Reset(const talvo::profiles::ProfileCombo& combo);
  // Links the chosen entry to `program`; false when another entry of the
  // list names the same program and `unique` asks for none
  // ("message_text_13").
  bool Link(const talvo::profiles::ProfileCombo& combo, const std::string& program, bool unique);
  void Unlink(const talvo::profiles::ProfileCombo& combo);
  platform::ForegroundAvailability Availability() const;
  void ShowAvailability();
  void Changed();
  void Say(std::string_view textId);

  toolkit::Window& window_;
  Setup setup_;
  // What the link rows say now; the layout's rows say nothing.
  platform::ForegroundAvailability shownAvailability_ = platform::ForegroundAvailability::Available;
  // Per list, the linked entry that could not be loaded while its program is
  // in front.
  std::array<std::optional<int>, talvo::profiles::kProfileCombos.size()> unloadable_{};
};

}  // namespace talvo::pages::profiles
