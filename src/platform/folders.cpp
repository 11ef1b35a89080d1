#include "platform/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "platform/debug.h"
#include "platform/files.h"

#ifndef TALVO_BUILD_SHARE_DIR
#error "TALVO_BUILD_SHARE_DIR must name the build tree's share/talvo folder"
#endif

namespace talvo::platform {

namespace {

constexpr size_t kMaxUserDirsBytes = 64 * 1024;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::filesystem::path HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  // Without HOME (some service environments) the password database knows it.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr) {
    return result->pw_dir;
  }
  return "/";
}

std::filesystem::path ConfigHome(const std::filesystem::path& home) {
  const std::filesystem::path configured = Environment("XDG_CONFIG_HOME");
  // Relative entries are invalid in XDG variables and are ignored.
  if (configured.is_absolute()) return configured;
  return home / ".config";
}

std::filesystem::path Created(std::filesystem::path folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) debug::Line("cannot create folder " + folder.string() + ": " + error.message());
  return folder;
}

// The value of one XDG_DOCUMENTS_DIR line, or nullopt when the line is
// something else or malformed.
std::optional<std::filesystem::path> ParseLine(std::string_view line, std::string_view home) {
  constexpr std::string_view kName = "XDG_DOCUMENTS_DIR";
  const auto skipBlanks = [&] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  skipBlanks();
  if (!line.starts_with(kName)) return std::nullopt;
  line.remove_prefix(kName.size());
  skipBlanks();
  if (!line.starts_with('=')) return std::nullopt;
  line.remove_prefix(1);
  skipBlanks();
  if (!line.starts_with('"')) return std::nullopt;
  line.remove_prefix(1);

  std::string path;
  if (line.starts_with("$HOME")) {
    line.remove_prefix(5);
    if (!line.starts_with('/') && !line.starts_with('"')) return std::nullopt;
    // An unknown home must not turn "$HOME/Documents" into "/Documents".
    if (!std::filesystem::path(home).is_absolute()) return std::nullopt;
    path = home;
  } else if (!line.starts_with('/')) {
    return std::nullopt;
  }
  bool closed = false;
  while (!line.empty()) {
    char c = line.front();
    line.remove_prefix(1);
    if (c == '"') {
      closed = true;
      break;
    }
    if (c == '\\') {
      if (line.empty()) return std::nullopt;
      c = line.front();
      line.remove_prefix(1);
    }
    path.push_back(c);
  }
  if (!closed || path.find('\0') != std::string::npos) return std::nullopt;
  std::filesystem::path result(path);
  if (!result.is_absolute()) return std::nullopt;
  return result;
}

}  // namespace

std::optional<std::filesystem::path> ParseUserDirsDocuments(std::string_view text, std::string_view home) {
  std::optional<std::filesystem::path> found;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (auto path = ParseLine(line, home)) found = std::move(path);
  }
  return found;
}

std::filesystem::path DocumentsFolder() {
  const std::filesystem::path home = HomeFolder();
  std::filesystem::path documents = home / "Documents";
  if (const auto bytes = ReadWholeFile(ConfigHome(home) / "user-dirs.dirs", kMaxUserDirsBytes)) {
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (auto configured = ParseUserDirsDocuments(text, home.string())) documents = std::move(*configured);
  }
  documents = documents.lexically_normal();
  // "$HOME/" names the home folder itself; drop the empty last element.
  if (!documents.has_filename() && documents.has_parent_path()) documents = documents.parent_path();
  return Created(documents);
}

std::filesystem::path DataFolder() { return Created(DocumentsFolder() / "Gaming MouseV1"); }

std::filesystem::path DataSubfolder(std::string_view name) { return Created(DataFolder() / std::string(name)); }

std::filesystem::path ProgramFolder() {
  const std::string configured = Environment("TALVO_PROGRAM_DIR");
  if (!configured.empty()) return configured;
  std::error_code error;
  const std::filesystem::path binary = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path installed = (binary.parent_path() / ".." / "share" / "talvo").lexically_normal();
    if (std::filesystem::is_directory(installed, error)) return installed;
  }
  return TALVO_BUILD_SHARE_DIR;
}

}  // namespace talvo::platform
