// The mousepad's room: its session, lighting page and lighting thread, and
// its sequences (the full read, the onboard profile list, restoring its
// defaults).
#pragma once

#include <optional>

#include "app/devices/device_room.h"
#include "lighting/mousepad_effects.h"
#include "pages/lighting/mousepad_lighting_page.h"
#include "transfer/mousepad_transfer.h"

namespace talvo::app::devices {

class MousepadRoom final : public DeviceRoom {
 public:
  // keyboardEffect: the hue counter one of its effects shares with the keyboard.
  MousepadRoom(platform::HidBackend& backend, RoomContext& context, lighting::KbEffectState& keyboardEffect);

  // Builds the pages once the window's layout is loaded.
  void CreatePages();
  void RefreshPages() override { RefreshLightingPage(); }
  void ReadEverything(std::function<void()> applied = {}) override;
  void SelectOnboard(int n) override;
  // The list shows the choice at once, as when the user makes it there, and
  // choosing the entry it shows does nothing.
  void ChooseOnboard(int n) override;
  // The factory settings; the mousepad settles for a second before it is
  // read again, which the UI thread does not wait for.
  void RestoreDefaults();
  pages::profiles::SelectionEffects SelectionEffects() override;
  LightingWorker Lighting(lighting::LightingPreviewHost& preview) override;
  lighting::pages::MousepadLightingPage& LightingPage() { return *lightingPage_; }

 private:
  // Starts the comet's ring where the record shows it, and shows the live
  // record on the lighting page once it is built.
  void RefreshLightingPage();
  // The onboard profile list shows the active one, none when unknown.
  void ShowOnboard(std::optional<unsigned> active);

  lighting::KbEffectState& keyboardEffect_;
  transfer::MousepadData data_;
  lighting::MousepadEffectState effect_;
  lighting::MousepadModeTable modes_{};
  std::unique_ptr<lighting::pages::MousepadLightingPage> lightingPage_;
};

}  // namespace talvo::app::devices
