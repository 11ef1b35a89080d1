// Firmware model of one simulated peripheral: its memory areas, the command
// set of the 64-byte report protocol, fault injection, a log of the requests
// received and the notifications of its consumer-control interface.
//
// The model only knows the report format (device/device_report.h); the
// transport that carries reports to and from it is SimulatedBackend.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::sim {

enum class DeviceKind { Keyboard, Mouse, Mousepad };

inline constexpr std::array<DeviceKind, 3> kAllDeviceKinds = {DeviceKind::Keyboard, DeviceKind::Mouse,
                                                               DeviceKind::Mousepad};

// "keyboard", "mouse", "mousepad" — the names the automation interface uses.
const char* DeviceKindName(DeviceKind kind);
std::optional<DeviceKind> DeviceKindFromName(std::string_view name);

// What the next requests meet (see SimDevice::InjectFault).
enum class Fault {
  None,
  NoReply,    // received and logged, not executed, never answered
  WriteFail,  // the write fails; the device receives nothing
  StatusFF,   // answered with status 0xFF, not executed
  StatusFE,   // answered with status 0xFE, not executed
  Unplug,     // the device disappears as the request arrives
};

// "none", "no_reply", "write_fail", "status_ff", "status_fe", "unplug".
const char* FaultName(Fault fault);
std::optional<Fault> FaultFromName(std::string_view name);

// The request log keeps this many of the most recent requests: a streaming
// run sends lighting frames for hours.
inline constexpr size_t kRequestLogCapacity = 65536;

struct LoggedRequest {
  int64_t tMs = 0;  // steady-clock milliseconds since the model's epoch
  std::array<uint8_t, 64> bytes{};
};

// The requests a device received, oldest first, at most kRequestLogCapacity
// of them: once full, each new one takes the place of the oldest. Kept in
// fixed blocks taken as the log fills, so a long run never copies what it
// holds and an idle device holds nothing.
class RequestLog {
 public:
  void Add(const LoggedRequest& entry);
  std::vector<LoggedRequest> InOrder() const;
  void Clear();

 private:
  static constexpr size_t kBlockSize = 1024;
  static_assert(kRequestLogCapacity % kBlockSize == 0);
  using Block = std::array<LoggedRequest, kBlockSize>;

  LoggedRequest& At(size_t index) { return (*blocks_[index / kBlockSize])[index % kBlockSize]; }
  const LoggedRequest& At(size_t index) const { return (*blocks_[index / kBlockSize])[index % kBlockSize]; }

  std::vector<std::unique_ptr<Block>> blocks_;
  size_t size_ = 0;
  size_t oldest_ = 0;  // where the oldest entry is once the log is full
};

// Lower-case hex digits, two per byte, no separators.
std::string HexString(std::span<const uint8_t> bytes);

// Offsets of the information block that the model lets callers configure.
namespace info {
inline constexpr size_t kSize = 33;
inline constexpr size_t kKeyCount = 5;       // keys of the key map (keyboard)
inline constexpr size_t kMacroCapacity = 6;  // macro memory in units of 128 bytes
inline constexpr size_t kSensorCode = 9;     // 16-bit little-endian
inline constexpr size_t kDpiStep = 11;       // DPI added per slider position
inline constexpr size_t kSliderMax = 12;     // highest DPI slider position
inline constexpr size_t kDpiBase = 13;       // 16-bit little-endian DPI of position 0
}  // namespace info

inline constexpr size_t kProfileCount = 5;
inline constexpr size_t kSettingsBlockSize = 64;
inline constexpr size_t kSettingsSize = kProfileCount * kSettingsBlockSize;
inline constexpr size_t kKeyMapStride = 126;       // key map of profile p starts at p × 126
inline constexpr size_t kKeyMapTransferMax = 512;  // the longest key-map transfer
inline constexpr size_t kKeyMapsSize = (kProfileCount - 1) * kKeyMapStride + kKeyMapTransferMax;
inline constexpr size_t kDefaultMapSize = 512;
inline constexpr size_t kMacroUnit = 128;
inline constexpr size_t kCursorSize = 3072;
inline constexpr size_t kFrameSize = 512;

// Report id of the notification reports on the consumer-control collection.
inline constexpr uint8_t kNotifyReportId = 3;
inline constexpr size_t kNotifyReportSize = 3;  // id, 16-bit usage

class SimDevice {
 public:
  using Clock = std::chrono::steady_clock;
  using Report = std::array<uint8_t, 64>;

  // What the transport does with one written report.
  enum class Disposition {
    Reply,      // queue `reply` for the readers of the command collection
    NoReply,    // nothing comes back
    WriteFail,  // the write fails, the request never reached the device
    Unplug,     // the device is gone; the write fails
  };
  struct Outcome {
    Disposition disposition = Disposition::NoReply;
    Report reply{};
  };

  // Receives the reports the device sends on its own (notifications); set by
  // the transport, called without the model's lock held.
  using InputSink = std::function<void(std::span<const uint8_t>)>;

  // `epoch` is time zero of the request log. With a `stateFile` the device
  // remembers across runs of the program, as real ones do: it starts from the
  // memory kept there (sim_state_file.h; factory memory when the file is
  // absent or refused) and writes it back after every change of a kept area
  // by a command, a poke or the model configuration below. Lighting frames
  // and reads write nothing.
  explicit SimDevice(DeviceKind kind, std::filesystem::path stateFile = {}, Clock::time_point epoch = Clock::now());
  ~SimDevice();
  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  DeviceKind Kind() const { return kind_; }
  uint16_t VendorId() const;
  uint16_t ProductId() const;
  // The mouse and the keyboard have a consumer-control interface; the
  // mousepad does not.
  bool HasNotifications() const { return kind_ != DeviceKind::Mousepad; }

  // Memory areas by name: "info", "settings", "keymaps", "default_map",
  // "macro", "cursor", "frame". A copy; empty for an unknown name and for an
  // area this kind of device does not have (the mousepad has no key maps,
  // macros or cursor image; only the mouse has a cursor image).
  std::vector<uint8_t> Memory(std::string_view area) const;
  // Overwrites memory as it stands, without the checks commands make, so
  // tests can plant faulty contents (an active profile above 4, a corrupt
  // cursor image). Byte 0 of "settings" is the active-profile register: a
  // poke there is mirrored into byte 0 of every block. A poke into "info"
  // resizes the macro memory to the capacity byte. False when the range does
  // not fit the area.
  bool Poke(std::string_view area, size_t offset, std::span<const uint8_t> bytes);

  uint8_t ActiveProfile() const;
  std::array<uint8_t, info::kSize> Info() const;

  // Model configuration: change the information block now and in the
  // factory state that restore-defaults (command 13) returns to.
  void SetKeyCount(uint8_t keys);
  void SetMacroCapacity(uint8_t units);  // also resizes the macro memory
  void SetSensor(uint16_t sensorCode, uint8_t dpiStep, uint8_t sliderMax, uint16_t dpiBase);

  // Time each report takes on the wire, in each direction.
  void SetLatency(std::chrono::microseconds latency);
  std::chrono::microseconds Latency() const;

  // The `count` requests after the next `after` meet `fault`; replaces an
  // earlier injection. Fault::None or a count of 0 clears it.
  void InjectFault(Fault fault, unsigned count, unsigned after = 0);
  Fault PendingFault() const;

  // Requests received since the last clear, oldest first: the
  // kRequestLogCapacity most recent (not those that met WriteFail or Unplug).
  std::vector<LoggedRequest> Requests() const;
  void ClearRequests();
  // Appends one line per request received from now on, "<t_ms> <128 hex
  // digits>", flushed per line. An empty path stops it. False when the file
  // cannot be opened for appending (logging to a file is then off).
  bool SetRequestLogFile(const std::string& path);

  // Sends `usage` on the consumer-control collection as an input report,
  // followed by a release report (usage 0), as consumer devices report a
  // key press. False when this device has no such collection.
  bool Notify(uint16_t usage);
  void SetInputSink(InputSink sink);

  // One written report arrives. Applies any pending fault, logs it, runs the
  // command and builds the reply: report id 4, command, length and offset
  // echoed, the status, the data of a read, the checksum. Status 0xFE for a
  // bad checksum; 0xFF for a length above 56, an unknown command, a range
  // beyond the area or a profile above 4 written to the settings' byte 0. A
  // refused request changes nothing. Byte 0 of every settings block reads as
  // the active profile; writes to the other blocks' byte 0 are ignored.
  // Settings offsets 1..63 address the active profile's block (where the
  // host pushes its settings), offsets from 64 on blocks 1..4. `arrived` is
  // the time the log gives the request.
  Outcome Receive(std::span<const uint8_t, 64> request, Clock::time_point arrived = Clock::now());

 private:
  enum Area : size_t { kInfo, kSettings, kKeyMaps, kDefaultMap, kMacro, kCursor, kFrame, kAreaCount };
  using Areas = std::array<std::vector<uint8_t>, kAreaCount>;

  static std::optional<Area> AreaFromName(std::string_view name);
  // The memory of stateFile_ in place of the factory's, when the file is valid.
  void LoadState();
  void SaveStateLocked() const;
  void SetActiveProfileLocked(uint8_t profile);
  void LogLocked(const Report& request, Clock::time_point arrived);
  // Runs one request; returns the reply status.
  uint8_t ExecuteLocked(const Report& request, Report& reply);
  size_t SettingsAddressLocked(unsigned offset) const;
  bool ReadAreaLocked(Area area, unsigned offset, unsigned length, Report& reply) const;
  bool WriteAreaLocked(Area area, unsigned offset, unsigned length, const Report& request);

  const DeviceKind kind_;
  const Clock::time_point epoch_;
  const std::filesystem::path stateFile_;
  mutable std::mutex mutex_;
  Areas memory_;
  Areas factory_;
  // Read by every report on the wire; not worth the model's lock.
  std::atomic<std::chrono::microseconds> latency_{std::chrono::microseconds(1000)};
  Fault fault_ = Fault::None;
  unsigned faultCount_ = 0;
  unsigned faultAfter_ = 0;
  RequestLog log_;
  std::FILE* logFile_ = nullptr;
  InputSink sink_;
};

}  // namespace talvo::sim
