// The desktop's pointer speed and wheel scroll lines, which a mouse profile
// carries and applies when it is chosen. Values are on the scale the profile
// files store: speed 1..20 (10 is the desktop's neutral speed) and 1..100
// lines per wheel notch. Each backend says what its desktop lets it change;
// where nothing can be changed the profile values are still kept and saved.
//
// Apply calls may come from several threads at once; every backend is safe
// for that.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace talvo::platform {

inline constexpr int kPointerSpeedMin = 1;
inline constexpr int kPointerSpeedMax = 20;
inline constexpr int kPointerSpeedNeutral = 10;
inline constexpr int kWheelLinesMin = 1;
inline constexpr int kWheelLinesMax = 100;

class PointerSettings {
 public:
  virtual ~PointerSettings() = default;

  // For diagnostics: "gnome", "kde", "none", "recording".
  virtual std::string_view Name() const = 0;
  virtual bool CanSetSpeed() const = 0;
  virtual bool CanSetWheelLines() const = 0;
  // Values outside the ranges above are clamped. True when the desktop took
  // the value.
  virtual bool ApplySpeed(int speed) = 0;
  virtual bool ApplyWheelLines(int lines) = 0;
};

// Speed 1..20 on the −1..1 acceleration scale GNOME and KDE use: 1 → −1,
// 10 → 0, 20 → 1, each half linear (nine steps below neutral, ten above).
double SpeedToAcceleration(int speed);
// Shortest text that reads back as the same double, independent of the locale.
std::string FormatAcceleration(double value);

// GNOME: the "speed" key of org.gnome.desktop.peripherals.mouse through the
// gsettings program. The schema is looked for once, before the first write;
// without it nothing is written. GNOME has no wheel-lines setting.
class GnomePointerSettings final : public PointerSettings {
 public:
  // `program` is the gsettings executable, looked up in PATH unless it
  // holds a '/'.
  explicit GnomePointerSettings(std::string program = "gsettings");

  std::string_view Name() const override { return "gnome"; }
  bool CanSetSpeed() const override;
  bool CanSetWheelLines() const override { return false; }
  bool ApplySpeed(int speed) override;
  bool ApplyWheelLines(int lines) override;

 private:
  std::string program_;
  mutable std::once_flag schemaChecked_;
  mutable bool schemaPresent_ = false;
};

// KDE Plasma: [KDE] WheelScrollLines in kdeglobals and [Mouse]
// PointerAcceleration in kcminputrc, both in $XDG_CONFIG_HOME (default
// $HOME/.config). Plasma reads them when its input settings are next loaded.
class KdePointerSettings final : public PointerSettings {
 public:
  // An empty folder means the user's configuration folder at each call.
  explicit KdePointerSettings(std::filesystem::path configFolder = {});

  std::string_view Name() const override { return "kde"; }
  bool CanSetSpeed() const override { return true; }
  bool CanSetWheelLines() const override { return true; }
  bool ApplySpeed(int speed) override;
  bool ApplyWheelLines(int lines) override;

 private:
  std::filesystem::path Folder() const;
  // Sets one value in a file of the folder, making the folder when missing.
  bool Write(std::string_view file, std::string_view section, std::string_view key, const std::string& value);

  std::filesystem::path configFolder_;
  std::mutex writeMutex_;  // two writers of one file would race on its rename
};

// A desktop whose settings Talvo does not know: each request becomes a debug
// line and nothing changes.
class UnsupportedPointerSettings final : public PointerSettings {
 public:
  std::string_view Name() const override { return "none"; }
  bool CanSetSpeed() const override { return false; }
  bool CanSetWheelLines() const override { return false; }
  bool ApplySpeed(int speed) override;
  bool ApplyWheelLines(int lines) override;
};

// Keeps the last value of each setting instead of changing the desktop; used
// by the automation build and by tests.
class RecordingPointerSettings final : public PointerSettings {
 public:
  std::string_view Name() const override { return "recording"; }
  bool CanSetSpeed() const override { return true; }
  bool CanSetWheelLines() const override { return true; }
  bool ApplySpeed(int speed) override;
  bool ApplyWheelLines(int lines) override;

  // 0 until the first request.
  int Speed() const;
  int WheelLines() const;
  // Requests taken so far, both kinds together.
  int ApplyCount() const;

 private:
  mutable std::mutex mutex_;
  int speed_ = 0;
  int lines_ = 0;
  int count_ = 0;
};

enum class PointerDesktop { Gnome, Kde, Other };

// The desktop named by an XDG_CURRENT_DESKTOP value: a colon-separated list
// whose first entry Talvo knows wins, compared case-insensitively.
PointerDesktop PointerDesktopFrom(std::string_view currentDesktop);

// The backend for the session's desktop (XDG_CURRENT_DESKTOP).
std::unique_ptr<PointerSettings> MakePointerSettings();

}  // namespace talvo::platform
