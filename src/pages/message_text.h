// Language texts that carry a number or a text. The text comes from a
// language file, so it is never used as a format: its one placeholder is
// replaced as text.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/toolkit.h"

namespace talvo::pages {

// `text` with its first "%d" (or "%i", "%u") replaced by `number` and "%%"
// read as "%"; any other "%" stays as it is.
std::string WithNumber(std::string_view text, long long number);

// `text` with its first "%s" replaced by `value` and "%%" read as "%".
std::string WithText(std::string_view text, std::string_view value);

// Shows text id `id` with its placeholder filled in.
void ShowNumberedMessage(toolkit::Window& window, std::string_view id, long long number);
void ShowMessageWithText(toolkit::Window& window, std::string_view id, std::string_view value);

}  // namespace talvo::pages
