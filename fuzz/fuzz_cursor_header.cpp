// The cursor-macro image header the mouse sends: any 16 bytes give a length
// within what a mouse holds, or none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "transfer/cursor_download.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvo::transfer;
  std::array<uint8_t, kCursorImageHeaderSize> header{};
  std::memcpy(header.data(), data, size < header.size() ? size : header.size());
  if (const auto length = CursorImageLength(header)) {
    if (*length < kCursorImageHeaderSize || *length > kCursorImageMax) std::abort();
  }
  return 0;
}
