// Talvo's Status answer comes from whatever process owns org.talvo.Talvo1 on
// the session bus: any text is read or refused within bounds, what talvoctl
// prints of it holds no control characters, and any text talvoctl quotes as
// JSON reads back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "talvo_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto status = talvo::tools::ParseTalvoStatus(text)) {
    for (const char c : talvo::tools::FormatTalvoStatus(*status)) {
      if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7f) std::abort();
    }
  }
  const std::string quoted = R"({"devices":[{"device":)" + talvo::tools::JsonQuoted(text) +
                             R"(,"onboard":1,"profiles":{"key":"","lighting":"","device":""},)"
                             R"("lighting":{"mode":0,"mode_name":"","brightness":0,"speed":0,"colour":""}}]})";
  const auto read = talvo::tools::ParseTalvoStatus(quoted);
  // Up to the reader's bound on a text: escapes make a text up to six times longer.
  if (quoted.size() <= (1 << 20) && (!read || read->devices.size() != 1 || read->devices[0].device != text)) {
    std::abort();
  }
  return 0;
}
