#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/ascii.h"
#include "platform/utf8.h"

namespace talvo::platform {

namespace {

constexpr size_t kMaxCopyBytes = 64 * 1024 * 1024;

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

// Makes a completed rename or link survive a crash of the machine.
void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Renames without replacing an existing target.
bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: link() refuses an existing target
  // just as atomically.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

constexpr std::string_view kTempSuffix = ".tmp";

// A new file beside the target, with the permissions of the regular file it
// will replace, or the usual ones (the umask applies) when there is none; a
// symlink in the target's place is looked at, not followed. Either way the
// owner keeps reading and writing it. Its name is "." + the target's name +
// "." + our process id + "." + a counter + ".tmp": hidden, never listed by
// extension, and traceable to the process that made it.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& tempPath) {
  static std::atomic<unsigned> counter{0};
  struct stat existing {};
  const bool hasMode = ::lstat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  const std::filesystem::path folder = target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    // A shortened name keeps the temporary name within the name length limit.
    tempPath = folder / ("." + target.filename().string().substr(0, 64) + "." + std::to_string(::getpid()) + "." +
                         std::to_string(counter.fetch_add(1)) + std::string(kTempSuffix));
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat created {};
      mode_t mode = hasMode ? existing.st_mode : (::fstat(fd, &created) == 0 ? created.st_mode : 0600);
      mode = (mode & 0777) | S_IRUSR | S_IWUSR;
      ::fchmod(fd, mode);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// The process id in a temporary file name of ours, or 0 when the name is
// not one.
pid_t TemporaryFileOwner(std::string_view name) {
  if (!name.starts_with('.') || !name.ends_with(kTempSuffix)) return 0;
  name.remove_suffix(kTempSuffix.size());
  const size_t counterDot = name.rfind('.');
  if (counterDot == std::string_view::npos || counterDot == 0) return 0;
  const std::string_view counter = name.substr(counterDot + 1);
  name = name.substr(0, counterDot);
  const size_t pidDot = name.rfind('.');
  if (pidDot == std::string_view::npos || pidDot == 0) return 0;
  const std::string_view pidText = name.substr(pidDot + 1);
  const auto digits = [](std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(counter) || !digits(pidText)) return 0;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
  return error == std::errc() && end == pidText.data() + pidText.size() ? pid : 0;
}

// When the process with this id started, in seconds since the epoch; nullopt
// when that cannot be read.
std::optional<time_t> ProcessStartTime(pid_t pid) {
  const auto process = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", 4096);
  const auto system = ReadWholeFile("/proc/stat", 1 << 20);
  if (!process || !system) return std::nullopt;
  // Field 22 is the start in clock ticks after boot. Fields are counted
  // after the command name, which may itself hold spaces and ')'.
  const std::string text(process->begin(), process->end());
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(close + 1));
  std::string skipped;
  for (int field = 3; field < 22; ++field) fields >> skipped;
  unsigned long long ticks = 0;
  if (!(fields >> ticks)) return std::nullopt;
  std::istringstream words(std::string(system->begin(), system->end()));
  long long boot = -1;
  for (std::string word; words >> word;) {
    if (word == "btime") {
      words >> boot;
      break;
    }
  }
  const long hz = ::sysconf(_SC_CLK_TCK);
  if (boot < 0 || hz <= 0) return std::nullopt;
  return static_cast<time_t>(boot + static_cast<long long>(ticks / static_cast<unsigned long long>(hz)));
}

bool IsLeftOver(pid_t pid, time_t modified) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
  // A live process of that number that started well after the file was
  // last written cannot be the one writing it (seconds-coarse clocks).
  constexpr time_t kMarginSeconds = 2;
  const auto started = ProcessStartTime(pid);
  return started && modified + kMarginSeconds < *started;
}

// Whether a failed save is worth telling: once per folder and kind of
// failure (errno), and again only after a save into that folder succeeded.
class SaveFailureNotices {
 public:
  bool Failed(const std::filesystem::path& folder, int error) { return told_[folder].insert(error).second; }
  void Succeeded(const std::filesystem::path& folder) { told_.erase(folder); }

 private:
  std::map<std::filesystem::path, std::set<int>> told_;
};

struct SaveFailureTelling {
  std::mutex mutex;
  std::filesystem::path root;
  SaveFailureHandler handler;
  SaveFailureNotices notices;
};

SaveFailureTelling& Telling() {
  static SaveFailureTelling telling;
  return telling;
}

bool IsWithin(const std::filesystem::path& folder, const std::filesystem::path& root) {
  if (root.empty()) return false;
  auto f = folder.begin();
  for (const auto& part : root) {
    if (part.empty()) continue;  // a trailing separator
    if (f == folder.end() || *f != part) return false;
    ++f;
  }
  return true;
}

bool WriteBesideUntold(const std::filesystem::path& file, std::span<const uint8_t> bytes, bool replace) {
  if (file.filename().empty()) {
    errno = EINVAL;
    return false;
  }
  std::filesystem::path tempPath;
  const int fd = CreateTemporaryBeside(file, tempPath);
  if (fd < 0) return false;
  bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written) {
    const bool placed = replace ? ::rename(tempPath.c_str(), file.c_str()) == 0 : RenameNoReplace(tempPath, file);
    if (placed) {
      SyncFolder(file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path());
      return true;
    }
    error = errno;
  }
  ::unlink(tempPath.c_str());
  errno = error;
  return false;
}

bool WriteBeside(const std::filesystem::path& file, std::span<const uint8_t> bytes, bool replace) {
  const bool ok = WriteBesideUntold(file, bytes, replace);
  const int error = errno;
  // A refused copy onto an existing file is the caller's answer, not a fault.
  if (ok || replace || error != EEXIST) NoteSaveResult(file.parent_path(), ok, error);
  errno = error;
  return ok;
}

bool EndsWithFolded(std::string_view text, std::string_view suffix) {
  return suffix.size() <= text.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& file, std::span<const uint8_t> bytes) {
  return WriteBeside(file, bytes, true);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& file, size_t maxBytes) {
  // O_NONBLOCK so that a FIFO in place of the file cannot block the open.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes;
  // The size is only a hint: the file may change while it is read.
  bytes.reserve(std::min(static_cast<size_t>(std::max<off_t>(info.st_size, 0)), maxBytes));
  uint8_t chunk[65536];
  while (bytes.size() < maxBytes) {
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, maxBytes - bytes.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  ::close(fd);
  return bytes;
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    const pid_t pid = TemporaryFileOwner(name);
    struct stat info {};
    if (pid <= 0 || ::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (IsLeftOver(pid, info.st_mtime) && ::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

void SetSaveFailureHandler(const std::filesystem::path& root, SaveFailureHandler handler) {
  SaveFailureTelling& telling = Telling();
  const std::lock_guard lock(telling.mutex);
  telling.root = root.lexically_normal();
  telling.handler = std::move(handler);
}

void NoteSaveResult(const std::filesystem::path& folder, bool ok, int error) {
  SaveFailureTelling& telling = Telling();
  SaveFailureHandler handler;
  {
    const std::lock_guard lock(telling.mutex);
    if (!telling.handler) return;
    std::error_code absoluteError;
    const std::filesystem::path normal = std::filesystem::absolute(folder, absoluteError).lexically_normal();
    if (!IsWithin(normal, telling.root)) return;
    if (ok) {
      telling.notices.Succeeded(normal);
      return;
    }
    if (!telling.notices.Failed(normal, error)) return;
    handler = telling.handler;
  }
  handler(folder, error);
}

bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to, bool failIfExists) {
  const auto bytes = ReadWholeFile(from, kMaxCopyBytes + 1);
  if (!bytes || bytes->size() > kMaxCopyBytes) return false;
  return WriteBeside(to, *bytes, !failIfExists);
}

bool DeleteFile(const std::filesystem::path& file) { return ::unlink(file.c_str()) == 0; }

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  struct stat info {};
  if (::lstat(from.c_str(), &info) != 0) return false;
  return RenameNoReplace(from, to);
}

std::vector<std::string> FindFiles(const std::filesystem::path& folder, std::string_view extension) {
  std::string suffix;
  if (!extension.starts_with('.')) suffix = ".";
  suffix.append(extension);
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (EndsWithFolded(name, suffix)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool IsSafeFileName(std::string_view name, size_t maxBytes) {
  if (name.empty() || name.size() > maxBytes || name == "." || name == "..") return false;
  while (!name.empty()) {
    const char c = name.front();
    if (c == '/' || c == '\\' || static_cast<uint8_t>(c) < 0x20 || c == 0x7F) return false;
    const size_t length = Utf8SequenceLength(name);
    if (length == 0) return false;
    name.remove_prefix(length);
  }
  return true;
}

}  // namespace talvo::platform
