#include "platform/autostart.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <system_error>

#include "platform/files.h"
#include "platform/utf8.h"

namespace talvo::platform {

namespace {

// A real entry is a few hundred bytes; anything past this is not Talvo's.
constexpr size_t kMaxEntryBytes = 64 * 1024;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool IsUtf8(std::string_view text) {
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

// A string value with the escapes \s \n \t \r \\ undone; any other backslash
// stays, for the Exec quoting to read.
std::string Unescaped(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[i + 1]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: out += '\\'; continue;
    }
    ++i;
  }
  return out;
}

// The program an Exec value starts: its first argument, unquoted, with "%%"
// read as "%"; nullopt when its quote is not closed.
std::optional<std::string> ExecProgram(std::string_view exec) {
  std::string program;
  if (exec.starts_with('"')) {
    size_t i = 1;
    for (; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      program += exec[i];
    }
    if (i == exec.size()) return std::nullopt;
  } else {
    program = exec.substr(0, exec.find_first_of(" \t"));
  }
  std::string out;
  for (size_t i = 0; i < program.size(); ++i) {
    out += program[i];
    if (program[i] == '%' && i + 1 < program.size() && program[i + 1] == '%') ++i;
  }
  return out;
}

// The program quoted as one Exec argument, then escaped as a string value.
std::string ExecArgument(std::string_view program) {
  std::string quoted = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (const char c : quoted) {
    switch (c) {
      case '%': value += "%%"; break;
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\t': value += "\\t"; break;
      case '\r': value += "\\r"; break;
      default: value += c; break;
    }
  }
  return value;
}

AutostartEntry ReadEntryFile(const std::filesystem::path& file) {
  const auto bytes = ReadWholeFile(file, kMaxEntryBytes + 1);
  if (!bytes || bytes->size() > kMaxEntryBytes) return {};
  return ParseAutostartEntry(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

}  // namespace

std::optional<std::filesystem::path> AutostartEntryPath() {
  std::filesystem::path config;
  const char* configured = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  // Relative entries are invalid in XDG variables and are ignored.
  if (configured != nullptr && std::filesystem::path(configured).is_absolute()) {
    config = configured;
  } else if (home != nullptr && *home != '\0') {
    config = std::filesystem::path(home) / ".config";
  } else {
    return std::nullopt;
  }
  return config / "autostart" / "talvo.desktop";
}

bool StartsAtLogin() {
  const auto file = AutostartEntryPath();
  return file && ReadEntryFile(*file).enabled;
}

bool EnableStartAtLogin(const std::filesystem::path& program) {
  const auto text = AutostartEntryText(program);
  if (!text) {
    errno = EINVAL;
    return false;
  }
  const auto file = AutostartEntryPath();
  if (!file) {
    errno = ENOENT;
    return false;
  }
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(*file, error)) && !ReadEntryFile(*file).talvo) {
    errno = EEXIST;
    return false;
  }
  std::filesystem::create_directories(file->parent_path(), error);
  if (error) {
    errno = error.value();
    return false;
  }
  return WriteFileAtomically(*file, std::span(reinterpret_cast<const uint8_t*>(text->data()), text->size()));
}

bool DisableStartAtLogin() {
  const auto file = AutostartEntryPath();
  if (!file || !ReadEntryFile(*file).talvo) return true;
  std::error_code error;
  std::filesystem::remove(*file, error);
  if (error) {
    errno = error.value();
    return false;
  }
  return true;
}

std::optional<std::string> AutostartEntryText(const std::filesystem::path& program) {
  const std::string path = program.string();
  if (!program.is_absolute() || !IsUtf8(path) || path.find('\0') != std::string::npos) return std::nullopt;
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Talvo\n"
         "Comment=Keeps the gaming peripheral settings and application profiles active in the system tray\n"
         "Comment[zh_CN]=在系统托盘中保持游戏外设设置与程序关联配置\n"
         "Exec=" + ExecArgument(path) + " --hidden\n"
         "Icon=talvo\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

AutostartEntry ParseAutostartEntry(std::string_view text) {
  bool inEntry = false;
  std::optional<std::string_view> exec;
  bool off = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.starts_with('#')) continue;
    if (line.starts_with('[')) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    const size_t equals = line.find('=');
    if (!inEntry || equals == std::string_view::npos) continue;
    const std::string_view key = Trimmed(line.substr(0, equals));
    const std::string_view value = Trimmed(line.substr(equals + 1));
    if (key == "Exec" && !exec) exec = value;
    if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) off = true;
  }
  AutostartEntry entry;
  if (exec) {
    const auto program = ExecProgram(Unescaped(*exec));
    if (program) {
      const size_t slash = program->rfind('/');
      entry.talvo = program->substr(slash == std::string::npos ? 0 : slash + 1) == "talvo";
    }
  }
  entry.enabled = entry.talvo && !off;
  return entry;
}

}  // namespace talvo::platform
