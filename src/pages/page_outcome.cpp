#include "pages/page_outcome.h"

#include <cstdint>

namespace talvo::pages {

std::string Quoted(std::string_view text) {
  if (text.size() <= kQuotedBytes) return "\"" + std::string(text) + "\"";
  size_t cut = kQuotedBytes;
  while (cut > 0 && (static_cast<uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;
  return "\"" + std::string(text.substr(0, cut)) + "...\"";
}

}  // namespace talvo::pages
