// A device's room: everything of one peripheral the window would otherwise
// hold three times. It owns the device's session (and with it the link),
// the colours other programs stream in place of its effect, its pages, its
// lighting thread and its read sequences, each run on the session and
// applied on the UI thread with the page refresh that follows. The window
// keeps the tabs, the timers of its own and the wiring between rooms.
#pragma once

#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_session.h"
#include "lighting/direct_colours.h"
#include "lighting/light_records.h"
#include "lighting/lighting_threads.h"
#include "pages/deferred_views.h"
#include "pages/keys/key_pages.h"
#include "pages/macros/macro_pages.h"
#include "pages/peripheral_traits.h"
#include "pages/profiles/profile_selection.h"
#include "pages/sequence_runner.h"
#include "platform/hid_backend.h"
#include "platform/wake_signal.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"
#include "toolkit/toolkit.h"

namespace talvo::app::devices {

// What the rooms share with the window and each other; all of it outlives
// the rooms.
struct RoomContext {
  toolkit::Toolkit& toolkit;
  toolkit::Window& window;
  profiles::LiveData& live;
  profiles::ProfileSaver& saver;
  pages::SequenceRunner& sequences;
  pages::DeferredViews& views;
  lighting::LightPushFlags& pushFlags;
  // Told when the gates of every lighting thread may have opened.
  platform::WakeFanOut& lightingGates;
  // Read by the lighting threads: no frames go out while the system sleeps.
  std::atomic<uint32_t>& systemAwake;
  // Set by the mouse listener, read by the mousepad's flash effect.
  std::atomic<uint32_t>& flashTrigger;
  // Sends the pushes pending now, before an onboard switch changes the
  // profile they were made in.
  std::function<void()> sendPendingPushes;
  // The pages the mouse and the keyboard share, set once they are built
  // (after the rooms' own pages).
  keys::pages::KeyPages* keyPages = nullptr;
  macros::pages::MacroPages* macroPages = nullptr;
};

// A device's full read follows its arrival after this long.
inline constexpr int kFullReadDelayMs = 500;

// A lighting thread, named for the worker list.
struct LightingWorker {
  std::string name;
  std::function<void(std::stop_token)> body;
};

class DeviceRoom {
 public:
  DeviceRoom(device::Peripheral peripheral, platform::HidBackend& backend, RoomContext& context);
  virtual ~DeviceRoom();
  DeviceRoom(const DeviceRoom&) = delete;
  DeviceRoom& operator=(const DeviceRoom&) = delete;

  const pages::PeripheralTraits& Traits() const { return traits_; }
  device::Peripheral Peripheral() const { return traits_.peripheral; }
  device::DeviceSession& Session() { return session_; }
  device::CDeviceLink& Link() { return session_.Link(); }
  bool Connected() { return Link().IsConnected(); }
  lighting::DirectColours& Direct() { return direct_; }
  // What the device's lighting thread sleeps on: the shared gates, and the
  // colours streamed to this device alone.
  platform::WakeSignal& LightingWake() { return lightingWake_; }

  // The device's pages show its live records again.
  virtual void RefreshPages() = 0;
  // The device's sequences; `applied` runs after the apply step, also when
  // the read could not be made.
  virtual void ReadEverything(std::function<void()> applied = {}) = 0;
  // Its full read after `delayMs`, on the UI thread; a new call restarts the wait.
  void ReadEverythingAfter(int delayMs);
  bool FullReadWaiting() const { return fullReadTimer_.isActive(); }
  // Onboard profile n (0-based) becomes the device's active one.
  virtual void SelectOnboard(int) {}
  // The same chosen by another program: as if chosen on the device's
  // onboard selector.
  virtual void ChooseOnboard(int n) { SelectOnboard(n); }
  // The device came or went (UI thread); its full read follows its arrival.
  virtual void Attached() { ReadEverythingAfter(kFullReadDelayMs); }
  virtual void Detached() {}
  // What applying a loaded profile of the device does to its pages and to it.
  virtual pages::profiles::SelectionEffects SelectionEffects() = 0;
  virtual LightingWorker Lighting(lighting::LightingPreviewHost& preview) = 0;
  // The lighting thread's latest preview on the device's picture (UI
  // thread); a control repaints only when its own colour changed. The
  // mouse's and the mousepad's LEDs tint their picture.
  virtual void ShowPreview(std::span<const uint32_t> colour, std::span<const uint8_t> alpha);

 protected:
  // Queues work for the UI thread from any thread; dropped once the room is gone.
  void PostToUi(std::function<void()> work);
  // On a listener's thread: runs `read` on the UI thread, handing it the
  // signal to give once its read is applied, and waits for that signal
  // (or the stop), so the listener reads on only after it.
  void ReadOnUiThreadAndWait(std::function<void(std::function<void()> applied)> read, std::stop_token stop);

  // The controls showing each LED's preview are "<prefix>N" for N from 0.
  void FindPreviewControls(std::string_view prefix) { previewPrefix_ = prefix; }
  // Those controls, null where the layout has none; looked up at the first
  // preview, so a page holding them is built only once there is one to show.
  const std::vector<toolkit::Control*>& PreviewControls();

  const pages::PeripheralTraits& traits_;
  RoomContext& c_;
  device::DeviceSession session_;
  platform::WakeSignal lightingWake_;
  lighting::DirectColours direct_;
  std::string previewPrefix_;

 private:
  std::vector<toolkit::Control*> previewControls_;
  // The tint each of them was last given: only ShowPreview gives them one.
  struct Tint {
    uint32_t colour = 0;
    int alpha = 0;
    bool operator==(const Tint&) const = default;
  };
  std::vector<Tint> previewShown_;
  toolkit::Control* lightingPageControl_ = nullptr;  // the page the controls are on
  bool previewFound_ = false;
  QTimer fullReadTimer_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace talvo::app::devices
