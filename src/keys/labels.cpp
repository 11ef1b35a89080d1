#include "keys/labels.h"

#include <string>

#include "keys/function_tables.h"
#include "platform/ini_file.h"

namespace talvo::keys {
namespace {

Label Unchanged() { return {}; }
Label TextId(std::string_view id) { return {Label::Kind::TextId, std::string(id)}; }

Label FromRow(const FunctionTableEntry* row) { return row ? TextId(row->textId) : Unchanged(); }

Label Closed(device::Peripheral peripheral) {
  if (peripheral == device::Peripheral::Keyboard) {
    return {Label::Kind::Literal, std::string(kKeyboardClosedText)};
  }
  return TextId(kMouseClosedTextId);
}

// Key codes and shortcuts are both kind 0x20; a shortcut names the
// combination better than its key-code row, so it wins. Only keyboard-key
// rows are considered: a modifier combination whose bytes happen to equal a
// consumer or system row is not that control.
Label KeyboardKeyLabel(KeyFunction function) {
  Label label = Unchanged();
  if (const KeyCodeRow* row = FindKeyCodeRow(KeyFunction{kKindKeyboard, function.p1, function.p2})) {
    label = TextId(row->textId);
  }
  if (const FunctionTableEntry* shortcut = FindRow(kShortcutTable, function.p1, function.p2)) {
    label = TextId(shortcut->textId);
  }
  return label;
}

Label MacroLabel(uint8_t macroNumber, const std::filesystem::path& macroIndexFile) {
  const int count = platform::ReadIniInt(macroIndexFile, "MACROCOUNT", "count", 0);
  if (macroNumber >= count) return Unchanged();
  return {Label::Kind::MacroName,
          platform::ReadIniString(macroIndexFile, "MACRONAME", std::to_string(macroNumber), "0")};
}

}  // namespace

Label LabelFor(device::Peripheral peripheral, KeyFunction function,
               const std::filesystem::path& macroIndexFile) {
  if (peripheral == device::Peripheral::Mousepad) return Unchanged();
  const bool mouse = peripheral == device::Peripheral::Mouse;

  switch (function.kind) {
    case kKindDefault:
    case kKindKeyboard:
      return KeyboardKeyLabel(function);
    case kKindMouseButton:
      return FromRow(FindRow(kMouseButtonTable, function.p1, function.p2));
    case kKindTilt:
      return TextId((function.p2 & 0x80) ? "mouse_key_right_Swing" : "mouse_key_left_Swing");
    case kKindWheel:
      return TextId((function.p2 & 0x80) ? "mouse_key_down_Swing" : "mouse_key_up_Swing");
    case kKindDpi:
      return FromRow(FindRow(kDpiTable, function.p1, function.p2));
    case kKindFire:
      return TextId(kFireKeyTextId);
    case kKindConsumerAlt:
    case kKindConsumer:
      return FromRow(FindRow(kMediaTable, function.p1, function.p2));
    case kKindSystem:
      return FromRow(FindRow(kSystemTable, function.p1, function.p2));
    case kKindMacro:
    case kKindMacroRepeat:
      return MacroLabel(function.p1, macroIndexFile);
    case kKindCursorMacro:
      // Only the four slots have a label; another slot number names nothing.
      if (mouse) return FromRow(FindRow(kCursorSlotTable, function.p1, function.p2));
      return Closed(peripheral);
    case kKindSpecial:
      return mouse ? TextId(kMouseDpiCycleEntry.textId) : Unchanged();
    case kKindPointerMove:
    case kKindReserved50:
    case kKindReserved60:
    case kKindReservedB0:
    case kKindReservedC0:
      return Unchanged();
    default:
      return Closed(peripheral);
  }
}

}  // namespace talvo::keys
