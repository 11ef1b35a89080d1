// The main window, a switchboard: it owns the three device rooms (each with
// its session, pages and read sequences), the live device data, the profile
// saver, the worker threads and the window's own timers, the tray icon, the
// tabs, and the handlers of everything the threads, the tray, the menus and
// the system tell the window, which it hands to the room they concern.
#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/capture/device_hook.h"
#include "app/devices/keyboard_room.h"
#include "app/devices/mouse_room.h"
#include "app/devices/mousepad_room.h"
#include "app/remote/bus_service.h"
#include "app/remote/sdk_server.h"
#include "app/shell/notification_router.h"
#include "app/shell/worker_threads.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "app/windows/device_access_notice.h"
#include "app/windows/menus.h"
#include "app/windows/save_failure_notice.h"
#include "app/windows/skin_frame.h"
#include "lighting/light_records.h"
#include "lighting/lighting_threads.h"
#include "pages/keys/key_pages.h"
#include "pages/macros/macro_pages.h"
#include "pages/profiles/profile_page.h"
#include "pages/remote/page_actions.h"
#include "pages/remote/sdk_devices.h"
#include "pages/deferred_views.h"
#include "pages/sequence_runner.h"
#include "platform/foreground_program.h"
#include "platform/hid_backend.h"
#include "platform/pointer_settings.h"
#include "platform/wake_signal.h"
#include "profiles/live_data.h"
#include "profiles/main_settings.h"
#include "profiles/profile_saver.h"
#include "profiles/profile_watcher.h"

class QMenu;
class QSystemTrayIcon;

namespace talvo::app {

class CaptionDrag;
class SleepWatcher;

class CMainWnd final : public QObject, public toolkit::WindowHandler, public SkinReceiver {
  Q_OBJECT

 public:
  static constexpr const char* kLayout = "XML_MAIN";
  static constexpr const char* kTitle = "Talvo";
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 572;

  enum TimerId : int {
    kHideProgressTimer = 1,
    kPushTimer = 2,
    kRepaintAfterShowTimer = 7,
    kRepaintTimer = 10,
  };

  // The page tab_switch shows while no device is there.
  static constexpr int kWaitingPage = 5;

  struct Options {
    // A system tray is there for the window to hide into.
    bool tray = true;
    // The worker threads in start order, given the window they serve; the
    // program's own (device watcher, mouse and keyboard listeners) when
    // empty.
    std::function<std::vector<WorkerSpec>(CMainWnd&)> workers;
    // Watch the session's sleep notifications (off in tests that have a
    // system bus of their own to avoid).
    bool watchSleep = true;
    // Where pointer speed and wheel lines go; the desktop's own when null.
    std::shared_ptr<platform::PointerSettings> pointerSettings;
    // Which program is in front, for linked profiles; the desktop's own
    // when null.
    std::shared_ptr<platform::ForegroundProgram> foreground;
    // Offer the session bus service scripts and talvoctl use.
    bool sessionBus = false;
    // Start the lighting SDK server whatever main.ini says; on its port
    // when one is given.
    bool sdkServer = false;
    std::optional<uint16_t> sdkPort = std::nullopt;
    // The mouse found at start does not bring the window forward: it stays
    // in the tray (minimized without one) until the user asks for it, as
    // when Talvo starts at login.
    bool startHidden = false;
  };

  CMainWnd(QtToolkit& toolkit, platform::HidBackend& backend, Options options);
  ~CMainWnd() override;

  // Loads the layout and sets the window up; "windowinit" follows from the
  // event loop. False when the layout cannot be loaded (reason on stderr).
  bool Create();

  void Notify(const toolkit::Notification& n) override;
  void OnTimer(int id) override;
  toolkit::CreatedControl CreateControl(std::string_view element) override;
  std::optional<std::string> QueryControlText(std::string_view id) override;
  void OnPageBuilt(std::string_view page) override { views_.Built(page); }
  void OnSkinChanged(const SkinChange& change) override;

  // Start-up finished: "windowinit" has been handled completely.
  bool Initialised() const { return initialised_; }
  // Calls done once start-up is finished (at once when it is).
  void WhenInitialised(std::function<void()> done);

  // A second start, or the device watcher's first pass (unless started
  // hidden): bring the window to the front when a device is connected, else
  // say none is.
  void ActivateRequest();
  // Left click on the tray icon: toggles the window while a device is
  // connected, else says none is.
  void TrayClick();
  // Right click on the tray icon: the tray menu at the given screen point.
  void ShowTrayMenu(const QPoint& cursor);
  // The main menu ("menubtn") at the given screen point.
  void ShowMainMenu(const QPoint& cursor);
  // The items the tray menu and the main menu offer.
  std::vector<MenuItem> TrayMenuItems() const;
  std::vector<MenuItem> MainMenuItems() const;
  // The lighting SDK server's port while it listens, else 0.
  uint16_t SdkServerPort() const;
  // What a chosen menu item does; an open pop-up menu closes first.
  void OnMenuItem(const MenuItem& item);
  // The pop-up menu open now, if any.
  QMenu* OpenMenu() const { return menu_; }

  // Loads the language's texts into every window; when store is set the
  // choice is also kept in main.ini and the system settings.
  void ApplyLanguage(profiles::Language language, bool store);
  // Shows the live key maps on a device's key page (the mouse's once built).
  void RefreshKeyPage(device::Peripheral peripheral);
  void RefreshKeyPages();
  profiles::Language CurrentLanguage() const { return language_; }

  // The last device went away: focus back on the mouse's first tab, tell
  // the user, hide the window.
  void OnLastDeviceGone();
  // A command sequence with a progress display starts / ends; the display
  // goes a second after the end.
  void ShowProgress();
  void EndProgress();

  // Every key and mouse button event, from the desktop or scripted, enters
  // the input capture here.
  capture::CDeviceHook& Hook() { return hook_; }

  // Session suspend and resume: no lighting frames go out while asleep, and
  // changed profiles are on disk before the machine sleeps.
  void SetSystemAwake(bool awake);

  // Ends the program: stops the threads, removes the tray icon, then emits
  // closed(). Runs once.
  void Close();
  WorkerThreads::StopOutcome StopThreads();
  std::vector<std::string> RunningWorkers() const { return workers_.Names(); }

  // Feature pages connect here for the notifications they own.
  NotificationRouter& Router() { return router_; }

  QtWindow& Window() { return window_; }
  QWidget* Widget() const { return window_.Widget(); }
  QtToolkit& Toolkit() { return toolkit_; }
  bool HasTray() const { return options_.tray; }
  bool TrayShown() const;
  bool AnyDeviceConnected() const;

  // Each device's room: its session and link, streamed colours, pages and
  // read sequences.
  devices::DeviceRoom& Room(device::Peripheral peripheral) { return *rooms_[device::IndexOf(peripheral)]; }
  device::CDeviceLink& KeyboardLink() { return keyboard_.Link(); }
  device::CDeviceLink& MouseLink() { return mouse_.Link(); }
  device::CDeviceLink& MousepadLink() { return mousepad_.Link(); }
  profiles::LiveData& Live() { return live_; }
  profiles::ProfileSaver& Saver() { return saver_; }
  lighting::LightPushFlags& PushFlags() { return pushFlags_; }

  // Read by the lighting threads.
  std::atomic<uint32_t> systemAwake{1};
  // Set by the mouse listener: the mousepad's flash effect has a trigger.
  std::atomic<uint32_t> flashTrigger{0};
  // The window is shown; read by the device watcher.
  std::atomic<bool> windowShown{false};

 Q_SIGNALS:
  // The end sequence has run; the event loop may end.
  void closed();
  // A device came or went.
  void devicesChanged();

 private:
  class WatcherHost;
  class PreviewHost;

  // The latest preview of each device (in device::IndexOf order), kept by
  // the lighting threads and shown by the repaint tick.
  struct PreviewFrame {
    std::vector<uint32_t> colour;
    std::vector<uint8_t> alpha;
    bool dirty = false;
  };

  void OnWindowInit();
  // The key pages, the macro editors and the cursor macros, connected.
  void CreateKeyAndMacroRooms();
  // What other programs reach: the page actions, the session bus service
  // and the lighting SDK server.
  void CreateRemoteRooms();
  // The main menu's SDK server item: starts or stops it, and keeps the
  // choice for the next start.
  void ToggleSdkServer();
  // Timer 2: the records to push go to their sessions, the marked profile
  // files to the saver; the timer stops once nothing is left to do.
  void OnPushTick();
  void ArmPushTick();
  std::vector<WorkerSpec> StartupWorkers();
  std::vector<WorkerSpec> LightingWorkers();
  // Shows the preview colours that changed since the last tick; false when
  // nothing changed (the tick is then disarmed).
  bool FlushPreviews();
  // The repaint tick (timer 10) runs only while a shown preview changes: a
  // lighting frame arms it, a tick that finds nothing new or a hidden
  // window stops it, showing the window arms it again.
  void ArmRepaint();
  void OnRepaintTick();
  // Watcher side (UI thread): the device's room hears it first, then its
  // tab shows or hides.
  // Ends the device watcher's sleep: a pass follows at once.
  void WakeDeviceWatcher();
  void OnMouseAttached(int deviceProfile);
  void OnMouseDetached();
  void OnOtherAttached(device::Peripheral peripheral);
  void OnOtherDetached(device::Peripheral peripheral);
  // A same-mode button: every device shows the source device's effect in step.
  void OnSameMode(device::Peripheral source);
  void ShowAndRaise();
  // At most one pop-up menu is open; a new one replaces the old.
  void PopUpMenu(const std::vector<MenuItem>& items, const QPoint& at);
  void CloseMenu();
  // Hides the window where a tray can bring it back, else minimizes it: the
  // window is never put out of the user's reach.
  void PutAway();
  // "message_text_1", at most one at a time per caller.
  void SayNoDevice(bool& guard);
  void ApplySkinSetting();
  // What applying a loaded profile of the peripheral does to the pages and
  // the device.
  pages::profiles::SelectionEffects EffectsFor(device::Peripheral peripheral);
  void OnWindowButton(toolkit::Control* sender);
  bool eventFilter(QObject* watched, QEvent* event) override;

  QtToolkit& toolkit_;
  platform::HidBackend& backend_;
  Options options_;
  QtWindow window_;
  NotificationRouter router_;
  // What the pages show, held for pages not built yet.
  pages::DeferredViews views_{window_};
  // Told when the gates of every lighting thread may have opened: a link's
  // presence, a record's mode, the session waking, a re-read ending.
  platform::WakeFanOut lightingGates_;
  profiles::LiveData live_;
  profiles::ProfileSaver saver_{live_};
  pages::SequenceRunner sequences_{toolkit_, [this] { ShowProgress(); }, [this] { EndProgress(); }};
  lighting::LightPushFlags pushFlags_;
  devices::RoomContext roomContext_;
  devices::KeyboardRoom keyboard_;
  devices::MouseRoom mouse_;
  devices::MousepadRoom mousepad_;
  // The rooms in device::IndexOf order.
  std::array<devices::DeviceRoom*, 3> rooms_{&keyboard_, &mouse_, &mousepad_};
  std::shared_ptr<WatcherHost> watcherHost_;  // shared: complete only where it is made
  // Before the key and macro pages, which release it when they go.
  capture::CDeviceHook hook_;
  std::unique_ptr<keys::pages::KeyPages> keyPages_;
  std::unique_ptr<macros::pages::MacroPages> macroPages_;
  std::unique_ptr<pages::profiles::ProfilePage> profilePage_;
  std::unique_ptr<pages::remote::PageActions> pageActions_;
  std::unique_ptr<TalvoBusService> busService_;
  std::unique_ptr<pages::remote::SdkDevices> sdkDevices_;
  std::unique_ptr<SdkServer> sdkServer_;
  // The application watchers, stopped with the other threads.
  std::vector<std::unique_ptr<profiles::ProfileWatcher>> watchers_;
  // Hears the foreground source's changes until the threads stop, so the
  // link rows follow its availability; the last availability it heard.
  std::optional<int> availabilityListener_;
  std::atomic<platform::ForegroundAvailability> listenedAvailability_{platform::ForegroundAvailability::Available};

  // Lighting all devices share: the synchronized effect and the previews.
  lighting::SyncLightRecord syncRecord_;
  std::shared_ptr<PreviewHost> previewHost_;
  std::mutex previewMutex_;
  std::array<PreviewFrame, 3> previewFrames_;
  std::array<PreviewFrame, 3> previewShown_;  // the repaint tick's copy (UI thread)
  bool repaintArmed_ = false;  // guarded by previewMutex_
  // Outlives the workers, whose saves it hears.
  std::unique_ptr<SaveFailureNotice> saveFailureNotice_;
  // Told by the device watcher of devices it may not open.
  std::unique_ptr<DeviceAccessNotice> accessNotice_;
  WorkerThreads workers_;
  // The sessions' threads, stopped first: a thread waiting for a link waits
  // for the sequence that holds it.
  WorkerThreads sessionThreads_;

  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<CaptionDrag> captionDrag_;
  SleepWatcher* sleepWatcher_ = nullptr;  // child of this
  QPointer<QMenu> menu_;

  struct WindowButtons {
    toolkit::Control* close = nullptr;
    toolkit::Control* max = nullptr;
    toolkit::Control* restore = nullptr;
    toolkit::Control* min = nullptr;
    toolkit::Control* skin = nullptr;
  } buttons_;

  profiles::Language language_ = profiles::Language::Chinese;
  bool initialised_ = false;
  std::vector<std::function<void()>> whenInitialised_;
  int progressShown_ = 0;
  bool activationMessageShowing_ = false;
  bool trayMessageShowing_ = false;
  bool closing_ = false;
};

}  // namespace talvo::app
