// Number edits that show the value they stand for: the text is read as its
// leading number (no number reads as the edit's minimum), held within the
// edit's limits, and written back whenever it says anything else, so an edit
// never shows one thing while another is stored.
#pragma once

#include "toolkit/toolkit.h"

namespace talvo::pages {

// The edit's value within min..max; min for a missing edit.
long long ShownNumber(toolkit::Control* edit, long long min, long long max);

}  // namespace talvo::pages
