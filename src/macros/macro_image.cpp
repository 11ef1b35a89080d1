#include "macros/macro_image.h"

#include <algorithm>

#include "macros/macro_action.h"

namespace talvo::macros {

namespace {

void Put16(std::vector<uint8_t>& image, size_t at, size_t value) {
  image[at] = static_cast<uint8_t>(value & 0xFF);
  image[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

std::optional<size_t> MacroImageLength(std::span<const MacroRecord> macros) {
  // Each term is checked against the limit before it is added, so the sum
  // cannot wrap whatever the counts.
  if (macros.size() > kMaxMacroImageLength) return std::nullopt;
  size_t total = kMacroImageHeaderSize + macros.size() * (2 + kMacroBlockHeaderSize);
  for (const MacroRecord& macro : macros) {
    if (macro.steps.size() > kMaxMacroImageLength) return std::nullopt;
    total += macro.steps.size() * kMacroStepSize;
    if (total > kMaxMacroImageLength) return std::nullopt;
  }
  if (total > kMaxMacroImageLength) return std::nullopt;
  return total;
}

std::vector<uint8_t> BuildMacroImage(std::span<const MacroRecord> macros) {
  const std::optional<size_t> total = macros.empty() ? std::nullopt : MacroImageLength(macros);
  if (!total) return {};
  std::vector<uint8_t> image(*total, 0);
  Put16(image, 0, kMacroImageMagic);
  Put16(image, 2, *total);
  Put16(image, 4, macros.size());
  size_t block = kMacroImageHeaderSize + 2 * macros.size();
  for (size_t i = 0; i < macros.size(); ++i) {
    Put16(image, kMacroImageHeaderSize + 2 * i, block);
    Put16(image, block, macros[i].steps.size());
    size_t at = block + kMacroBlockHeaderSize;
    for (const std::string& text : macros[i].steps) {
      if (const std::optional<MacroAction> step = ParseAction(text)) {
        Put16(image, at, step->delay);
        image[at + 2] = step->event;
        image[at + 3] = step->value;
      }
      at += kMacroStepSize;
    }
    block = at;
  }
  return image;
}

MacroImagePlan PlanMacroImage(std::span<const MacroRecord> macros, const device::DeviceInfo& info) {
  MacroImagePlan plan;
  if (macros.empty()) return plan;
  const size_t capacity = info.MacroMemoryBytes();
  // Worked out in 64 bits from counts already bounded by the files, so a
  // length beyond the 16-bit field still yields the number of steps over.
  uint64_t total = kMacroImageHeaderSize + uint64_t{macros.size()} * (2 + kMacroBlockHeaderSize);
  for (const MacroRecord& macro : macros) total += uint64_t{macro.steps.size()} * kMacroStepSize;
  if (total > capacity || total > kMaxMacroImageLength) {
    plan.status = MacroImagePlan::kTooLarge;
    plan.stepsOver = static_cast<size_t>((total - std::min<uint64_t>(capacity, kMaxMacroImageLength)) / 4 + 1);
    return plan;
  }
  plan.status = MacroImagePlan::kReady;
  plan.image = BuildMacroImage(macros);
  return plan;
}

std::vector<MacroRecord> ReadAllMacros(device::Peripheral peripheral, const std::filesystem::path& folder) {
  std::vector<MacroRecord> macros;
  for (std::string& name : ReadMacroNames(peripheral, folder)) {
    std::vector<std::string> steps = ReadMacro(folder, name);
    macros.push_back({std::move(name), std::move(steps)});
  }
  return macros;
}

}  // namespace talvo::macros
