#include "macros/macro_action.h"

#include <array>

#include "platform/ascii.h"

namespace talvo::macros {

std::optional<MacroAction> ParseAction(std::string_view text) {
  const size_t comma = text.rfind(',');
  if (comma == std::string_view::npos) return std::nullopt;
  MacroAction action;
  action.label = std::string(text.substr(comma + 1));
  std::array<int, 5> numbers{};
  size_t end = comma;
  for (size_t i = numbers.size(); i-- > 0;) {
    const size_t before = end == 0 ? std::string_view::npos : text.rfind(',', end - 1);
    if (before == std::string_view::npos && i > 0) return std::nullopt;
    const size_t from = before == std::string_view::npos ? 0 : before + 1;
    numbers[i] = platform::LeadingNumber(text.substr(from, end - from));
    end = before;
  }
  const auto low = [](int n) { return static_cast<uint8_t>(static_cast<unsigned>(n) & 0xFF); };
  action.delay = static_cast<uint16_t>(low(numbers[0]) | low(numbers[1]) << 8);
  action.event = low(numbers[2]);
  action.value = low(numbers[3]);
  action.pressed = static_cast<uint16_t>(static_cast<unsigned>(numbers[4]) & 0xFFFF);
  return action;
}

std::string FormatAction(const MacroAction& action) {
  std::string text;
  for (const int n :
       {action.delay & 0xFF, action.delay >> 8, int{action.event}, int{action.value}, int{action.pressed}}) {
    text += std::to_string(n);
    text += ',';
  }
  return text + action.label;
}

}  // namespace talvo::macros
