// One macro step and the text it is stored as in ".mac" files:
// "<delay low>,<delay high>,<event>,<value>,<pressed>,<label>".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::macros {

// Event types (bits 0-6 of `event`); bit 7 is press, left or up.
inline constexpr uint8_t kEventMouseButton = 0x01;
inline constexpr uint8_t kEventMoveHorizontal = 0x04;
inline constexpr uint8_t kEventMoveVertical = 0x05;
inline constexpr uint8_t kEventModifierKey = 0x09;
inline constexpr uint8_t kEventOtherKey = 0x0A;
inline constexpr uint8_t kEventFlag = 0x80;

struct MacroAction {
  uint16_t delay = 0;  // ms after this step
  uint8_t event = 0;
  uint8_t value = 0;
  uint16_t pressed = 0;  // display only
  std::string label;     // text id
  friend bool operator==(const MacroAction&, const MacroAction&) = default;
};

// Types from 0x09 on are keyboard steps, the rest mouse steps.
constexpr bool IsKeyboardEvent(uint8_t event) { return (event & 0x7F) >= kEventModifierKey; }

// Reads from the right: the text after the last comma is the label and the
// five comma-separated fields before it are the numbers, each read as its
// leading decimal number (0 when none, saturated rather than overflowing)
// and cut to its low byte, `pressed` to its low 16 bits. Nothing when the
// text has fewer than five commas.
std::optional<MacroAction> ParseAction(std::string_view text);

std::string FormatAction(const MacroAction& action);

}  // namespace talvo::macros
