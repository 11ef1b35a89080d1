// Profile data files come from the user's folders, from imports and from
// other installations. Parsing any bytes must stay inside the caller's body
// buffer (sized exactly, so ASan sees a single byte past it), accept exactly
// the files that start with the magic, and copy the body verbatim; loading the
// parsed body into the live records must stay in bounds too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "profiles/profile_data_file.h"
#include "profiles/profile_store.h"

namespace {

using talvo::profiles::kHeaderSize;

constexpr uint8_t kPrepared = 0xEE;

void Check(std::span<const uint8_t> file, const talvo::profiles::ProfileCombo& combo,
           talvo::profiles::LiveData& live) {
  std::vector<uint8_t> body(combo.bodySize, kPrepared);
  const int result = talvo::profiles::ParseProfileFile(file, body);
  const bool magic = file.size() >= 2 && file[0] == 0xAA && file[1] == 0x55;
  if (result != (magic ? talvo::profiles::kReadOk : talvo::profiles::kReadBadFormat)) std::abort();
  const size_t present = file.size() > kHeaderSize ? file.size() - kHeaderSize : 0;
  for (size_t i = 0; i < body.size(); ++i) {
    const uint8_t expected = magic && i < present ? file[kHeaderSize + i] : kPrepared;
    if (body[i] != expected) std::abort();
  }
  if (result == talvo::profiles::kReadOk &&
      !talvo::profiles::ApplyBody(live, combo.peripheral, combo.kind, body)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  talvo::profiles::LiveData live;
  for (const auto& combo : talvo::profiles::kProfileCombos) Check(file, combo, live);
  return 0;
}
