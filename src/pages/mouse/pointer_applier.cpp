#include "pages/mouse/pointer_applier.h"

#include <algorithm>
#include <utility>

namespace talvo::mouse {

PointerApplier::PointerApplier(platform::PointerSettings& settings, lighting::MouseLighting& mouse)
    : settings_(settings), mouse_(mouse), worker_([this](std::stop_token stop) { Run(stop); }) {}

PointerApplier::~PointerApplier() {
  worker_.request_stop();
  worker_.join();
}

void PointerApplier::ApplyPointerSpeed() { Queue(speed_, true, 0); }
void PointerApplier::ApplyWheelLines() { Queue(lines_, true, 0); }
void PointerApplier::SetSpeed(int speed) { Queue(speed_, false, speed); }
void PointerApplier::SetWheelLines(int lines) { Queue(lines_, false, lines); }

void PointerApplier::Queue(Request& slot, bool fromProfile, int value) {
  {
    std::lock_guard lock(mutex_);
    slot = {true, fromProfile, value};
  }
  wake_.notify_one();
}

void PointerApplier::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !busy_ && !speed_.pending && !lines_.pending; });
}

void PointerApplier::Run(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  for (;;) {
    // After a stop request the wait returns at once; what is still pending
    // is carried out before the worker ends.
    if (!wake_.wait(lock, stop, [this] { return speed_.pending || lines_.pending; })) return;
    const Request speed = std::exchange(speed_, {});
    const Request lines = std::exchange(lines_, {});
    busy_ = true;
    lock.unlock();
    Carry(speed, lines);
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
}

void PointerApplier::Carry(const Request& speed, const Request& lines) {
  if (speed.pending) {
    int value = speed.value;
    if (speed.fromProfile) {
      const int stored = mouse_.pointerSpeed();
      value = std::clamp(stored, platform::kPointerSpeedMin, platform::kPointerSpeedMax);
      if (value != stored) mouse_.SetPointerSpeed(static_cast<uint8_t>(value));
    }
    settings_.ApplySpeed(value);
  }
  if (lines.pending) settings_.ApplyWheelLines(lines.fromProfile ? mouse_.wheelLines() : lines.value);
}

}  // namespace talvo::mouse
