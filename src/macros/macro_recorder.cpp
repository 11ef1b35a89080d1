#include "macros/macro_recorder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <span>

#include "platform/debug.h"
#include "platform/virtual_keys.h"

namespace talvo::macros {
namespace {

// Left, right and middle button down and up: the rows recording takes.
constexpr size_t kRecordedMouseRows = 6;

uint64_t SteadyMilliseconds() {
  return uint64_t(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

const keys::KeyCodeRow* SingleKeyRow(uint16_t vk, bool extended) {
  const keys::KeyCodeRow* row = keys::FindKeyCodeRowByVk(platform::DistinctVirtualKey(vk, extended));
  return row && row->kind == keys::kKindKeyboard ? row : nullptr;
}

MacroRecorder::MacroRecorder(Clock clock) : clock_(std::move(clock)) {}
MacroRecorder::MacroRecorder() : MacroRecorder(SteadyMilliseconds) {}

void MacroRecorder::Start(Options options) {
  options_ = options;
  lastTick_ = clock_();
  // A key held or a button message seen when the last recording stopped
  // must not swallow the first event of this one.
  lastHeldKey_ = 0;
  lastMouseMessage_ = 0;
}

std::optional<Recorded> MacroRecorder::Key(const platform::CapturedKey& key) {
  char line[64];
  const unsigned flags = (key.extended ? 0x01u : 0u) | (key.down ? 0u : 0x80u);
  std::snprintf(line, sizeof line, "%d,%d,%d,%d,%d", int(key.vk), int(key.scanCode), int(flags), int(key.timeMs), 0);
  debug::Line(line);

  const uint16_t vk = platform::DistinctVirtualKey(key.vk, key.extended);
  if (key.down) {
    if (vk == lastHeldKey_) return std::nullopt;
    lastHeldKey_ = vk;
  } else if (vk == lastHeldKey_) {
    lastHeldKey_ = 0;
  }

  const keys::KeyCodeRow* row = keys::FindKeyCodeRowByVk(vk);
  if (!row || row >= keys::KeyCodeTable.data() + kRecordableKeyRows) return std::nullopt;
  RecordedStep step;
  step.code = vk;
  step.down = key.down;
  step.extended = key.extended;
  if (row->p2 != 0) {
    step.event = kEventOtherKey;
    step.value = row->p2;
  } else if (row->p1 != 0) {
    step.event = kEventModifierKey;
    step.value = row->p1;
  }
  if (key.down) step.event |= kEventFlag;
  step.label = row->textId;
  return Recorded{step, Elapsed()};
}

std::optional<Recorded> MacroRecorder::Mouse(int message) {
  const auto rows = std::span(MacroMouseEventTable).first(kRecordedMouseRows);
  const auto row =
      std::find_if(rows.begin(), rows.end(), [&](const MouseEventRow& r) { return r.message == message; });
  if (row == rows.end() || !options_.mouseClicks) return std::nullopt;
  if (message == lastMouseMessage_) return std::nullopt;
  lastMouseMessage_ = message;
  const RecordedStep step{.source = RecordedStep::Source::kMouse,
                          .code = uint16_t(message),
                          .down = (row->event & kEventFlag) != 0,
                          .event = row->event,
                          .value = row->button,
                          .label = row->label};
  return Recorded{step, Elapsed()};
}

uint16_t MacroRecorder::Elapsed() {
  const uint64_t now = clock_();
  const uint64_t elapsed = now - lastTick_;
  lastTick_ = now;
  if (options_.fixedDelay) return kFixedDelay;
  return uint16_t(std::min<uint64_t>(elapsed, kMaxDelay));
}

}  // namespace talvo::macros
