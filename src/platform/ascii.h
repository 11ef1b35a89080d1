// ASCII case folding for names the program compares without regard to case:
// INI sections and keys, control names, desktop names. Bytes outside A..Z
// (UTF-8 included) are left as they are.
#pragma once

#include <algorithm>
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

}  // namespace talvo::platform
