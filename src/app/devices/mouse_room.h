// The mouse's room: its session, lighting, performance and cursor-macro
// pages, its lighting thread, and its read sequences (the full read after it
// attaches, the settings re-read its notifications ask for, the onboard
// profile buttons, the cursor image read before everything else).
#pragma once

#include <atomic>

#include "app/devices/device_room.h"
#include "lighting/mouse_effects.h"
#include "pages/cursor/cursor_macro_page.h"
#include "pages/lighting/mouse_lighting_page.h"
#include "pages/mouse/mouse_performance_page.h"
#include "platform/pointer_settings.h"
#include "transfer/mouse_transfer.h"

namespace talvo::app::devices {

class MouseRoom final : public DeviceRoom {
 public:
  MouseRoom(platform::HidBackend& backend, RoomContext& context);

  // Builds the pages once the window's layout is loaded.
  void CreatePages(platform::PointerSettings& pointerSettings);
  // Lighting, performance, key pages and the onboard selector show the
  // records again; a lighting thread waiting for a mode it animates looks
  // again.
  void RefreshPages() override;
  void ReadEverything(std::function<void()> applied = {}) override;
  void SelectOnboard(int n) override;
  void Attached() override;
  void Detached() override;
  pages::profiles::SelectionEffects SelectionEffects() override;
  LightingWorker Lighting(lighting::LightingPreviewHost& preview) override;
  lighting::pages::MouseLightingPage& LightingPage() { return *lightingPage_; }

  // On the mouse listener's thread.
  void OnNotification(uint16_t usage, std::stop_token stop);
  // Queued on the mouse's session ahead of the full read an attach starts:
  // the cursor macros the mouse holds replace the slot files.
  void ReadCursorMacros();
  // Shows the cursor macros' files on their pages, once each is built.
  void ReloadCursorPage();
  // Shows the live key maps on the key page, once it is built.
  void RefreshKeyPage();

  transfer::MouseDeviceData& Data() { return data_; }
  const transfer::MouseDeviceData& Data() const { return data_; }
  mouse::MousePerformancePage& PerformancePage() { return *performancePage_; }
  macros::pages::CursorMacroPage& CursorPage() { return *cursorPage_; }

 private:
  void RereadSettings();
  void DownloadCursorImage(device::CDeviceLink& mouse);

  transfer::MouseDeviceData data_;
  lighting::MouseEffectState effect_;
  // A settings re-read is due; the mouse's frames wait for it.
  std::atomic<uint32_t> rereadPending_{0};
  QTimer rereadTimer_;
  std::unique_ptr<lighting::pages::MouseLightingPage> lightingPage_;
  std::unique_ptr<mouse::MousePerformancePage> performancePage_;
  std::unique_ptr<macros::pages::CursorMacroPage> cursorPage_;
};

}  // namespace talvo::app::devices
