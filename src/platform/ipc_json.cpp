#include "platform/ipc_json.h"

#include <charconv>
#include <cmath>

namespace talvo::platform {

std::optional<int64_t> JsonValue::Integer() const {
  if (kind_ != Kind::Number) return std::nullopt;
  const char* end = text_.data() + text_.size();
  if (text_.find_first_of(".eE") == std::string::npos) {
    int64_t value = 0;
    const auto [at, error] = std::from_chars(text_.data(), end, value);
    if (error != std::errc() || at != end) return std::nullopt;
    return value;
  }
  // JSON does not tell 2 from 2.0 or 2e0.
  double value = 0;
  const auto [at, error] = std::from_chars(text_.data(), end, value);
  if (error != std::errc() || at != end || value != std::trunc(value) || std::fabs(value) >= 0x1p63) {
    return std::nullopt;
  }
  return int64_t(value);
}

std::optional<std::string_view> JsonValue::String() const {
  if (kind_ != Kind::String) return std::nullopt;
  return text_;
}

std::span<const JsonValue> JsonValue::Items() const {
  if (kind_ != Kind::Array) return {};
  return items_;
}

const JsonValue* JsonValue::Find(std::string_view name) const {
  if (kind_ != Kind::Object) return nullptr;
  for (size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) return &items_[i];
  }
  return nullptr;
}

// Recursive descent; the depth cap bounds the recursion.
class JsonParser {
 public:
  JsonParser(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    if (!Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  void SkipSpace() {
    while (at_ < text_.size() && std::string_view(" \t\n\r").find(text_[at_]) != std::string_view::npos) ++at_;
  }

  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& value, size_t depth) {
    if (++values_ > limits_.maxValues) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{': return depth < limits_.maxDepth && Object(value, depth + 1);
      case '[': return depth < limits_.maxDepth && Array(value, depth + 1);
      case '"': value.kind_ = JsonValue::Kind::String; return String(value.text_);
      case 't': value.kind_ = JsonValue::Kind::True; return Word("true");
      case 'f': value.kind_ = JsonValue::Kind::False; return Word("false");
      case 'n': value.kind_ = JsonValue::Kind::Null; return Word("null");
      default: value.kind_ = JsonValue::Kind::Number; return Number(value.text_);
    }
  }

  bool Object(JsonValue& value, size_t depth) {
    value.kind_ = JsonValue::Kind::Object;
    ++at_;
    SkipSpace();
    if (Take('}')) return true;
    do {
      SkipSpace();
      std::string name;
      if (at_ >= text_.size() || text_[at_] != '"' || !String(name)) return false;
      SkipSpace();
      if (!Take(':')) return false;
      value.names_.push_back(std::move(name));
      if (!Value(value.items_.emplace_back(), depth)) return false;
      SkipSpace();
    } while (Take(','));
    return Take('}');
  }

  bool Array(JsonValue& value, size_t depth) {
    value.kind_ = JsonValue::Kind::Array;
    ++at_;
    SkipSpace();
    if (Take(']')) return true;
    do {
      if (!Value(value.items_.emplace_back(), depth)) return false;
      SkipSpace();
    } while (Take(','));
    return Take(']');
  }

  bool Digits() {
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }

  bool Number(std::string& out) {
    const size_t start = at_;
    Take('-');
    if (Take('0')) {
      // No leading zeros.
    } else if (!Digits()) {
      return false;
    }
    if (Take('.') && !Digits()) return false;
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    out.assign(text_.substr(start, at_ - start));
    return true;
  }

  std::optional<uint32_t> Hex4() {
    if (text_.size() - at_ < 4) return std::nullopt;
    uint32_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= uint32_t(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unit |= uint32_t(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unit |= uint32_t(c - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return unit;
  }

  static void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | (code >> 6));
      out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += char(0xE0 | (code >> 12));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xF0 | (code >> 18));
      out += char(0x80 | ((code >> 12) & 0x3F));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    }
  }

  // A \u escape, the opening backslash and u already taken; a character
  // beyond the basic plane comes as a pair of them. A surrogate without its
  // partner is refused: it stands for no character.
  bool Escape(std::string& out) {
    auto code = Hex4();
    if (!code || (*code >= 0xDC00 && *code < 0xE000)) return false;
    if (*code >= 0xD800 && *code < 0xDC00) {
      if (!Take('\\') || !Take('u')) return false;
      const auto low = Hex4();
      if (!low || *low < 0xDC00 || *low >= 0xE000) return false;
      *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
    }
    AppendUtf8(out, *code);
    return true;
  }

  bool String(std::string& out) {
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      switch (text_[at_++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
          if (!Escape(out)) return false;
          break;
        default: return false;
      }
    }
    return false;
  }

  std::string_view text_;
  const JsonLimits& limits_;
  size_t at_ = 0;
  size_t values_ = 0;
};

std::optional<JsonValue> ParseJson(std::string_view text, const JsonLimits& limits) {
  if (text.size() > limits.maxBytes) return std::nullopt;
  return JsonParser(text, limits).Document();
}

}  // namespace talvo::platform
