// The rows the program chooser offers for linking a profile: the programs
// that have windows now, each as the link a user would make to it.
#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/foreground_program.h"
#include "toolkit/toolkit.h"

namespace talvo::pages::profiles {

// One row per program among the answers found, named by its Windows program
// or its executable's file name. Talvo's own executable (`self`) is left
// out, answers whose links name the same program become one row, and rows
// are sorted by name, case-insensitively.
std::vector<toolkit::ProgramRow> ProgramRows(std::span<const platform::ForegroundAnswer> answers, std::string_view self);

// Asks `source` for the processes with windows now and each one's
// executable. Waits on the display server as the source does: call it off
// the UI thread.
toolkit::ProgramLister WindowProgramLister(std::shared_ptr<platform::ForegroundProgram> source);

}  // namespace talvo::pages::profiles
