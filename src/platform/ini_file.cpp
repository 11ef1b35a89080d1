#include "platform/ini_file.h"

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <system_error>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/utf8.h"

namespace talvo::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool HasAny(std::string_view text, std::string_view chars) {
  return text.find_first_of(chars) != std::string_view::npos;
}

// What one line of the file means.
struct LineMeaning {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string_view name;   // section name or key, trimmed
  std::string_view value;  // entry value, trimmed
  size_t valueStart = 0;   // offset of the text after '=' in the line
};

LineMeaning Classify(std::string_view line) {
  LineMeaning meaning;
  const std::string_view text = Trim(line);
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close != std::string_view::npos) {
      meaning.kind = LineMeaning::Section;
      meaning.name = Trim(text.substr(1, close - 1));
    }
    return meaning;
  }
  if (text.starts_with(';')) return meaning;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return meaning;
  const std::string_view key = Trim(line.substr(0, equals));
  if (key.empty()) return meaning;
  meaning.kind = LineMeaning::Entry;
  meaning.name = key;
  meaning.valueStart = equals + 1;
  meaning.value = Trim(line.substr(equals + 1));
  return meaning;
}

bool ValidSection(std::string_view section) {
  return !HasAny(section, std::string_view("]\r\n\0", 4)) && Trim(section) == section;
}

bool ValidKey(std::string_view key) {
  return !key.empty() && !HasAny(key, std::string_view("=\r\n\0", 4)) && Trim(key) == key &&
         !key.starts_with('[') && !key.starts_with(';');
}

bool ValidValue(std::string_view value) { return !HasAny(value, std::string_view("\r\n\0", 3)); }

// Serialises read-modify-write cycles of this process, so two threads
// changing the same file never lose one of the changes.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

// The document in file; an absent file is an empty document. nullopt, with
// errno telling why, when the file exists but cannot be read or is too large
// to be rewritten safely.
std::optional<IniDocument> LoadForChange(const std::filesystem::path& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) return IniDocument::Parse({});
  if (error) {
    errno = error.value();
    return std::nullopt;
  }
  const auto bytes = ReadWholeFile(file, kIniMaxFileBytes + 1);
  if (!bytes) return std::nullopt;
  if (bytes->size() > kIniMaxFileBytes) {
    errno = EFBIG;
    return std::nullopt;
  }
  return IniDocument::Parse(*bytes);
}

bool Store(const std::filesystem::path& file, const IniDocument& document) {
  const std::string text = document.Serialise();
  return WriteFileAtomically(file, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

template <typename Change>
bool ChangeFile(const std::filesystem::path& file, Change change) {
  const std::lock_guard lock(WriteMutex());
  errno = 0;
  auto document = LoadForChange(file);
  if (!document) {
    // A file that cannot be read cannot be changed: a save that failed.
    NoteSaveResult(file.parent_path(), false, errno != 0 ? errno : EIO);
    return false;
  }
  bool changed = false;
  if (!change(*document, changed)) return false;
  return !changed || Store(file, *document);
}

// The file's bytes as UTF-8 text: as they are, or decoded from UTF-16LE
// (into decoded) when they start with its BOM or, without one, with an ASCII
// character in it ("[", ";" or a key). A UTF-8 BOM, also one found after the
// UTF-16 decoding, is moved to bom so that the text written back reads the
// same.
std::string_view DecodeText(std::span<const uint8_t> bytes, std::string& decoded, std::string_view& bom) {
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with("\xFF\xFE")) {
    decoded = Utf16LeToUtf8(bytes.subspan(2));
    text = decoded;
  } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[0] < 0x80 && bytes[1] == 0) {
    decoded = Utf16LeToUtf8(bytes);
    text = decoded;
  }
  bom = {};
  if (text.starts_with("\xEF\xBB\xBF")) {
    bom = text.substr(0, 3);
    text.remove_prefix(3);
  }
  return text;
}

// Calls visit(text, ending) for each line, the ending "\r\n", "\n" or "".
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    if (newline == std::string_view::npos) {
      visit(text, std::string_view());
      return;
    }
    const bool crlf = newline > 0 && text[newline - 1] == '\r';
    visit(text.substr(0, crlf ? newline - 1 : newline), crlf ? std::string_view("\r\n") : std::string_view("\n"));
    text.remove_prefix(newline + 1);
  }
}

}  // namespace

std::string_view CutToCodePoints(std::string_view text, size_t maxChars) {
  size_t offset = 0;
  for (size_t chars = 0; chars < maxChars && offset < text.size(); ++chars) {
    offset += std::max<size_t>(1, Utf8SequenceLength(text.substr(offset)));
  }
  return text.substr(0, offset);
}

IniDocument IniDocument::Parse(std::span<const uint8_t> bytes) {
  IniDocument document;
  std::string decoded;
  std::string_view bom;
  const std::string_view text = DecodeText(bytes, decoded, bom);
  document.bom_ = bom;
  ForEachLine(text, [&](std::string_view line, std::string_view ending) {
    document.lines_.push_back({std::string(line), std::string(ending)});
  });
  return document;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  bool inSection = false;
  bool seenSection = false;
  for (const Line& line : lines_) {
    const LineMeaning meaning = Classify(line.text);
    if (meaning.kind == LineMeaning::Section) {
      if (seenSection) return std::nullopt;
      inSection = EqualsIgnoreCase(meaning.name, section);
      seenSection = inSection;
    } else if (inSection && meaning.kind == LineMeaning::Entry && EqualsIgnoreCase(meaning.name, key)) {
      return std::string(meaning.value);
    }
  }
  return std::nullopt;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!ValidSection(section) || !ValidKey(key) || !ValidValue(value)) return false;

  // New lines end like the file's first line that has an ending.
  std::string ending = "\n";
  for (const Line& line : lines_) {
    if (!line.ending.empty()) {
      ending = line.ending;
      break;
    }
  }

  size_t header = lines_.size();
  size_t insertAfter = lines_.size();
  for (size_t i = 0; i < lines_.size(); ++i) {
    const LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind == LineMeaning::Section) {
      if (header != lines_.size()) break;
      if (EqualsIgnoreCase(meaning.name, section)) header = insertAfter = i;
    } else if (header != lines_.size() && meaning.kind == LineMeaning::Entry) {
      if (EqualsIgnoreCase(meaning.name, key)) {
        lines_[i].text.resize(meaning.valueStart);
        lines_[i].text.append(value);
        return true;
      }
      insertAfter = i;
    }
  }

  std::vector<Line> added;
  if (header == lines_.size()) {
    added.push_back({"[" + std::string(section) + "]", ending});
    insertAfter = lines_.empty() ? 0 : lines_.size() - 1;
  }
  added.push_back({std::string(key) + "=" + std::string(value), ending});
  if (lines_.empty()) {
    lines_ = std::move(added);
    return true;
  }
  if (lines_[insertAfter].ending.empty()) lines_[insertAfter].ending = ending;
  lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(insertAfter) + 1, added.begin(), added.end());
  return true;
}

bool IniDocument::RemoveKey(std::string_view section, std::string_view key) {
  size_t header = lines_.size();
  bool removed = false;
  for (size_t i = 0; i < lines_.size();) {
    const LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind == LineMeaning::Section) {
      if (header != lines_.size()) break;
      if (EqualsIgnoreCase(meaning.name, section)) header = i;
    } else if (header != lines_.size() && meaning.kind == LineMeaning::Entry && EqualsIgnoreCase(meaning.name, key)) {
      lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(i));
      removed = true;
      continue;
    }
    ++i;
  }
  return removed;
}

bool IniDocument::RemoveSection(std::string_view section) {
  bool removing = false;
  bool removed = false;
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  for (Line& line : lines_) {
    const LineMeaning meaning = Classify(line.text);
    if (meaning.kind == LineMeaning::Section) removing = EqualsIgnoreCase(meaning.name, section);
    if (removing) {
      removed = true;
    } else {
      kept.push_back(std::move(line));
    }
  }
  lines_ = std::move(kept);
  return removed;
}

size_t IniLookup::FoldedHash::operator()(std::string_view text) const {
  size_t hash = 14695981039346656037u;  // FNV-1a over the folded bytes
  for (const char c : text) hash = (hash ^ static_cast<uint8_t>(AsciiLower(c))) * 1099511628211u;
  return hash;
}

bool IniLookup::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return EqualsIgnoreCase(a, b);
}

IniLookup IniLookup::Parse(std::span<const uint8_t> bytes) {
  IniLookup lookup;
  std::string decoded;
  std::string_view bom;
  const std::string_view text = DecodeText(bytes, decoded, bom);
  lookup.text_ = std::make_unique<const std::string>(text);
  Entries* current = nullptr;
  ForEachLine(*lookup.text_, [&](std::string_view line, std::string_view) {
    const LineMeaning meaning = Classify(line);
    if (meaning.kind == LineMeaning::Section) {
      // A repeated section is ignored: only the first of a name is read.
      const auto [it, first] = lookup.sections_.try_emplace(meaning.name);
      current = first ? &it->second : nullptr;
    } else if (current != nullptr && meaning.kind == LineMeaning::Entry) {
      current->try_emplace(meaning.name, meaning.value);
    }
  });
  return lookup;
}

IniLookup IniLookup::FromFile(const std::filesystem::path& file) {
  const auto bytes = ReadWholeFile(file, kIniMaxFileBytes + 1);
  if (!bytes || bytes->size() > kIniMaxFileBytes) return Parse({});
  return Parse(*bytes);
}

std::optional<std::string_view> IniLookup::Get(std::string_view section, std::string_view key) const {
  const auto found = sections_.find(section);
  if (found == sections_.end()) return std::nullopt;
  const auto entry = found->second.find(key);
  if (entry == found->second.end()) return std::nullopt;
  return entry->second;
}

size_t IniLookup::KeyCount(std::string_view section) const {
  const auto found = sections_.find(section);
  return found == sections_.end() ? 0 : found->second.size();
}

std::string IniDocument::Serialise() const {
  std::string text = bom_;
  for (const Line& line : lines_) {
    text += line.text;
    text += line.ending;
  }
  return text;
}

std::string ReadIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
  std::optional<std::string> value;
  const auto bytes = ReadWholeFile(file, kIniMaxFileBytes + 1);
  if (bytes && bytes->size() <= kIniMaxFileBytes) value = IniDocument::Parse(*bytes).Get(section, key);
  return std::string(CutToCodePoints(value ? *value : defaultValue, kIniReadBufferChars - 1));
}

int ReadIniInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
               int defaultValue) {
  const std::string text = ReadIniString(file, section, key, "");
  return text.empty() ? defaultValue : LeadingNumber(text);
}

bool WriteIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                    std::string_view value) {
  const IniValue one{section, std::string(key), std::string(value)};
  return WriteIniStrings(file, std::span(&one, 1));
}

bool WriteIniStrings(const std::filesystem::path& file, std::span<const IniValue> values) {
  return ChangeFile(file, [&](IniDocument& document, bool& changed) {
    const std::string before = document.Serialise();
    for (const IniValue& v : values) {
      if (!document.Set(v.section, v.key, v.value)) return false;
    }
    changed = document.Serialise() != before;
    return true;
  });
}

bool DeleteIniKey(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  return ChangeFile(file, [&](IniDocument& document, bool& changed) {
    changed = document.RemoveKey(section, key);
    return true;
  });
}

bool DeleteIniSection(const std::filesystem::path& file, std::string_view section) {
  return ChangeFile(file, [&](IniDocument& document, bool& changed) {
    changed = document.RemoveSection(section);
    return true;
  });
}

}  // namespace talvo::platform
