// user-dirs.dirs is a shell fragment anyone may have edited; whatever it
// holds, parsing stays in bounds and yields only an absolute path without NUL
// bytes. Byte 0 gives the length (mod 64) of the home folder that follows;
// the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/folders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t homeLength = input.empty() ? 0 : static_cast<uint8_t>(input[0]) % 64u;
  if (!input.empty()) input.remove_prefix(1);
  const std::string_view home = input.substr(0, homeLength);
  input.remove_prefix(home.size());
  const auto documents = talvo::platform::ParseUserDirsDocuments(input, home);
  if (documents) {
    const std::string& path = documents->native();
    if (!documents->is_absolute() || path.find('\0') != std::string::npos) std::abort();
    if (input.find("XDG_DOCUMENTS_DIR") == std::string_view::npos) std::abort();
  }
  return 0;
}
