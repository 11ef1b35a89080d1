#include "pages/message_text.h"

namespace talvo::pages {

std::string WithNumber(std::string_view text, long long number) {
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
    } else if (!filled && (next == 'd' || next == 'i' || next == 'u')) {
      out += std::to_string(number);
      filled = true;
      ++i;
    } else {
      out += '%';
    }
  }
  return out;
}

void ShowNumberedMessage(app::Window& window, std::string_view id, long long number) {
  app::Toolkit& toolkit = window.GetToolkit();
  const std::string text = toolkit.LanguageText(id).value_or(std::string(id));
  toolkit.ShowMessage(&window, WithNumber(text, number), false);
}

}  // namespace talvo::pages
