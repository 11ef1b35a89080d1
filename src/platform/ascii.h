// ASCII text helpers. Case folding for names the program compares without
// regard to case: INI sections and keys, control names, desktop names. Bytes
// outside A..Z (UTF-8 included) are left as they are. And the leading number
// of a text typed into an edit or stored in a file.
#pragma once

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::platform {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// The leading decimal number of a text, as atoi reads it: leading blanks and
// a sign allowed, 0 for no number, saturated to the int range.
inline int LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT_MAX} + 1);
  return int(std::clamp<int64_t>(negative ? -value : value, INT_MIN, INT_MAX));
}

}  // namespace talvo::platform
