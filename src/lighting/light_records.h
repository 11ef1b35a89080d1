// The lighting settings of the three peripherals as fixed-layout byte
// records, and the live state the main window keeps for each device.
//
// The UI thread writes these records while the lighting threads read them
// (and write the step counter) without a lock. Every byte is therefore read
// and written whole through std::atomic_ref with relaxed ordering: a frame
// computed across a change may mix old and new fields, but no byte is ever
// torn or a data race.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "device/peripheral.h"

namespace talvo::lighting {

// LED level of each brightness setting 0..4; brightness 0 is dark.
inline constexpr std::array<uint8_t, 5> kBrightnessLevels{0, 90, 150, 200, 255};

// A device keeps one light block per onboard profile; the host mirrors them.
inline constexpr size_t kProfileSlots = 5;

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// N bytes shared between threads, each one read and written whole. An index
// past the end reads 0 and writes nothing, so a byte taken from a file and
// used as an index can never reach outside the record.
template <size_t N>
class ByteRecord {
  static_assert(N > 0);
  static_assert(std::atomic_ref<uint8_t>::required_alignment == 1);

 public:
  static constexpr size_t kSize = N;

  ByteRecord() = default;
  explicit ByteRecord(const std::array<uint8_t, N>& bytes) { Load(bytes); }
  // Copies go byte by byte through the atomic accessors, so copying a record
  // another thread is writing is as safe as reading it.
  ByteRecord(const ByteRecord& other) { Load(other.Snapshot()); }
  ByteRecord& operator=(const ByteRecord& other) {
    if (this != &other) Load(other.Snapshot());
    return *this;
  }
  ~ByteRecord() = default;

  uint8_t Get(size_t i) const {
    if (i >= N) return 0;
    return std::atomic_ref<uint8_t>(bytes_[i]).load(std::memory_order_relaxed);
  }
  void Set(size_t i, uint8_t v) {
    if (i >= N) return;
    std::atomic_ref<uint8_t>(bytes_[i]).store(v, std::memory_order_relaxed);
  }

  // Copies min(N, from.size()) bytes into the start of the record; the rest
  // keeps its value.
  void Load(std::span<const uint8_t> from) {
    const size_t n = from.size() < N ? from.size() : N;
    for (size_t i = 0; i < n; ++i) Set(i, from[i]);
  }
  // Copies min(N, to.size()) bytes of the record into the start of `to`.
  void Store(std::span<uint8_t> to) const {
    const size_t n = to.size() < N ? to.size() : N;
    for (size_t i = 0; i < n; ++i) to[i] = Get(i);
  }
  std::array<uint8_t, N> Snapshot() const {
    std::array<uint8_t, N> out{};
    Store(out);
    return out;
  }

  // Three bytes from i on as red, green, blue.
  Rgb GetRgb(size_t i) const { return {Get(i), Get(i + 1), Get(i + 2)}; }
  void SetRgb(size_t i, Rgb c) {
    Set(i, c.red);
    Set(i + 1, c.green);
    Set(i + 2, c.blue);
  }

  friend bool operator==(const ByteRecord& a, const ByteRecord& b) { return a.Snapshot() == b.Snapshot(); }

 private:
  // Mutable so that a const record can still be read through atomic_ref,
  // which needs a non-const object.
  mutable std::array<uint8_t, N> bytes_{};
};

// Bytes 0..9, shared by the keyboard, mousepad and mouse records.
template <size_t N>
struct LightFields : ByteRecord<N> {
  static_assert(N >= 10);

  static constexpr size_t kProfile = 0;       // onboard profile (0..4) the block belongs to
  static constexpr size_t kMode = 1;          // effect number
  static constexpr size_t kBrightness = 2;    // 0..4, index into kBrightnessLevels
  static constexpr size_t kSpeed = 3;         // 0..4, 0 the fastest
  static constexpr size_t kDirection = 4;     // 1 first direction, 0 second
  static constexpr size_t kMultiColour = 5;   // nonzero: colours from the built-in tables
  static constexpr size_t kRed = 6;           // effect colour
  static constexpr size_t kGreen = 7;
  static constexpr size_t kBlue = 8;
  static constexpr size_t kStepCounter = 9;   // advanced by running effects

  using ByteRecord<N>::ByteRecord;

  uint8_t profile() const { return this->Get(kProfile); }
  uint8_t mode() const { return this->Get(kMode); }
  uint8_t brightness() const { return this->Get(kBrightness); }
  uint8_t speed() const { return this->Get(kSpeed); }
  uint8_t direction() const { return this->Get(kDirection); }
  uint8_t multiColour() const { return this->Get(kMultiColour); }
  uint8_t red() const { return this->Get(kRed); }
  uint8_t green() const { return this->Get(kGreen); }
  uint8_t blue() const { return this->Get(kBlue); }
  Rgb colour() const { return this->GetRgb(kRed); }
  uint8_t stepCounter() const { return this->Get(kStepCounter); }

  void SetProfile(uint8_t v) { this->Set(kProfile, v); }
  void SetMode(uint8_t v) { this->Set(kMode, v); }
  void SetBrightness(uint8_t v) { this->Set(kBrightness, v); }
  void SetSpeed(uint8_t v) { this->Set(kSpeed, v); }
  void SetDirection(uint8_t v) { this->Set(kDirection, v); }
  void SetMultiColour(uint8_t v) { this->Set(kMultiColour, v); }
  void SetRed(uint8_t v) { this->Set(kRed, v); }
  void SetGreen(uint8_t v) { this->Set(kGreen, v); }
  void SetBlue(uint8_t v) { this->Set(kBlue, v); }
  void SetColour(Rgb c) { this->SetRgb(kRed, c); }
  void SetStepCounter(uint8_t v) { this->Set(kStepCounter, v); }
};

// Keyboard and mousepad: bytes 10..20 belong to the device and are kept and
// pushed back unchanged.
struct LightRecord : LightFields<21> {
  using LightFields<21>::LightFields;
};

// The mouse record carries its performance settings beside the lighting.
// Bytes 10..13 and 20..27 belong to the device and are kept unchanged.
struct MouseSettingsRecord : LightFields<34> {
  static constexpr size_t kReportRate = 14;       // item index of the report-rate choice
  static constexpr size_t kDpiStage1 = 15;        // DPI slider positions of stages 1..4
  static constexpr size_t kDpiStage2 = 16;
  static constexpr size_t kDpiStage3 = 17;
  static constexpr size_t kDpiStage4 = 18;
  static constexpr size_t kActiveDpiStage = 19;   // 0..5, as the mouse reports it
  static constexpr size_t kColourA = 28;          // two-colour effect, RGB at 28..30
  static constexpr size_t kColourB = 31;          // and at 31..33
  static constexpr size_t kDpiStages = 4;

  using LightFields<34>::LightFields;

  uint8_t reportRate() const { return Get(kReportRate); }
  // Stage 1..4; any other stage reads 0.
  uint8_t dpiStage(size_t stage) const { return ValidStage(stage) ? Get(kDpiStage1 + stage - 1) : 0; }
  uint8_t activeDpiStage() const { return Get(kActiveDpiStage); }
  Rgb colourA() const { return GetRgb(kColourA); }
  Rgb colourB() const { return GetRgb(kColourB); }

  void SetReportRate(uint8_t v) { Set(kReportRate, v); }
  void SetDpiStage(size_t stage, uint8_t v) {
    if (ValidStage(stage)) Set(kDpiStage1 + stage - 1, v);
  }
  void SetActiveDpiStage(uint8_t v) { Set(kActiveDpiStage, v); }
  void SetColourA(Rgb c) { SetRgb(kColourA, c); }
  void SetColourB(Rgb c) { SetRgb(kColourB, c); }

 private:
  static constexpr bool ValidStage(size_t stage) { return stage >= 1 && stage <= kDpiStages; }
};

// Settings of synchronized lighting; same meanings as bytes 1..8 of the
// device records. Never stored in a file.
struct SyncLightRecord : ByteRecord<8> {
  static constexpr size_t kMode = 0;
  static constexpr size_t kBrightness = 1;
  static constexpr size_t kSpeed = 2;
  static constexpr size_t kDirection = 3;
  static constexpr size_t kMultiColour = 4;
  static constexpr size_t kRed = 5;
  static constexpr size_t kGreen = 6;
  static constexpr size_t kBlue = 7;

  using ByteRecord<8>::ByteRecord;

  uint8_t mode() const { return Get(kMode); }
  uint8_t brightness() const { return Get(kBrightness); }
  uint8_t speed() const { return Get(kSpeed); }
  uint8_t direction() const { return Get(kDirection); }
  uint8_t multiColour() const { return Get(kMultiColour); }
  uint8_t red() const { return Get(kRed); }
  uint8_t green() const { return Get(kGreen); }
  uint8_t blue() const { return Get(kBlue); }
  Rgb colour() const { return GetRgb(kRed); }

  void SetMode(uint8_t v) { Set(kMode, v); }
  void SetBrightness(uint8_t v) { Set(kBrightness, v); }
  void SetSpeed(uint8_t v) { Set(kSpeed, v); }
  void SetDirection(uint8_t v) { Set(kDirection, v); }
  void SetMultiColour(uint8_t v) { Set(kMultiColour, v); }
  void SetRed(uint8_t v) { Set(kRed, v); }
  void SetGreen(uint8_t v) { Set(kGreen, v); }
  void SetBlue(uint8_t v) { Set(kBlue, v); }
  void SetColour(Rgb c) { SetRgb(kRed, c); }
};

// The host's mirror of one 64-byte light block of the device. A keyboard or
// mousepad block starts with its LightRecord, a mouse block with its
// MouseSettingsRecord followed by pointer speed (34) and wheel lines (35).
using LightImage = ByteRecord<64>;

// Five keyboard colour sets painted by the user: one RGB colour per keyboard
// frame position. An all-zero colour means the key is not painted.
struct CustomColourSets : ByteRecord<1890> {
  static constexpr size_t kSets = 5;
  static constexpr size_t kPositions = 126;
  static constexpr size_t kSetSize = kPositions * 3;  // 378

  using ByteRecord<1890>::ByteRecord;

  static constexpr size_t Offset(size_t set, size_t position) { return set * kSetSize + position * 3; }
  static constexpr bool Valid(size_t set, size_t position) { return set < kSets && position < kPositions; }

  // A set or position out of range reads as unpainted and is never written.
  Rgb Colour(size_t set, size_t position) const { return Valid(set, position) ? GetRgb(Offset(set, position)) : Rgb{}; }
  void SetColour(size_t set, size_t position, Rgb c) {
    if (Valid(set, position)) SetRgb(Offset(set, position), c);
  }
};

// The keyboard's custom-painting choices: the colour set in use and the
// colour the user paints with. Byte order as in the keyboard light body.
struct CustomPaint : ByteRecord<4> {
  static constexpr size_t kCustomSetIndex = 0;
  static constexpr size_t kPaintColour = 1;  // RGB at 1..3

  using ByteRecord<4>::ByteRecord;

  // As stored; a value above 4 selects no set (CustomColourSets reads it as
  // unpainted).
  uint8_t customSetIndex() const { return Get(kCustomSetIndex); }
  Rgb paintColour() const { return GetRgb(kPaintColour); }
  void SetCustomSetIndex(uint8_t v) { Set(kCustomSetIndex, v); }
  void SetPaintColour(Rgb c) { SetRgb(kPaintColour, c); }
};

// Live lighting state of each device, owned by the main window for the life
// of the program.
struct KeyboardLighting {
  LightRecord record;
  std::array<LightImage, kProfileSlots> slots;
  CustomPaint paint;
  CustomColourSets custom;
};

struct MouseLighting {
  MouseSettingsRecord record;
  std::array<LightImage, kProfileSlots> slots;

  // Pointer speed (1..20) and wheel scroll lines (1..100) the mouse profile
  // carries; written by short-lived worker threads too, hence whole bytes.
  uint8_t pointerSpeed() const { return pointer_.Get(kPointerSpeed); }
  uint8_t wheelLines() const { return pointer_.Get(kWheelLines); }
  void SetPointerSpeed(uint8_t v) { pointer_.Set(kPointerSpeed, v); }
  void SetWheelLines(uint8_t v) { pointer_.Set(kWheelLines, v); }

 private:
  static constexpr size_t kPointerSpeed = 0;
  static constexpr size_t kWheelLines = 1;
  ByteRecord<2> pointer_;
};

struct MousepadLighting {
  LightRecord record;
  std::array<LightImage, kProfileSlots> slots;
};

// One "record push pending" flag per device: set by whoever changes a
// record, taken by the periodic push on the UI thread.
struct LightPushFlags {
  std::atomic<uint32_t> keyboard{0};
  std::atomic<uint32_t> mouse{0};
  std::atomic<uint32_t> mousepad{0};
  // Runs on the marking thread when a flag is set, so the owner can start
  // its push tick and wake what waits on the records; set before the first
  // Mark.
  std::function<void()> marked;

  void Mark(device::Peripheral p) {
    Flag(*this, p).store(1);
    if (marked) marked();
  }
  // True when the flag was set and the device's pushes are not held; it is
  // clear afterwards.
  bool Take(device::Peripheral p) { return !IsHeld(p) && Flag(*this, p).exchange(0) != 0; }
  bool IsPending(device::Peripheral p) const { return Flag(*this, p).load() != 0; }

  // While an onboard-profile switch is on its way the device's record is
  // about to be replaced by the new profile's block: a push built now would
  // carry the old profile number and undo the switch. Held pushes stay
  // pending and go out, built from the record then, once released.
  void Hold(device::Peripheral p) { held.fetch_or(Bit(p)); }
  void Release(device::Peripheral p) {
    held.fetch_and(~Bit(p));
    if (IsPending(p) && marked) marked();
  }
  bool IsHeld(device::Peripheral p) const { return (held.load() & Bit(p)) != 0; }

 private:
  static uint32_t Bit(device::Peripheral p) { return 1u << static_cast<unsigned>(p); }
  std::atomic<uint32_t> held{0};

  template <typename Self>
  static auto Flag(Self& self, device::Peripheral p) -> decltype((self.keyboard)) {
    switch (p) {
      case device::Peripheral::Keyboard: return self.keyboard;
      case device::Peripheral::Mouse: return self.mouse;
      case device::Peripheral::Mousepad: return self.mousepad;
    }
    return self.keyboard;
  }
};

}  // namespace talvo::lighting
