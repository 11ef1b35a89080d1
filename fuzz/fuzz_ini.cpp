// INI files come from the user's folders and from other installations; any
// bytes must parse, and the edits must keep what they promise: UTF-8 text is
// written back unchanged, a value set reads back trimmed (also after a
// round trip through the serialised text), removals remove, and no edit
// changes what another section or key reads. The lookup built for reading
// many values answers as the document does.
//
// Input: byte 0 picks the edit; bytes 1-5 give the lengths (mod 32) of the
// section, key, value, and a second section and key to compare; then those
// strings; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace {

using talvo::platform::IniDocument;

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t\r\v\f";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

IniDocument ParseText(std::string_view text) {
  return IniDocument::Parse({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto take = [&](size_t length) {
    const std::string_view part = input.substr(0, length);
    input.remove_prefix(part.size());
    return part;
  };
  const std::string_view header = take(6);
  const auto length = [&](size_t i) { return i < header.size() ? static_cast<uint8_t>(header[i]) % 32u : 0u; };
  const uint8_t edit = header.empty() ? 0 : static_cast<uint8_t>(header[0]) % 4;
  const std::string_view section = take(length(1));
  const std::string_view key = take(length(2));
  const std::string_view value = take(length(3));
  const std::string_view otherSection = take(length(4));
  const std::string_view otherKey = take(length(5));
  const std::string_view file = input;

  const std::span<const uint8_t> fileBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  IniDocument document = IniDocument::Parse(fileBytes);
  const std::string serialised = document.Serialise();
  // UTF-16LE, with its BOM or an ASCII character and a zero byte first.
  const bool utf16 = file.starts_with("\xFF\xFE") || (file.size() >= 2 && file[0] != 0 &&
                                                       static_cast<uint8_t>(file[0]) < 0x80 && file[1] == 0);
  if (!utf16) Check(serialised == file);
  Check(ParseText(serialised).Serialise() == serialised);
  Check(ParseText(serialised).Get(section, key) == document.Get(section, key));

  // The lookup answers as the document does.
  const auto lookup = talvo::platform::IniLookup::Parse(fileBytes);
  for (const auto& [s, k] : {std::pair(section, key), std::pair(otherSection, otherKey)}) {
    const auto expected = document.Get(s, k);
    const auto found = lookup.Get(s, k);
    Check(found.has_value() == expected.has_value() && (!found || *found == *expected));
  }

  const auto cut = talvo::platform::CutToCodePoints(file, 259);
  Check(file.starts_with(cut));

  const std::optional<std::string> otherBefore = document.Get(otherSection, otherKey);
  const bool sameSection = SameName(section, otherSection);
  bool touchesOther = false;
  switch (edit) {
    case 0:
    case 1:
      if (document.Set(section, key, value)) {
        Check(document.Get(section, key) == std::string(Trimmed(value)));
        Check(ParseText(document.Serialise()).Get(section, key) == std::string(Trimmed(value)));
        touchesOther = sameSection && SameName(key, otherKey);
      } else {
        Check(document.Serialise() == serialised);
      }
      break;
    case 2:
      document.RemoveKey(section, key);
      Check(!document.Get(section, key));
      touchesOther = sameSection && SameName(key, otherKey);
      break;
    case 3:
      document.RemoveSection(section);
      Check(!document.Get(section, key));
      touchesOther = sameSection;
      break;
  }
  if (!touchesOther) {
    Check(document.Get(otherSection, otherKey) == otherBefore);
    Check(ParseText(document.Serialise()).Get(otherSection, otherKey) == otherBefore);
  }
  return 0;
}
