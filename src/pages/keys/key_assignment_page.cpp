#include "pages/keys/key_assignment_page.h"

#include <algorithm>

#include "keys/function_tables.h"
#include "keys/labels.h"
#include "macros/macro_recorder.h"
#include "platform/ascii.h"

namespace talvo::keys::pages {
namespace {

// Mouse keys a left click may sit on; the guard keeps one of them on it.
constexpr size_t kLeftClickKeys = 9;
constexpr KeyFunction kLeftClick{kKindMouseButton, 0x01, 0x00};

}  // namespace

KeyAssignmentPage::KeyAssignmentPage(toolkit::Window& window, Setup setup)
    : window_(window), setup_(std::move(setup)), prefix_(Mouse() ? "ms_" : "kb_") {}

KeyAssignmentPage::~KeyAssignmentPage() { EndCapture(); }

toolkit::Control* KeyAssignmentPage::Find(std::string_view suffix) const { return window_.FindControl(Name(suffix)); }

KeyMapRecord* KeyAssignmentPage::Record() { return profiles::CurrentKeyMap(setup_.live, setup_.peripheral); }

std::span<const ::talvo::pages::ControlBinding<KeyAssignmentPage>> KeyAssignmentPage::Bindings(
    device::Peripheral peripheral) {
  using namespace ::talvo::pages;
  using P = KeyAssignmentPage;
  // The value combos and edits of the function panel that carry a function.
  static constexpr std::array<ControlBinding<P>, 9> kMouse{{
      {Family("selectchanged", "ms_key_"), &P::OnKeyOption},
      {Exact("click", "ms_key_butt_keydefalut"), &P::OnDefault},
      {Exact("click", "ms_key_butt_keysave"), &P::OnSave},
      {Exact("itemselect", "ms_key_fct_combo"), &P::OnFunctionCombo},
      {Family("itemselect", "ms_key_fct_combo_", 11, 14), &P::OnValueCombo},
      {Family("itemselect", "ms_key_fct_combo_", 21, 26), &P::OnValueCombo},
      {Family("textchanged", "ms_key_fct_edit_", 11, 12), &P::OnValueEdit},
      {Family("textchanged", "ms_key_fct_edit_", 15, 20), &P::OnValueEdit},
      {Family("textchanged", "ms_key_fct_edit_", 25, 25), &P::OnValueEdit},
  }};
  static constexpr std::array<ControlBinding<P>, 8> kKeyboard{{
      {Family("click", "kb_key_"), &P::OnPictureKey},
      {Exact("click", "kb_key_butt_keydefalut"), &P::OnDefault},
      {Exact("itemselect", "kb_key_fct_combo"), &P::OnFunctionCombo},
      {Family("itemselect", "kb_key_fct_combo_", 11, 14), &P::OnValueCombo},
      {Family("itemselect", "kb_key_fct_combo_", 21, 26), &P::OnValueCombo},
      {Family("textchanged", "kb_key_fct_edit_", 11, 12), &P::OnValueEdit},
      {Family("textchanged", "kb_key_fct_edit_", 15, 20), &P::OnValueEdit},
      {Family("textchanged", "kb_key_fct_edit_", 25, 25), &P::OnValueEdit},
  }};
  if (peripheral == device::Peripheral::Keyboard) return kKeyboard;
  return kMouse;
}

void KeyAssignmentPage::OnKeyOption(const toolkit::Notification& n, int key) {
  if (key >= 0 && size_t(key) < kMouseKeyCount && n.wParam != 0) SelectKey(size_t(key));
}

void KeyAssignmentPage::OnPictureKey(const toolkit::Notification&, int position) {
  const toolkit::Control* keysTab = window_.FindControl("kb_key_Op_tab");
  if (keysTab && keysTab->IsSelected())
    if (const auto key = KeyForPosition(setup_.positions, size_t(position)); key && *key < setup_.keyCount())
      SelectKey(*key);
}

void KeyAssignmentPage::OnFunctionCombo(const toolkit::Notification& n, int) { ChooseFunction(int(n.wParam)); }

void KeyAssignmentPage::OnValueCombo(const toolkit::Notification& n, int number) {
  if (number == kPlayCombo)
    if (toolkit::Control* page = Find("tab_function_" + std::to_string(kRepeatPage)))
      page->SetVisible(n.wParam == kRepeatItem);
  ApplyFunction();
}

void KeyAssignmentPage::SelectKey(size_t key) {
  KeyMapRecord* record = Record();
  if (!record) return;
  selectedKey_.reset();
  waitingKey_.reset();
  toolkit::Control* panel = Find("tab_function");
  if (setup_.ready && !setup_.ready()) {
    // The device's own maps are on their way and would overwrite an edit:
    // the key is shown once they are here.
    waitingKey_ = key;
    if (panel) panel->SetEnabled(false);
    return;
  }
  const KeyFunction function = KeyAt(*record, key);
  if (Mouse() && function == kLeftClick) {
    bool anotherLeft = false;
    for (size_t other = 0; other < kLeftClickKeys; ++other)
      anotherLeft = anotherLeft || (other != key && KeyAt(*record, other) == kLeftClick);
    if (!anotherLeft) {
      // The only left click cannot be given away, or the mouse could not
      // click; with no key selected the save button writes nothing either.
      if (panel) panel->SetEnabled(false);
      window_.GetToolkit().ShowMessage(&window_, "message_text_6");
      return;
    }
  }
  selectedKey_ = key;
  if (panel) {
    panel->SetVisible(true);
    panel->SetEnabled(true);
  }
  // A function equal to the key's factory one shows as the default choice.
  const DeviceKeyMaps& maps = Mouse() ? setup_.live.mouseKeys : setup_.live.keyboardKeys;
  ShowFunction(KeyAt(maps.defaultMap, key) == function ? KeyFunction{kKindDefault, 0, 0} : function);
}

void KeyAssignmentPage::ShowFunction(KeyFunction function) { DrawPanel(DecodePanel(function, Mouse())); }

void KeyAssignmentPage::DrawPanel(const PanelState& panel) {
  pending_ = panel.key;
  ShowChoice(panel.choice);
  for (const auto& [number, item] : panel.combos)
    if (toolkit::Control* combo = Combo(number)) combo->SelectItem(item < combo->Count() ? item : -1, false);
  for (const auto& [number, shown] : panel.edits) {
    toolkit::Control* edit = Edit(number);
    if (!edit) continue;
    if (shown.textId) edit->SetTextId(shown.text);
    else edit->SetText(shown.text);
  }
  for (const auto& [number, visible] : panel.pages)
    if (toolkit::Control* page = Find("tab_function_" + std::to_string(number))) page->SetVisible(visible);
}

PanelState KeyAssignmentPage::ReadPanel(const FunctionRow& row) const {
  PanelState panel{.choice = row.choice, .key = pending_};
  for (const int number : row.combos) {
    const toolkit::Control* combo = Combo(number);
    panel.combos[number] = combo ? combo->CurrentIndex() : -1;
  }
  for (const PanelEdit& edit : row.edits)
    if (const toolkit::Control* control = Edit(edit.number)) panel.edits[edit.number] = {control->Text()};
  return panel;
}

void KeyAssignmentPage::ShowHeldNumbers(const PanelState& panel) {
  // Only a text that says something else is written back, leaving the
  // cursor of an edit being typed in where it is.
  for (const auto& [number, shown] : panel.edits)
    if (toolkit::Control* edit = Edit(number); edit && edit->Text() != shown.text) edit->SetText(shown.text);
}

void KeyAssignmentPage::ShowChoice(std::optional<Choice> choice) {
  choice_ = choice;
  const int item = choice ? ItemOf(Mouse(), *choice) : -1;
  if (toolkit::Control* combo = Find("key_fct_combo")) combo->SelectItem(item, false);
  for (int i = 0; i < ItemCount(Mouse()); ++i)
    if (toolkit::Control* page = Find("tab_function_" + std::to_string(i))) page->SetVisible(i == item);
  // Keys are captured while the single-key choice is shown.
  if (choice_ == Choice::SingleKey) {
    StartCapture();
  } else {
    EndCapture();
  }
}

void KeyAssignmentPage::ChooseFunction(int item) {
  const std::optional<Choice> choice = ChoiceAt(Mouse(), item);
  if (!choice) return;
  ShowChoice(choice);
  ApplyFunction();
}

std::optional<KeyFunction> KeyAssignmentPage::PanelFunction() {
  if (!choice_ || !selectedKey_) return std::nullopt;
  PanelState panel = ReadPanel(RowOf(*choice_));
  const DeviceKeyMaps& maps = Mouse() ? setup_.live.mouseKeys : setup_.live.keyboardKeys;
  const std::optional<KeyFunction> function = EncodePanel(panel, {Mouse(), KeyAt(maps.defaultMap, *selectedKey_)});
  ShowHeldNumbers(panel);
  return function;
}

void KeyAssignmentPage::ApplyFunction() {
  KeyMapRecord* record = Record();
  const std::optional<KeyFunction> function = PanelFunction();
  if (!record || !function) return;
  SetKey(*record, *selectedKey_, *function);
  Changed();
}

void KeyAssignmentPage::OnEditChanged(int number) {
  const FunctionRow* row = RowOfNumberEdit(number);
  if (!row) return;
  PanelState panel = ReadPanel(*row);
  HoldNumber(*row, number, panel, Mouse());
  ShowHeldNumbers(panel);
  ApplyFunction();
}

void KeyAssignmentPage::RestoreDefault() {
  KeyMapRecord* record = Record();
  if (!record || !selectedKey_) return;
  const DeviceKeyMaps& maps = Mouse() ? setup_.live.mouseKeys : setup_.live.keyboardKeys;
  SetKey(*record, *selectedKey_, KeyAt(maps.defaultMap, *selectedKey_));
  SelectKey(*selectedKey_);
  Changed();
}

void KeyAssignmentPage::Changed() {
  RelabelKeys();
  setup_.saver.Mark(setup_.peripheral, profiles::ProfileKind::Key);
  setup_.saver.Mark(setup_.peripheral, profiles::ProfileKind::Device);
}

void KeyAssignmentPage::Refresh() {
  RelabelKeys();
  if (const std::optional<size_t> key = waitingKey_ ? waitingKey_ : selectedKey_) SelectKey(*key);
}

void KeyAssignmentPage::RelabelKeys() {
  const KeyMapRecord* record = Record();
  if (!record) return;
  toolkit::Toolkit& toolkit = window_.GetToolkit();
  const auto text = [&](const std::string& id) { return toolkit.LanguageText(id).value_or(id); };
  const size_t keys = std::min(setup_.keyCount(), kKeysPerMap);
  const DeviceKeyMaps& maps = Mouse() ? setup_.live.mouseKeys : setup_.live.keyboardKeys;
  for (size_t key = 0; key < keys; ++key) {
    const Label label = LabelFor(setup_.peripheral, KeyAt(*record, key), setup_.macroIndexFile);
    if (Mouse()) {
      toolkit::Control* button = Find("key_" + std::to_string(key));
      if (!button || label.kind == Label::Kind::Unchanged) continue;
      if (label.kind == Label::Kind::TextId) {
        button->SetTextId(label.text);
        button->SetToolTip(text(label.text));
      } else {
        button->SetText(label.text);
        button->SetToolTip(label.text);
      }
      continue;
    }
    const std::optional<size_t> position = PositionForKey(setup_.positions, key);
    toolkit::Control* button = position ? Find("key_" + std::to_string(*position)) : nullptr;
    if (!button) continue;
    const KeyFunction standard = KeyAt(maps.defaultMap, key);
    const KeyCodeRow* defaultRow = FindKeyCodeRow(standard.p1, standard.p2);
    const std::string defaultName = defaultRow ? std::string(defaultRow->textId) : std::string();
    if (label.kind == Label::Kind::Unchanged) continue;
    const bool literal = label.kind != Label::Kind::TextId;
    if (!literal && label.text == defaultName) {
      button->SetToolTip(text(defaultName));
      button->SetKeySetHidden(true);
    } else {
      button->SetToolTip(text(defaultName) + text("Key_Set") + (literal ? label.text : text(label.text)));
      button->SetKeySetHidden(false);
    }
  }
}

void KeyAssignmentPage::StartCapture() {
  const auto mode = Mouse() ? platform::CaptureMode::kMouseSingleKey : platform::CaptureMode::kKeyboardSingleKey;
  setup_.capture.Install(mode, *this, true, false);
  capturing_ = true;
}

void KeyAssignmentPage::EndCapture() {
  if (!capturing_) return;
  setup_.capture.Remove();
  capturing_ = false;
}

void KeyAssignmentPage::OnCaptureKey(int /*message*/, const platform::CapturedKey& key) {
  const KeyCodeRow* row = macros::SingleKeyRow(key.vk, key.extended);
  if (!row) return;
  if (toolkit::Control* edit = Edit(kKeyEdit)) edit->SetTextId(std::string(row->textId));
  pending_ = row->Function();
  ApplyFunction();
}

}  // namespace talvo::keys::pages
