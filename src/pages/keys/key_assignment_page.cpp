#include "pages/keys/key_assignment_page.h"

#include <algorithm>
#include <array>
#include <span>

#include "keys/encodings.h"
#include "keys/function_tables.h"
#include "keys/labels.h"
#include "macros/macro_recorder.h"
#include "pages/edit_value.h"
#include "platform/ascii.h"

namespace talvo::keys::pages {
namespace {

// The function combo's items, in each page's order; item n shows the
// sub-page "<prefix>tab_function_<n>".
constexpr std::array<Choice, 12> kMouseItems{
    Choice::Default, Choice::MouseButton, Choice::Tilt,   Choice::Wheel, Choice::DpiCycle,    Choice::Fire,
    Choice::SingleKey, Choice::Media,     Choice::System, Choice::Macro, Choice::CursorMacro, Choice::Shortcut};
constexpr std::array<Choice, 11> kKeyboardItems{Choice::Default, Choice::SingleKey, Choice::MouseButton,
                                                Choice::Tilt,    Choice::Wheel,     Choice::Dpi,
                                                Choice::Fire,    Choice::Media,     Choice::System,
                                                Choice::Macro,   Choice::Shortcut};

// Sub-page of the macro repeat count, shown with the fifth play mode.
constexpr int kRepeatPage = 26;
constexpr int kRepeatItem = 4;

// Combos and edits of the sub-pages.
constexpr int kButtonCombo = 11, kTiltCombo = 12, kWheelCombo = 13, kDpiCombo = 14;
constexpr int kMediaCombo = 21, kSystemCombo = 22, kMacroCombo = 23, kPlayCombo = 24, kSlotCombo = 25,
              kShortcutCombo = 26;
constexpr int kFireFirstEdit = 11, kFireSecondEdit = 12, kTiltAmountEdit = 15, kWheelAmountEdit = 16,
              kTiltAEdit = 17, kWheelAEdit = 18, kWheelBEdit = 19, kTiltBEdit = 20, kKeyEdit = 21,
              kRepeatEdit = 25, kSlotLabelEdit = 30;

// Mouse keys a left click may sit on; the guard keeps one of them on it.
constexpr size_t kLeftClickKeys = 9;
constexpr KeyFunction kLeftClick{kKindMouseButton, 0x01, 0x00};

struct EditLimit {
  int number;
  int min;
  int max;
};
constexpr std::array<EditLimit, 9> kEditLimits{{{kFireFirstEdit, 0, 255},
                                                {kFireSecondEdit, 0, 255},
                                                {kTiltAmountEdit, 0, kMaxStepAmount},
                                                {kWheelAmountEdit, 0, kMaxStepAmount},
                                                {kTiltAEdit, 0, kMaxStepValue},
                                                {kWheelAEdit, 0, kMaxStepValue},
                                                {kWheelBEdit, 0, kMaxStepValue},
                                                {kTiltBEdit, 0, kMaxStepValue},
                                                {kRepeatEdit, 1, 255}}};

std::span<const Choice> Items(bool mouse) {
  if (mouse) return kMouseItems;
  return kKeyboardItems;
}

int ItemOf(bool mouse, Choice choice) {
  const auto items = Items(mouse);
  const auto it = std::find(items.begin(), items.end(), choice);
  return it == items.end() ? -1 : int(it - items.begin());
}

// The combo row a table entry stands at, or -1.
int RowIndex(const FunctionTable& table, const FunctionTableEntry* row) {
  return row ? int(row - table.rows.data()) : -1;
}

const FunctionTable* TableOf(Choice choice) {
  switch (choice) {
    case Choice::MouseButton:
      return &kMouseButtonTable;
    case Choice::Dpi:
      return &kDpiTable;
    case Choice::Media:
      return &kMediaTable;
    case Choice::System:
      return &kSystemTable;
    case Choice::Shortcut:
      return &kShortcutTable;
    default:
      return nullptr;
  }
}

int ComboOf(Choice choice) {
  switch (choice) {
    case Choice::MouseButton:
      return kButtonCombo;
    case Choice::Dpi:
      return kDpiCombo;
    case Choice::Media:
      return kMediaCombo;
    case Choice::System:
      return kSystemCombo;
    case Choice::Shortcut:
      return kShortcutCombo;
    default:
      return 0;
  }
}

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

void KeyAssignmentPage::ShowFunction(KeyFunction f) {
  const auto select = [](toolkit::Control* c, int item) {
    if (c) c->SelectItem(item, false);
  };
  const auto rangeChecked = [](toolkit::Control* c, int item) { return c && item < c->Count() ? item : -1; };
  pending_ = f;
  switch (f.kind) {
    case kKindDefault:
      ShowChoice(Choice::Default);
      break;
    case kKindMouseButton:
    case kKindDpi:
    case kKindConsumer:
    case kKindSystem: {
      const Choice choice = f.kind == kKindMouseButton ? Choice::MouseButton
                            : f.kind == kKindDpi       ? Choice::Dpi
                            : f.kind == kKindConsumer  ? Choice::Media
                                                       : Choice::System;
      ShowChoice(ItemOf(Mouse(), choice) >= 0 ? std::optional(choice) : std::nullopt);
      if (const FunctionTable* table = TableOf(choice))
        select(Combo(ComboOf(choice)), RowIndex(*table, FindRow(*table, f.p1, f.p2)));
      break;
    }
    case kKindTilt: {
      const Tilt tilt = DecodeTilt(f);
      ShowChoice(Choice::Tilt);
      SetEditNumber(kTiltAEdit, tilt.a);
      SetEditNumber(kTiltBEdit, tilt.b);
      SetEditNumber(kTiltAmountEdit, tilt.amount);
      select(Combo(kTiltCombo), int(tilt.direction));
      break;
    }
    case kKindWheel: {
      const Wheel wheel = DecodeWheel(f);
      ShowChoice(Choice::Wheel);
      SetEditNumber(kWheelAEdit, wheel.a);
      SetEditNumber(kWheelBEdit, wheel.b);
      SetEditNumber(kWheelAmountEdit, wheel.amount);
      select(Combo(kWheelCombo), int(wheel.direction));
      break;
    }
    case kKindFire:
      ShowChoice(Choice::Fire);
      SetEditNumber(kFireFirstEdit, f.p1);
      SetEditNumber(kFireSecondEdit, f.p2);
      break;
    case kKindKeyboard:
      if (f.p1 != 0 && f.p2 != 0) {
        ShowChoice(Choice::Shortcut);
        select(Combo(kShortcutCombo), RowIndex(kShortcutTable, FindRow(kShortcutTable, f.p1, f.p2)));
      } else {
        ShowChoice(Choice::SingleKey);
        const KeyCodeRow* row = FindKeyCodeRow(f.p1, f.p2);
        if (toolkit::Control* edit = Edit(kKeyEdit)) {
          if (row) edit->SetTextId(std::string(row->textId));
          else edit->SetText({});
        }
        StartCapture();
      }
      break;
    case kKindMacro:
    case kKindMacroRepeat: {
      ShowChoice(Choice::Macro);
      toolkit::Control* macros = Combo(kMacroCombo);
      select(macros, rangeChecked(macros, f.p1));
      const bool repeat = f.kind == kKindMacroRepeat;
      select(Combo(kPlayCombo), repeat ? kRepeatItem : (f.p2 < kPlayModeCount ? f.p2 : -1));
      if (toolkit::Control* page = Find("tab_function_" + std::to_string(kRepeatPage))) page->SetVisible(repeat);
      if (repeat) SetEditNumber(kRepeatEdit, f.p2);
      break;
    }
    case kKindCursorMacro:
      if (!Mouse()) {
        ShowChoice(std::nullopt);
        break;
      }
      ShowChoice(Choice::CursorMacro);
      select(Combo(kSlotCombo), f.p1 < kCursorSlotCount ? f.p1 : -1);
      if (toolkit::Control* edit = Edit(kSlotLabelEdit)) {
        if (f.p1 < kCursorSlotCount) edit->SetTextId("GUN_" + std::to_string(f.p1 + 1));
        else edit->SetText({});
      }
      break;
    case kKindSpecial:
      ShowChoice(Mouse() ? std::optional(Choice::DpiCycle) : std::nullopt);
      break;
    default:
      ShowChoice(std::nullopt);
      break;
  }
  if (choice_ != Choice::SingleKey) EndCapture();
}

void KeyAssignmentPage::ShowChoice(std::optional<Choice> choice) {
  choice_ = choice;
  const int item = choice ? ItemOf(Mouse(), *choice) : -1;
  if (toolkit::Control* combo = Find("key_fct_combo")) combo->SelectItem(item, false);
  for (size_t i = 0; i < Items(Mouse()).size(); ++i)
    if (toolkit::Control* page = Find("tab_function_" + std::to_string(i))) page->SetVisible(int(i) == item);
}

void KeyAssignmentPage::ChooseFunction(int item) {
  const auto items = Items(Mouse());
  if (item < 0 || size_t(item) >= items.size()) return;
  ShowChoice(items[size_t(item)]);
  if (choice_ == Choice::SingleKey) {
    StartCapture();
  } else {
    EndCapture();
  }
  ApplyFunction();
}

std::optional<KeyFunction> KeyAssignmentPage::PanelFunction() {
  if (!choice_ || !selectedKey_) return std::nullopt;
  const auto item = [this](int combo) {
    const toolkit::Control* c = Combo(combo);
    return c ? c->CurrentIndex() : -1;
  };
  switch (*choice_) {
    case Choice::Default: {
      const DeviceKeyMaps& maps = Mouse() ? setup_.live.mouseKeys : setup_.live.keyboardKeys;
      return KeyAt(maps.defaultMap, *selectedKey_);
    }
    case Choice::MouseButton:
    case Choice::Dpi:
    case Choice::Media:
    case Choice::System:
    case Choice::Shortcut: {
      const FunctionTable& table = *TableOf(*choice_);
      const int row = item(ComboOf(*choice_));
      if (row < 0 || size_t(row) >= table.rows.size()) return std::nullopt;
      return table.rows[size_t(row)].Function();
    }
    case Choice::Tilt:
      if (item(kTiltCombo) < 0) return std::nullopt;
      return EncodeTilt(TiltDirection(item(kTiltCombo)), EditNumber(kTiltAEdit), EditNumber(kTiltBEdit),
                        EditNumber(kTiltAmountEdit));
    case Choice::Wheel:
      if (item(kWheelCombo) < 0) return std::nullopt;
      return EncodeWheel(WheelDirection(item(kWheelCombo)), EditNumber(kWheelAEdit), EditNumber(kWheelBEdit),
                         EditNumber(kWheelAmountEdit));
    case Choice::Fire:
      return EncodeFire(unsigned(EditNumber(kFireFirstEdit)), unsigned(EditNumber(kFireSecondEdit)));
    case Choice::SingleKey: {
      const toolkit::Control* edit = Edit(kKeyEdit);
      if (!edit || edit->Text().empty() || pending_.kind != kKindKeyboard) return std::nullopt;
      return pending_;
    }
    case Choice::Macro: {
      const int macro = item(kMacroCombo);
      if (macro < 0) return std::nullopt;
      if (item(kPlayCombo) == kRepeatItem) return EncodeRepeatedMacro(macro, EditNumber(kRepeatEdit));
      return EncodeMacro(macro, std::max(0, item(kPlayCombo)));
    }
    case Choice::CursorMacro:
      return EncodeCursorMacro(item(kSlotCombo));
    case Choice::DpiCycle:
      return kMouseDpiCycleEntry.Function();
  }
  return std::nullopt;
}

void KeyAssignmentPage::ApplyFunction() {
  KeyMapRecord* record = Record();
  const std::optional<KeyFunction> function = PanelFunction();
  if (!record || !function) return;
  SetKey(*record, *selectedKey_, *function);
  Changed();
}

void KeyAssignmentPage::OnEditChanged(int number) {
  if (!LimitOf(number)) return;
  EditNumber(number);
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

void KeyAssignmentPage::SetEditNumber(int number, int value) {
  if (toolkit::Control* edit = Edit(number)) edit->SetText(std::to_string(value));
}

std::optional<std::pair<int, int>> KeyAssignmentPage::LimitOf(int number) const {
  for (const EditLimit& limit : kEditLimits) {
    if (limit.number != number) continue;
    // The mouse's fire interval is never 0.
    if (Mouse() && number == kFireSecondEdit) return std::pair(1, limit.max);
    // A wheel step down goes one further than up: down 128 is p2 0x80.
    if (number == kWheelAmountEdit) {
      const toolkit::Control* direction = Combo(kWheelCombo);
      if (direction && direction->CurrentIndex() == int(WheelDirection::Down)) return std::pair(0, kMaxWheelDownAmount);
    }
    return std::pair(limit.min, limit.max);
  }
  return std::nullopt;
}

int KeyAssignmentPage::EditNumber(int number) {
  const auto limit = LimitOf(number);
  if (!limit) return 0;
  return int(::talvo::pages::ShownNumber(Edit(number), limit->first, limit->second));
}

}  // namespace talvo::keys::pages
