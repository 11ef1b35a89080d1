#include "platform/system_settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/ini_file.h"

namespace talvo::platform {

namespace {

constexpr std::string_view kSection = "Gaming Mouse";

std::filesystem::path SettingsFile(const std::filesystem::path& configFolder) {
  return configFolder / "talvo" / "system.ini";
}

// Absolute entries of a colon-separated XDG list; relative ones are invalid
// there and ignored.
std::vector<std::filesystem::path> SplitFolders(std::string_view list) {
  std::vector<std::filesystem::path> folders;
  while (true) {
    const size_t colon = list.find(':');
    const std::filesystem::path entry(list.substr(0, colon));
    if (entry.is_absolute()) folders.push_back(entry);
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return folders;
}

std::vector<std::filesystem::path> SystemConfigFolders() {
  const char* configured = std::getenv("XDG_CONFIG_DIRS");
  auto folders = SplitFolders(configured != nullptr ? configured : "");
  if (folders.empty()) folders.push_back("/etc/xdg");
  return folders;
}

std::optional<std::filesystem::path> UserConfigFolder() {
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  if (configured != nullptr && std::filesystem::path(configured).is_absolute()) return configured;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::filesystem::path(home) / ".config";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ReadSystemSetting(std::string_view name) {
  std::vector<std::filesystem::path> folders;
  if (auto user = UserConfigFolder()) folders.push_back(std::move(*user));
  for (auto& folder : SystemConfigFolders()) folders.push_back(std::move(folder));
  for (const auto& folder : folders) {
    const auto bytes = ReadWholeFile(SettingsFile(folder), kIniMaxFileBytes + 1);
    if (!bytes || bytes->size() > kIniMaxFileBytes) continue;
    if (auto value = IniDocument::Parse(*bytes).Get(kSection, name)) {
      return std::string(CutToCodePoints(*value, kIniReadBufferChars - 1));
    }
  }
  return std::nullopt;
}

bool WriteSystemSetting(std::string_view name, std::string_view value) {
  if (!IniDocument().Set(kSection, name, value)) return false;
  const auto folder = UserConfigFolder();
  if (!folder) return false;
  const std::filesystem::path file = SettingsFile(*folder);
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  return !error && WriteIniString(file, kSection, name, value);
}

}  // namespace talvo::platform
