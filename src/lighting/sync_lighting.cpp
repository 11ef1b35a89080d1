#include "lighting/sync_lighting.h"

#include <span>
#include <string>

#include "device/device_commands.h"
#include "lighting/colour_tables.h"
#include "platform/debug.h"
#include "platform/prompt_wakes.h"

namespace talvo::lighting {

namespace {

using device::Peripheral;
using std::chrono::milliseconds;

// Record bytes mode .. blue, the part a same-mode button shares.
constexpr size_t kSharedFirst = LightRecord::kMode;
constexpr size_t kSharedCount = SyncLightRecord::kSize;

template <typename Record>
void CopyShared(const std::array<uint8_t, kSharedCount>& shared, Record& to) {
  for (size_t i = 0; i < kSharedCount; ++i) to.Set(kSharedFirst + i, shared[i]);
}

template <typename Record>
std::array<uint8_t, kSharedCount> SharedOf(const Record& from) {
  std::array<uint8_t, kSharedCount> shared{};
  for (size_t i = 0; i < kSharedCount; ++i) shared[i] = from.Get(kSharedFirst + i);
  return shared;
}

// The synchronized scaling, like the mouse's and the mousepad's: c × (l + 1)
// >> 8, so a full level keeps the colour.
Rgb Scale(Rgb c, uint8_t l) {
  const unsigned f = unsigned{l} + 1;
  return {static_cast<uint8_t>(c.red * f >> 8), static_cast<uint8_t>(c.green * f >> 8),
          static_cast<uint8_t>(c.blue * f >> 8)};
}

// One colour as the pages show it and as the devices receive it.
struct Paint {
  Rgb shown;
  Rgb sent;
  uint8_t alpha;
};

void Put(std::span<uint8_t> frame, size_t led, Rgb c) {
  frame[3 * led] = c.red;
  frame[3 * led + 1] = c.green;
  frame[3 * led + 2] = c.blue;
}

// Preview at the engine LED, frame bytes at its place in the device's frame.
void PaintKeyboardLed(SyncFrames& f, size_t led, const Paint& p) {
  f.keyboardPreview.colour[led] = PackPreviewColour(p.shown);
  f.keyboardPreview.level[led] = p.alpha;
  if (kLedFrameMap[led] < kKeyboardLeds) Put(f.keyboard, kLedFrameMap[led], p.sent);
}

void PaintMouseLed(SyncFrames& f, size_t n, const Paint& p) {
  f.mousePreview.colour[n] = PackPreviewColour(p.shown);
  f.mousePreview.alpha[n] = p.alpha;
  Put(f.mouse, n, p.sent);
}

void PaintMousepadLed(SyncFrames& f, size_t n, const Paint& p) {
  f.mousepadColour[n] = PackPreviewColour(p.shown);
  f.mousepadAlpha[n] = p.alpha;
  Put(f.mousepad, n, p.sent);
}

// Every keyboard frame position (taken as the engine LED of the same number
// for the preview, without the frame map), every mouse and mousepad LED.
void PaintAll(SyncFrames& f, const Paint& p) {
  for (size_t i = 0; i < kKeyboardLeds; ++i) {
    f.keyboardPreview.colour[i] = PackPreviewColour(p.shown);
    f.keyboardPreview.level[i] = p.alpha;
    Put(f.keyboard, i, p.sent);
  }
  for (size_t n = 0; n < kMouseLeds; ++n) PaintMouseLed(f, n, p);
  for (size_t n = 0; n < kMousepadLeds; ++n) PaintMousepadLed(f, n, p);
}

// Steps the shared counter. The keyboard's own effects leave it anywhere in
// 0..255 and the wave and spectrum leave it up to 191; a value at or past
// `n` restarts the cycle, so it always indexes within the table.
uint8_t StepCounter(KbEffectState& counter, uint8_t direction, unsigned n) {
  const uint8_t k = NextPhase(counter.snakePos(), direction, n);
  counter.SetSnakePos(k);
  return k;
}

// 23 bands, one per key-matrix column; the first seven also light a mouse
// group and the first fifteen a mousepad LED. With multiColour the bands
// walk the wheel, else the record colour breathes along them.
void SyncWave(const SyncLightRecord& record, KbEffectState& counter, SyncFrames& f) {
  const uint8_t level = BrightnessLevel(record.brightness());
  const bool multi = record.multiColour() != 0;
  unsigned k = StepCounter(counter, record.direction(), multi ? 192 : kBreath96.size());
  for (size_t column = 0; column < kMatrixColumns; ++column) {
    Paint p{};
    if (multi) {
      p.shown = ColourWheel(static_cast<uint8_t>(k));
      p.sent = Scale(p.shown, level);
      p.alpha = level;
      k = (k + 7) % 192;
    } else {
      p.shown = record.colour();
      p.sent = Scale(Scale(p.shown, level), kBreath96[k]);
      k = (k + 10) % kBreath96.size();
      // The alpha is read after the step: the page shows each band at the
      // next band's breath level.
      p.alpha = static_cast<uint8_t>(unsigned{level} * kBreath96[k] >> 8);
    }
    for (const uint8_t led : kKeyMatrix[column])
      if (led < kKeyboardLeds) PaintKeyboardLed(f, led, p);
    if (column < kMouseGroups.size())
      for (const uint8_t n : kMouseGroups[column]) PaintMouseLed(f, n, p);
    if (column < kMousepadLeds) PaintMousepadLed(f, column, p);
  }
}

void SyncSpectrum(const SyncLightRecord& record, KbEffectState& counter, SyncFrames& f) {
  const uint8_t level = BrightnessLevel(record.brightness());
  const Rgb c = ColourWheel(StepCounter(counter, record.direction(), 192));
  PaintAll(f, {c, Scale(c, level), level});
}

// Always forwards through the breath, whatever the direction.
void SyncBreathing(const SyncLightRecord& record, KbEffectState& counter, SyncFrames& f) {
  const uint8_t level = BrightnessLevel(record.brightness());
  const uint8_t k = StepCounter(counter, 1, kBreath128.size());
  const uint8_t breath = kBreath128[k];
  const Rgb c = record.multiColour() != 0 ? ColourWheel(k) : record.colour();
  PaintAll(f, {c, Scale(Scale(c, breath), level), static_cast<uint8_t>(unsigned{level} * breath >> 8)});
}

void SyncStatic(const SyncLightRecord& record, SyncFrames& f) {
  const uint8_t level = BrightnessLevel(record.brightness());
  const Rgb c = record.colour();
  PaintAll(f, {c, Scale(c, level), level});
}

constexpr milliseconds kPassPause{1};

// What a pass owes the frame pace besides its sends: each device outside
// synchronization sleeps about what its send would have taken, and the
// spectrum and static effects hold each frame set a little longer.
milliseconds PassSleep(uint8_t mode, bool keyboard, bool mouse, bool mousepad) {
  milliseconds owed{0};
  if (!keyboard) owed += milliseconds(mode == 2 ? 8 : 6);
  if (!mouse) owed += milliseconds(1);
  if (!mousepad) owed += milliseconds(1);
  if (mode == 1) owed += milliseconds(6);
  if (mode == 3) owed += milliseconds(5);
  return owed;
}

bool Synchronized(const device::CDeviceLink& link) { return link.IsConnected() && link.syncActive.load() != 0; }

}  // namespace

std::optional<SyncFollowUp> SyncApply(Peripheral source, const SyncRecords& records) {
  // A mode the synchronized frames do not animate would leave all three
  // devices without frames until each page changes its mode.
  const uint8_t mode = source == Peripheral::Keyboard ? records.keyboard.mode()
                       : source == Peripheral::Mouse  ? records.mouse.mode()
                                                      : records.mousepad.mode();
  if (mode >= kSyncModes) {
    debug::Line("synchronized lighting: mode " + std::to_string(mode) + " is not one it animates; not started");
    return std::nullopt;
  }
  std::array<uint8_t, kSharedCount> shared{};
  SyncFollowUp followUp{};
  switch (source) {
    case Peripheral::Keyboard:
      shared = SharedOf(records.keyboard);
      CopyShared(shared, records.mouse);
      CopyShared(shared, records.mousepad);
      followUp.targets = {{{Peripheral::Mouse, true}, {Peripheral::Mousepad, false}}};
      break;
    case Peripheral::Mouse:
      shared = SharedOf(records.mouse);
      CopyShared(shared, records.mousepad);
      CopyShared(shared, records.keyboard);
      followUp.targets = {{{Peripheral::Mousepad, false}, {Peripheral::Keyboard, true}}};
      break;
    case Peripheral::Mousepad:
      shared = SharedOf(records.mousepad);
      CopyShared(shared, records.mouse);
      CopyShared(shared, records.keyboard);
      followUp.targets = {{{Peripheral::Mouse, true}, {Peripheral::Keyboard, true}}};
      break;
    default:
      debug::Line("synchronized lighting: no device to take the lighting from; not started");
      return std::nullopt;
  }
  records.sync.Load(shared);
  return followUp;
}

bool ComputeSyncFrames(const SyncLightRecord& record, KbEffectState& counter, SyncFrames& frames) {
  frames = SyncFrames{};
  switch (record.mode()) {
    case 0: SyncWave(record, counter, frames); return true;
    case 1: SyncSpectrum(record, counter, frames); return true;
    case 2: SyncBreathing(record, counter, frames); return true;
    case 3: SyncStatic(record, frames); return true;
    default: return false;
  }
}

void RunSyncLighting(std::stop_token stop, const SyncLightingThread& parts) {
  platform::AskPromptWakes();
  StopWait wait(std::move(stop));
  const SyncLightRecord& record = parts.record;
  const auto open = [&] {
    return record.mode() < kSyncModes &&
           (Synchronized(parts.keyboard) || Synchronized(parts.mouse) || Synchronized(parts.mousepad));
  };
  SyncFrames frames;
  milliseconds owed{0};
  while (!wait.Stopped()) {
    if (!open()) {
      owed = milliseconds{0};
      parts.gates.WaitFor(wait.Token(), parts.gateRecheck, open);
      continue;
    }
    // A single wait for the whole pause, the sleeps the last pass owes
    // included: every wake-up costs CPU time.
    if (!wait.For(kPassPause + milliseconds(4 * unsigned{record.speed()}) + owed)) break;
    const uint8_t mode = record.mode();
    // Read once for the whole frame set: a device that leaves meanwhile
    // gets at most this one more frame.
    const bool keyboard = Synchronized(parts.keyboard);
    const bool mouse = Synchronized(parts.mouse);
    const bool mousepad = Synchronized(parts.mousepad);
    owed = PassSleep(mode, keyboard, mouse, mousepad);
    if (!(keyboard || mouse || mousepad) || !ComputeSyncFrames(record, parts.counter, frames)) continue;
    const bool send = parts.systemAwake.load() != 0;
    if (keyboard) {
      parts.preview.KeyboardPreview(frames.keyboardPreview.colour, frames.keyboardPreview.level);
      if (send) device::SendLightFrame(parts.keyboard, frames.keyboard);
    }
    if (mouse) {
      parts.preview.MousePreview(frames.mousePreview.colour, frames.mousePreview.alpha);
      if (send) device::SendLightFrame(parts.mouse, frames.mouse);
    }
    if (mousepad) {
      parts.preview.MousepadPreview(frames.mousepadColour, frames.mousepadAlpha);
      if (send) device::SendLightFrame(parts.mousepad, frames.mousepad);
    }
  }
  debug::Line("synchronized lighting thread ended");
}

}  // namespace talvo::lighting
