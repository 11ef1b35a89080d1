// Cost of listing the programs the link chooser offers with 50 windows open:
// each process's executable read from /proc and the rows built, as the
// chooser's worker does once the desktop has named the processes.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "pages/profiles/program_rows.h"

namespace {

using namespace talvo;

// A desktop whose windows belong to these processes.
class Windows final : public platform::ForegroundProgram {
 public:
  explicit Windows(std::vector<int> pids) : pids_(std::move(pids)) {}
  std::string_view Name() const override { return "bench"; }
  platform::ForegroundAvailability Availability() const override { return platform::ForegroundAvailability::Available; }
  platform::ForegroundAnswer Current() override { return {}; }
  std::vector<int> WindowPids() override { return pids_; }

 private:
  std::vector<int> pids_;
};

void BM_ListFiftyWindowPrograms(benchmark::State& state) {
  std::vector<int> pids;
  char sleep[] = "sleep", seconds[] = "60";
  char* argv[] = {sleep, seconds, nullptr};
  for (int n = 0; n < 50; ++n) {
    pid_t pid = -1;
    if (posix_spawnp(&pid, "sleep", nullptr, nullptr, argv, environ) != 0) std::abort();
    pids.push_back(pid);
  }
  const toolkit::ProgramLister list = pages::profiles::WindowProgramLister(std::make_shared<Windows>(pids));
  for (auto _ : state) benchmark::DoNotOptimize(list());
  for (const int pid : pids) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}
BENCHMARK(BM_ListFiftyWindowPrograms)->Unit(benchmark::kMicrosecond);

}  // namespace
