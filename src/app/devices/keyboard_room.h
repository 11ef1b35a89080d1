// The keyboard's room: its session, lighting page and lighting thread, and
// its read sequences (the full read and the settings re-read the keyboard's
// notifications ask for).
#pragma once

#include "app/devices/device_room.h"
#include "lighting/keyboard_effects.h"
#include "pages/lighting/keyboard_lighting_page.h"
#include "transfer/keyboard_transfer.h"

namespace talvo::app::devices {

class KeyboardRoom final : public DeviceRoom {
 public:
  KeyboardRoom(platform::HidBackend& backend, RoomContext& context);

  // Builds the pages once the window's layout is loaded.
  void CreatePages();
  void RefreshPages() override { RefreshLightingPage(); }
  void ReadEverything(std::function<void()> applied = {}) override;
  void RereadSettings(std::function<void()> applied = {});
  void Detached() override;
  pages::profiles::SelectionEffects SelectionEffects() override;
  LightingWorker Lighting(lighting::LightingPreviewHost& preview) override;
  // The keys show their light, except while the key-assignment tab is up,
  // where they show their assignment.
  void ShowPreview(std::span<const uint32_t> colour, std::span<const uint8_t> level) override;
  lighting::pages::KeyboardLightingPage& LightingPage() { return *lightingPage_; }

  // On the keyboard listener's thread: the read a notification asks for,
  // waited for until it is applied.
  void OnNotification(uint16_t usage, std::stop_token stop);

  // The information block is all zero (no keys, no macro memory) until the
  // keyboard is read.
  transfer::KeyboardData& Data() { return data_; }
  // The effect state the mousepad's effects and the synchronized lighting
  // share (its hue counter).
  lighting::KbEffectState& Effect() { return effect_; }

 private:
  // Shows the live record on the lighting page, once it is built.
  void RefreshLightingPage();
  transfer::KeyboardData data_;
  lighting::KbEffectState effect_;
  lighting::LedStates leds_;
  lighting::KeyboardModeTable modes_{};
  std::unique_ptr<lighting::pages::KeyboardLightingPage> lightingPage_;
  toolkit::Control* keysTab_ = nullptr;
  // The picture the keys sit on, and the light each key was last given
  // (both found with the keys, at the first frame): a frame is compared
  // with these rather than asked of every key.
  toolkit::Control* picture_ = nullptr;
  struct KeyLight {
    uint32_t colour = 0;
    uint8_t level = 0;
    bool lit = false;
    bool operator==(const KeyLight&) const = default;
  };
  std::vector<KeyLight> keyLights_;
};

}  // namespace talvo::app::devices
