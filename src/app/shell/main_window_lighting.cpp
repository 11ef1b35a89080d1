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
    Keep([&](PreviewFrames& f) {
      std::copy(colour.begin(), colour.end(), f.keyboardColour.begin());
      std::copy(level.begin(), level.end(), f.keyboardLevel.begin());
      f.keyboardDirty = true;
    });
  }
  void MousePreview(std::span<const uint32_t, lighting::kMouseLeds> colour,
                    std::span<const uint8_t, lighting::kMouseLeds> alpha) override {
    Keep([&](PreviewFrames& f) {
      std::copy(colour.begin(), colour.end(), f.mouseColour.begin());
      std::copy(alpha.begin(), alpha.end(), f.mouseAlpha.begin());
      f.mouseDirty = true;
    });
  }
  void MousepadPreview(std::span<const uint32_t, lighting::kMousepadLeds> colour,
                       std::span<const uint8_t, lighting::kMousepadLeds> alpha) override {
    Keep([&](PreviewFrames& f) {
      std::copy(colour.begin(), colour.end(), f.mousepadColour.begin());
      std::copy(alpha.begin(), alpha.end(), f.mousepadAlpha.begin());
      f.mousepadDirty = true;
    });
  }

 private:
  template <typename Store>
  void Keep(Store store) {
    bool arm = false;
    {
      std::lock_guard lock(w_.previewMutex_);
      store(w_.previewFrames_);
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
                    lighting::RunSyncLighting(stop, {.keyboard = KeyboardLink(),
                                                     .mouse = MouseLink(),
                                                     .mousepad = MousepadLink(),
                                                     .record = syncRecord_,
                                                     .counter = keyboard_.Effect(),
                                                     .preview = *previewHost_,
                                                     .systemAwake = systemAwake,
                                                     .gates = lightingGates_});
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
  PreviewFrames frames;
  {
    std::lock_guard lock(previewMutex_);
    frames = previewFrames_;
    previewFrames_.keyboardDirty = previewFrames_.mouseDirty = previewFrames_.mousepadDirty = false;
    // Disarmed in the same step that finds nothing new, so the next frame
    // is sure to arm the tick again.
    if (!frames.keyboardDirty && !frames.mouseDirty && !frames.mousepadDirty) {
      repaintArmed_ = false;
      return false;
    }
  }
  // A control repaints only when its own colour changed.
  const auto tint = [](toolkit::Control* c, uint32_t packed, int alpha) {
    if (!c || !c->IsVisibleInWindow()) return;
    // Preview colours come packed as page colours; the controls' tint is ARGB.
    const uint32_t argb = toolkit::ArgbOfPageColour(packed);
    if (c->ChangerColor() == argb && c->ChangerAlpha() == alpha) return;
    c->SetChangerColor(argb);
    c->SetChangerAlpha(alpha);
    c->Invalidate();
  };
  if (frames.mouseDirty)
    for (size_t i = 0; i < previews_.mouse.size(); ++i)
      tint(previews_.mouse[i], frames.mouseColour[i], frames.mouseAlpha[i]);
  if (frames.mousepadDirty)
    for (size_t i = 0; i < previews_.mousepad.size(); ++i)
      tint(previews_.mousepad[i], frames.mousepadColour[i], frames.mousepadAlpha[i]);
  if (frames.keyboardDirty) {
    // Keys show their light except while the key-assignment tab is up.
    const bool lit = !(previews_.keyboardKeysTab && previews_.keyboardKeysTab->IsSelected());
    for (size_t i = 0; i < previews_.keyboard.size(); ++i) {
      toolkit::Control* key = previews_.keyboard[i];
      if (!key || !key->IsVisibleInWindow()) continue;
      if (key->LightColour() == frames.keyboardColour[i] && key->LightAlpha() == frames.keyboardLevel[i] &&
          key->IsLightOn() == lit)
        continue;
      key->SetLight(frames.keyboardColour[i], frames.keyboardLevel[i], lit);
      key->Invalidate();
    }
  }
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
