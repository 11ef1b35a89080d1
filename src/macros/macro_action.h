// One macro step and the text it is stored as in ".mac" files:
// "<delay low>,<delay high>,<event>,<value>,<pressed>,<label>".
#pragma once

#include <array>
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

// A row of the macro mouse-event table: a mouse message (or a move's
// direction family), the key kind it stands for, the button bit and the event
// byte a step built from it takes, and its text id.
struct MouseEventRow {
  int message;
  uint8_t kind;
  uint8_t button;
  uint8_t event;
  std::string_view label;
};

// Rows 0-9 are the buttons (forward and back share their messages), 10-13
// the pointer moves left, right, up and down, 14 the wheel.
inline constexpr auto MacroMouseEventTable = std::to_array<MouseEventRow>({
    {0x0201, 0x10, 0x01, 0x81, "mouse_key_left"},
    {0x0202, 0x10, 0x01, 0x01, "mouse_key_left"},
    {0x0204, 0x10, 0x02, 0x81, "mouse_key_right"},
    {0x0205, 0x10, 0x02, 0x01, "mouse_key_right"},
    {0x0207, 0x10, 0x04, 0x81, "mouse_key_middle"},
    {0x0208, 0x10, 0x04, 0x01, "mouse_key_middle"},
    {0x020B, 0x10, 0x10, 0x81, "mouse_key_forward"},
    {0x020C, 0x10, 0x10, 0x01, "mouse_key_forward"},
    {0x020B, 0x10, 0x08, 0x81, "mouse_key_back"},
    {0x020C, 0x10, 0x08, 0x01, "mouse_key_back"},
    {0x0004, 0x15, 0x00, 0x84, "mouse_move_to_left_text"},
    {0x0004, 0x15, 0x00, 0x04, "mouse_move_to_right_text"},
    {0x0005, 0x15, 0x00, 0x85, "mouse_move_to_up_text"},
    {0x0005, 0x15, 0x00, 0x05, "mouse_move_to_down_text"},
    {0x020A, 0x12, 0x00, 0x00, "mouse_cursor_text"},
});
inline constexpr size_t kMouseButtonEventRows = 10;
inline constexpr size_t kMoveEventRows = 4;  // after the button rows

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
