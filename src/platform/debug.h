// Diagnostic lines for developers: off unless TALVO_DEBUG=1 in the environment.
// There is no log file and no log level; each event is one line on stderr.
#pragma once

#include <string_view>

namespace talvo::debug {

// True when TALVO_DEBUG is exactly "1" (read once, at first use).
bool Enabled();

// Writes text and a newline to stderr as one write, so lines from different
// threads never interleave. Does nothing when debug output is off.
void Line(std::string_view text);

}  // namespace talvo::debug
