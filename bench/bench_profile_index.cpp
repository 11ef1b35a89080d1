// Cost of listing a large profile index at start-up: a mouse index of 10,000
// device profiles in about 4 MB, read the way the profile lists are filled
// (PopulateProfileLists → ProfileIndex::CompactNames), and for comparison an
// index of the usual size (three profiles).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "profiles/profile_index.h"

namespace {

using namespace talvo;

// Fresh folders with a mouse index of `count` device profiles; a large one
// has 4 MB of other entries before the names, as a hand-edited or hostile
// file might.
class IndexFolders {
 public:
  explicit IndexFolders(int count) {
    std::string pattern = (std::filesystem::temp_directory_path() / "talvo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    const profiles::ProfileIndex index(*profiles::FindCombo(device::Peripheral::Mouse, profiles::ProfileKind::Device));
    std::ofstream out(index.File(), std::ios::binary);
    out << "[PROFILEDEVICECOUNT]\ncount=" << count << "\n[PROFILEDEVICENAME]\n";
    if (count > 100)
      for (int n = 0; n < 420000; ++n) out << 'x' << n << "=v\n";
    for (int n = 0; n < count; ++n) out << n << "=p" << n << "\n";
  }
  ~IndexFolders() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::filesystem::path root_;
};

void ListIndex(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  IndexFolders folders(count);
  const profiles::ProfileIndex index(*profiles::FindCombo(device::Peripheral::Mouse, profiles::ProfileKind::Device));
  for (auto _ : state) {
    const auto names = index.CompactNames();
    if (names.size() != static_cast<size_t>(count)) state.SkipWithError("wrong number of names");
    benchmark::DoNotOptimize(names.data());
  }
}
BENCHMARK(ListIndex)->Arg(3)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
