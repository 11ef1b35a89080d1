#include "pages/control_bindings.h"

#include "platform/ascii.h"

namespace talvo::pages {

std::optional<int> IndexFor(const ControlName& row, std::string_view name) {
  using platform::EqualsIgnoreCase;
  switch (row.match) {
    case NameMatch::Exact:
      if (EqualsIgnoreCase(name, row.name)) return row.first;
      return std::nullopt;
    case NameMatch::Ending:
      if (name.size() >= row.name.size() && EqualsIgnoreCase(name.substr(name.size() - row.name.size()), row.name))
        return row.first;
      return std::nullopt;
    case NameMatch::Family: {
      if (name.size() <= row.name.size() || !EqualsIgnoreCase(name.substr(0, row.name.size()), row.name))
        return std::nullopt;
      // A decimal number of at most nine digits, so it never overflows.
      const std::string_view digits = name.substr(row.name.size());
      if (digits.size() > 9) return std::nullopt;
      int index = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        index = index * 10 + (c - '0');
      }
      if (index < row.first || index > row.last) return std::nullopt;
      return index;
    }
  }
  return std::nullopt;
}

}  // namespace talvo::pages
