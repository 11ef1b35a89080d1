// The label a key shows for its function: a text id resolved through the
// language files, a literal text, a macro's name, or no change of the label
// the key already has.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "device/peripheral.h"
#include "keys/key_map.h"

namespace talvo::keys {

struct Label {
  enum class Kind {
    Unchanged,  // keep whatever the key shows
    TextId,     // resolve `text` through the language files
    Literal,    // show `text` as it is
    MacroName,  // a macro's name, shown as it is
  };
  Kind kind = Kind::Unchanged;
  std::string text;

  friend bool operator==(const Label&, const Label&) = default;
};

// Literal label of the keyboard's disabled and unknown keys.
inline constexpr std::string_view kKeyboardClosedText = "关闭";
// Text id of the mouse's disabled and unknown keys.
inline constexpr std::string_view kMouseClosedTextId = "close_text";

// Label of `function` on `peripheral`'s page. Macro names come from the
// device's macro index file; a macro number not below the file's macro count
// leaves the label unchanged. The mousepad has no keys: always unchanged.
Label LabelFor(device::Peripheral peripheral, KeyFunction function,
               const std::filesystem::path& macroIndexFile);

}  // namespace talvo::keys
