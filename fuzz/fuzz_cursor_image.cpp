// The cursor image the mouse sends back: any bytes are either refused or
// decoded within the slot and step limits, the decoded steps build an image
// that decodes to the same steps, and the slot files rewritten from it hold
// exactly those steps.
//
// Input: the bytes as read from the mouse's cursor memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "macros/cursor_macros.h"
#include "macros/macro_files.h"
#include "macros/macro_image.h"
#include "platform/ini_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::filesystem::path FolderPath() {
  return std::filesystem::temp_directory_path() / ("talvo-fuzz-cursor-" + std::to_string(::getpid()));
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(FolderPath(), ignored);
}

// One private folder for the whole run, removed at exit; each input
// rewrites the slots in it.
const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::create_directories(FolderPath());
    std::atexit(RemoveFolder);
    return FolderPath();
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvo::macros;
  const std::span<const uint8_t> bytes(data, size);
  const auto slots = DecodeCursorImage(bytes);
  if (!slots) {
    Check(RewriteSlotsFromImage(Folder(), bytes) == 0);
    return 0;
  }
  Check(slots->size() <= size_t(kCursorSlots));
  std::vector<MacroRecord> records;
  for (const auto& steps : *slots) {
    Check(steps.size() <= kMaxCursorSteps);
    records.push_back({"slot", steps});
  }
  if (!records.empty()) Check(DecodeCursorImage(BuildMacroImage(records)) == slots);

  Check(RewriteSlotsFromImage(Folder(), bytes) == int(slots->size()));
  for (int slot = 0; slot < int(slots->size()); ++slot) {
    const auto file = talvo::platform::IniLookup::FromFile(*CursorSlotPath(Folder(), slot));
    Check(MacroSteps(file) == (*slots)[size_t(slot)]);
  }
  return 0;
}
