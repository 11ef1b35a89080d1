#include "platform/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
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

// A new file beside the target, created with the usual permissions (the umask
// applies) or the target's own when it exists. Its name starts with a dot and
// ends in ".tmp", so folder listings by extension never show it.
int CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& tempPath) {
  static std::atomic<unsigned> counter{0};
  struct stat existing {};
  const bool hasMode = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  const std::filesystem::path folder = target.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    // A shortened name keeps the temporary name within the name length limit.
    tempPath = folder / ("." + target.filename().string().substr(0, 64) + "." + std::to_string(::getpid()) + "." +
                         std::to_string(counter.fetch_add(1)) + ".tmp");
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (hasMode) ::fchmod(fd, existing.st_mode & 07777);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool WriteBeside(const std::filesystem::path& file, std::span<const uint8_t> bytes, bool replace) {
  if (file.filename().empty()) return false;
  std::filesystem::path tempPath;
  const int fd = CreateTemporaryBeside(file, tempPath);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  bool placed = false;
  if (written && closed) {
    placed = replace ? ::rename(tempPath.c_str(), file.c_str()) == 0 : RenameNoReplace(tempPath, file);
  }
  if (!placed) {
    ::unlink(tempPath.c_str());
    return false;
  }
  SyncFolder(file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path());
  return true;
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

bool IsSafeFileName(std::string_view name) {
  if (name.empty() || name.size() > 200 || name == "." || name == "..") return false;
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
