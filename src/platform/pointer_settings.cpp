#include "platform/pointer_settings.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "platform/ascii.h"
#include "platform/debug.h"
#include "platform/ini_file.h"

extern char** environ;

namespace talvo::platform {
namespace {

constexpr const char* kGnomeSchema = "org.gnome.desktop.peripherals.mouse";
constexpr const char* kGnomeSpeedKey = "speed";

// Runs a program with its output discarded and waits for it; true when it
// exited with status 0.
bool RunQuietly(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

double SpeedToAcceleration(int speed) {
  const int s = std::clamp(speed, kPointerSpeedMin, kPointerSpeedMax);
  const int offset = s - kPointerSpeedNeutral;
  const int span = offset < 0 ? kPointerSpeedNeutral - kPointerSpeedMin : kPointerSpeedMax - kPointerSpeedNeutral;
  return double(offset) / double(span);
}

std::string FormatAcceleration(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// ---- GNOME ------------------------------------------------------------------

GnomePointerSettings::GnomePointerSettings(std::string program) : program_(std::move(program)) {}

bool GnomePointerSettings::CanSetSpeed() const {
  std::call_once(schemaChecked_, [this] {
    // "range" succeeds only when both the schema and its key are installed.
    schemaPresent_ = RunQuietly({program_, "range", kGnomeSchema, kGnomeSpeedKey});
    if (!schemaPresent_) debug::Line("pointer settings: no GNOME mouse schema, speed is not applied");
  });
  return schemaPresent_;
}

bool GnomePointerSettings::ApplySpeed(int speed) {
  if (!CanSetSpeed()) return false;
  const std::string value = FormatAcceleration(SpeedToAcceleration(speed));
  const bool ok = RunQuietly({program_, "set", kGnomeSchema, kGnomeSpeedKey, value});
  if (!ok) debug::Line("pointer settings: gsettings refused speed " + value);
  return ok;
}

bool GnomePointerSettings::ApplyWheelLines(int lines) {
  debug::Line("pointer settings: GNOME has no wheel scroll lines, " + std::to_string(lines) + " not applied");
  return false;
}

// ---- KDE --------------------------------------------------------------------

KdePointerSettings::KdePointerSettings(std::filesystem::path configFolder)
    : configFolder_(std::move(configFolder)) {}

std::filesystem::path KdePointerSettings::Folder() const {
  if (!configFolder_.empty()) return configFolder_;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') return config;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home ? home : "") / ".config";
}

bool KdePointerSettings::Write(std::string_view file, std::string_view section, std::string_view key,
                               const std::string& value) {
  std::lock_guard lock(writeMutex_);
  const auto folder = Folder();
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const bool ok = WriteIniString(folder / file, section, key, value);
  if (!ok) debug::Line("pointer settings: " + std::string(file) + " not written");
  return ok;
}

bool KdePointerSettings::ApplySpeed(int speed) {
  return Write("kcminputrc", "Mouse", "PointerAcceleration", FormatAcceleration(SpeedToAcceleration(speed)));
}

bool KdePointerSettings::ApplyWheelLines(int lines) {
  const int clamped = std::clamp(lines, kWheelLinesMin, kWheelLinesMax);
  return Write("kdeglobals", "KDE", "WheelScrollLines", std::to_string(clamped));
}

// ---- other desktops ---------------------------------------------------------

bool UnsupportedPointerSettings::ApplySpeed(int speed) {
  debug::Line("pointer settings: desktop not supported, speed " + std::to_string(speed) + " not applied");
  return false;
}

bool UnsupportedPointerSettings::ApplyWheelLines(int lines) {
  debug::Line("pointer settings: desktop not supported, wheel lines " + std::to_string(lines) + " not applied");
  return false;
}

// ---- recording --------------------------------------------------------------

bool RecordingPointerSettings::ApplySpeed(int speed) {
  std::lock_guard lock(mutex_);
  speed_ = std::clamp(speed, kPointerSpeedMin, kPointerSpeedMax);
  ++count_;
  return true;
}

bool RecordingPointerSettings::ApplyWheelLines(int lines) {
  std::lock_guard lock(mutex_);
  lines_ = std::clamp(lines, kWheelLinesMin, kWheelLinesMax);
  ++count_;
  return true;
}

int RecordingPointerSettings::Speed() const {
  std::lock_guard lock(mutex_);
  return speed_;
}

int RecordingPointerSettings::WheelLines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

int RecordingPointerSettings::ApplyCount() const {
  std::lock_guard lock(mutex_);
  return count_;
}

// ---- selection --------------------------------------------------------------

PointerDesktop PointerDesktopFrom(std::string_view currentDesktop) {
  while (!currentDesktop.empty()) {
    const size_t colon = currentDesktop.find(':');
    const std::string_view entry = currentDesktop.substr(0, colon);
    if (EqualsIgnoreCase(entry, "GNOME")) return PointerDesktop::Gnome;
    if (EqualsIgnoreCase(entry, "KDE")) return PointerDesktop::Kde;
    if (colon == std::string_view::npos) break;
    currentDesktop.remove_prefix(colon + 1);
  }
  return PointerDesktop::Other;
}

std::unique_ptr<PointerSettings> MakePointerSettings() {
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  switch (PointerDesktopFrom(desktop ? desktop : "")) {
    case PointerDesktop::Gnome: return std::make_unique<GnomePointerSettings>();
    case PointerDesktop::Kde: return std::make_unique<KdePointerSettings>();
    case PointerDesktop::Other: break;
  }
  return std::make_unique<UnsupportedPointerSettings>();
}

}  // namespace talvo::platform
