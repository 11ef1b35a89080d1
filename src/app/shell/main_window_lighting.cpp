// The main window's side of the lighting threads: their previews. Each
// frame's preview colours are kept here by the lighting threads and shown by
// the repaint tick (timer 10), which updates only the preview controls whose
// colours changed instead of repainting the whole window.
//
// The tick runs only while it has something to show: the first frame after
// it stopped arms it, and it stops itself when a tick finds no new frame or
// the window hidden, so an idle program does not wake for it.
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <mutex>
#include <utility>

#include "app/controls/led_picture.h"
#include "app/shell/main_window.h"
#include "lighting/sync_lighting.h"

namespace talvo::app {
namespace {

constexpr int kRepaintMs = 50;

bool Shown(const QWidget* w) { return w->isVisible() && !w->isMinimized(); }

}  // namespace

// Called on the lighting threads once per frame: copies and marks, nothing
// more, so a frame never waits for the window. Only the frame that finds the
// tick disarmed reaches the UI thread, to arm it.
class CMainWnd::PreviewHost final : public lighting::LightingPreviewHost {
 public:
  explicit PreviewHost(CMainWnd& w) : w_(w), owner_(&w) {}

  void KeyboardPreview(std::span<const uint32_t, lighting::kKeyboardLeds> colour,
                       std::span<const uint8_t, lighting::kKeyboardLeds> level) override {
    Keep(device::Peripheral::Keyboard, colour, level);
  }
  void MousePreview(std::span<const uint32_t, lighting::kMouseLeds> colour,
                    std::span<const uint8_t, lighting::kMouseLeds> alpha) override {
    Keep(device::Peripheral::Mouse, colour, alpha);
  }
  void MousepadPreview(std::span<const uint32_t, lighting::kMousepadLeds> colour,
                       std::span<const uint8_t, lighting::kMousepadLeds> alpha) override {
    Keep(device::Peripheral::Mousepad, colour, alpha);
  }

 private:
  void Keep(device::Peripheral peripheral, std::span<const uint32_t> colour, std::span<const uint8_t> alpha) {
    bool arm = false;
    {
      std::lock_guard lock(w_.previewMutex_);
      PreviewFrame& frame = w_.previewFrames_[device::IndexOf(peripheral)];
      frame.colour.assign(colour.begin(), colour.end());
      frame.alpha.assign(alpha.begin(), alpha.end());
      frame.dirty = true;
      arm = !std::exchange(w_.repaintArmed_, true);
    }
    if (arm)
      w_.toolkit_.Post([owner = owner_] {
        if (owner) owner->ArmRepaint();
      });
  }

  CMainWnd& w_;
  QPointer<CMainWnd> owner_;
};

std::vector<WorkerSpec> CMainWnd::LightingWorkers() {
  previewHost_ = std::make_shared<PreviewHost>(*this);
  std::vector<WorkerSpec> workers;
  for (devices::DeviceRoom* room : rooms_) {
    devices::LightingWorker lighting = room->Lighting(*previewHost_);
    workers.push_back({std::move(lighting.name), std::move(lighting.body)});
  }
  // In the order the threads have always started: the synchronized one third.
  workers.insert(workers.begin() + 2,
                 {"SyncLighting", [this](std::stop_token stop) {
                    // Its gates are all shared: no streamed colours wake it.
                    platform::WakeSignal gates;
                    lightingGates_.Join(gates);
                    lighting::RunSyncLighting(stop, {.keyboard = KeyboardLink(),
                                                     .mouse = MouseLink(),
                                                     .mousepad = MousepadLink(),
                                                     .record = syncRecord_,
                                                     .counter = keyboard_.Effect(),
                                                     .preview = *previewHost_,
                                                     .systemAwake = systemAwake,
                                                     .gates = gates});
                    lightingGates_.Leave(gates);
                  }});
  return workers;
}

void CMainWnd::ArmRepaint() {
  // A hidden window stays armed without a tick: its frames wait, marked,
  // for the window to be shown, which arms the tick again.
  if (Shown(window_.Widget()) && !window_.IsTimerActive(kRepaintTimer)) window_.SetTimer(kRepaintTimer, kRepaintMs);
}

void CMainWnd::OnRepaintTick() {
  if (!Shown(window_.Widget()) || !FlushPreviews()) window_.KillTimer(kRepaintTimer);
}

bool CMainWnd::FlushPreviews() {
  // Kept between ticks, so copying a frame reuses the room it had.
  std::array<PreviewFrame, 3>& frames = previewShown_;
  for (PreviewFrame& frame : frames) frame.dirty = false;
  {
    std::lock_guard lock(previewMutex_);
    for (size_t i = 0; i < frames.size(); ++i) {
      if (!previewFrames_[i].dirty) continue;
      frames[i].colour.assign(previewFrames_[i].colour.begin(), previewFrames_[i].colour.end());
      frames[i].alpha.assign(previewFrames_[i].alpha.begin(), previewFrames_[i].alpha.end());
      frames[i].dirty = true;
      previewFrames_[i].dirty = false;
    }
    // Disarmed in the same step that finds nothing new, so the next frame
    // is sure to arm the tick again.
    if (std::ranges::none_of(frames, &PreviewFrame::dirty)) {
      repaintArmed_ = false;
      return false;
    }
  }
  // The LED pictures paint the frame before the tick returns, in this pass
  // of the event loop.
  LedPicture::Batch batch;
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i].dirty) rooms_[i]->ShowPreview(frames[i].colour, frames[i].alpha);
  return true;
}

void CMainWnd::OnSameMode(device::Peripheral source) {
  // Pushes still pending go out first, each on its device's session, so a
  // change made just before the click does not end the synchronization the
  // click starts.
  OnPushTick();
  const auto followUp = lighting::SyncApply(
      source, {live_.keyboardLight.record, live_.mouseLight.record, live_.mousepadLight.record, syncRecord_});
  if (!followUp) return;
  for (const auto& target : followUp->targets) {
    Room(target.device).RefreshPages();
    saver_.Mark(target.device, profiles::ProfileKind::Lighting);
    if (target.deviceProfile) saver_.Mark(target.device, profiles::ProfileKind::Device);
  }
  for (devices::DeviceRoom* room : rooms_) {
    // Behind any push just queued on the same session.
    const bool queued = room->Session().Run([this](device::CDeviceLink& link) {
      link.syncActive.store(1);
      lightingGates_.Notify();
    });
    if (!queued) room->Link().syncActive.store(1);
  }
  lightingGates_.Notify();
}

}  // namespace talvo::app
