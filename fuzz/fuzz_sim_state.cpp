// The simulated devices' state files come from a folder named in the
// environment, which anything may have written. Decoding any bytes must stay
// inside them; a file is refused with a reason or accepted whole, and an
// accepted one holds every area at the length its device has, so that it
// encodes back to exactly the same bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "sim/sim_state_file.h"

namespace {

using namespace talvo::sim;

constexpr std::array<const char*, kStateAreaCount> kKeptAreas = {"info",        "settings", "keymaps",
                                                                 "default_map", "macro",    "cursor"};

void Check(DeviceKind kind, std::span<const uint8_t> file) {
  const DecodedState state = DecodeStateFile(kind, file);
  if (state.areas.has_value() == !state.refusal.empty()) std::abort();
  if (!state.areas) return;
  const StateAreas& areas = *state.areas;
  const SimDevice factory(kind);
  for (size_t a = 0; a < kStateAreaCount; ++a) {
    const bool macro = std::string_view(kKeptAreas[a]) == "macro";
    const size_t expected = macro ? size_t{areas[0][info::kMacroCapacity]} * kMacroUnit
                                  : factory.Memory(kKeptAreas[a]).size();
    if (areas[a].size() != expected) std::abort();
  }
  const std::vector<uint8_t> encoded = EncodeStateFile(kind, areas);
  if (!std::equal(encoded.begin(), encoded.end(), file.begin(), file.end())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  for (DeviceKind kind : kAllDeviceKinds) Check(kind, file);
  return 0;
}
