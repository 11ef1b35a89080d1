// The autostart entry is a file in the user's folder that other programs and
// the desktop's settings also write: any text must read as an entry, and
// every entry Talvo writes must read back as Talvo's own, whatever its path.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/autostart.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const talvo::platform::AutostartEntry entry = talvo::platform::ParseAutostartEntry(text);
  if (entry.enabled && !entry.talvo) std::abort();

  const auto written = talvo::platform::AutostartEntryText("/" + std::string(text) + "/talvo");
  if (written && !talvo::platform::ParseAutostartEntry(*written).enabled) std::abort();
  return 0;
}
