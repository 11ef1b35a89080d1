#include "pages/macros/macro_editor_page.h"

#include <algorithm>
#include <array>

#include "keys/function_tables.h"
#include "macros/macro_files.h"
#include "pages/edit_value.h"
#include "pages/message_text.h"
#include "pages/peripheral_traits.h"
#include "platform/ascii.h"
#include "platform/debug.h"
#include "profiles/profile_store.h"

namespace talvo::macros::pages {
namespace {

// Pages of the step editor.
constexpr int kNoStepPage = 0;
constexpr int kKeyStepPage = 1;
constexpr int kMouseStepPage = 2;

constexpr int kStepRowHeight = 30;
constexpr int kClickRowHeight = 25;  // rows recorded from mouse clicks
constexpr int kInsertedDelay = 50;
constexpr int kMaxDistance = 255;

constexpr std::string_view kMacroFileFilter = "Macro files (*.mac)";

// Items 10-13 of the mouse-event combo are the moves.
constexpr int kFirstMoveItem = int(kMouseButtonEventRows);

bool IsMove(uint8_t event) {
  const uint8_t type = event & 0x7F;
  return type == kEventMoveHorizontal || type == kEventMoveVertical;
}

// The insert buttons: the bar each one opens, and the table rows of its
// press and release.
struct InsertButton {
  std::string_view name;  // between "macro_inset_" and "key"
  size_t downRow;
  size_t upRow;
};
constexpr std::array<InsertButton, 5> kInsertButtons{{
    {"left", 0, 1},
    {"right", 2, 3},
    {"moudle", 4, 5},
    {"forward", 6, 7},
    {"back", 8, 9},
}};

// The move buttons with the edit giving their distance; rows 10-13.
struct MoveButton {
  std::string_view button;
  std::string_view edit;
};
constexpr std::array<MoveButton, 4> kMoveButtons{{
    {"macro_inset_moveleftkey_btn", "mouse_x_left_edit"},
    {"macro_inset_moverightkey_btn", "mouse_x_right_edit"},
    {"macro_inset_moveupkey_btn", "mouse_y_up_edit"},
    {"macro_inset_movedownkey_btn", "mouse_y_down_edit"},
}};

// The buttons recording disables, besides the two lists.
constexpr std::array<std::string_view, 8> kRecordingDisables{
    "macro_btn_save",       "macro_btn_down",   "macro_btn_up",        "macro_btn_uptop",
    "macro_btn_downbottom", "macro_btn_delete", "macro_btn_deleteall", "macro_btn_cancel"};
constexpr std::array<std::string_view, 5> kRecordOptions{"macro_keyboard_event", "macro_mouse_click",
                                                         "macro_mouse_roller", "macro_mouse_move",
                                                         "macro_check_time"};
// What only makes sense with a macro to work on.
constexpr std::array<std::string_view, 12> kMacroControls{
    "Macro_list",        "macro_btn_redio",       "macro_edit_macroname", "macro_btn_savemacroname",
    "macro_btn_name_sub", "macro_btn_export",     "macro_btn_up",         "macro_btn_down",
    "macro_btn_uptop",   "macro_btn_downbottom", "macro_btn_delete",     "macro_btn_deleteall"};

}  // namespace

MacroEditorPage::MacroEditorPage(toolkit::Window& window, Setup setup)
    : window_(window),
      setup_(std::move(setup)),
      prefix_(setup_.peripheral == device::Peripheral::Keyboard ? "kb_" : "ms_"),
      recorder_(setup_.clock ? MacroRecorder(setup_.clock) : MacroRecorder()) {}

MacroEditorPage::~MacroEditorPage() {
  if (recording_) setup_.capture.Remove();
}

toolkit::Control* MacroEditorPage::Find(std::string_view suffix) const { return window_.FindControl(Name(suffix)); }

void MacroEditorPage::SetVisible(std::string_view suffix, bool on) {
  if (toolkit::Control* c = Find(suffix)) c->SetVisible(on);
}

void MacroEditorPage::SetEnabled(std::string_view suffix, bool on) {
  if (toolkit::Control* c = Find(suffix)) c->SetEnabled(on);
}

int MacroEditorPage::Selected() const {
  const toolkit::Control* list = Find("MacroName_list");
  const int index = list ? list->CurrentIndex() : -1;
  return index >= 0 && size_t(index) < names_.size() ? index : -1;
}

int MacroEditorPage::StepIndex() const {
  const toolkit::Control* steps = Find("Macro_list");
  return steps ? steps->CurrentIndex() : -1;
}

bool MacroEditorPage::Editing() const { return draft_.Dirty(); }

std::vector<std::string> MacroEditorPage::Steps() const { return draft_.Actions(); }

void MacroEditorPage::Load(::talvo::pages::DeferredViews& views) {
  names_ = LoadMacroList(setup_.peripheral, setup_.folder, setup_.programFolder);
  const ::talvo::pages::PeripheralTraits& traits = ::talvo::pages::TraitsOf(setup_.peripheral);
  views.Show(traits.keyPage, "macro names", [this] { FillList(Find("key_fct_combo_23")); });
  views.Show(traits.macroPage, "macros", [this] { ShowLoaded(); });
}

void MacroEditorPage::ShowLoaded() {
  FillList(Find("MacroName_list"));
  if (names_.empty()) {
    EnableMacroControls(false);
    return;
  }
  const int last = int(names_.size()) - 1;
  if (toolkit::Control* list = Find("MacroName_list")) list->SelectItem(last, false);
  SelectMacro(last, -1);
}

void MacroEditorPage::FillLists() {
  for (toolkit::Control* list : {Find("MacroName_list"), Find("key_fct_combo_23")}) FillList(list);
}

void MacroEditorPage::FillList(toolkit::Control* list) {
  if (!list) return;
  list->RemoveAllItems();
  for (const std::string& name : names_) list->AddItem(name);
}

void MacroEditorPage::EnableMacroControls(bool on) {
  for (std::string_view c : kMacroControls) SetEnabled(c, on);
}

// ---- notifications ----

std::span<const ::talvo::pages::ControlBinding<MacroEditorPage>> MacroEditorPage::Bindings(
    device::Peripheral peripheral) {
  using namespace ::talvo::pages;
  using P = MacroEditorPage;
  // Insert buttons carry their place in kInsertButtons, their step rows in
  // the mouse-event table, or their place in kMoveButtons; edits theirs.
  static constexpr std::array<ControlBinding<P>, 53> kMouse{{
      {Exact("click", "ms_macro_btn_name_add"), &P::OnAdd},
      {Exact("click", "ms_macro_btn_name_sub"), &P::OnRemove},
      {Exact("click", "ms_macro_btn_import"), &P::OnImport},
      {Exact("click", "ms_macro_btn_export"), &P::OnExport},
      {Exact("click", "ms_macro_btn_savemacroname"), &P::OnRename},
      {Exact("click", "ms_macro_btn_save"), &P::OnSave},
      {Exact("click", "ms_macro_btn_cancel"), &P::OnCancel},
      {Exact("click", "ms_macro_btn_redio"), &P::OnRecord},
      {Exact("click", "ms_macro_btn_up", int(StepMove::Up)), &P::OnMove},
      {Exact("click", "ms_macro_btn_down", int(StepMove::Down)), &P::OnMove},
      {Exact("click", "ms_macro_btn_uptop", int(StepMove::Top)), &P::OnMove},
      {Exact("click", "ms_macro_btn_downbottom", int(StepMove::Bottom)), &P::OnMove},
      {Exact("click", "ms_macro_btn_delete"), &P::OnDeleteStep},
      {Exact("click", "ms_macro_btn_deleteall"), &P::OnDeleteAllSteps},
      {Exact("click", "ms_macro_inset_leftkey_btn", 0), &P::OnInsertBar},
      {Exact("click", "ms_macro_inset_leftkeydown_btn", 0), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_leftkeyup_btn", 1), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_rightkey_btn", 1), &P::OnInsertBar},
      {Exact("click", "ms_macro_inset_rightkeydown_btn", 2), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_rightkeyup_btn", 3), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_moudlekey_btn", 2), &P::OnInsertBar},
      {Exact("click", "ms_macro_inset_moudlekeydown_btn", 4), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_moudlekeyup_btn", 5), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_forwardkey_btn", 3), &P::OnInsertBar},
      {Exact("click", "ms_macro_inset_forwardkeydown_btn", 6), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_forwardkeyup_btn", 7), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_backkey_btn", 4), &P::OnInsertBar},
      {Exact("click", "ms_macro_inset_backkeydown_btn", 8), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_backkeyup_btn", 9), &P::OnInsertStep},
      {Exact("click", "ms_macro_inset_moveleftkey_btn", 0), &P::OnInsertMove},
      {Exact("click", "ms_macro_inset_moverightkey_btn", 1), &P::OnInsertMove},
      {Exact("click", "ms_macro_inset_moveupkey_btn", 2), &P::OnInsertMove},
      {Exact("click", "ms_macro_inset_movedownkey_btn", 3), &P::OnInsertMove},
      {Exact("itemselect", "ms_MacroName_list"), &P::OnMacroChosen},
      {Exact("itemselect", "ms_Macro_list"), &P::OnStepChosen},
      {Exact("itemclick", "ms_Macro_list"), &P::OnStepChosen},
      {Exact("itemselect", "ms_macro_combo_keyselect"), &P::OnKeyChosen},
      {Exact("itemselect", "ms_macro_combo_upordown"), &P::OnUpOrDownChosen},
      {Exact("itemselect", "ms_macro_combo_mouselect"), &P::OnMouseEventChosen},
      {Exact("textchanged", "ms__macro_edit_ActionDelay", 0), &P::OnDelayEdit},
      {Exact("textchanged", "ms__macro_edit_mou_action_delay", 1), &P::OnDelayEdit},
      {Exact("textchanged", "ms_macro_edit_mou_pointer_skewing"), &P::OnDistanceEdit},
      {Exact("textchanged", "ms_mouse_x_left_edit", 0), &P::OnMoveEdit},
      {Exact("textchanged", "ms_mouse_x_right_edit", 1), &P::OnMoveEdit},
      {Exact("textchanged", "ms_mouse_y_up_edit", 2), &P::OnMoveEdit},
      {Exact("textchanged", "ms_mouse_y_down_edit", 3), &P::OnMoveEdit},
      {Exact("killfocus", "ms_macro_edit_macroname"), &P::OnRename},
      {Exact("selectchanged", "ms_macro_btn_shubiao"), &P::OnMouseEventsShown},
      // The mouse's recorder options are the page's own: choosing one leaves
      // nothing and passes no guard.
      {Exact("selectchanged", "ms_macro_check_time")},
      {Exact("selectchanged", "ms_macro_keyboard_event")},
      {Exact("selectchanged", "ms_macro_mouse_click")},
      {Exact("selectchanged", "ms_macro_mouse_roller")},
      {Exact("selectchanged", "ms_macro_mouse_move")},
  }};
  static constexpr std::array<ControlBinding<P>, 48> kKeyboard{{
      {Exact("click", "kb_macro_btn_name_add"), &P::OnAdd},
      {Exact("click", "kb_macro_btn_name_sub"), &P::OnRemove},
      {Exact("click", "kb_macro_btn_import"), &P::OnImport},
      {Exact("click", "kb_macro_btn_export"), &P::OnExport},
      {Exact("click", "kb_macro_btn_savemacroname"), &P::OnRename},
      {Exact("click", "kb_macro_btn_save"), &P::OnSave},
      {Exact("click", "kb_macro_btn_cancel"), &P::OnCancel},
      {Exact("click", "kb_macro_btn_redio"), &P::OnRecord},
      {Exact("click", "kb_macro_btn_up", int(StepMove::Up)), &P::OnMove},
      {Exact("click", "kb_macro_btn_down", int(StepMove::Down)), &P::OnMove},
      {Exact("click", "kb_macro_btn_uptop", int(StepMove::Top)), &P::OnMove},
      {Exact("click", "kb_macro_btn_downbottom", int(StepMove::Bottom)), &P::OnMove},
      {Exact("click", "kb_macro_btn_delete"), &P::OnDeleteStep},
      {Exact("click", "kb_macro_btn_deleteall"), &P::OnDeleteAllSteps},
      {Exact("click", "kb_macro_inset_leftkey_btn", 0), &P::OnInsertBar},
      {Exact("click", "kb_macro_inset_leftkeydown_btn", 0), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_leftkeyup_btn", 1), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_rightkey_btn", 1), &P::OnInsertBar},
      {Exact("click", "kb_macro_inset_rightkeydown_btn", 2), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_rightkeyup_btn", 3), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_moudlekey_btn", 2), &P::OnInsertBar},
      {Exact("click", "kb_macro_inset_moudlekeydown_btn", 4), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_moudlekeyup_btn", 5), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_forwardkey_btn", 3), &P::OnInsertBar},
      {Exact("click", "kb_macro_inset_forwardkeydown_btn", 6), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_forwardkeyup_btn", 7), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_backkey_btn", 4), &P::OnInsertBar},
      {Exact("click", "kb_macro_inset_backkeydown_btn", 8), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_backkeyup_btn", 9), &P::OnInsertStep},
      {Exact("click", "kb_macro_inset_moveleftkey_btn", 0), &P::OnInsertMove},
      {Exact("click", "kb_macro_inset_moverightkey_btn", 1), &P::OnInsertMove},
      {Exact("click", "kb_macro_inset_moveupkey_btn", 2), &P::OnInsertMove},
      {Exact("click", "kb_macro_inset_movedownkey_btn", 3), &P::OnInsertMove},
      {Exact("itemselect", "kb_MacroName_list"), &P::OnMacroChosen},
      {Exact("itemselect", "kb_Macro_list"), &P::OnStepChosen},
      {Exact("itemclick", "kb_Macro_list"), &P::OnStepChosen},
      {Exact("itemselect", "kb_macro_combo_keyselect"), &P::OnKeyChosen},
      {Exact("itemselect", "kb_macro_combo_upordown"), &P::OnUpOrDownChosen},
      {Exact("itemselect", "kb_macro_combo_mouselect"), &P::OnMouseEventChosen},
      {Exact("textchanged", "kb__macro_edit_ActionDelay", 0), &P::OnDelayEdit},
      {Exact("textchanged", "kb__macro_edit_mou_action_delay", 1), &P::OnDelayEdit},
      {Exact("textchanged", "kb_macro_edit_mou_pointer_skewing"), &P::OnDistanceEdit},
      {Exact("textchanged", "kb_mouse_x_left_edit", 0), &P::OnMoveEdit},
      {Exact("textchanged", "kb_mouse_x_right_edit", 1), &P::OnMoveEdit},
      {Exact("textchanged", "kb_mouse_y_up_edit", 2), &P::OnMoveEdit},
      {Exact("textchanged", "kb_mouse_y_down_edit", 3), &P::OnMoveEdit},
      {Exact("killfocus", "kb_macro_edit_macroname"), &P::OnRename},
      {Exact("selectchanged", "kb_macro_btn_shubiao"), &P::OnMouseEventsShown},
  }};
  if (peripheral == device::Peripheral::Keyboard) return kKeyboard;
  return kMouse;
}

void MacroEditorPage::OnInsertBar(const toolkit::Notification&, int button) {
  ToggleInsertBar(kInsertButtons[size_t(button)].name);
}

void MacroEditorPage::OnInsertMove(const toolkit::Notification&, int move) {
  InsertMouseStep(kMouseButtonEventRows + size_t(move), kMoveButtons[size_t(move)].edit);
}

void MacroEditorPage::OnKeyChosen(const toolkit::Notification& n, int) {
  const int item = int(n.wParam);
  if (item < 0 || size_t(item) >= kRecordableKeyRows) return;
  const keys::KeyCodeRow& row = keys::KeyCodeTable[size_t(item)];
  ApplyToStep([&](MacroAction& a) {
    a.event = uint8_t((row.p2 ? kEventOtherKey : kEventModifierKey) | (a.pressed ? kEventFlag : 0));
    a.value = row.p2 ? row.p2 : row.p1;
    a.label = std::string(row.textId);
  });
}

void MacroEditorPage::OnUpOrDownChosen(const toolkit::Notification& n, int) {
  const int item = int(n.wParam);
  ApplyToStep([&](MacroAction& a) {
    a.pressed = item == 1 ? 1 : 0;
    a.event = uint8_t(a.pressed ? a.event | kEventFlag : a.event & ~kEventFlag);
  });
}

void MacroEditorPage::OnMouseEventChosen(const toolkit::Notification& n, int) {
  const int item = int(n.wParam);
  if (item < 0 || size_t(item) >= kMouseButtonEventRows + kMoveEventRows) return;
  const MouseEventRow& row = MacroMouseEventTable[size_t(item)];
  const bool move = item >= kFirstMoveItem;
  SetVisible("macro_tab_mou_pointer_skewing", move);
  ApplyToStep([&](MacroAction& a) {
    if (move) {
      if (!IsMove(a.event)) a.value = 0;
      if (toolkit::Control* edit = Find("macro_edit_mou_pointer_skewing")) edit->SetText(std::to_string(a.value));
    } else {
      a.value = row.button;
      a.pressed = (row.event & kEventFlag) ? 1 : 0;
    }
    a.event = row.event;
    a.label = std::string(row.label);
  });
}

void MacroEditorPage::OnDelayEdit(const toolkit::Notification&, int edit) {
  const int delay = ClampedEdit(edit == 0 ? "_macro_edit_ActionDelay" : "_macro_edit_mou_action_delay", kMaxDelay);
  ApplyToStep([&](MacroAction& a) { a.delay = uint16_t(delay); });
}

void MacroEditorPage::OnDistanceEdit(const toolkit::Notification&, int) {
  const int distance = ClampedEdit("macro_edit_mou_pointer_skewing", kMaxDistance);
  ApplyToStep([&](MacroAction& a) { a.value = uint8_t(distance); });
}

void MacroEditorPage::OnMoveEdit(const toolkit::Notification&, int move) {
  ClampedEdit(kMoveButtons[size_t(move)].edit, kMaxDistance);
}

void MacroEditorPage::OnMouseEventsShown(const toolkit::Notification& n, int) {
  SetVisible("MacroMouseEvent", n.wParam != 0);
  SetVisible("MacroName", n.wParam == 0);
}

int MacroEditorPage::ClampedEdit(std::string_view suffix, int max) {
  return int(::talvo::pages::ShownNumber(Find(suffix), 0, max));
}

// ---- the macro list ----

void MacroEditorPage::SelectMacro(int index, int previous) {
  if (index < 0 || size_t(index) >= names_.size()) return;
  if (Editing()) {
    // The steps on show are not saved: the list keeps their macro.
    if (toolkit::Control* list = Find("MacroName_list")) list->SelectItem(previous, false);
    window_.GetToolkit().ShowMessage(&window_, "message_text_3");
    return;
  }
  if (toolkit::Control* edit = Find("macro_edit_macroname")) edit->SetText(names_[size_t(index)]);
  ShowSteps(names_[size_t(index)]);
  if (toolkit::Control* tab = Find("tab_macro_edit")) tab->SelectPage(kNoStepPage);
}

void MacroEditorPage::ShowSteps(std::string_view macroName) {
  draft_.Load(ReadMacro(setup_.folder, macroName));
  DrawSteps();
}

void MacroEditorPage::DrawSteps() {
  toolkit::Control* list = Find("Macro_list");
  if (!list) return;
  list->RemoveAllItems();
  for (size_t i = 0; i < draft_.Size(); ++i) {
    const int row = list->AddItem({});
    DrawStep(row);
  }
}

void MacroEditorPage::DrawStep(int row) {
  toolkit::Control* list = Find("Macro_list");
  if (!list || row < 0 || size_t(row) >= draft_.Size()) return;
  const DraftStep& step = draft_.Steps()[size_t(row)];
  list->SetItemHeight(row, step.recordedClick ? kClickRowHeight : kStepRowHeight);
  const std::string& action = step.action;
  const std::optional<MacroAction> a = ParseAction(action);
  if (!a) {
    // Kept as stored, so a save writes it back unchanged.
    list->SetItemColumnText(row, 0, action);
    list->SetItemColumnText(row, 1, {});
    list->SetItemColumnText(row, 2, {});
    list->SetItemStyle(row, "macro_label_text_style");
    return;
  }
  list->SetItemTextId(row, 0, a->label);
  list->SetItemStyle(row, IsKeyboardEvent(a->event) ? "macro_label_keyboard_style" : "macro_label_mouse_style", 0);
  if (IsMove(a->event)) {
    list->SetItemColumnText(row, 1, std::to_string(a->value));
    list->SetItemStyle(row, "macro_label_text_style", 1);
  } else {
    list->SetItemTextId(row, 1, a->pressed == 1 ? "macro_ui_press" : "macro_ui_release");
    list->SetItemStyle(row, a->pressed == 1 ? "macro_label_down_style" : "macro_label_up_style", 1);
  }
  list->SetItemColumnText(row, 2, std::to_string(a->delay));
  list->SetItemStyle(row, "macro_label_text_style", 2);
}

void MacroEditorPage::AddMacro() {
  if (Editing()) {
    window_.GetToolkit().ShowMessage(&window_, "message_text_3");
    return;
  }
  const NewMacroResult added = NewMacro(setup_.peripheral, setup_.folder, names_);
  if (added.status == NewMacroResult::kListFull) {
    ::talvo::pages::ShowNumberedMessage(window_, "message_text_17", static_cast<long long>(added.number));
    return;
  }
  if (added.status != NewMacroResult::kAdded) {
    debug::Line("macro: the index could not be written");
    return;
  }
  for (toolkit::Control* list : {Find("MacroName_list"), Find("key_fct_combo_23")})
    if (list) list->AddItem(added.name);
  if (toolkit::Control* list = Find("MacroName_list")) list->SelectItem(int(added.number), false);
  SelectMacro(int(added.number), -1);
  EnableMacroControls(true);
}

void MacroEditorPage::Rename() {
  if (renaming_) return;
  renaming_ = true;
  const int selected = Selected();
  toolkit::Control* edit = Find("macro_edit_macroname");
  if (selected >= 0 && edit) {
    const std::string oldName = names_[size_t(selected)];
    switch (RenameMacro(setup_.peripheral, setup_.folder, names_, size_t(selected), edit->Text(), Steps())) {
      case RenameResult::kRenamed:
        // The name as stored, without the spaces typed around it.
        edit->SetText(names_[size_t(selected)]);
        for (toolkit::Control* list : {Find("MacroName_list"), Find("key_fct_combo_23")})
          if (list) list->SetItemText(selected, names_[size_t(selected)]);
        if (setup_.keysChanged) setup_.keysChanged();
        break;
      case RenameResult::kDuplicate:
        edit->SetText(oldName);
        window_.GetToolkit().ShowMessage(&window_, "message_text_5");
        break;
      case RenameResult::kUnsafeName:
        edit->SetText(oldName);
        window_.GetToolkit().ShowMessage(&window_, "message_text_23");
        break;
      case RenameResult::kUnchanged:
        break;
      case RenameResult::kWriteFailed:
        edit->SetText(oldName);
        debug::Line("macro: the rename could not be written");
        break;
    }
  }
  renaming_ = false;
}

void MacroEditorPage::Save() {
  const int selected = Selected();
  if (selected < 0) return;
  switch (SaveMacro(setup_.peripheral, setup_.folder, names_, size_t(selected), Steps())) {
    case SaveResult::kSaved:
      break;
    case SaveResult::kUnsafeName:
      // A name from a hand-edited index: the steps stay on show for a rename.
      window_.GetToolkit().ShowMessage(&window_, "message_text_23");
      return;
    case SaveResult::kNotSaved:
    case SaveResult::kWriteFailed:
      // Still editing: the steps on show are all there is of them. A failed
      // write into the data folder is told by the save failure notice.
      debug::Line("macro: the steps could not be written");
      return;
  }
  draft_.Saved();
  SetVisible("macro_tab_saveorcancel", false);
  SetEnabled("MacroName_list", true);
  if (toolkit::Control* tab = Find("tab_macro_edit")) tab->SelectPage(kNoStepPage);
  if (toolkit::Control* option = Find("macro_btn_shubiao")) option->SetCheck(false, false);
  SetVisible("MacroName", true);
  SetVisible("MacroMouseEvent", false);
}

void MacroEditorPage::Delete() {
  const int selected = Selected();
  if (selected < 0) return;
  toolkit::Toolkit& toolkit = window_.GetToolkit();
  if (MacroInUse(setup_.keyMaps, setup_.keyCount, size_t(selected)) &&
      toolkit.ShowMessage(&window_, "message_text_2") != 1)
    return;
  if (Editing()) {
    toolkit.ShowMessage(&window_, "message_text_3");
    return;
  }
  if (toolkit.ShowMessage(&window_, "message_text_4") != 1) return;

  // The profile files hold what the pages show before every key follows its
  // macro to its new number: the live maps, then every key and device
  // profile file of the device, then the chosen profiles' files once more
  // from the live maps, which the files of a device read may not hold yet.
  setup_.saver.Flush();
  const size_t removed = size_t(selected);
  if (!DeleteMacro(setup_.peripheral, setup_.folder, names_, removed, setup_.keyMaps, setup_.keyCount)) {
    debug::Line("macro: the index could not be written");
    return;
  }
  const keys::KeyMapRecord defaults = setup_.keyMaps.defaultMap;
  profiles::ChangeKeyMapsInFiles(setup_.peripheral, [&](keys::KeyMapRecord& map) {
    return keys::ForgetMacro(map, defaults, setup_.keyCount, removed);
  });
  setup_.saver.Mark(setup_.peripheral, profiles::ProfileKind::Key);
  setup_.saver.Mark(setup_.peripheral, profiles::ProfileKind::Device);
  setup_.saver.Flush();
  for (toolkit::Control* list : {Find("MacroName_list"), Find("key_fct_combo_23")})
    if (list) list->RemoveItem(selected);
  draft_.Clear();
  DrawSteps();
  if (names_.empty()) {
    EnableMacroControls(false);
    if (toolkit::Control* edit = Find("macro_edit_macroname")) edit->SetText({});
  } else {
    for (toolkit::Control* list : {Find("MacroName_list"), Find("key_fct_combo_23")})
      if (list) list->SelectItem(0, false);
    SelectMacro(0, -1);
  }
  if (setup_.keysChanged) setup_.keysChanged();
}

void MacroEditorPage::Import() {
  if (!names_.empty() && Selected() < 0) return;
  toolkit::Toolkit& toolkit = window_.GetToolkit();
  if (Editing()) {
    toolkit.ShowMessage(&window_, "message_text_3");
    return;
  }
  const std::optional<std::string> path = toolkit.OpenFile(&window_, std::string(kMacroFileFilter));
  if (!path) return;
  const ImportResult imported = ImportMacro(setup_.peripheral, setup_.folder, names_, *path);
  if (imported.unreadable) {
    toolkit.ShowMessage(&window_, "message_text_27");
    return;
  }
  if (imported.added.status == NewMacroResult::kListFull) {
    ::talvo::pages::ShowNumberedMessage(window_, "message_text_17", static_cast<long long>(imported.added.number));
    return;
  }
  if (imported.added.status != NewMacroResult::kAdded) return;
  FillLists();
  const int added = int(imported.added.number);
  if (toolkit::Control* list = Find("MacroName_list")) list->SelectItem(added, false);
  SelectMacro(added, -1);
  EnableMacroControls(true);
  if (imported.rename == RenameResult::kDuplicate) toolkit.ShowMessage(&window_, "message_text_5");
  if (imported.rename == RenameResult::kUnsafeName) toolkit.ShowMessage(&window_, "message_text_23");
  if (setup_.keysChanged) setup_.keysChanged();
}

void MacroEditorPage::Export() {
  const int selected = Selected();
  if (selected < 0) return;
  const std::optional<std::string> path = window_.GetToolkit().SaveFile(
      &window_, std::string(kMacroFileFilter), names_[size_t(selected)] + ".mac");
  if (path && !ExportMacro(setup_.folder, names_, size_t(selected), *path))
    ::talvo::pages::ShowMessageWithText(window_, "message_text_28", *path);
}

// ---- the step list ----

void MacroEditorPage::EnterEditing() {
  draft_.Touch();
  SetVisible("macro_tab_saveorcancel", true);
  SetEnabled("MacroName_list", false);
}

void MacroEditorPage::CancelEdit() {
  SetVisible("macro_tab_saveorcancel", false);
  if (toolkit::Control* tab = Find("tab_macro_edit")) tab->SelectPage(kNoStepPage);
  SetEnabled("MacroName_list", true);
  SetEnabled("macro_btn_name_sub", true);
  const int selected = Selected();
  // A list that no longer matches its index shows no steps rather than
  // another macro's.
  if (selected >= 0 && ReadMacroNames(setup_.peripheral, setup_.folder).size() == names_.size()) {
    ShowSteps(names_[size_t(selected)]);
  } else {
    draft_.Clear();
    DrawSteps();
  }
}

void MacroEditorPage::ToggleRecording() {
  if (names_.empty()) return;
  EnterEditing();
  if (toolkit::Control* tab = Find("tab_macro_edit")) tab->SelectPage(kNoStepPage);
  const auto checked = [this](std::string_view suffix) {
    const toolkit::Control* c = Find(suffix);
    return c && c->IsSelected();
  };
  toolkit::Control* button = Find("macro_btn_redio");
  if (!recording_) {
    const bool keys = checked("macro_keyboard_event");
    const bool mouse = checked("macro_mouse_click") || checked("macro_mouse_roller") || checked("macro_mouse_move");
    for (std::string_view option : kRecordOptions) SetEnabled(option, false);
    const auto mode = setup_.peripheral == device::Peripheral::Keyboard ? platform::CaptureMode::kKeyboardMacro
                                                                         : platform::CaptureMode::kMouseMacro;
    recorder_.Start({.fixedDelay = checked("macro_check_time"), .mouseClicks = checked("macro_mouse_click")});
    setup_.capture.Install(mode, *this, keys, mouse);
    recording_ = true;
    SetEnabled("Macro_list", false);
    SetEnabled("MacroName_list", false);
    for (std::string_view c : kRecordingDisables) SetEnabled(c, false);
    if (button) button->SetTextId("macro_btn_stop_redio_text");
  } else {
    setup_.capture.Remove();
    recording_ = false;
    SetEnabled("Macro_list", true);
    for (std::string_view c : kRecordingDisables) SetEnabled(c, true);
    for (std::string_view option : kRecordOptions) SetEnabled(option, true);
    if (button) button->SetTextId("macro_btn_star_redio_text");
  }
}

void MacroEditorPage::StepClicked(int row) {
  if (row < 0 || size_t(row) >= draft_.Size()) return;
  EnterEditing();
  toolkit::Control* tab = Find("tab_macro_edit");
  const std::optional<MacroAction> a = ParseAction(draft_.Steps()[size_t(row)].action);
  if (!a) {
    if (tab) tab->SelectPage(kNoStepPage);
    return;
  }
  const auto setText = [this](std::string_view suffix, int value) {
    if (toolkit::Control* c = Find(suffix)) c->SetText(std::to_string(value));
  };
  const auto select = [this](std::string_view suffix, int item) {
    if (toolkit::Control* c = Find(suffix)) c->SelectItem(item, false);
  };
  const uint8_t type = a->event & 0x7F;
  if (!IsKeyboardEvent(a->event)) {
    if (tab) tab->SelectPage(kMouseStepPage);
    int item = -1;
    for (size_t i = 0; i < kMouseButtonEventRows && item < 0; ++i)
      if (MacroMouseEventTable[i].button == a->value && MacroMouseEventTable[i].event == a->event) item = int(i);
    if (item < 0 && type == kEventMoveHorizontal) item = (a->event & kEventFlag) ? 10 : 11;
    if (item < 0 && type == kEventMoveVertical) item = (a->event & kEventFlag) ? 12 : 13;
    select("macro_combo_mouselect", item);
    SetVisible("macro_tab_mou_pointer_skewing", item >= kFirstMoveItem);
    setText("macro_edit_mou_pointer_skewing", a->value);
    setText("_macro_edit_mou_action_delay", a->delay);
  } else {
    if (tab) tab->SelectPage(kKeyStepPage);
    int item = -1;
    for (size_t i = 0; i < kRecordableKeyRows && item < 0; ++i) {
      const keys::KeyCodeRow& r = keys::KeyCodeTable[i];
      if ((type == kEventOtherKey && r.p2 == a->value) || (type == kEventModifierKey && r.p1 == a->value))
        item = int(i);
    }
    select("macro_combo_keyselect", item);
    select("macro_combo_upordown", a->pressed == 1 ? 1 : 0);
    setText("_macro_edit_ActionDelay", a->delay);
  }
}

void MacroEditorPage::ApplyToStep(const std::function<void(MacroAction&)>& change) {
  const int row = StepIndex();
  if (row < 0 || size_t(row) >= draft_.Size()) return;
  MacroAction a = ParseAction(draft_.Steps()[size_t(row)].action).value_or(MacroAction{});
  change(a);
  draft_.Replace(size_t(row), FormatAction(a));
  EnterEditing();
  DrawStep(row);
}

void MacroEditorPage::InsertMouseStep(size_t tableRow, std::string_view distanceEdit) {
  toolkit::Control* list = Find("Macro_list");
  if (!list || names_.empty() || Selected() < 0) return;
  const MouseEventRow& row = MacroMouseEventTable[tableRow];
  const MacroAction a{.delay = kInsertedDelay,
                      .event = row.event,
                      .value = distanceEdit.empty() ? row.button : uint8_t(ClampedEdit(distanceEdit, kMaxDistance)),
                      .pressed = uint16_t((row.event & kEventFlag) ? 1 : 0),
                      .label = std::string(row.label)};
  EnterEditing();
  const int at = StepIndex() < 0 ? 0 : StepIndex() + 1;
  if (list->InsertItem(at, {}) < 0) return;
  draft_.Insert(size_t(at), {FormatAction(a), false});
  DrawStep(at);
  list->SelectItem(at, false);
}

void MacroEditorPage::ToggleInsertBar(std::string_view button) {
  const std::string chosen = "macro_inset_" + std::string(button) + "key_tab";
  const toolkit::Control* bar = Find(chosen);
  const bool wasShown = bar && bar->IsVisible();
  for (const InsertButton& b : kInsertButtons) SetVisible("macro_inset_" + std::string(b.name) + "key_tab", false);
  if (!wasShown) SetVisible(chosen, true);
}

void MacroEditorPage::MoveStep(StepMove where) {
  toolkit::Control* list = Find("Macro_list");
  const int from = StepIndex();
  if (list && from >= 0 && size_t(from) < draft_.Size()) {
    const int to = int(draft_.Move(size_t(from), where));
    if (to != from) {
      list->RemoveItem(from);
      list->InsertItem(to, {});
      DrawStep(to);
      list->SelectItem(to, false);
    }
  }
  AfterListOperation();
}

void MacroEditorPage::DeleteStep() {
  toolkit::Control* list = Find("Macro_list");
  const int row = StepIndex();
  if (list && row >= 0 && size_t(row) < draft_.Size()) {
    draft_.Remove(size_t(row));
    list->RemoveItem(row);
  }
  AfterListOperation();
}

void MacroEditorPage::DeleteAllSteps() {
  if (names_.empty()) return;
  draft_.RemoveAll();
  DrawSteps();
  AfterListOperation();
}

void MacroEditorPage::AfterListOperation() {
  // An emptied list is still an unsaved change: save and cancel stay
  // reachable, so the name list is never left disabled without them.
  if (!names_.empty()) EnterEditing();
}

// ---- recording ----

void MacroEditorPage::OnCaptureKey(int /*message*/, const platform::CapturedKey& key) {
  if (!recording_) return;
  if (const std::optional<Recorded> recorded = recorder_.Key(key)) AppendRecorded(*recorded);
}

void MacroEditorPage::OnCaptureMouse(int /*message*/, int mouseMessage) {
  if (!recording_) return;
  if (const std::optional<Recorded> recorded = recorder_.Mouse(mouseMessage)) AppendRecorded(*recorded);
}

void MacroEditorPage::AppendRecorded(const Recorded& recorded) {
  toolkit::Control* list = Find("Macro_list");
  if (!list || draft_.Size() >= kMaxSteps) return;
  const RecordedStep& s = recorded.step;
  const MacroAction a{.delay = 0,
                      .event = s.event,
                      .value = s.value,
                      .pressed = uint16_t(s.down ? 1 : 0),
                      .label = std::string(s.label)};
  const int row = list->AddItem({});
  draft_.Insert(size_t(row), {FormatAction(a), s.source == RecordedStep::Source::kMouse});
  DrawStep(row);
  if (row > 0) {
    if (std::optional<MacroAction> previous = ParseAction(draft_.Steps()[size_t(row) - 1].action)) {
      previous->delay = recorded.previousDelay;
      draft_.Replace(size_t(row) - 1, FormatAction(*previous));
      DrawStep(row - 1);
    }
  }
}

}  // namespace talvo::macros::pages
