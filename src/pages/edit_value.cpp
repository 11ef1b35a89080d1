#include "pages/edit_value.h"

#include <algorithm>
#include <string>

#include "platform/ascii.h"

namespace talvo::pages {

long long ShownNumber(toolkit::Control* edit, long long min, long long max) {
  if (!edit) return min;
  const std::string text = edit->Text();
  // No number reads as 0, which the limits turn into the minimum.
  const long long value = std::clamp<long long>(platform::LeadingNumber(text), min, max);
  if (text != std::to_string(value)) edit->SetText(std::to_string(value));
  return value;
}

}  // namespace talvo::pages
