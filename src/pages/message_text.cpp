#include "pages/message_text.h"

namespace talvo::pages {

namespace {

// `text` with its first placeholder of one of `conversions` replaced by
// `value`; "%%" reads as "%", any other "%" stays as it is.
std::string Filled(std::string_view text, std::string_view conversions, std::string_view value) {
  std::string out;
  bool filled = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[i + 1];
    if (next == '%') {
      out += '%';
      ++i;
    } else if (!filled && conversions.find(next) != conversions.npos) {
      out += value;
      filled = true;
      ++i;
    } else {
      out += '%';
    }
  }
  return out;
}

void ShowFilled(toolkit::Window& window, std::string_view id, std::string_view conversions, std::string_view value) {
  toolkit::Toolkit& toolkit = window.GetToolkit();
  const std::string text = toolkit.LanguageText(id).value_or(std::string(id));
  toolkit.ShowMessage(&window, Filled(text, conversions, value), false);
}

}  // namespace

std::string WithNumber(std::string_view text, long long number) { return Filled(text, "diu", std::to_string(number)); }

std::string WithText(std::string_view text, std::string_view value) { return Filled(text, "s", value); }

void ShowNumberedMessage(toolkit::Window& window, std::string_view id, long long number) {
  ShowFilled(window, id, "diu", std::to_string(number));
}

void ShowMessageWithText(toolkit::Window& window, std::string_view id, std::string_view value) {
  ShowFilled(window, id, "s", value);
}

}  // namespace talvo::pages
