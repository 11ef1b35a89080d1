#include "pages/profiles/program_rows.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <tuple>

#include "platform/ascii.h"
#include "profiles/program_links.h"

namespace talvo::pages::profiles {

using talvo::profiles::FormOf;
using talvo::profiles::LinkForm;

std::vector<toolkit::ProgramRow> ProgramRows(std::span<const platform::ForegroundAnswer> answers, std::string_view self) {
  std::vector<toolkit::ProgramRow> rows;
  for (const platform::ForegroundAnswer& answer : answers) {
    if (answer.status != platform::ForegroundStatus::Found || (!self.empty() && answer.path == self)) continue;
    std::string link = talvo::profiles::LinkFor(answer);
    if (FormOf(link) == LinkForm::None) continue;
    std::string name = answer.windowsProgram.empty() ? std::filesystem::path(answer.path).filename().string()
                                                     : answer.windowsProgram;
    rows.push_back({std::move(name), std::move(link)});
  }
  const auto key = [](const toolkit::ProgramRow& row) {
    return std::tuple(platform::AsciiLower(row.name), row.name, row.link);
  };
  std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
  // Several processes of one program (or of one Steam game) are one choice:
  // the first in name order stays.
  std::vector<toolkit::ProgramRow> merged;
  for (toolkit::ProgramRow& row : rows) {
    const bool seen = std::any_of(merged.begin(), merged.end(), [&](const toolkit::ProgramRow& kept) {
      return talvo::profiles::SameLink(kept.link, row.link);
    });
    if (!seen) merged.push_back(std::move(row));
  }
  return merged;
}

toolkit::ProgramLister WindowProgramLister(std::shared_ptr<platform::ForegroundProgram> source) {
  return [source = std::move(source)] {
    std::vector<platform::ForegroundAnswer> answers;
    std::set<int> asked;
    for (const int pid : source->WindowPids())
      if (pid > 0 && asked.insert(pid).second) answers.push_back(platform::ExecutableOfProcess(pid));
    return ProgramRows(answers, platform::ExecutableOfProcess(::getpid()).path);
  };
}

}  // namespace talvo::pages::profiles
