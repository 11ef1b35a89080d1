// Arguments other programs send a running Talvo (over the session bus) and
// the SDK server's address from main.ini: read as colours, device and
// profile kind names, loopback addresses. None may read outside the text,
// and a colour read back must print as the digits it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pages/remote/page_actions.h"
#include "platform/ascii.h"
#include "profiles/main_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto colour = talvo::pages::remote::ParseHexColour(text)) {
    const std::string_view digits = text.starts_with('#') ? text.substr(1) : text;
    if (!talvo::platform::EqualsIgnoreCase(talvo::pages::remote::HexColour(*colour), digits)) std::abort();
  }
  (void)talvo::pages::remote::PeripheralOfName(text);
  (void)talvo::pages::remote::KindOfName(text);
  (void)talvo::profiles::IsLoopbackAddress(text);
  return 0;
}
