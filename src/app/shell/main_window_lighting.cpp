// The main window's side of the lighting threads: their previews. Each
// frame's preview colours are kept here by the lighting threads and shown by
// the repaint tick (timer 10), which updates only the preview controls whose
// colours changed instead of repainting the whole window.
#include <mutex>

#include "app/shell/main_window.h"

namespace talvo::app {

// Called on the lighting threads once per frame: copies and marks, nothing
// more, so a frame never waits for the window.
class CMainWnd::PreviewHost final : public lighting::LightingPreviewHost {
 public:
  explicit PreviewHost(CMainWnd& w) : w_(w) {}

  void KeyboardPreview(std::span<const uint32_t, lighting::kKeyboardLeds> colour,
                       std::span<const uint8_t, lighting::kKeyboardLeds> level) override {
    std::lock_guard lock(w_.previewMutex_);
    std::copy(colour.begin(), colour.end(), w_.previewFrames_.keyboardColour.begin());
    std::copy(level.begin(), level.end(), w_.previewFrames_.keyboardLevel.begin());
    w_.previewFrames_.keyboardDirty = true;
  }
  void MousePreview(std::span<const uint32_t, lighting::kMouseLeds> colour,
                    std::span<const uint8_t, lighting::kMouseLeds> alpha) override {
    std::lock_guard lock(w_.previewMutex_);
    std::copy(colour.begin(), colour.end(), w_.previewFrames_.mouseColour.begin());
    std::copy(alpha.begin(), alpha.end(), w_.previewFrames_.mouseAlpha.begin());
    w_.previewFrames_.mouseDirty = true;
  }
  void MousepadPreview(std::span<const uint32_t, lighting::kMousepadLeds> colour,
                       std::span<const uint8_t, lighting::kMousepadLeds> alpha) override {
    std::lock_guard lock(w_.previewMutex_);
    std::copy(colour.begin(), colour.end(), w_.previewFrames_.mousepadColour.begin());
    std::copy(alpha.begin(), alpha.end(), w_.previewFrames_.mousepadAlpha.begin());
    w_.previewFrames_.mousepadDirty = true;
  }

 private:
  CMainWnd& w_;
};

std::vector<WorkerSpec> CMainWnd::LightingWorkers() {
  previewHost_ = std::make_shared<PreviewHost>(*this);
  return {
      {"KeyboardLighting",
       [this](std::stop_token stop) {
         lighting::RunKeyboardLighting(
             stop, {keyboardLink_, live_.keyboardLight, keyboardEffect_, keyboardLeds_, keyboardModes_, *previewHost_});
       }},
      {"MouseLighting",
       [this](std::stop_token stop) {
         lighting::RunMouseLighting(stop, {mouseLink_, live_.mouseLight.record, mouseEffect_, *previewHost_,
                                           systemAwake, mouseRereadPending});
       }},
      {"MousepadLighting",
       [this](std::stop_token stop) {
         lighting::RunMousepadLighting(stop,
                                       {mousepadLink_, live_.mousepadLight.record, mousepadModes_, *previewHost_});
       }},
  };
}

void CMainWnd::FlushPreviews() {
  PreviewFrames frames;
  {
    std::lock_guard lock(previewMutex_);
    frames = previewFrames_;
    previewFrames_.keyboardDirty = previewFrames_.mouseDirty = previewFrames_.mousepadDirty = false;
  }
  // A control repaints only when its own colour changed.
  const auto tint = [](Control* c, uint32_t packed, int alpha) {
    if (!c || !c->IsVisibleInWindow()) return;
    // Preview colours come packed as page colours; the controls' tint is ARGB.
    const uint32_t argb = ArgbOfPageColour(packed);
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
      Control* key = previews_.keyboard[i];
      if (!key || !key->IsVisibleInWindow()) continue;
      if (key->LightColour() == frames.keyboardColour[i] && key->LightAlpha() == frames.keyboardLevel[i] &&
          key->IsLightOn() == lit)
        continue;
      key->SetLight(frames.keyboardColour[i], frames.keyboardLevel[i], lit);
      key->Invalidate();
    }
  }
}

}  // namespace talvo::app
