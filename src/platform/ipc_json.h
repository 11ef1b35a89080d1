// A bounded JSON reader for text another process sends: window managers
// over their IPC sockets (sway's trees and events, Hyprland's replies) and
// Talvo's status answer that talvoctl reads. Its size, its nesting and the
// number of values it makes are capped before anything is kept; text over
// any cap reads as nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::platform {

struct JsonLimits {
  size_t maxBytes;
  size_t maxDepth;
  size_t maxValues;  // every value counts, nested ones included
};

// One event or one small reply; a whole window tree or client list.
inline constexpr JsonLimits kJsonEventLimits{64 * 1024, 64, 16 * 1024};
inline constexpr JsonLimits kJsonTreeLimits{4 * 1024 * 1024, 64, 512 * 1024};

class JsonValue {
 public:
  enum class Kind : uint8_t { Null, False, True, Number, String, Array, Object };

  Kind GetKind() const { return kind_; }
  bool IsTrue() const { return kind_ == Kind::True; }
  // A number written as an integer (no fraction, no exponent) that fits.
  std::optional<int64_t> Integer() const;
  // A string's text, escapes decoded.
  std::optional<std::string_view> String() const;
  // An array's items; nothing for any other kind.
  std::span<const JsonValue> Items() const;
  // The first member of an object with this name; nullptr when there is none
  // or this is no object.
  const JsonValue* Find(std::string_view name) const;

 private:
  friend class JsonParser;
  Kind kind_ = Kind::Null;
  std::string text_;                // a string's text, a number as written
  std::vector<JsonValue> items_;    // an array's items, an object's member values
  std::vector<std::string> names_;  // an object's member names, one per item
};

std::optional<JsonValue> ParseJson(std::string_view text, const JsonLimits& limits);

}  // namespace talvo::platform
