#include "sim/sim_device.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "device/device_report.h"
#include "platform/debug.h"
#include "platform/files.h"
#include "sim/factory_memory.h"
#include "sim/sim_state_file.h"

namespace talvo::sim {

namespace rpt = device::report;

namespace {

constexpr std::array<std::string_view, 7> kAreaNames = {"info",   "settings", "keymaps", "default_map",
                                                        "macro",  "cursor",   "frame"};

constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kHighestProfile = kProfileCount - 1;

// Macro memory is as large as the information block says.
void FitMacroMemory(std::vector<uint8_t>& macro, const std::vector<uint8_t>& info) {
  macro.resize(size_t{info[info::kMacroCapacity]} * kMacroUnit, 0);
}

// The commands that change an area the state file keeps; the lighting frame
// is not kept.
bool ChangesKeptMemory(uint8_t command) {
  using device::Command;
  for (Command c : {Command::WriteSettings, Command::WriteKeyMap, Command::RestoreDefaults, Command::WriteMacroImage,
                    Command::WriteCursorImage}) {
    if (command == static_cast<uint8_t>(c)) return true;
  }
  return false;
}

}  // namespace

const char* DeviceKindName(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Keyboard: return "keyboard";
    case DeviceKind::Mouse: return "mouse";
    case DeviceKind::Mousepad: return "mousepad";
  }
  return "";
}

std::optional<DeviceKind> DeviceKindFromName(std::string_view name) {
  for (DeviceKind kind : kAllDeviceKinds) {
    if (name == DeviceKindName(kind)) return kind;
  }
  return std::nullopt;
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::None: return "none";
    case Fault::NoReply: return "no_reply";
    case Fault::WriteFail: return "write_fail";
    case Fault::StatusFF: return "status_ff";
    case Fault::StatusFE: return "status_fe";
    case Fault::Unplug: return "unplug";
  }
  return "";
}

std::optional<Fault> FaultFromName(std::string_view name) {
  for (Fault fault : {Fault::None, Fault::NoReply, Fault::WriteFail, Fault::StatusFF, Fault::StatusFE,
                      Fault::Unplug}) {
    if (name == FaultName(fault)) return fault;
  }
  return std::nullopt;
}

std::string HexString(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

SimDevice::SimDevice(DeviceKind kind, std::filesystem::path stateFile, Clock::time_point epoch)
    : kind_(kind), epoch_(epoch), stateFile_(std::move(stateFile)) {
  FactoryMemory f = MakeFactoryMemory(kind);
  factory_[kInfo] = std::move(f.info);
  factory_[kSettings] = std::move(f.settings);
  factory_[kKeyMaps] = std::move(f.keyMaps);
  factory_[kDefaultMap] = std::move(f.defaultMap);
  factory_[kCursor] = std::move(f.cursor);
  factory_[kFrame] = std::move(f.frame);
  FitMacroMemory(factory_[kMacro], factory_[kInfo]);
  memory_ = factory_;
  if (!stateFile_.empty()) LoadState();
}

SimDevice::~SimDevice() {
  if (logFile_ != nullptr) std::fclose(logFile_);
}

uint16_t SimDevice::VendorId() const { return device::kVendorId; }

uint16_t SimDevice::ProductId() const {
  switch (kind_) {
    case DeviceKind::Keyboard: return device::kKeyboardProductId;
    case DeviceKind::Mouse: return device::kMouseProductId;
    case DeviceKind::Mousepad: return device::kMousepadProductId;
  }
  return 0;
}

std::optional<SimDevice::Area> SimDevice::AreaFromName(std::string_view name) {
  for (size_t i = 0; i < kAreaNames.size(); ++i) {
    if (kAreaNames[i] == name) return static_cast<Area>(i);
  }
  return std::nullopt;
}

std::vector<uint8_t> SimDevice::Memory(std::string_view area) const {
  const auto id = AreaFromName(area);
  if (!id) return {};
  std::lock_guard lock(mutex_);
  return memory_[*id];
}

bool SimDevice::Poke(std::string_view area, size_t offset, std::span<const uint8_t> bytes) {
  const auto id = AreaFromName(area);
  if (!id) return false;
  std::lock_guard lock(mutex_);
  std::vector<uint8_t>& target = memory_[*id];
  if (offset > target.size() || bytes.size() > target.size() - offset) return false;
  std::copy(bytes.begin(), bytes.end(), target.begin() + static_cast<std::ptrdiff_t>(offset));
  if (*id == kSettings && offset == 0 && !bytes.empty()) SetActiveProfileLocked(bytes[0]);
  if (*id == kInfo) FitMacroMemory(memory_[kMacro], memory_[kInfo]);
  if (*id != kFrame) SaveStateLocked();
  return true;
}

uint8_t SimDevice::ActiveProfile() const {
  std::lock_guard lock(mutex_);
  return memory_[kSettings][0];
}

std::array<uint8_t, info::kSize> SimDevice::Info() const {
  std::lock_guard lock(mutex_);
  std::array<uint8_t, info::kSize> bytes{};
  std::copy(memory_[kInfo].begin(), memory_[kInfo].end(), bytes.begin());
  return bytes;
}

void SimDevice::SetKeyCount(uint8_t keys) {
  std::lock_guard lock(mutex_);
  for (Areas* areas : {&memory_, &factory_}) (*areas)[kInfo][info::kKeyCount] = keys;
  SaveStateLocked();
}

void SimDevice::SetMacroCapacity(uint8_t units) {
  std::lock_guard lock(mutex_);
  for (Areas* areas : {&memory_, &factory_}) {
    (*areas)[kInfo][info::kMacroCapacity] = units;
    FitMacroMemory((*areas)[kMacro], (*areas)[kInfo]);
  }
  SaveStateLocked();
}

void SimDevice::SetSensor(uint16_t sensorCode, uint8_t dpiStep, uint8_t sliderMax, uint16_t dpiBase) {
  std::lock_guard lock(mutex_);
  for (Areas* areas : {&memory_, &factory_}) {
    std::vector<uint8_t>& bytes = (*areas)[kInfo];
    bytes[info::kSensorCode] = static_cast<uint8_t>(sensorCode & 0xFF);
    bytes[info::kSensorCode + 1] = static_cast<uint8_t>(sensorCode >> 8);
    bytes[info::kDpiStep] = dpiStep;
    bytes[info::kSliderMax] = sliderMax;
    bytes[info::kDpiBase] = static_cast<uint8_t>(dpiBase & 0xFF);
    bytes[info::kDpiBase + 1] = static_cast<uint8_t>(dpiBase >> 8);
  }
  SaveStateLocked();
}

void SimDevice::SetLatency(std::chrono::microseconds latency) {
  latency_.store(std::max(latency, std::chrono::microseconds(0)));
}

std::chrono::microseconds SimDevice::Latency() const { return latency_.load(); }

void SimDevice::InjectFault(Fault fault, unsigned count, unsigned after) {
  std::lock_guard lock(mutex_);
  const bool clear = fault == Fault::None || count == 0;
  fault_ = clear ? Fault::None : fault;
  faultCount_ = clear ? 0 : count;
  faultAfter_ = clear ? 0 : after;
}

Fault SimDevice::PendingFault() const {
  std::lock_guard lock(mutex_);
  return fault_;
}

void RequestLog::Add(const LoggedRequest& entry) {
  if (size_ < kRequestLogCapacity) {
    if (size_ == blocks_.size() * kBlockSize) blocks_.push_back(std::make_unique<Block>());
    At(size_++) = entry;
    return;
  }
  At(oldest_) = entry;
  oldest_ = (oldest_ + 1) % kRequestLogCapacity;
}

std::vector<LoggedRequest> RequestLog::InOrder() const {
  std::vector<LoggedRequest> out;
  out.reserve(size_);
  for (size_t i = 0; i < size_; ++i) out.push_back(At((oldest_ + i) % size_));
  return out;
}

void RequestLog::Clear() {
  blocks_.clear();
  size_ = 0;
  oldest_ = 0;
}

std::vector<LoggedRequest> SimDevice::Requests() const {
  std::lock_guard lock(mutex_);
  return log_.InOrder();
}

void SimDevice::ClearRequests() {
  std::lock_guard lock(mutex_);
  log_.Clear();
}

bool SimDevice::SetRequestLogFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (logFile_ != nullptr) {
    std::fclose(logFile_);
    logFile_ = nullptr;
  }
  if (path.empty()) return true;
  logFile_ = std::fopen(path.c_str(), "ae");
  return logFile_ != nullptr;
}

void SimDevice::SetInputSink(InputSink sink) {
  std::lock_guard lock(mutex_);
  sink_ = std::move(sink);
}

bool SimDevice::Notify(uint16_t usage) {
  if (!HasNotifications()) return false;
  InputSink sink;
  {
    std::lock_guard lock(mutex_);
    sink = sink_;
  }
  if (!sink) return true;
  const std::array<uint8_t, kNotifyReportSize> press = {kNotifyReportId, static_cast<uint8_t>(usage & 0xFF),
                                                        static_cast<uint8_t>(usage >> 8)};
  const std::array<uint8_t, kNotifyReportSize> release = {kNotifyReportId, 0, 0};
  sink(press);
  sink(release);
  return true;
}

SimDevice::Outcome SimDevice::Receive(std::span<const uint8_t, 64> request, Clock::time_point arrived) {
  Report req{};
  std::copy(request.begin(), request.end(), req.begin());
  Outcome out;
  std::lock_guard lock(mutex_);

  Fault fault = Fault::None;
  if (faultAfter_ > 0) {
    --faultAfter_;
  } else if (faultCount_ > 0) {
    fault = fault_;
    if (--faultCount_ == 0) fault_ = Fault::None;
  }
  if (fault == Fault::WriteFail) {
    out.disposition = Disposition::WriteFail;
    return out;
  }
  if (fault == Fault::Unplug) {
    out.disposition = Disposition::Unplug;
    return out;
  }
  LogLocked(req, arrived);
  if (fault == Fault::NoReply) {
    out.disposition = Disposition::NoReply;
    return out;
  }

  Report& reply = out.reply;
  reply[0] = device::kReportId;
  reply[rpt::kCommand] = req[rpt::kCommand];
  reply[rpt::kLength] = req[rpt::kLength];
  reply[rpt::kOffset] = req[rpt::kOffset];
  reply[rpt::kOffset + 1] = req[rpt::kOffset + 1];
  if (fault == Fault::StatusFF) {
    reply[rpt::kStatus] = device::kStatusFailed;
  } else if (fault == Fault::StatusFE) {
    reply[rpt::kStatus] = device::kStatusBadRequest;
  } else {
    reply[rpt::kStatus] = ExecuteLocked(req, reply);
  }
  rpt::StoreChecksum(reply);
  out.disposition = Disposition::Reply;
  return out;
}

void SimDevice::LogLocked(const Report& request, Clock::time_point arrived) {
  LoggedRequest entry;
  entry.tMs = std::chrono::duration_cast<std::chrono::milliseconds>(arrived - epoch_).count();
  entry.bytes = request;
  log_.Add(entry);
  if (logFile_ != nullptr) {
    std::fprintf(logFile_, "%" PRId64 " %s\n", entry.tMs, HexString(request).c_str());
    std::fflush(logFile_);
  }
}

uint8_t SimDevice::ExecuteLocked(const Report& request, Report& reply) {
  if (rpt::StoredChecksum(request) != rpt::Checksum(request)) return device::kStatusBadRequest;
  const unsigned length = request[rpt::kLength];
  const unsigned offset = rpt::Offset(request);
  if (length > device::kReportDataSize) return device::kStatusFailed;

  bool ok = false;
  switch (static_cast<device::Command>(request[rpt::kCommand])) {
    case device::Command::BeginTransfer:
    case device::Command::EndTransfer:
      ok = true;
      break;
    case device::Command::ReadDeviceInfo: ok = ReadAreaLocked(kInfo, offset, length, reply); break;
    case device::Command::ReadSettings: ok = ReadAreaLocked(kSettings, offset, length, reply); break;
    case device::Command::WriteSettings: ok = WriteAreaLocked(kSettings, offset, length, request); break;
    case device::Command::ReadDefaultMap: ok = ReadAreaLocked(kDefaultMap, offset, length, reply); break;
    case device::Command::ReadKeyMap: ok = ReadAreaLocked(kKeyMaps, offset, length, reply); break;
    case device::Command::WriteKeyMap: ok = WriteAreaLocked(kKeyMaps, offset, length, request); break;
    case device::Command::RestoreDefaults:
      memory_ = factory_;
      ok = true;
      break;
    case device::Command::SendLightFrame: ok = WriteAreaLocked(kFrame, offset, length, request); break;
    case device::Command::WriteMacroImage: ok = WriteAreaLocked(kMacro, offset, length, request); break;
    case device::Command::ReadCursorImage: ok = ReadAreaLocked(kCursor, offset, length, reply); break;
    case device::Command::WriteCursorImage: ok = WriteAreaLocked(kCursor, offset, length, request); break;
  }
  if (ok && ChangesKeptMemory(request[rpt::kCommand])) SaveStateLocked();
  return ok ? kStatusOk : device::kStatusFailed;
}

// The first 64 bytes of the settings area are a window onto the active
// profile's block, so the host's settings pushes at offsets 0..63 change the
// profile in use; offsets from 64 on address blocks 1..4 directly. Byte 0 is
// the active-profile register itself. With a register above 4 (planted by a
// test) the window falls back to block 0.
size_t SimDevice::SettingsAddressLocked(unsigned offset) const {
  if (offset == 0 || offset >= kSettingsBlockSize) return offset;
  const uint8_t active = memory_[kSettings][0];
  const size_t block = active <= kHighestProfile ? active : 0;
  return block * kSettingsBlockSize + offset;
}

bool SimDevice::ReadAreaLocked(Area area, unsigned offset, unsigned length, Report& reply) const {
  const std::vector<uint8_t>& bytes = memory_[area];
  if (offset + length > bytes.size()) return false;
  uint8_t* out = reply.data() + device::kReportDataOffset;
  for (unsigned i = 0; i < length; ++i)
    out[i] = bytes[area == kSettings ? SettingsAddressLocked(offset + i) : offset + i];
  return true;
}

bool SimDevice::WriteAreaLocked(Area area, unsigned offset, unsigned length, const Report& request) {
  std::vector<uint8_t>& bytes = memory_[area];
  if (offset + length > bytes.size()) return false;
  const uint8_t* data = request.data() + device::kReportDataOffset;
  if (area != kSettings) {
    std::copy_n(data, length, bytes.begin() + offset);
    return true;
  }
  // Byte 0 is the active-profile register; the device refuses a profile it
  // does not have. Byte 0 of the other blocks only mirrors it. A write that
  // selects a profile lands its remaining bytes in the newly active block.
  if (offset == 0 && length > 0) {
    if (data[0] > kHighestProfile) return false;
    SetActiveProfileLocked(data[0]);
  }
  for (unsigned i = 0; i < length; ++i) {
    const size_t at = SettingsAddressLocked(offset + i);
    if (at % kSettingsBlockSize != 0) bytes[at] = data[i];
  }
  return true;
}

void SimDevice::LoadState() {
  const auto file = platform::ReadWholeFile(stateFile_, kStateFileMax + 1);
  if (!file) return;
  DecodedState state = DecodeStateFile(kind_, *file);
  if (!state.areas) {
    debug::Line("sim: " + stateFile_.string() + " refused (" + std::string(state.refusal) + "), factory memory");
    return;
  }
  std::move(state.areas->begin(), state.areas->end(), memory_.begin());
  // The information block describes the hardware: restore-defaults keeps
  // it, as it keeps what SetKeyCount and the like configured.
  factory_[kInfo] = memory_[kInfo];
  FitMacroMemory(factory_[kMacro], factory_[kInfo]);
}

// Under the model's lock, so that writes land in the order of the changes.
void SimDevice::SaveStateLocked() const {
  static_assert(kFrame == kStateAreaCount && kAreaCount == kFrame + 1, "every area but the frame is kept");
  if (stateFile_.empty()) return;
  StateAreas kept;
  std::copy_n(memory_.begin(), kStateAreaCount, kept.begin());
  if (!platform::WriteFileAtomically(stateFile_, EncodeStateFile(kind_, kept))) {
    debug::Line("sim: cannot write " + stateFile_.string() + ": " + std::strerror(errno));
  }
}

void SimDevice::SetActiveProfileLocked(uint8_t profile) {
  std::vector<uint8_t>& settings = memory_[kSettings];
  for (size_t at = 0; at < settings.size(); at += kSettingsBlockSize) settings[at] = profile;
}


}  // namespace talvo::sim
