// The factory default files the program folder holds: the first profile of
// every kind a new user gets, and the four cursor-macro guns. They are built
// here from readable definitions instead of being shipped as opaque bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "profiles/live_data.h"

namespace talvo::factory {

// The live key maps and lighting records a new user starts with. Every
// default profile file is the body a save of this state writes.
profiles::LiveData FactoryLiveData();

inline constexpr std::size_t kCursorSlots = 4;

// "name_1.cur" .. "name_4.cur" for slot 0..3.
std::string CursorSlotFileName(std::size_t slot);

// Text of the factory cursor-macro file of slot 0..3, in the INI format of
// macro files; nothing for another slot or when the INI writer refuses a
// value.
std::optional<std::string> CursorSlotFileText(std::size_t slot);

// Writes all default files into `folder`, which must exist. Names each file
// it cannot write on stderr; true when all were written.
bool WriteFactoryFiles(const std::filesystem::path& folder);

}  // namespace talvo::factory
