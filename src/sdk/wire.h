// Little-endian reading and writing of SDK packet fields. The reader never
// looks past its bytes: a read beyond the end yields zeros and leaves the
// reader failed, so a decoder reads a whole block and checks once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sdk/sdk_protocol.h"

namespace talvo::sdk::wire {

class Writer {
 public:
  void U16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(v >> shift));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  // Length (NUL included), the text up to its first NUL, and the NUL.
  void String(std::string_view text) {
    text = text.substr(0, std::min({text.find('\0'), text.size(), size_t{0xFFFE}}));
    U16(static_cast<uint16_t>(text.size() + 1));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
  }
  void Raw(std::span<const uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
  void Colours(std::span<const Colour> colours) {
    for (const Colour& c : colours) bytes_.insert(bytes_.end(), {c.red, c.green, c.blue, 0});
  }
  void PatchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  size_t Size() const { return bytes_.size(); }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  uint16_t U16() {
    const auto b = Take(2);
    return b.empty() ? 0 : static_cast<uint16_t>(b[0] | b[1] << 8);
  }
  uint32_t U32() {
    const auto b = Take(4);
    return b.empty() ? 0 : uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  // `count` colours; none when fewer than count × 4 bytes are left.
  std::vector<Colour> Colours(size_t count) {
    std::vector<Colour> colours;
    ColoursInto(count, colours);
    return colours;
  }
  // The same into `colours`, whose room is kept from one call to the next.
  void ColoursInto(size_t count, std::vector<Colour>& colours) {
    const auto b = Take(count * 4);
    colours.clear();
    for (size_t i = 0; i + 4 <= b.size(); i += 4) colours.push_back({b[i], b[i + 1], b[i + 2]});
  }
  // The next `count` bytes, or an empty span and a failed reader.
  std::span<const uint8_t> Take(size_t count) {
    if (failed_ || count > bytes_.size() - offset_) {
      failed_ = true;
      return {};
    }
    const auto taken = bytes_.subspan(offset_, count);
    offset_ += count;
    return taken;
  }
  size_t Remaining() const { return failed_ ? 0 : bytes_.size() - offset_; }
  bool Failed() const { return failed_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace talvo::sdk::wire
