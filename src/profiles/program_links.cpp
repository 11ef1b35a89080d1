#include "profiles/program_links.h"

#include <algorithm>
#include <filesystem>

#include "platform/ascii.h"

namespace talvo::profiles {
namespace {

constexpr std::string_view kSteamPrefix = "steam:";
// Steam app ids are 32-bit numbers.
constexpr size_t kMaxAppIdDigits = 10;

// An app id as Steam hands it to a game; "0" stands for none.
bool AppId(std::string_view text) {
  return !text.empty() && text.size() <= kMaxAppIdDigits &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         text.find_first_not_of('0') != std::string_view::npos;
}

// The name after a Windows path's last backslash.
std::string_view WindowsName(std::string_view link) {
  const size_t slash = link.find_last_of('\\');
  return slash == std::string_view::npos ? link : link.substr(slash + 1);
}

}  // namespace

LinkForm FormOf(std::string_view link) {
  if (link.empty()) return LinkForm::None;
  if (link.front() == '/') return LinkForm::Path;
  if (link.substr(0, kSteamPrefix.size()) == kSteamPrefix) {
    return AppId(link.substr(kSteamPrefix.size())) ? LinkForm::SteamApp : LinkForm::None;
  }
  const std::string_view name = WindowsName(link);
  constexpr std::string_view kExe = ".exe";
  if (name.size() > kExe.size() && name.find('/') == std::string_view::npos &&
      platform::EqualsIgnoreCase(name.substr(name.size() - kExe.size()), kExe)) {
    return LinkForm::WindowsProgram;
  }
  return LinkForm::None;
}

std::string LinkFor(const platform::ForegroundAnswer& program) {
  if (!program.steamApp.empty()) return std::string(kSteamPrefix) + program.steamApp;
  if (!program.windowsProgram.empty()) return program.windowsProgram;
  return program.path;
}

std::string LinkFieldText(std::string_view link) {
  switch (FormOf(link)) {
    case LinkForm::Path: return std::filesystem::path(link).filename().string();
    case LinkForm::WindowsProgram: return std::string(WindowsName(link));
    case LinkForm::SteamApp:
    case LinkForm::None: break;
  }
  return std::string(link);
}

bool SameLink(std::string_view a, std::string_view b) {
  const LinkForm form = FormOf(a);
  if (form != FormOf(b)) return false;
  switch (form) {
    case LinkForm::Path: return a == b;
    case LinkForm::WindowsProgram: return platform::EqualsIgnoreCase(WindowsName(a), WindowsName(b));
    case LinkForm::SteamApp: return platform::EqualsIgnoreCase(a, b);
    case LinkForm::None: break;
  }
  return false;
}

bool LinkNames(std::string_view link, std::string_view resolved, const platform::ForegroundAnswer& program) {
  if (program.status != platform::ForegroundStatus::Found) return false;
  switch (FormOf(link)) {
    case LinkForm::Path:
      return !program.path.empty() && (link == program.path || (!resolved.empty() && resolved == program.path));
    case LinkForm::WindowsProgram:
      return !program.windowsProgram.empty() && platform::EqualsIgnoreCase(WindowsName(link), program.windowsProgram);
    case LinkForm::SteamApp:
      return !program.steamApp.empty() && link.substr(kSteamPrefix.size()) == program.steamApp;
    case LinkForm::None: break;
  }
  return false;
}

}  // namespace talvo::profiles
