// The udev HID_ID property is text from sysfs; whatever it holds, parsing
// must stay in bounds and only accept three 16-bit hexadecimal fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/hidraw_backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto id = talvo::platform::ParseHidId(text);
  if (id && (text.find(':') == std::string_view::npos || text.size() > 26)) std::abort();
  return 0;
}
