#include "talvo_status.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

namespace talvo::tools {
namespace {

// Far above any real answer (a few hundred bytes per device) and nesting
// (four levels); beyond them the text is refused rather than read.
constexpr size_t kMaxText = 1 << 20;
constexpr int kMaxDepth = 16;

struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  double number = 0;
  std::string text;
  std::vector<Json> items;         // array elements, or object values
  std::vector<std::string> names;  // object member names, one per item

  const Json* Member(std::string_view name) const {
    if (type != Type::Object) return nullptr;
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return &items[i];
    }
    return nullptr;
  }
};

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<Json> Document() {
    Json value;
    if (!Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  bool Value(Json& out, int depth) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{': return Object(out, depth);
      case '[': return Array(out, depth);
      case '"': out.type = Json::Type::String; return String(out.text);
      case 't': out.type = Json::Type::Bool; return Word("true");
      case 'f': out.type = Json::Type::Bool; return Word("false");
      case 'n': out.type = Json::Type::Null; return Word("null");
      default: out.type = Json::Type::Number; return Number(out.number);
    }
  }

  bool Object(Json& out, int depth) {
    out.type = Json::Type::Object;
    ++at_;
    SkipSpace();
    if (Take('}')) return true;
    do {
      SkipSpace();
      std::string name;
      if (at_ >= text_.size() || text_[at_] != '"' || !String(name)) return false;
      SkipSpace();
      if (!Take(':')) return false;
      out.names.push_back(std::move(name));
      if (!Value(out.items.emplace_back(), depth + 1)) return false;
      SkipSpace();
    } while (Take(','));
    return Take('}');
  }

  bool Array(Json& out, int depth) {
    out.type = Json::Type::Array;
    ++at_;
    SkipSpace();
    if (Take(']')) return true;
    do {
      if (!Value(out.items.emplace_back(), depth + 1)) return false;
      SkipSpace();
    } while (Take(','));
    return Take(']');
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
      const char e = text_[at_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': if (!Escaped(out)) return false; break;
        default: return false;
      }
    }
    return false;
  }

  // \uXXXX, or a pair of them for a character beyond the basic plane, as UTF-8.
  bool Escaped(std::string& out) {
    unsigned code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xdc00 && code <= 0xdfff) return false;
    if (code >= 0xd800 && code <= 0xdbff) {
      unsigned low = 0;
      if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xdc00 || low > 0xdfff) return false;
      code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xc0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xe0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
      out += static_cast<char>(0xf0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (code & 0x3f));
    }
    return true;
  }

  bool Hex4(unsigned& out) {
    if (text_.size() - at_ < 4) return false;
    const char* begin = text_.data() + at_;
    if (std::from_chars(begin, begin + 4, out, 16).ptr != begin + 4) return false;
    at_ += 4;
    return true;
  }

  // The JSON number grammar is checked here; from_chars alone would also take
  // forms JSON does not have ("inf", "1.", leading zeros).
  bool Number(double& out) {
    const size_t start = at_;
    Take('-');
    if (!Take('0') && !Digits()) return false;
    if (Take('.') && !Digits()) return false;
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    const char* begin = text_.data() + start;
    const char* end = text_.data() + at_;
    const auto [ptr, error] = std::from_chars(begin, end, out);
    return error == std::errc() && ptr == end;
  }

  bool Digits() {
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }

  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Take(char c) {
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }

  std::string_view text_;
  size_t at_ = 0;
};

bool ReadInt(const Json* value, int& out) {
  if (!value || value->type != Json::Type::Number) return false;
  const double n = value->number;
  if (n != std::floor(n) || n < INT_MIN || n > INT_MAX) return false;
  out = static_cast<int>(n);
  return true;
}

bool ReadText(const Json* value, std::string& out) {
  if (!value || value->type != Json::Type::String) return false;
  out = value->text;
  return true;
}

// A member that may be missing: true when it is, or when it is a text.
bool ReadOptionalText(const Json* value, std::optional<std::string>& out) {
  return !value || ReadText(value, out.emplace());
}

bool ReadDpi(const Json& value, DpiStatus& out) {
  const Json* stages = value.Member("stages");
  if (!ReadInt(value.Member("stage"), out.stage) || !stages || stages->type != Json::Type::Array) return false;
  for (const Json& item : stages->items) {
    if (!ReadInt(&item, out.stages.emplace_back())) return false;
  }
  return true;
}

bool ReadDevice(const Json& value, DeviceStatus& out) {
  const Json* profiles = value.Member("profiles");
  const Json* lighting = value.Member("lighting");
  if (!profiles || profiles->type != Json::Type::Object || !lighting) return false;
  const bool read = ReadText(value.Member("device"), out.device) && ReadInt(value.Member("onboard"), out.onboard) &&
                    ReadOptionalText(profiles->Member("key"), out.keyProfile) &&
                    ReadOptionalText(profiles->Member("lighting"), out.lightingProfile) &&
                    ReadOptionalText(profiles->Member("device"), out.deviceProfile) &&
                    ReadInt(lighting->Member("mode"), out.mode) &&
                    ReadText(lighting->Member("mode_name"), out.modeName) &&
                    ReadInt(lighting->Member("brightness"), out.brightness) &&
                    ReadInt(lighting->Member("speed"), out.speed) &&
                    ReadText(lighting->Member("colour"), out.colour);
  if (!read) return false;
  if (const Json* dpi = value.Member("dpi")) {
    if (dpi->type != Json::Type::Object || !ReadDpi(*dpi, out.dpi.emplace())) return false;
  }
  return true;
}

// "key \"Name\", lighting (none)": the kinds the device has, separated by commas.
std::string ProfileNames(const DeviceStatus& d) {
  std::string out;
  for (const auto& [kind, name] : {std::pair{"key", &d.keyProfile}, std::pair{"lighting", &d.lightingProfile},
                                   std::pair{"device", &d.deviceProfile}}) {
    if (!*name) continue;
    out += out.empty() ? "" : ", ";
    out += std::string(kind) + " " + ((*name)->empty() ? "(none)" : "\"" + Printable(**name) + "\"");
  }
  return out.empty() ? "none" : out;
}

}  // namespace

std::optional<TalvoStatus> ParseTalvoStatus(std::string_view json) {
  if (json.size() > kMaxText) return std::nullopt;
  const std::optional<Json> document = Reader(json).Document();
  if (!document) return std::nullopt;
  const Json* devices = document->Member("devices");
  if (!devices || devices->type != Json::Type::Array) return std::nullopt;
  TalvoStatus status;
  for (const Json& item : devices->items) {
    if (!ReadDevice(item, status.devices.emplace_back())) return std::nullopt;
  }
  return status;
}

std::string FormatTalvoStatus(const TalvoStatus& status) {
  if (status.devices.empty()) return "no device connected\n";
  std::string out;
  for (const DeviceStatus& d : status.devices) {
    out += Printable(d.device) + ": onboard profile " + std::to_string(d.onboard) + "\n";
    out += "  lighting: " + Printable(d.modeName) + " (mode " + std::to_string(d.mode) + "), brightness " +
           std::to_string(d.brightness) + ", speed " + std::to_string(d.speed) + ", colour " + Printable(d.colour) +
           "\n";
    out += "  profiles: " + ProfileNames(d) + "\n";
    if (d.dpi) {
      out += "  dpi: stage " + std::to_string(d.dpi->stage);
      if (d.dpi->stage >= 1 && static_cast<size_t>(d.dpi->stage) <= d.dpi->stages.size()) {
        out += " (" + std::to_string(d.dpi->stages[d.dpi->stage - 1]) + " DPI)";
      }
      out += "; stages";
      for (int value : d.dpi->stages) out += " " + std::to_string(value);
      out += "\n";
    }
  }
  return out;
}

// The C1 controls are among them: UTF-8 writes them as c2 80..c2 9f.
std::string Printable(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
      out += '?';
      ++i;
    } else if (c < 0x20 || c == 0x7f) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace talvo::tools
