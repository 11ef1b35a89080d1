// The main window's side of the devices coming and going: what the device
// watcher and the notification listeners ask of it, handed to the device's
// room, and the tabs that show or hide with each device.
#include <QPointer>
#include <algorithm>
#include <optional>

#include "app/shell/main_window.h"
#include "app/toolkit/qt/qt_control.h"
#include "device/device_watcher.h"
#include "device/notification_listener.h"
#include "lighting/sync_lighting.h"
#include "pages/peripheral_traits.h"
#include "profiles/profile_index.h"

namespace talvo::app {

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
    w_.mouse_.ReadCursorMacros();
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
      w.views_.Show(pages::TraitsOf(device::Peripheral::Mouse).lightingPage, "same mode", [&w, visible] {
        if (QWidget* button = w.watcherHost_->SameModeButton(w))
          button->setVisible(visible && w.live_.mouseLight.record.mode() < lighting::kSyncModes);
      });
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
  bool FollowsSameMode() override { return w_.windowShown.load(); }

  device::DeviceWatcherWake wake;

 private:
  // The mouse page's sync button, looked up once (UI thread): a lookup walks
  // the window's widgets, and the button is set every second while the
  // window is shown. Looked up again should it be gone or renamed.
  QWidget* SameModeButton(CMainWnd& w) {
    static constexpr char kName[] = "ms_deng_same_mode";
    if (!sameMode_ || sameMode_->objectName() != QLatin1StringView(kName)) {
      auto* control = dynamic_cast<QtControl*>(w.window_.FindControl(kName));
      sameMode_ = control ? control->Widget() : nullptr;
    }
    return sameMode_;
  }

  void Queue(std::function<void(CMainWnd&)> work) {
    QPointer<CMainWnd> self(&w_);
    w_.toolkit_.Post([self, work = std::move(work)] {
      if (self) work(*self);
    });
  }
  CMainWnd& w_;
  std::optional<bool> lastSameMode_;  // watcher thread only
  QPointer<QWidget> sameMode_;
};

std::vector<WorkerSpec> CMainWnd::StartupWorkers() {
  watcherHost_ = std::make_shared<WatcherHost>(*this);
  std::vector<WorkerSpec> workers{
      {"DeviceWatcher",
       [this](std::stop_token stop) {
         device::RunDeviceWatcher(stop, MouseLink(), KeyboardLink(), MousepadLink(), *watcherHost_,
                                  &watcherHost_->wake);
       }},
      {"MouseListener",
       [this](std::stop_token stop) {
         device::RunNotificationListener(stop, backend_, device::ListenerKind::Mouse,
                                         [this, stop](uint16_t usage) { mouse_.OnNotification(usage, stop); });
       }},
      {"KeyboardListener",
       [this](std::stop_token stop) {
         device::RunNotificationListener(stop, backend_, device::ListenerKind::Keyboard,
                                         [this, stop](uint16_t usage) { keyboard_.OnNotification(usage, stop); });
       }},
  };
  for (WorkerSpec& lighting : LightingWorkers()) workers.push_back(std::move(lighting));
  return workers;
}

void CMainWnd::WakeDeviceWatcher() {
  if (watcherHost_) watcherHost_->wake.Wake();
}

void CMainWnd::OnMouseAttached(int deviceProfile) {
  mouse_.Attached();
  if (toolkit::Control* list = window_.FindControl("ms_device_profile_combo")) list->SelectItem(deviceProfile);
  if (toolkit::Control* tab = window_.FindControl("ms_tab")) {
    tab->SetVisible(true);
    tab->SetCheck(true);
  }
  if (toolkit::Control* panel = window_.FindControl("ms_tab_panel")) panel->SetVisible(true);
}

void CMainWnd::OnMouseDetached() {
  mouse_.Detached();
  if (toolkit::Control* tab = window_.FindControl("ms_tab")) tab->SetVisible(false);
  const auto bringForward = [this](const char* name, bool show) {
    if (toolkit::Control* tab = window_.FindControl(name)) {
      tab->SetCheck(true);
      tab->SetFocus();
      if (show) tab->SetVisible(true);
    }
  };
  if (keyboard_.Connected()) {
    bringForward("kb_tab", true);
  } else if (mousepad_.Connected()) {
    bringForward("mp_tab", false);
  } else {
    // Nothing left to configure: the waiting page until a device returns,
    // and the mouse tab cleared so its return selects it afresh.
    if (toolkit::Control* tab = window_.FindControl("ms_tab")) tab->SetCheck(false, false);
    if (toolkit::Control* pages = window_.FindControl("tab_switch")) pages->SelectPage(kWaitingPage);
    OnLastDeviceGone();
  }
}

void CMainWnd::OnOtherAttached(device::Peripheral peripheral) {
  Room(peripheral).Attached();
  toolkit::Control* tab = window_.FindControl(pages::TraitsOf(peripheral).tab);
  if (!tab) return;
  tab->SetVisible(true);
  // The first device to arrive is the one shown; a later one only adds its tab.
  if (std::ranges::count_if(rooms_, [](devices::DeviceRoom* room) { return room->Connected(); }) == 1) tab->SetCheck(true);
}

void CMainWnd::OnOtherDetached(device::Peripheral peripheral) {
  Room(peripheral).Detached();
  toolkit::Control* tab = window_.FindControl(pages::TraitsOf(peripheral).tab);
  if (!tab) return;
  const bool shown = tab->IsSelected();
  tab->SetVisible(false);
  if (!shown) return;
  for (device::Peripheral other : device::kAllPeripherals) {
    if (other == peripheral || !Room(other).Connected()) continue;
    if (toolkit::Control* next = window_.FindControl(pages::TraitsOf(other).tab)) {
      next->SetVisible(true);
      next->SetCheck(true);
      next->SetFocus();
    }
    return;
  }
  // Nothing left to configure: the waiting page until a device returns.
  tab->SetCheck(false, false);
  if (toolkit::Control* pages = window_.FindControl("tab_switch")) pages->SelectPage(kWaitingPage);
  OnLastDeviceGone();
}

}  // namespace talvo::app
