// UTF-8 helpers shared by the file-name check and the INI reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace talvo::platform {

// Length of the valid UTF-8 sequence at the start of text; 0 when text is
// empty or starts with an invalid one (stray continuation byte, truncated
// sequence, overlong form, surrogate, value above U+10FFFF).
size_t Utf8SequenceLength(std::string_view text);

// UTF-16LE bytes (no BOM) as UTF-8. An unpaired surrogate becomes U+FFFD; an
// odd last byte is dropped.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);

}  // namespace talvo::platform
