// INI files read and written one value per call, with the behaviour of the
// classic private-profile functions the profile and macro index files were
// made with:
//  - sections and keys compare ASCII case-insensitively (other bytes exactly);
//  - a missing file, section or key reads as the caller's default;
//  - whitespace around keys and values is trimmed on reading; values are
//    written verbatim;
//  - a value read is cut to 259 characters (a 260-character buffer with its
//    terminator), counted in code points and never cut inside one;
//  - of duplicate sections only the first counts; of duplicate keys in it the
//    first is read and written;
//  - a line "; ..." is a comment; a line in a section without "=" is kept and
//    ignored, as is everything before the first section;
//  - a write keeps every other line byte for byte (comments, blank lines,
//    other sections, unknown lines, order, line endings, a UTF-8 BOM) and
//    replaces the file atomically (temporary file, fsync, rename).
// Files are UTF-8 with or without a BOM; UTF-16LE files are read too, with a
// BOM or without one (some editors save them so; such a file starts with an
// ASCII character followed by a zero byte, which no UTF-8 text does), and a
// write turns them into UTF-8 (the whole file is converted, never appended to
// in the other encoding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace talvo::platform {

// Characters of the read buffer, terminator included.
inline constexpr size_t kIniReadBufferChars = 260;

// Files larger than this are not read (reads give the default) and not
// rewritten (writes fail), so a runaway file cannot exhaust memory.
inline constexpr size_t kIniMaxFileBytes = 16 * 1024 * 1024;

std::string ReadIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::string_view defaultValue);

// The value's leading decimal number, as atoi reads it ("12x" → 12, "abc" → 0,
// clamped to the int range); defaultValue when the key is missing or its value
// is empty.
int ReadIniInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
               int defaultValue);

// Sets one value, creating the file and the section when missing. False on an
// I/O failure, when the existing file cannot be read, and for a value with a
// line break or NUL, or a section or key that could not be read back (see
// IniDocument::Set).
bool WriteIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value);

// One value to set. Sections are the program's own names; keys (list
// indexes) and values are often built, so they are held.
struct IniValue {
  std::string_view section;
  std::string key;
  std::string value;
};

// Sets several values in one replace of the file, so a crash leaves either
// all of them or none. False, writing nothing, when any one is refused.
bool WriteIniStrings(const std::filesystem::path& file, std::span<const IniValue> values);

// Removes the key (every copy of it in the section reads use). True when the
// key is gone afterwards, including when it was never there; false on I/O
// failure.
bool DeleteIniKey(const std::filesystem::path& file, std::string_view section, std::string_view key);

// Removes every section of that name with all its lines. True when no such
// section is left; false on I/O failure.
bool DeleteIniSection(const std::filesystem::path& file, std::string_view section);

// The value cut to at most maxChars code points; a byte that does not start a
// valid UTF-8 sequence counts as one character.
std::string_view CutToCodePoints(std::string_view text, size_t maxChars);

// The file's text in memory: parse, query, change, serialise. The file
// functions above are built on it; it does no I/O of its own.
class IniDocument {
 public:
  // Any bytes are accepted; lines that mean nothing are kept as they are.
  static IniDocument Parse(std::span<const uint8_t> bytes);

  // The trimmed value, not cut to the read buffer; nullopt when missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Changes the first matching key of the first matching section (its line
  // keeps its text up to "=", the value follows verbatim), or appends
  // "key=value" after the section's last entry, or appends the section at the
  // end. Refuses (false, nothing changed): a value with CR, LF or NUL; an
  // empty key, or one with "=", CR, LF, NUL, surrounding whitespace or a
  // leading '[' or ';'; a section with ']', CR, LF, NUL or surrounding
  // whitespace.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // True when something was removed.
  bool RemoveKey(std::string_view section, std::string_view key);
  bool RemoveSection(std::string_view section);

  // UTF-8 text; byte-identical to the parsed input when it was UTF-8 and
  // nothing changed.
  std::string Serialise() const;

 private:
  struct Line {
    std::string text;        // without its line ending
    std::string ending;      // "\r\n", "\n", or "" for a last line without one
  };

  std::string bom_;
  std::vector<Line> lines_;
};

// A file's values keyed for lookup: one pass over its text, then each Get
// costs a hash look-up instead of a scan of the file, with the same answers
// as IniDocument::Get (case-insensitive names, the first of duplicate
// sections and keys). For reading many values of a large file at once.
class IniLookup {
 public:
  // Any bytes are accepted, decoded as IniDocument::Parse decodes them.
  static IniLookup Parse(std::span<const uint8_t> bytes);
  // Reads the file (nothing when it is unreadable or too large).
  static IniLookup FromFile(const std::filesystem::path& file);

  // The trimmed value, not cut to the read buffer; nullopt when missing.
  std::optional<std::string_view> Get(std::string_view section, std::string_view key) const;
  // The distinct keys the section holds (0 when it is missing): what a count
  // stored beside them can at most be worth.
  size_t KeyCount(std::string_view section) const;

 private:
  struct FoldedHash {
    size_t operator()(std::string_view text) const;
  };
  struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using Entries = std::unordered_map<std::string_view, std::string_view, FoldedHash, FoldedEqual>;

  // The decoded text the names and values point into; on the heap so that a
  // moved lookup keeps them valid.
  std::unique_ptr<const std::string> text_;
  std::unordered_map<std::string_view, Entries, FoldedHash, FoldedEqual> sections_;
};

}  // namespace talvo::platform
