// bench_macro_image: packing a device's macros into the image the device
// plays from — 50 macros of 180 steps, the action strings parsed on the way
// — and the same after reading them from their files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "macros/macro_action.h"
#include "macros/macro_image.h"

namespace {

using talvo::macros::MacroRecord;

constexpr int kMacros = 50;
constexpr int kSteps = 180;

std::vector<MacroRecord> FullList() {
  std::vector<MacroRecord> macros;
  for (int m = 0; m < kMacros; ++m) {
    MacroRecord macro{"name_" + std::to_string(m + 1), {}};
    for (int s = 0; s < kSteps; ++s) {
      const talvo::macros::MacroAction step{static_cast<uint16_t>(s * 7), static_cast<uint8_t>(s % 2 ? 0x8A : 0x0A),
                                            static_cast<uint8_t>(4 + s % 26), static_cast<uint16_t>(s % 2),
                                            "keyboard_key_A"};
      macro.steps.push_back(talvo::macros::FormatAction(step));
    }
    macros.push_back(std::move(macro));
  }
  return macros;
}

void BM_BuildImage(benchmark::State& state) {
  const std::vector<MacroRecord> macros = FullList();
  for (auto _ : state) benchmark::DoNotOptimize(talvo::macros::BuildMacroImage(macros));
}
BENCHMARK(BM_BuildImage)->Unit(benchmark::kMicrosecond);

void BM_ReadFilesAndBuildImage(benchmark::State& state) {
  std::random_device seed;
  const auto folder = std::filesystem::temp_directory_path() / ("talvo-bench-macros-" + std::to_string(seed()));
  std::filesystem::create_directories(folder);
  const std::vector<MacroRecord> macros = FullList();
  std::ofstream index(folder / "msMacro.ini", std::ios::binary);
  index << "[MACROCOUNT]\r\ncount=" << kMacros << "\r\n[MACRONAME]\r\n";
  for (int m = 0; m < kMacros; ++m) {
    index << m << "=" << macros[m].name << "\r\n";
    std::ofstream file(folder / (macros[m].name + ".mac"), std::ios::binary);
    file << "[MACROACTIONCOUNT]\r\ncount=" << kSteps << "\r\n[MACROACTION]\r\n";
    for (int s = 0; s < kSteps; ++s) file << s << "=" << macros[m].steps[s] << "\r\n";
  }
  index.close();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        talvo::macros::BuildMacroImage(talvo::macros::ReadAllMacros(talvo::device::Peripheral::Mouse, folder)));
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadFilesAndBuildImage)->Unit(benchmark::kMillisecond);

}  // namespace
