#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/peripheral.h"
#include "platform/files.h"
#include "profiles/profile_data_file.h"
#include "profiles/profile_index.h"
#include "profiles/profile_store.h"
#include "tools/factory_files/factory_files.h"

namespace talvo::factory {
namespace {

void ReportFailure(const std::filesystem::path& file) {
  std::fprintf(stderr, "talvo-factory-files: cannot write %s\n", file.c_str());
}

}  // namespace

bool WriteFactoryFiles(const std::filesystem::path& folder) {
  bool ok = true;
  profiles::LiveData live = FactoryLiveData();
  // One default file per profile kind of each device, under the name and
  // with the body size and device code the profile table gives it.
  for (const profiles::ProfileCombo& combo : profiles::kProfileCombos) {
    const std::vector<uint8_t> body = profiles::BuildBody(live, combo.peripheral, combo.kind);
    const auto file = folder / combo.defaultFile;
    if (body.size() != combo.bodySize ||
        !profiles::WriteProfileFile(file, body, device::DeviceCode(combo.peripheral))) {
      ReportFailure(file);
      ok = false;
    }
  }
  for (size_t slot = 0; slot < kCursorSlots; ++slot) {
    const auto file = folder / CursorSlotFileName(slot);
    const std::optional<std::string> text = CursorSlotFileText(slot);
    if (!text || !platform::WriteFileAtomically(
                     file, std::span(reinterpret_cast<const uint8_t*>(text->data()), text->size()))) {
      ReportFailure(file);
      ok = false;
    }
  }
  return ok;
}

}  // namespace talvo::factory
