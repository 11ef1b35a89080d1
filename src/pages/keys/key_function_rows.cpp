#include "pages/keys/key_function_rows.h"

#include <algorithm>
#include <array>

#include "keys/encodings.h"
#include "platform/ascii.h"

namespace talvo::keys::pages {
namespace {

template <uint8_t... Kinds>
bool OfKind(KeyFunction f) {
  return ((f.kind == Kinds) || ...);
}
// A keyboard function with a modifier and a key is a shortcut; with either
// missing it is a single key.
bool IsShortcut(KeyFunction f) { return f.kind == kKindKeyboard && f.p1 != 0 && f.p2 != 0; }
bool IsSingleKey(KeyFunction f) { return f.kind == kKindKeyboard && !IsShortcut(f); }

int ComboItem(const PanelState& panel, int combo) {
  const auto it = panel.combos.find(combo);
  return it == panel.combos.end() ? -1 : it->second;
}

void SetNumber(PanelState& panel, int edit, int value) { panel.edits[edit] = {std::to_string(value)}; }

template <int Min, int Max>
EditLimits Fixed(const PanelState&, bool) {
  return {Min, Max};
}
// The mouse's fire interval is never 0.
EditLimits FireInterval(const PanelState&, bool mouse) { return {mouse ? 1 : 0, 255}; }
// A wheel step down goes one further than up: down 128 is p2 0x80.
EditLimits WheelAmount(const PanelState& panel, bool) {
  return {0, ComboItem(panel, kWheelCombo) == int(WheelDirection::Down) ? kMaxWheelDownAmount : kMaxStepAmount};
}

std::optional<KeyFunction> EncodeDefault(const FunctionRow&, PanelState&, const PanelContext& context) {
  return context.factory;
}

std::optional<KeyFunction> EncodeDpiCycle(const FunctionRow&, PanelState&, const PanelContext&) {
  return kMouseDpiCycleEntry.Function();
}

// Table choices: the first combo stands at the function's table row.
void DecodeTableRow(const FunctionRow& row, KeyFunction f, PanelState& panel) {
  const FunctionTableEntry* entry = FindRow(*row.table, f.p1, f.p2);
  panel.combos[row.combos.front()] = entry ? int(entry - row.table->rows.data()) : -1;
}

std::optional<KeyFunction> EncodeTableRow(const FunctionRow& row, PanelState& panel, const PanelContext&) {
  const int item = ComboItem(panel, row.combos.front());
  if (item < 0 || size_t(item) >= row.table->rows.size()) return std::nullopt;
  return row.table->rows[size_t(item)].Function();
}

// Tilt and wheel: the direction combo, then the a, b and amount edits.
template <auto Decode>
void DecodeStep(const FunctionRow& row, KeyFunction f, PanelState& panel) {
  const auto step = Decode(f);
  panel.combos[row.combos.front()] = int(step.direction);
  SetNumber(panel, row.edits[0].number, step.a);
  SetNumber(panel, row.edits[1].number, step.b);
  SetNumber(panel, row.edits[2].number, step.amount);
}

template <typename Direction, std::optional<KeyFunction> (*Encode)(Direction, int, int, int)>
std::optional<KeyFunction> EncodeStep(const FunctionRow& row, PanelState& panel, const PanelContext& context) {
  const int direction = ComboItem(panel, row.combos.front());
  if (direction < 0) return std::nullopt;
  const auto held = [&](size_t edit) { return HoldNumber(row, row.edits[edit].number, panel, context.mouse); };
  return Encode(Direction(direction), held(0), held(1), held(2));
}

void DecodeFire(const FunctionRow&, KeyFunction f, PanelState& panel) {
  SetNumber(panel, kFireFirstEdit, f.p1);
  SetNumber(panel, kFireSecondEdit, f.p2);
}

std::optional<KeyFunction> EncodeFirePanel(const FunctionRow& row, PanelState& panel, const PanelContext& context) {
  return EncodeFire(unsigned(HoldNumber(row, kFireFirstEdit, panel, context.mouse)),
                    unsigned(HoldNumber(row, kFireSecondEdit, panel, context.mouse)));
}

// The single key's edit names the key; the key itself is the one shown or
// captured since.
void DecodeSingleKey(const FunctionRow&, KeyFunction f, PanelState& panel) {
  const KeyCodeRow* row = FindKeyCodeRow(f.p1, f.p2);
  panel.edits[kKeyEdit] = row ? EditText{std::string(row->textId), true} : EditText{};
}

std::optional<KeyFunction> EncodeSingleKey(const FunctionRow&, PanelState& panel, const PanelContext&) {
  const auto edit = panel.edits.find(kKeyEdit);
  if (edit == panel.edits.end() || edit->second.text.empty() || panel.key.kind != kKindKeyboard)
    return std::nullopt;
  return panel.key;
}

void DecodeMacro(const FunctionRow&, KeyFunction f, PanelState& panel) {
  const bool repeat = f.kind == kKindMacroRepeat;
  panel.combos[kMacroCombo] = f.p1;
  panel.combos[kPlayCombo] = repeat ? kRepeatItem : (f.p2 < kPlayModeCount ? f.p2 : -1);
  panel.pages[kRepeatPage] = repeat;
  if (repeat) SetNumber(panel, kRepeatEdit, f.p2);
}

std::optional<KeyFunction> EncodeMacroPanel(const FunctionRow& row, PanelState& panel, const PanelContext& context) {
  const int macro = ComboItem(panel, kMacroCombo);
  if (macro < 0) return std::nullopt;
  const int play = ComboItem(panel, kPlayCombo);
  if (play == kRepeatItem) return EncodeRepeatedMacro(macro, HoldNumber(row, kRepeatEdit, panel, context.mouse));
  return EncodeMacro(macro, std::max(0, play));
}

void DecodeCursorMacro(const FunctionRow&, KeyFunction f, PanelState& panel) {
  const bool known = f.p1 < kCursorSlotCount;
  panel.combos[kSlotCombo] = known ? f.p1 : -1;
  panel.edits[kSlotLabelEdit] = known ? EditText{"GUN_" + std::to_string(f.p1 + 1), true} : EditText{};
}

std::optional<KeyFunction> EncodeCursorMacroPanel(const FunctionRow&, PanelState& panel, const PanelContext&) {
  return EncodeCursorMacro(ComboItem(panel, kSlotCombo));
}

constexpr int kButtonCombos[] = {kButtonCombo};
constexpr int kTiltCombos[] = {kTiltCombo};
constexpr int kWheelCombos[] = {kWheelCombo};
constexpr int kDpiCombos[] = {kDpiCombo};
constexpr int kMediaCombos[] = {kMediaCombo};
constexpr int kSystemCombos[] = {kSystemCombo};
constexpr int kMacroCombos[] = {kMacroCombo, kPlayCombo};
constexpr int kSlotCombos[] = {kSlotCombo};
constexpr int kShortcutCombos[] = {kShortcutCombo};

constexpr PanelEdit kTiltEdits[] = {{kTiltAEdit, Fixed<0, kMaxStepValue>},
                                    {kTiltBEdit, Fixed<0, kMaxStepValue>},
                                    {kTiltAmountEdit, Fixed<0, kMaxStepAmount>}};
constexpr PanelEdit kWheelEdits[] = {{kWheelAEdit, Fixed<0, kMaxStepValue>},
                                     {kWheelBEdit, Fixed<0, kMaxStepValue>},
                                     {kWheelAmountEdit, WheelAmount}};
constexpr PanelEdit kFireEdits[] = {{kFireFirstEdit, Fixed<0, 255>}, {kFireSecondEdit, FireInterval}};
constexpr PanelEdit kKeyEdits[] = {{kKeyEdit, nullptr}};
constexpr PanelEdit kMacroEdits[] = {{kRepeatEdit, Fixed<1, 255>}};
constexpr PanelEdit kSlotEdits[] = {{kSlotLabelEdit, nullptr}};

// In the order of the mouse's function combo.
constexpr auto kRows = std::to_array<FunctionRow>({
    {Choice::Default, 0, 0, OfKind<kKindDefault>, nullptr, {}, {}, nullptr, EncodeDefault},
    {Choice::MouseButton, 1, 2, OfKind<kKindMouseButton>, &kMouseButtonTable, kButtonCombos, {}, DecodeTableRow,
     EncodeTableRow},
    {Choice::Tilt, 2, 3, OfKind<kKindTilt>, nullptr, kTiltCombos, kTiltEdits, DecodeStep<DecodeTilt>,
     EncodeStep<TiltDirection, EncodeTilt>},
    {Choice::Wheel, 3, 4, OfKind<kKindWheel>, nullptr, kWheelCombos, kWheelEdits, DecodeStep<DecodeWheel>,
     EncodeStep<WheelDirection, EncodeWheel>},
    {Choice::DpiCycle, 4, -1, OfKind<kKindSpecial>, nullptr, {}, {}, nullptr, EncodeDpiCycle},
    {Choice::Dpi, -1, 5, OfKind<kKindDpi>, &kDpiTable, kDpiCombos, {}, DecodeTableRow, EncodeTableRow},
    {Choice::Fire, 5, 6, OfKind<kKindFire>, nullptr, {}, kFireEdits, DecodeFire, EncodeFirePanel},
    {Choice::SingleKey, 6, 1, IsSingleKey, nullptr, {}, kKeyEdits, DecodeSingleKey, EncodeSingleKey},
    {Choice::Media, 7, 7, OfKind<kKindConsumer>, &kMediaTable, kMediaCombos, {}, DecodeTableRow, EncodeTableRow},
    {Choice::System, 8, 8, OfKind<kKindSystem>, &kSystemTable, kSystemCombos, {}, DecodeTableRow, EncodeTableRow},
    {Choice::Macro, 9, 9, OfKind<kKindMacro, kKindMacroRepeat>, nullptr, kMacroCombos, kMacroEdits, DecodeMacro,
     EncodeMacroPanel},
    {Choice::CursorMacro, 10, -1, OfKind<kKindCursorMacro>, nullptr, kSlotCombos, kSlotEdits, DecodeCursorMacro,
     EncodeCursorMacroPanel},
    {Choice::Shortcut, 11, 10, IsShortcut, &kShortcutTable, kShortcutCombos, {}, DecodeTableRow, EncodeTableRow},
});

int ItemIn(const FunctionRow& row, bool mouse) { return mouse ? row.mouseItem : row.keyboardItem; }

}  // namespace

std::span<const FunctionRow> FunctionRows() { return kRows; }

const FunctionRow& RowOf(Choice choice) {
  return *std::find_if(kRows.begin(), kRows.end(), [&](const FunctionRow& row) { return row.choice == choice; });
}

const FunctionRow* RowOfNumberEdit(int edit) {
  for (const FunctionRow& row : kRows)
    for (const PanelEdit& e : row.edits)
      if (e.number == edit && e.limits) return &row;
  return nullptr;
}

int ItemCount(bool mouse) {
  return int(std::count_if(kRows.begin(), kRows.end(), [&](const FunctionRow& row) { return ItemIn(row, mouse) >= 0; }));
}

std::optional<Choice> ChoiceAt(bool mouse, int item) {
  if (item < 0) return std::nullopt;
  for (const FunctionRow& row : kRows)
    if (ItemIn(row, mouse) == item) return row.choice;
  return std::nullopt;
}

int ItemOf(bool mouse, Choice choice) { return ItemIn(RowOf(choice), mouse); }

PanelState DecodePanel(KeyFunction function, bool mouse) {
  PanelState panel{.key = function};
  const auto row =
      std::find_if(kRows.begin(), kRows.end(), [&](const FunctionRow& r) { return r.shows(function); });
  if (row == kRows.end() || ItemIn(*row, mouse) < 0) return panel;
  panel.choice = row->choice;
  if (row->decode) row->decode(*row, function, panel);
  return panel;
}

std::optional<KeyFunction> EncodePanel(PanelState& panel, const PanelContext& context) {
  if (!panel.choice) return std::nullopt;
  const FunctionRow& row = RowOf(*panel.choice);
  return row.encode(row, panel, context);
}

int HoldNumber(const FunctionRow& row, int edit, PanelState& panel, bool mouse) {
  const auto held =
      std::find_if(row.edits.begin(), row.edits.end(), [&](const PanelEdit& e) { return e.number == edit; });
  // Only a number edit of the row has limits to hold it in.
  if (held == row.edits.end() || !held->limits) return 0;
  const EditLimits limits = held->limits(panel, mouse);
  const auto shown = panel.edits.find(edit);
  if (shown == panel.edits.end()) return limits.min;
  const int value = std::clamp(platform::LeadingNumber(shown->second.text), limits.min, limits.max);
  shown->second = {std::to_string(value)};
  return value;
}

}  // namespace talvo::keys::pages
