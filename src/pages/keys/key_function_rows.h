// The choices of the key function panel, one row each: where the choice
// stands in the mouse's and the keyboard's function combo, which functions it
// shows, its table, the combos and edits of its sub-page with their limits,
// and how a function becomes what the panel shows and back. The rows know no
// controls: the page draws a panel state onto them and reads one back, so a
// choice can be tried without a window.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>

#include "keys/function_tables.h"
#include "keys/key_map.h"

namespace talvo::keys::pages {

// What the function combo offers; each page lists these in its own order.
enum class Choice {
  Default,
  MouseButton,
  Tilt,
  Wheel,
  DpiCycle,  // the mouse's device DPI cycle, A0 01 00
  Dpi,
  Fire,
  SingleKey,
  Media,
  System,
  Macro,
  CursorMacro,
  Shortcut,
};

// Combos, edits and sub-pages of the panel by number; the page names them
// "<prefix>key_fct_combo_<n>", "<prefix>key_fct_edit_<n>" and
// "<prefix>tab_function_<n>".
inline constexpr int kButtonCombo = 11, kTiltCombo = 12, kWheelCombo = 13, kDpiCombo = 14;
inline constexpr int kMediaCombo = 21, kSystemCombo = 22, kMacroCombo = 23, kPlayCombo = 24, kSlotCombo = 25,
                     kShortcutCombo = 26;
inline constexpr int kFireFirstEdit = 11, kFireSecondEdit = 12, kTiltAmountEdit = 15, kWheelAmountEdit = 16,
                     kTiltAEdit = 17, kWheelAEdit = 18, kWheelBEdit = 19, kTiltBEdit = 20, kKeyEdit = 21,
                     kRepeatEdit = 25, kSlotLabelEdit = 30;
// Sub-page of the macro repeat count, shown with the fifth play mode.
inline constexpr int kRepeatPage = 26;
inline constexpr int kRepeatItem = 4;

// What an edit shows: a text, or a text id the toolkit translates.
struct EditText {
  std::string text;
  bool textId = false;
  friend bool operator==(const EditText&, const EditText&) = default;
};

// What the panel shows, as drawn onto its controls or read back from them.
struct PanelState {
  std::optional<Choice> choice{};  // none: a function no choice of the page shows
  // Combo number → item, -1 for none; an item past the combo's items
  // selects none (a macro the list does not hold).
  std::map<int, int> combos{};
  std::map<int, EditText> edits{};  // a number edit holds its number as text
  std::map<int, bool> pages{};    // sub-pages shown or hidden within the choice's own
  // The function shown last or the key captured since: what the single-key
  // choice stores.
  KeyFunction key{};
  friend bool operator==(const PanelState&, const PanelState&) = default;
};

// What the panel's function depends on besides what it shows.
struct PanelContext {
  bool mouse;           // the mouse's panel, not the keyboard's
  KeyFunction factory;  // the selected key's factory function, stored by the default choice
};

struct EditLimits {
  int min;
  int max;
};

struct PanelEdit {
  int number;
  // The numbers it may hold on the panel as it stands; null for an edit
  // showing a text.
  EditLimits (*limits)(const PanelState& panel, bool mouse);
};

struct FunctionRow {
  Choice choice;
  // Its item n in the function combo shows the sub-page
  // "<prefix>tab_function_<n>"; -1: not offered.
  int mouseItem;
  int keyboardItem;  // likewise on the keyboard
  bool (*shows)(KeyFunction function);
  const FunctionTable* table;  // the rows its first combo offers, or null
  // The combos and edits of its sub-page, which the page reads back.
  std::span<const int> combos;
  std::span<const PanelEdit> edits;
  // Fills in the combos, edits and sub-pages showing `function`; null for a
  // choice whose sub-page shows nothing of it.
  void (*decode)(const FunctionRow& row, KeyFunction function, PanelState& panel);
  // The function the panel stands for, none when it stands for none.
  std::optional<KeyFunction> (*encode)(const FunctionRow& row, PanelState& panel, const PanelContext& context);
};

std::span<const FunctionRow> FunctionRows();
const FunctionRow& RowOf(Choice choice);
// The row of number edit `edit`, or null for an edit holding no number.
const FunctionRow* RowOfNumberEdit(int edit);

// The function combo's items on the mouse's or the keyboard's page.
int ItemCount(bool mouse);
std::optional<Choice> ChoiceAt(bool mouse, int item);
int ItemOf(bool mouse, Choice choice);  // -1 when the page does not offer it

// The panel showing `function`; a function that no choice the page offers
// shows, shows no choice and nothing else.
PanelState DecodePanel(KeyFunction function, bool mouse);
// The function of the panel's choice; every number edit read on the way is
// held within its limits, its text in `panel` set to the number held.
std::optional<KeyFunction> EncodePanel(PanelState& panel, const PanelContext& context);
// Number edit `edit` of `row` held within its limits: its text is read as
// its leading number (none: 0) and set to the number held; an edit the panel
// lacks holds the minimum and stays lacking; an edit that is no number edit
// of the row holds 0 and is left as it is.
int HoldNumber(const FunctionRow& row, int edit, PanelState& panel, bool mouse);

}  // namespace talvo::keys::pages
