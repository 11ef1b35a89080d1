// The main window's side of the mouse: what the device watcher and the
// notification listeners ask of it, and the mouse's read sequences, which run
// on the mouse's session and are applied here, with the page updates that
// follow them.
#include <QPointer>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

#include "app/shell/main_window.h"
#include "device/device_commands.h"
#include "device/device_watcher.h"
#include "device/notification_listener.h"
#include "lighting/sync_lighting.h"
#include "platform/debug.h"
#include "profiles/profile_index.h"
#include "transfer/cursor_download.h"

namespace talvo::app {
namespace {

constexpr int kRereadDelayMs = 200;

}  // namespace

// Runs on the watcher thread; whatever touches the window is queued to the
// UI thread, which the watcher does not wait for.
class CMainWnd::WatcherHost final : public device::DeviceWatcherHost {
 public:
  explicit WatcherHost(CMainWnd& w) : w_(w) {}

  int SelectedDeviceProfile() override {
    return profiles::ProfileIndex(*profiles::FindCombo(device::Peripheral::Mouse, profiles::ProfileKind::Device))
        .Select();
  }
  void ReadCursorMacros(device::CDeviceLink&) override {
    // The session runs it first, before the full read the attach starts.
    w_.mouseSession_.Run([w = &w_](device::CDeviceLink& mouse) { w->DownloadCursorImage(mouse); });
  }
  void MouseAttached(int deviceProfile) override {
    Queue([deviceProfile](CMainWnd& w) {
      w.OnMouseAttached(deviceProfile);
      Q_EMIT w.devicesChanged();
    });
  }
  void MouseDetached() override {
    Queue([](CMainWnd& w) {
      w.OnMouseDetached();
      Q_EMIT w.devicesChanged();
    });
  }
  void SameModeVisible(bool visible) override {
    // Every pass while the window is shown, as the mouse page may have
    // changed the control meanwhile; while it is hidden only a change is
    // worth waking the window for.
    if (!w_.windowShown.load() && lastSameMode_ == visible) return;
    lastSameMode_ = visible;
    // Offered only for a mode the synchronized lighting animates, as the
    // mouse page offers it.
    Queue([visible](CMainWnd& w) {
      if (toolkit::Control* c = w.window_.FindControl("ms_deng_same_mode"))
        c->SetVisible(visible && w.live_.mouseLight.record.mode() < lighting::kSyncModes);
    });
  }
  void FirstPassFoundMouse() override {
    if (!w_.options_.startHidden) Queue([](CMainWnd& w) { w.ActivateRequest(); });
  }
  void OtherAttached(device::Peripheral peripheral) override {
    Queue([peripheral](CMainWnd& w) {
      w.OnOtherAttached(peripheral);
      Q_EMIT w.devicesChanged();
    });
  }
  void OtherDetached(device::Peripheral peripheral) override {
    Queue([peripheral](CMainWnd& w) {
      w.OnOtherDetached(peripheral);
      Q_EMIT w.devicesChanged();
    });
  }
  void AccessDenied(device::Peripheral peripheral) override {
    Queue([peripheral](CMainWnd& w) { w.accessNotice_->Denied(peripheral); });
  }

 private:
  void Queue(std::function<void(CMainWnd&)> work) {
    QPointer<CMainWnd> self(&w_);
    w_.toolkit_.Post([self, work = std::move(work)] {
      if (self) work(*self);
    });
  }
  CMainWnd& w_;
  std::optional<bool> lastSameMode_;  // watcher thread only
};

std::vector<WorkerSpec> CMainWnd::StartupWorkers() {
  watcherHost_ = std::make_shared<WatcherHost>(*this);
  std::vector<WorkerSpec> workers{
      {"DeviceWatcher",
       [this](std::stop_token stop) {
         device::RunDeviceWatcher(stop, mouseLink_, keyboardLink_, mousepadLink_, *watcherHost_);
       }},
      {"MouseListener",
       [this](std::stop_token stop) {
         device::RunNotificationListener(stop, backend_, device::ListenerKind::Mouse,
                                         [this, stop](uint16_t usage) { OnMouseNotification(usage, stop); });
       }},
      {"KeyboardListener",
       [this](std::stop_token stop) {
         device::RunNotificationListener(stop, backend_, device::ListenerKind::Keyboard,
                                         [this, stop](uint16_t usage) { OnKeyboardNotification(usage, stop); });
       }},
  };
  for (WorkerSpec& lighting : LightingWorkers()) workers.push_back(std::move(lighting));
  return workers;
}

void CMainWnd::OnMouseNotification(uint16_t usage, std::stop_token stop) {
  switch (usage) {
    case device::kUsageSettingsChanged:
      // Notifications in quick succession end in one re-read 200 ms after
      // the last; the lighting frames pause until then.
      mouseRereadPending.store(1);
      window_.SetTimer(kMouseRereadTimer, kRereadDelayMs, true);
      break;
    case device::kUsageEverythingChanged: {
      // Handled before the listener reads on: it waits until the read has
      // been applied, as it waited for the read itself before.
      auto applied = std::make_shared<std::promise<void>>();
      std::future<void> done = applied->get_future();
      if (!toolkit_.Send([this, applied] { ReadEverythingFromMouse([applied] { applied->set_value(); }); }, stop))
        break;
      while (!stop.stop_requested() && done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
      }
      break;
    }
    case device::kUsageFlash:
      flashTrigger.store(1);
      break;
    default:
      break;
  }
}

void CMainWnd::OnMouseAttached(int deviceProfile) {
  window_.SetTimer(kMouseReadTimer, kFullReadDelayMs, true);
  // Its key maps are on their way: a key chosen now is shown once they are here.
  keyPages_->Refresh(device::Peripheral::Mouse);
  if (toolkit::Control* list = window_.FindControl("ms_device_profile_combo")) list->SelectItem(deviceProfile);
  if (toolkit::Control* tab = window_.FindControl("ms_tab")) {
    tab->SetVisible(true);
    tab->SetCheck(true);
  }
  if (toolkit::Control* panel = window_.FindControl("ms_tab_panel")) panel->SetVisible(true);
}

void CMainWnd::OnMouseDetached() {
  // Another mouse may come, with memory of its own.
  mouseData_.read = false;
  macroPages_->DeviceGone(device::Peripheral::Mouse);
  if (toolkit::Control* tab = window_.FindControl("ms_tab")) tab->SetVisible(false);
  const auto bringForward = [this](const char* name, bool show) {
    if (toolkit::Control* tab = window_.FindControl(name)) {
      tab->SetCheck(true);
      tab->SetFocus();
      if (show) tab->SetVisible(true);
    }
  };
  if (keyboardLink_.IsConnected()) {
    bringForward("kb_tab", true);
  } else if (mousepadLink_.IsConnected()) {
    bringForward("mp_tab", false);
  } else {
    // Nothing left to configure: the waiting page until a device returns,
    // and the mouse tab cleared so its return selects it afresh.
    if (toolkit::Control* tab = window_.FindControl("ms_tab")) tab->SetCheck(false, false);
    if (toolkit::Control* pages = window_.FindControl("tab_switch")) pages->SelectPage(kWaitingPage);
    OnLastDeviceGone();
  }
}

void CMainWnd::ReadEverythingFromMouse(std::function<void()> applied) {
  using Outcome = device::DeviceSession::Outcome;
  auto readback = std::make_shared<transfer::MouseReadback>(transfer::MouseReadback::Of(mouseData_, live_));
  sequences_.Run(
      mouseSession_, true, [readback](device::CDeviceLink& link) { transfer::MouseFullRead(link, *readback); },
      [this, readback, applied = std::move(applied)](Outcome outcome) {
        // A read cut short by the mouse leaving hands over nothing. An
        // absent mouse gives what an earlier read left, as every command to
        // it fails at once.
        if (outcome != Outcome::Cut) {
          transfer::ApplyMouseFullRead(*readback, mouseData_, live_);
          saver_.Mark(device::Peripheral::Mouse, profiles::ProfileKind::Device);
          RefreshMousePage();
          if (mouseData_.read) macroPages_->DeviceRead(device::Peripheral::Mouse);
        }
        if (applied) applied();
      });
}

void CMainWnd::RereadMouseSettings() {
  using Outcome = device::DeviceSession::Outcome;
  auto read = std::make_shared<transfer::MouseBlockRead>();
  sequences_.Run(
      mouseSession_, false, [read](device::CDeviceLink& link) { *read = transfer::MouseSettingsReread(link); },
      [this, read](Outcome outcome) {
        if (outcome != Outcome::Cut && transfer::ApplyMouseSettingsReread(*read, mouseData_, live_))
          saver_.MarkLightAndDevice(device::Peripheral::Mouse);
        RefreshMousePage();
        mouseRereadPending.store(0);
      });
}

void CMainWnd::SelectMouseProfile(int n) {
  using Outcome = device::DeviceSession::Outcome;
  if (n < 0) {
    RefreshMousePage();
    return;
  }
  // What is pending goes to the profile it was made in; until the switch is
  // applied no push may carry the old profile's number after it.
  OnPushTick();
  pushFlags_.Hold(device::Peripheral::Mouse);
  auto read = std::make_shared<transfer::MouseBlockRead>();
  sequences_.Run(
      mouseSession_, true,
      [read, n](device::CDeviceLink& link) { *read = transfer::SelectMouseProfile(link, unsigned(n)); },
      [this, read, n](Outcome outcome) {
        pushFlags_.Release(device::Peripheral::Mouse);
        if (outcome != Outcome::Cut && transfer::ApplyMouseProfileSwitch(*read, unsigned(n), mouseData_, live_)) {
          if (toolkit::Control* panel = window_.FindControl("ms_tab_function")) panel->SetVisible(false);
          // The profiles keep the onboard profile now in use, which the
          // next start pushes back.
          saver_.MarkLightAndDevice(device::Peripheral::Mouse);
        }
        RefreshMousePage();
      });
}

void CMainWnd::RefreshMousePage() {
  // The record may have a new mode: a lighting thread waiting for a mode it
  // animates looks again.
  lightingGates_.Notify();
  mouseLightingPage_->Refresh();
  performancePage_->Refresh();
  keyPages_->Refresh(device::Peripheral::Mouse);
  // The onboard selector always shows the profile the mouse has active.
  const int active = live_.mouseLight.record.profile();
  for (int p = 0; p < int(transfer::MouseDeviceBlocks::kCopies); ++p)
    if (toolkit::Control* button = window_.FindControl("ms_profile_" + std::to_string(p)))
      if (p == active) button->SetCheck(true, false);
}

}  // namespace talvo::app
