#include "pages/profiles/profile_page.h"

#include <array>
#include <utility>

#include "pages/message_text.h"
#include "pages/peripheral_traits.h"
#include "pages/profiles/profile_lists.h"
#include "platform/ascii.h"
#include "platform/debug.h"
#include "profiles/first_run.h"
#include "profiles/program_links.h"

namespace talvo::pages::profiles {
namespace {

using talvo::profiles::OperationResult;
using talvo::profiles::OperationStatus;
using talvo::profiles::ProfileCombo;
using talvo::profiles::ProfileIndex;
using talvo::profiles::ProfileKind;
using ::talvo::pages::ControlBinding;
using ::talvo::pages::Ending;
using ::talvo::pages::Exact;

constexpr int kItemHeight = 25;
constexpr std::string_view kProgramFilter = "Programs (*)";

// "ms_device" for the mouse's device list: what its controls' names start with.
std::string Base(const ProfileCombo& combo) { return ProfileListCompanion(combo, ""); }

// "<dev>_pro_<kind>_<operation>_btn".
std::string ButtonName(const ProfileCombo& combo, std::string_view operation) {
  const std::string base = Base(combo);
  return base.substr(0, 3) + "pro_" + base.substr(3) + "_" + std::string(operation) + "_btn";
}

std::string FileFilter(const ProfileCombo& combo) {
  const std::string_view kind = combo.kind == ProfileKind::Key        ? "Key profiles"
                                : combo.kind == ProfileKind::Lighting ? "Lighting profiles"
                                                                      : "Device profiles";
  return std::string(kind) + " (*" + std::string(combo.extension) + ")";
}

// The unlink buttons and the lists they belong to.
struct UnlinkButton {
  std::string_view name;
  device::Peripheral peripheral;
  ProfileKind kind;
};
constexpr std::array<UnlinkButton, 3> kUnlinkButtons{{
    {"ms_device_cancle_link_btn", device::Peripheral::Mouse, ProfileKind::Device},
    {"kb_deng_cancle_link_btn", device::Peripheral::Keyboard, ProfileKind::Lighting},
    {"kb_device_cancle_link_btn", device::Peripheral::Keyboard, ProfileKind::Device},
}};

constexpr std::array<std::string_view, 6> kOperations{"add", "sub", "copy", "import", "export", "reset"};

// The list whose control nameOf(list) is `name` (any case).
template <typename NameOf>
const ProfileCombo* ComboNamed(std::string_view name, NameOf nameOf) {
  for (const ProfileCombo& combo : talvo::profiles::kProfileCombos)
    if (platform::EqualsIgnoreCase(name, nameOf(combo))) return &combo;
  return nullptr;
}

size_t ComboIndex(const ProfileCombo& combo) { return size_t(&combo - talvo::profiles::kProfileCombos.data()); }

// What the link row says about the source; nothing while links are followed.
std::string_view AvailabilityTextId(platform::ForegroundAvailability availability) {
  using platform::ForegroundAvailability;
  switch (availability) {
    case ForegroundAvailability::Available: return {};
    case ForegroundAvailability::UnsupportedDesktop: return "profile_link_unsupported_text";
    case ForegroundAvailability::GnomeExtensionOff: return "profile_link_gnome_extension_text";
    case ForegroundAvailability::Unreachable: break;
  }
  return "profile_link_unreachable_text";
}

}  // namespace

ProfilePage::ProfilePage(toolkit::Window& window, Setup setup) : window_(window), setup_(std::move(setup)) {}

toolkit::Control* ProfilePage::Find(const ProfileCombo& combo, std::string_view suffix) const {
  return window_.FindControl(ProfileListCompanion(combo, suffix));
}

toolkit::Control* ProfilePage::List(const ProfileCombo& combo) const {
  return window_.FindControl(ProfileListControl(combo));
}

int ProfilePage::Selected(const ProfileCombo& combo) const {
  const toolkit::Control* list = List(combo);
  return list ? list->CurrentIndex() : -1;
}

void ProfilePage::Say(std::string_view textId) {
  if (!textId.empty()) window_.GetToolkit().ShowMessage(&window_, std::string(textId));
}

void ProfilePage::FillLists(device::Peripheral peripheral) {
  for (const talvo::profiles::ProfileListContent& content : talvo::profiles::PopulateProfileLists(peripheral)) {
    ShowList(*content.combo, content.names);
    Say(content.message);
  }
  ShowAvailability();
}

void ProfilePage::ShowList(const ProfileCombo& combo, const std::vector<std::string>& names) {
  toolkit::Control* list = List(combo);
  if (!list) return;
  list->RemoveAllItems();
  for (const std::string& name : names) list->SetItemHeight(list->AddItem(name, name), kItemHeight);
}

void ProfilePage::Select(const ProfileCombo& combo, int index, int previous, LoadFailure failure) {
  // The files of the profile chosen so far get their last changes before
  // another one is loaded.
  setup_.saver.Flush();
  if (!SelectProfile(window_, setup_.live, combo, index, setup_.effects(combo.peripheral), failure) &&
      previous >= 0 && previous != index) {
    if (toolkit::Control* list = List(combo)) list->SelectItem(previous, false);
    ProfileIndex(combo).SetSelect(previous);
    if (toolkit::Control* field = Find(combo, "_profile_name_edit")) field->SetText(List(combo)->ItemUserData(previous));
  }
  // An entry without a link shows no program, not the last one shown.
  const int shown = Selected(combo);
  if (shown >= 0 && !ProfileIndex(combo).IsLinked(shown))
    if (toolkit::Control* field = Find(combo, "_profile_link_edit")) field->SetText(" ");
  ShowAvailability();
}

Outcome ProfilePage::SelectByName(device::Peripheral peripheral, ProfileKind kind, std::string_view name) {
  const std::string device(TraitsOf(peripheral).name);
  const ProfileCombo* combo = talvo::profiles::FindCombo(peripheral, kind);
  if (!combo) return Refusal::Invalid("the " + device + " has no " + std::string(KindName(kind)) + " profiles");
  toolkit::Control* list = List(*combo);
  if (!list) return Refusal::Failed("the " + device + "'s profile list is missing");
  for (int i = 0; i < list->Count(); ++i) {
    if (list->ItemText(i) != name) continue;
    const int previous = list->CurrentIndex();
    if (i != previous) {
      list->SelectItem(i, false);
      Select(*combo, i, previous);
    }
    return std::nullopt;
  }
  return Refusal::Invalid("the " + device + " has no " + std::string(KindName(kind)) + " profile named " +
                          Quoted(name));
}

std::string ProfilePage::ChosenName(device::Peripheral peripheral, ProfileKind kind) const {
  const ProfileCombo* combo = talvo::profiles::FindCombo(peripheral, kind);
  const toolkit::Control* list = combo ? List(*combo) : nullptr;
  if (!list || list->CurrentIndex() < 0) return {};
  return list->ItemText(list->CurrentIndex());
}

std::span<const ControlBinding<ProfilePage>> ProfilePage::Bindings() {
  using P = ProfilePage;
  // The operation buttons "<dev>_pro_<kind>_<operation>_btn" hand their
  // place in kOperations.
  static constexpr std::array<ControlBinding<P>, 25> kBindings{{
      {Ending("itemselect", "_profile_combo"), &P::OnListChosen},
      {Ending("click", "pro_key_add_btn", 0), &P::OnOperationButton},
      {Ending("click", "pro_deng_add_btn", 0), &P::OnOperationButton},
      {Ending("click", "pro_device_add_btn", 0), &P::OnOperationButton},
      {Ending("click", "pro_key_sub_btn", 1), &P::OnOperationButton},
      {Ending("click", "pro_deng_sub_btn", 1), &P::OnOperationButton},
      {Ending("click", "pro_device_sub_btn", 1), &P::OnOperationButton},
      {Ending("click", "pro_key_copy_btn", 2), &P::OnOperationButton},
      {Ending("click", "pro_deng_copy_btn", 2), &P::OnOperationButton},
      {Ending("click", "pro_device_copy_btn", 2), &P::OnOperationButton},
      {Ending("click", "pro_key_import_btn", 3), &P::OnOperationButton},
      {Ending("click", "pro_deng_import_btn", 3), &P::OnOperationButton},
      {Ending("click", "pro_device_import_btn", 3), &P::OnOperationButton},
      {Ending("click", "pro_key_export_btn", 4), &P::OnOperationButton},
      {Ending("click", "pro_deng_export_btn", 4), &P::OnOperationButton},
      {Ending("click", "pro_device_export_btn", 4), &P::OnOperationButton},
      {Ending("click", "pro_key_reset_btn", 5), &P::OnOperationButton},
      {Ending("click", "pro_deng_reset_btn", 5), &P::OnOperationButton},
      {Ending("click", "pro_device_reset_btn", 5), &P::OnOperationButton},
      {Ending("click", "_profile_edit_save_btn"), &P::OnRenameButton},
      {Exact("click", kUnlinkButtons[0].name, 0), &P::OnUnlinkButton},
      {Exact("click", kUnlinkButtons[1].name, 1), &P::OnUnlinkButton},
      {Exact("click", kUnlinkButtons[2].name, 2), &P::OnUnlinkButton},
      {Ending("selectchanged", "_profile_link_check").LeavingPage(), &P::OnLinkCheck},
      {Ending("click", "_profile_link_btn"), &P::OnLinkButton},
  }};
  static_assert(kOperations.size() == 6 && kUnlinkButtons.size() == 3, "one row per button");
  return kBindings;
}

void ProfilePage::OnListChosen(const toolkit::Notification& n, int) {
  if (const ProfileCombo* combo = ComboOfListControl(n.sender)) Select(*combo, int(n.wParam), int(n.lParam));
  Changed();
}

void ProfilePage::OnOperationButton(const toolkit::Notification& n, int operation) {
  const std::string_view op = kOperations[size_t(operation)];
  if (const ProfileCombo* combo = ComboNamed(n.sender, [op](const ProfileCombo& c) { return ButtonName(c, op); }))
    Operate(*combo, op);
  Changed();
}

void ProfilePage::OnRenameButton(const toolkit::Notification& n, int) {
  if (const ProfileCombo* combo =
          ComboNamed(n.sender, [](const ProfileCombo& c) { return Base(c) + "_profile_edit_save_btn"; }))
    Rename(*combo);
  Changed();
}

void ProfilePage::Operate(const ProfileCombo& combo, std::string_view operation) {
  // Operations read and write the profile files: what is waiting goes first.
  setup_.saver.Flush();
  const int selected = Selected(combo);
  toolkit::Toolkit& toolkit = window_.GetToolkit();
  if (operation == "add") {
    Finish(combo, talvo::profiles::AddProfile(combo));
  } else if (operation == "copy") {
    Finish(combo, talvo::profiles::CopyProfile(combo, selected));
  } else if (operation == "sub") {
    Finish(combo, talvo::profiles::DeleteProfile(combo, selected, [&] {
             return toolkit.ShowMessage(&window_, "message_text_12") == 1;
           }));
  } else if (operation == "import") {
    if (selected < 0) return;
    if (const auto path = toolkit.OpenFile(&window_, FileFilter(combo)))
      Finish(combo, talvo::profiles::ImportProfile(combo, selected, *path));
  } else if (operation == "export") {
    if (selected < 0) return;
    const std::string name = List(combo)->ItemUserData(selected) + std::string(combo.extension);
    if (const auto path = toolkit.SaveFile(&window_, FileFilter(combo), name)) {
      const OperationResult result = talvo::profiles::ExportProfile(combo, selected, *path);
      if (result.status == OperationStatus::WriteFailed) {
        ::talvo::pages::ShowMessageWithText(window_, "message_text_28", *path);
      } else {
        Finish(combo, result);
      }
    }
  } else if (operation == "reset") {
    Reset(combo);
  }
}

void ProfilePage::Finish(const ProfileCombo& combo, const OperationResult& result) {
  if (!result.Ok()) {
    if (result.status == OperationStatus::UnsafeName) Say("message_text_25");
    Say(result.message);
    return;
  }
  // An export names no entry to select: the list and its selection stay.
  if (result.select < 0) return;
  ShowList(combo, result.names);
  if (toolkit::Control* list = List(combo)) list->SelectItem(result.select, false);
  Select(combo, result.select);
}

void ProfilePage::Rename(const ProfileCombo& combo) {
  setup_.saver.Flush();
  const int selected = Selected(combo);
  const toolkit::Control* field = Find(combo, "_profile_name_edit");
  if (selected < 0 || !field) return;
  const std::string oldName = List(combo)->ItemUserData(selected);
  const OperationResult result = talvo::profiles::RenameProfile(combo, selected, field->Text());
  if (!result.Ok()) {
    if (result.status == OperationStatus::UnsafeName) Say("message_text_25");
    Say(result.message);
    return;
  }
  ShowList(combo, result.names);
  if (toolkit::Control* list = List(combo)) list->SelectItem(selected, false);
  if (toolkit::Control* edit = Find(combo, "_profile_name_edit")) edit->SetText(result.name);
  // The live settings now belong to the file under its new name.
  std::string& applied = setup_.live.applied[ComboIndex(combo)];
  if (talvo::profiles::SameProfileName(applied, oldName)) applied = result.name;
}

void ProfilePage::Reset(const ProfileCombo& combo) {
  const int selected = Selected(combo);
  if (combo.peripheral == device::Peripheral::Keyboard && combo.kind == ProfileKind::Key)
    if (toolkit::Control* panel = window_.FindControl("kb_tab_function"); panel && panel->IsVisible()) {
      panel->SetVisible(false);
      panel->SetEnabled(false);
    }
  const OperationResult result = talvo::profiles::ResetProfile(combo, selected, setup_.live);
  if (!result.Ok()) {
    Say(result.message);
    if (result.status != OperationStatus::WriteFailed) return;
  }
  // The mouse's device profile holds its lighting too.
  if (combo.peripheral == device::Peripheral::Mouse && combo.kind == ProfileKind::Lighting)
    setup_.saver.Mark(device::Peripheral::Mouse, ProfileKind::Device);
  ApplyLoadedProfile(window_, combo, setup_.effects(combo.peripheral));
}

void ProfilePage::OnUnlinkButton(const toolkit::Notification&, int button) {
  const UnlinkButton& b = kUnlinkButtons[size_t(button)];
  if (const ProfileCombo* combo = talvo::profiles::FindCombo(b.peripheral, b.kind)) {
    if (toolkit::Control* check = Find(*combo, "_profile_link_check")) check->SetCheck(false, true);
    Unlink(*combo);
  }
  Changed();
}

void ProfilePage::OnLinkCheck(const toolkit::Notification& n, int) {
  const ProfileCombo* combo =
      ComboNamed(n.sender, [](const ProfileCombo& c) { return Base(c) + "_profile_link_check"; });
  if (!combo) return;
  if (n.wParam == 0) {
    Unlink(*combo);
  } else {
    const auto program = ChooseLink();
    if (!program || !Link(*combo, *program, true)) {
      if (toolkit::Control* check = Find(*combo, "_profile_link_check")) check->SetCheck(false, false);
      Unlink(*combo);
    }
  }
  Changed();
}

void ProfilePage::OnLinkButton(const toolkit::Notification& n, int) {
  const ProfileCombo* combo = ComboNamed(n.sender, [](const ProfileCombo& c) { return Base(c) + "_profile_link_btn"; });
  if (!combo) return;
  const auto program = ChooseLink();
  if (!program) return;
  // Only the mouse's device list refuses a program linked to another entry.
  const bool unique = combo->peripheral == device::Peripheral::Mouse && combo->kind == ProfileKind::Device;
  if (!Link(*combo, *program, unique)) {
    if (toolkit::Control* check = Find(*combo, "_profile_link_check")) check->SetCheck(false, false);
    Unlink(*combo);
  }
  Changed();
}

std::optional<std::string> ProfilePage::ChooseLink() {
  // The row says whether the link will be followed before one is chosen.
  RefreshAvailability();
  auto link = window_.GetToolkit().ChooseProgram(&window_, setup_.programs, std::string(kProgramFilter));
  // A browsed file is linked by its absolute path; text that names no
  // program in any form links nothing.
  if (!link || talvo::profiles::FormOf(*link) == talvo::profiles::LinkForm::None) return std::nullopt;
  return link;
}

bool ProfilePage::Link(const ProfileCombo& combo, const std::string& program, bool unique) {
  const int entry = Selected(combo);
  if (entry < 0) return false;
  const ProfileIndex index(combo);
  if (unique) {
    const toolkit::Control* list = List(combo);
    for (int n = 0; list && n < list->Count(); ++n) {
      if (n != entry && index.IsLinked(n) && talvo::profiles::SameLink(index.Process(n), program)) {
        Say("message_text_13");
        return false;
      }
    }
  }
  if (!index.SetLinked(entry, true) || !index.SetProcess(entry, program)) return false;
  if (toolkit::Control* field = Find(combo, "_profile_link_edit"))
    field->SetText(talvo::profiles::LinkFieldText(program));
  if (toolkit::Control* check = Find(combo, "_profile_link_check")) check->SetCheck(true, false);
  if (toolkit::Control* row = Find(combo, "_profile_link_name_hor")) row->SetVisible(true);
  return true;
}

void ProfilePage::Unlink(const ProfileCombo& combo) {
  const int entry = Selected(combo);
  if (toolkit::Control* field = Find(combo, "_profile_link_edit")) field->SetText(" ");
  if (toolkit::Control* row = Find(combo, "_profile_link_name_hor")) row->SetVisible(true);
  if (entry < 0) return;
  const ProfileIndex index(combo);
  index.SetLinked(entry, false);
  index.SetProcess(entry, " ");
  ShowAvailability();
}

void ProfilePage::Changed() {
  if (setup_.changed) setup_.changed();
}

platform::ForegroundAvailability ProfilePage::Availability() const {
  return setup_.availability ? setup_.availability() : platform::ForegroundAvailability::Available;
}

void ProfilePage::RefreshAvailability() {
  if (Availability() != shownAvailability_) ShowAvailability();
}

void ProfilePage::ShowAvailability() {
  const platform::ForegroundAvailability now = Availability();
  const bool changed = std::exchange(shownAvailability_, now) != now;
  const std::string id(AvailabilityTextId(now));
  if (id.empty() && !changed) return;
  // Links can still be made and kept, but nothing will follow them here: the
  // link row says why, and says nothing once they are followed again.
  const std::string tip = id.empty() ? std::string() : window_.GetToolkit().LanguageText(id).value_or(id);
  for (const ProfileCombo& combo : talvo::profiles::kProfileCombos) {
    for (std::string_view suffix : {"_profile_link_check", "_profile_link_btn"})
      if (toolkit::Control* c = Find(combo, suffix)) c->SetToolTip(tip);
    const int entry = Selected(combo);
    if (entry >= 0 && ProfileIndex(combo).IsLinked(entry)) continue;
    if (toolkit::Control* field = Find(combo, "_profile_link_edit")) {
      if (id.empty()) {
        field->SetText(" ");
      } else {
        field->SetTextId(id);
      }
    }
  }
}

void ProfilePage::OnForeground(const talvo::profiles::WatchedList& watched, const platform::ForegroundAnswer& answer) {
  const ProfileCombo* combo = talvo::profiles::FindCombo(watched.peripheral, watched.kind);
  toolkit::Control* list = combo ? List(*combo) : nullptr;
  if (!list) return;
  // An answer may come from a source that has just come up or gone away.
  RefreshAvailability();
  const ProfileIndex index(*combo);
  const talvo::profiles::WatcherChoice choice = talvo::profiles::DecideEntry(index, list->Count(), answer);
  // A profile linked to the program in front that cannot be loaded leaves
  // the list on the live one, is told without a box over that program, and
  // is not tried again while that program stays in front; once another
  // entry is to be shown it may be tried again. The user's own choice coming
  // back is told as when it was chosen.
  const bool linked = choice.show && *choice.show != choice.userChoice;
  std::optional<int>& unloadable = unloadable_[ComboIndex(*combo)];
  if (!linked || unloadable != choice.show) unloadable.reset();
  if (choice.show && *choice.show != list->CurrentIndex() && !(linked && unloadable == choice.show)) {
    const int shown = list->CurrentIndex();
    list->SelectItem(*choice.show, false);
    Select(*combo, *choice.show, linked ? shown : -1, linked ? LoadFailure::kQuiet : LoadFailure::kAsk);
    if (linked && list->CurrentIndex() != *choice.show) unloadable = choice.show;
  }
  // Selecting stored the entry shown; the stored choice stays the user's.
  index.SetSelect(choice.userChoice);
}

bool ProfilePage::HasFollowableLink(const talvo::profiles::WatchedList& watched) const {
  const ProfileCombo* combo = talvo::profiles::FindCombo(watched.peripheral, watched.kind);
  const toolkit::Control* list = combo ? List(*combo) : nullptr;
  return list && talvo::profiles::HasFollowableLink(ProfileIndex(*combo), list->Count());
}

}  // namespace talvo::pages::profiles
