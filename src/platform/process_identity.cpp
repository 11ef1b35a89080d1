#include "platform/process_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/ascii.h"
#include "platform/foreground_replies.h"

namespace talvo::platform {
namespace {

constexpr size_t kMaxAppIdDigits = 10;

std::string_view Text(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> AppId(std::string_view value) {
  if (value.empty() || value.size() > kMaxAppIdDigits || !AllDigits(value)) return std::nullopt;
  if (value.find_first_not_of('0') == std::string_view::npos) return std::nullopt;
  return std::string(value);
}

// A /proc/PID folder held open, so every file read belongs to the same
// process even if its pid is handed out again meanwhile.
class ProcessFolder {
 public:
  explicit ProcessFolder(int pid) {
    if (!ValidPid(uint64_t(pid < 0 ? 0 : pid))) return;
    fd_ = open(("/proc/" + std::to_string(pid)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    owned_ = fd_ >= 0 && fstat(fd_, &info) == 0 && info.st_uid == getuid();
  }
  ~ProcessFolder() {
    if (fd_ >= 0) close(fd_);
  }
  ProcessFolder(const ProcessFolder&) = delete;
  ProcessFolder& operator=(const ProcessFolder&) = delete;

  // Only the user's own processes are read.
  bool Owned() const { return owned_; }

  // Up to cap bytes of the file; nothing when it cannot be read. `cut` tells
  // whether the file went on beyond the cap.
  std::optional<std::vector<uint8_t>> Read(const char* name, size_t cap, bool& cut) const {
    cut = false;
    if (!owned_) return std::nullopt;
    const int file = openat(fd_, name, O_RDONLY | O_CLOEXEC);
    if (file < 0) return std::nullopt;
    std::vector<uint8_t> bytes(cap + 1);
    size_t size = 0;
    while (size < bytes.size()) {
      const ssize_t got = read(file, bytes.data() + size, bytes.size() - size);
      if (got < 0) {
        close(file);
        return std::nullopt;
      }
      if (got == 0) break;
      size += size_t(got);
    }
    close(file);
    cut = size > cap;
    bytes.resize(std::min(size, cap));
    return bytes;
  }

 private:
  int fd_ = -1;
  bool owned_ = false;
};

}  // namespace

bool IsWineLoader(std::string_view executable) {
  const size_t slash = executable.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? executable : executable.substr(slash + 1);
  constexpr std::array<std::string_view, 4> kLoaders{"wine", "wine64", "wine-preloader", "wine64-preloader"};
  return std::find(kLoaders.begin(), kLoaders.end(), name) != kLoaders.end();
}

std::optional<std::string> WindowsProgramFromCommandLine(std::span<const uint8_t> commandLine) {
  std::string_view argv0 = Text(commandLine);
  argv0 = argv0.substr(0, argv0.find('\0'));
  const size_t separator = argv0.find_last_of("\\/");
  const std::string_view name = separator == std::string_view::npos ? argv0 : argv0.substr(separator + 1);
  constexpr std::string_view kExe = ".exe";
  if (name.size() <= kExe.size() || !EqualsIgnoreCase(name.substr(name.size() - kExe.size()), kExe)) {
    return std::nullopt;
  }
  return std::string(name);
}

std::optional<std::string> SteamAppFromEnvironment(std::span<const uint8_t> environment) {
  std::optional<std::string> app, game;
  std::string_view rest = Text(environment);
  // An entry without its closing NUL was cut short by the read's cap.
  for (size_t end; (end = rest.find('\0')) != std::string_view::npos; rest.remove_prefix(end + 1)) {
    const std::string_view entry = rest.substr(0, end);
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = entry.substr(0, equals);
    if (name == "SteamAppId" && !app) app = AppId(entry.substr(equals + 1));
    if (name == "SteamGameId" && !game) game = AppId(entry.substr(equals + 1));
  }
  return app ? app : game;
}

std::optional<int> ParentFromStatus(std::span<const uint8_t> status) {
  constexpr std::string_view kKey = "PPid:";
  std::string_view rest = Text(status);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.substr(0, kKey.size()) != kKey) continue;
    line.remove_prefix(kKey.size());
    while (!line.empty() && (line.front() == '\t' || line.front() == ' ')) line.remove_prefix(1);
    // Seven digits cover every pid; more would overflow the sum below.
    if (line.empty() || line.size() > 7 || !AllDigits(line)) return std::nullopt;
    uint64_t value = 0;
    for (char c : line) value = value * 10 + uint64_t(c - '0');
    return ValidPid(value);
  }
  return std::nullopt;
}

std::string WindowsProgramOfProcess(int pid, std::string_view executable) {
  if (!IsWineLoader(executable)) return {};
  const ProcessFolder folder(pid);
  bool cut = false;
  const auto commandLine = folder.Read("cmdline", kMaxCommandLineBytes, cut);
  if (!commandLine) return {};
  // argv[0] must end within what was read.
  if (cut && std::find(commandLine->begin(), commandLine->end(), 0) == commandLine->end()) return {};
  return WindowsProgramFromCommandLine(*commandLine).value_or(std::string());
}

std::string SteamAppOfProcess(int pid) {
  for (int level = 0; level <= kMaxSteamParents; ++level) {
    const ProcessFolder folder(pid);
    if (!folder.Owned()) return {};
    bool cut = false;
    if (const auto environment = folder.Read("environ", kMaxEnvironmentBytes, cut)) {
      if (auto app = SteamAppFromEnvironment(*environment)) return std::move(*app);
    }
    const auto status = folder.Read("status", kMaxStatusBytes, cut);
    const auto parent = status ? ParentFromStatus(*status) : std::nullopt;
    // Pid 1 is the session's or the system's init, never a game's launcher.
    if (!parent || *parent <= 1 || *parent == pid) return {};
    pid = *parent;
  }
  return {};
}

}  // namespace talvo::platform
