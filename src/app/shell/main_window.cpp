#include "app/shell/main_window.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QLayout>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <utility>

#include "app/controls/custom_controls.h"
#include "app/instance/single_instance.h"
#include "app/instance/sleep_watcher.h"
#include "app/shell/app_icon.h"
#include "app/shell/caption_drag.h"
#include "app/shell/page_layouts.h"
#include "app/toolkit/qt/qt_control.h"
#include "app/windows/about_window.h"
#include "device/device_commands.h"
#include "device/device_report.h"
#include "lighting/push_image.h"
#include "platform/ascii.h"
#include "platform/autostart.h"
#include "platform/debug.h"
#include "platform/folders.h"
#include "profiles/first_run.h"
#include "pages/profiles/profile_lists.h"
#include "pages/profiles/profile_selection.h"
#include "pages/profiles/program_rows.h"

namespace talvo::app {
namespace {

// Height of the band at the top of the main window that moves it.
constexpr int kCaptionBand = 48;
constexpr int kProgressHideMs = 1000;
constexpr int kPushMs = 100;

QWidget* WidgetOf(toolkit::Control* control) {
  auto* qt = dynamic_cast<QtControl*>(control);
  return qt ? qt->Widget() : nullptr;
}

// The main menu's login item: writes the autostart entry of this very
// program, or removes it; a failure is told with the entry's path and the
// reason.
void ToggleStartAtLogin(toolkit::Toolkit& toolkit, toolkit::Window& window) {
  const bool done = platform::StartsAtLogin()
                        ? platform::DisableStartAtLogin()
                        : platform::EnableStartAtLogin(QCoreApplication::applicationFilePath().toStdString());
  if (done) return;
  const int error = errno;
  const std::string pattern = toolkit.LanguageText("message_text_31").value_or("message_text_31");
  const std::filesystem::path entry = platform::AutostartEntryPath().value_or("autostart/talvo.desktop");
  toolkit.ShowMessage(&window, SaveFailureNotice::FormatText(pattern, {entry}, error), false);
}

const char* LanguageFile(profiles::Language language) {
  return language == profiles::Language::English ? "lan_en.xml" : "lan_cn.xml";
}

}  // namespace

CMainWnd::CMainWnd(QtToolkit& toolkit, platform::HidBackend& backend, Options options)
    : toolkit_(toolkit),
      backend_(backend),
      options_(std::move(options)),
      window_(toolkit, *this),
      router_(window_, {.openMainMenu = [this] { ShowMainMenu(QCursor::pos()); }, .setDisplayScale = {}}),
      roomContext_{.toolkit = toolkit,
                   .window = window_,
                   .live = live_,
                   .saver = saver_,
                   .sequences = sequences_,
                   .views = views_,
                   .pushFlags = pushFlags_,
                   .lightingGates = lightingGates_,
                   .systemAwake = systemAwake,
                   .flashTrigger = flashTrigger,
                   .sendPendingPushes = [this] { OnPushTick(); }},
      keyboard_(backend, roomContext_),
      mouse_(backend, roomContext_),
      mousepad_(backend, roomContext_, keyboard_.Effect()) {
  pushFlags_.marked = [this] {
    ArmPushTick();
    lightingGates_.Notify();
  };
  saver_.SetMarkedHandler([this] { ArmPushTick(); });
}

CMainWnd::~CMainWnd() {
  SkinObserver::Instance().Remove(this);
  if (workers_.Count() > 0 || sessionThreads_.Count() > 0) StopThreads();
}

bool CMainWnd::Create() {
  RegisterCustomControls(toolkit_);
  debug::Line("InitWindow");
  // The window is built in the language it will speak, so it never lays out
  // (and loads the fonts of) the other one first.
  toolkit_.LoadLanguage(LanguageFile(profiles::StoredLanguage()));
  if (!window_.Create(kLayout, Qt::Window | Qt::FramelessWindowHint)) return false;
  QWidget* w = window_.Widget();
  SkinObserver::Instance().Add(this);
  if (!options_.pointerSettings) options_.pointerSettings = platform::MakePointerSettings();
  keyboard_.CreatePages();
  mouse_.CreatePages(*options_.pointerSettings);
  mousepad_.CreatePages();
  if (!options_.foreground) options_.foreground = platform::MakeForegroundProgram();
  profilePage_ = std::make_unique<pages::profiles::ProfilePage>(
      window_, pages::profiles::ProfilePage::Setup{
                   .live = live_,
                   .saver = saver_,
                   .effects = [this](device::Peripheral p) { return EffectsFor(p); },
                   .availability = [foreground = options_.foreground] { return foreground->Availability(); },
                   .programs = pages::profiles::WindowProgramLister(options_.foreground),
                   .changed = [this] {
                     for (size_t i = 0; i < watchers_.size(); ++i)
                       watchers_[i]->Follow(profilePage_->HasFollowableLink(profiles::kWatchedLists[i]));
                   }});
  router_.Bind("profiles", *profilePage_, pages::profiles::ProfilePage::Bindings());
  router_.Bind("mouse settings", mouse_.PerformancePage(), mouse::MousePerformancePage::Bindings());
  CreateKeyAndMacroRooms();
  // After the key pages: a key of the keyboard picture selects the key first.
  router_.Bind("lighting page", keyboard_.LightingPage(), lighting::pages::KeyboardLightingPage::Bindings());
  router_.Bind("lighting page", mouse_.LightingPage(), lighting::pages::MouseLightingPage::Bindings());
  router_.Bind("lighting page", mousepad_.LightingPage(), lighting::pages::MousepadLightingPage::Bindings());
  router_.Bind("onboard profile", pages::Family("click", "ms_profile_"),
               [this](const toolkit::Notification&, int index) { mouse_.SelectOnboard(index); });
  router_.Bind("onboard profile", pages::Exact("itemselect", "mp_deng_combo_profile"),
               [this](const toolkit::Notification& n, int) { mousepad_.SelectOnboard(int(n.wParam)); });
  for (const auto& same : {std::pair{"kb_deng_same_mode", device::Peripheral::Keyboard},
                            std::pair{"ms_deng_same_mode", device::Peripheral::Mouse},
                            std::pair{"mp_deng_same_mode", device::Peripheral::Mousepad}})
    router_.Bind("synchronized lighting", pages::Exact("click", same.first),
                 [this, p = same.second](const toolkit::Notification&, int) { OnSameMode(p); });
  router_.Bind("mousepad defaults", pages::Exact("click", "mp_one_profile_default"),
               [this](const toolkit::Notification&, int) { mousepad_.RestoreDefaults(); });

  buttons_ = {window_.FindControl("closebtn"), window_.FindControl("maxbtn"), window_.FindControl("restorebtn"),
              window_.FindControl("minbtn"), window_.FindControl("skinbtn")};

  // The colour the lighting palettes start on.
  constexpr uint32_t kPaletteStart = 0xFF0199CB;
  for (const pages::PeripheralTraits& traits : pages::kPeripheralTraits)
    views_.Show(traits.lightingPage, "palette", [this, name = traits.palette] {
      if (toolkit::Control* palette = window_.FindControl(name)) palette->SetSelectColor(kPaletteStart);
    });

  w->setWindowTitle(QString::fromUtf8(kTitle));
  w->setWindowIcon(AppIcon());
  w->resize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    w->move(screen->availableGeometry().center() - w->rect().center());
  w->installEventFilter(this);
  captionDrag_ = std::make_unique<CaptionDrag>(w, kCaptionBand);
  if (buttons_.restore) buttons_.restore->SetVisible(false);

  if (options_.tray) {
    tray_ = std::make_unique<QSystemTrayIcon>(AppIcon());
    tray_->setToolTip(QString::fromUtf8(kTitle));
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      if (reason == QSystemTrayIcon::Trigger) TrayClick();
      if (reason == QSystemTrayIcon::Context) ShowTrayMenu(QCursor::pos());
    });
    tray_->show();
  }
  if (options_.watchSleep) {
    sleepWatcher_ = new SleepWatcher(this);
    connect(sleepWatcher_, &SleepWatcher::suspending, this, [this] { SetSystemAwake(false); });
    connect(sleepWatcher_, &SleepWatcher::resumed, this, [this] { SetSystemAwake(true); });
  }
  return true;
}

void CMainWnd::WhenInitialised(std::function<void()> done) {
  if (initialised_) {
    done();
  } else {
    whenInitialised_.push_back(std::move(done));
  }
}

void CMainWnd::Notify(const toolkit::Notification& n) {
  debug::Line(n.type + " " + n.sender);
  if (n.type == "windowinit") {
    OnWindowInit();
    return;
  }
  if (n.type != "click" || !n.control) {
    router_.Route(n);
    return;
  }
  toolkit::Control* c = n.control;
  if (c == buttons_.close || c == buttons_.max || c == buttons_.restore || c == buttons_.min) {
    OnWindowButton(c);
    return;
  }
  if (c == buttons_.skin) {
    if (QWidget* button = WidgetOf(c)) {
      CSkinFrame::Open(toolkit_, QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
    }
  }
  router_.Route(n);
}

void CMainWnd::OnWindowButton(toolkit::Control* button) {
  QWidget* w = window_.Widget();
  if (button == buttons_.close || button == buttons_.min) {
    w->showMinimized();
  } else if (button == buttons_.max) {
    w->showMaximized();
  } else if (button == buttons_.restore) {
    w->showNormal();
  }
}

void CMainWnd::OnWindowInit() {
  ApplySkinSetting();

  saveFailureNotice_ = std::make_unique<SaveFailureNotice>(toolkit_, window_, platform::DataFolder());
  accessNotice_ = std::make_unique<DeviceAccessNotice>(toolkit_, window_, DeviceAccessNotice::UdevRulePath());
  profiles::RemoveLeftoverTemporaryFiles();
  // Each device's pages and data, keyboard, mouse, mousepad.
  for (device::Peripheral p : device::kAllPeripherals) profilePage_->FillLists(p);
  macroPages_->Load(views_);
  mouse_.ReloadCursorPage();
  RefreshKeyPages();

  MouseLink().SetCommandIdentity(device::kMouseProductId);
  MousepadLink().SetCommandIdentity(device::kMousepadProductId);
  KeyboardLink().SetCommandIdentity(device::kKeyboardProductId);

  profiles::ImportSystemLanguage();
  PutAway();

  sessionThreads_.Start({
      {"KeyboardSession", [this](std::stop_token stop) { keyboard_.Session().Serve(stop); }},
      {"MouseSession", [this](std::stop_token stop) { mouse_.Session().Serve(stop); }},
      {"MousepadSession", [this](std::stop_token stop) { mousepad_.Session().Serve(stop); }},
  });
  workers_.Start(options_.workers ? options_.workers(*this) : StartupWorkers());
  // One watcher per watched list; each poll's answer is matched and applied
  // on the UI thread in one step. With no program in front the list shows
  // the user's choice once the answer has arrived, so the same answer again
  // is not handed over: an idle program does not wake for it. A list with no
  // link to follow has its watcher rest after that first answer.
  // Resting watchers ask nothing, so the source's own reports tell the link
  // rows that it came up or went away; only a change is handed over.
  listenedAvailability_ = options_.foreground->Availability();
  availabilityListener_ = options_.foreground->ListenForChanges([this] {
    const platform::ForegroundAvailability now = options_.foreground->Availability();
    if (listenedAvailability_.exchange(now) == now) return;
    toolkit_.Post([self = QPointer<CMainWnd>(this)] {
      if (self) self->profilePage_->RefreshAvailability();
    });
  });
  for (const profiles::WatchedList& list : profiles::kWatchedLists)
    watchers_.push_back(std::make_unique<profiles::ProfileWatcher>(
        list, *options_.foreground,
        [this, list, last = std::optional<platform::ForegroundAnswer>()](
            const platform::ForegroundAnswer& answer) mutable {
          const bool repeated = last && last->status == answer.status && last->path == answer.path;
          last = answer;
          if (repeated && answer.status != platform::ForegroundStatus::Found) return;
          toolkit_.Post([self = QPointer<CMainWnd>(this), list, answer] {
            if (self) self->profilePage_->OnForeground(list, answer);
          });
        },
        profiles::kWatchInterval, profilePage_->HasFollowableLink(list)));

  keyboard_.ReadEverythingAfter(devices::kFullReadDelayMs);
  mousepad_.ReadEverythingAfter(devices::kFullReadDelayMs);

  ApplyLanguage(profiles::StoredLanguage(), false);
  CreateRemoteRooms();

  initialised_ = true;
  for (auto& done : std::exchange(whenInitialised_, {})) done();
}

pages::profiles::SelectionEffects CMainWnd::EffectsFor(device::Peripheral peripheral) {
  pages::profiles::SelectionEffects effects = Room(peripheral).SelectionEffects();
  if (peripheral != device::Peripheral::Mousepad)
    effects.refreshKeyPage = [this, peripheral] { RefreshKeyPage(peripheral); };
  effects.markPush = [this, peripheral] { pushFlags_.Mark(peripheral); };
  return effects;
}

void CMainWnd::RefreshKeyPage(device::Peripheral peripheral) {
  // The keyboard's keys are on its picture, which is always built.
  if (peripheral == device::Peripheral::Mouse) {
    mouse_.RefreshKeyPage();
  } else {
    keyPages_->Refresh(peripheral);
  }
}

void CMainWnd::RefreshKeyPages() {
  RefreshKeyPage(device::Peripheral::Keyboard);
  RefreshKeyPage(device::Peripheral::Mouse);
}

void CMainWnd::ApplySkinSetting() {
  if (!profiles::HasSkinImage()) return;
  if (toolkit::Control* root = window_.FindControl("root")) {
    root->SetBkImage(profiles::StartupSkinImage(kDefaultBackground));
    root->SetBkColor(0);
  }
}

void CMainWnd::OnSkinChanged(const SkinChange& change) {
  toolkit::Control* root = window_.FindControl("root");
  if (!root) return;
  if (change.isColour) {
    root->SetBkColor(change.colour);
    root->SetBkImage("");
  } else {
    root->SetBkColor(0);
    root->SetBkImage(change.image);
  }
}

void CMainWnd::OnTimer(int id) {
  switch (id) {
    case kHideProgressTimer:
      window_.KillTimer(id);
      if (toolkit::Control* progress = window_.FindControl("setting_progress")) progress->SetVisible(false);
      break;
    case kPushTimer:
      OnPushTick();
      break;
    case kRepaintAfterShowTimer:
      window_.KillTimer(id);
      window_.Widget()->update();
      break;
    case kRepaintTimer:
      OnRepaintTick();
      break;
    default:
      break;
  }
}

toolkit::CreatedControl CMainWnd::CreateControl(std::string_view element) { return PageControl(element); }

std::optional<std::string> CMainWnd::QueryControlText(std::string_view id) {
  const bool english = language_ == profiles::Language::English;
  if (id == "titletext") return std::string(kTitle);
  if (id == "hometext") return english ? std::string("Home Page") : std::string("官方网站");
  return std::nullopt;
}

void CMainWnd::ApplyLanguage(profiles::Language language, bool store) {
  language_ = language;
  if (!toolkit_.LoadLanguage(LanguageFile(language))) return;
  if (store) profiles::ChooseLanguage(language);
  window_.ReloadText();
  // Key tooltips are composed texts, not text ids.
  if (keyPages_) RefreshKeyPages();
  // Lighting programs see the mode and key names of the new language.
  if (sdkDevices_) sdkDevices_->Forget();
  if (QWidget* w = window_.Widget()) {
    if (QLayout* layout = w->layout()) layout->invalidate();
    w->update();
  }
}

bool CMainWnd::AnyDeviceConnected() const {
  return std::ranges::any_of(rooms_, [](devices::DeviceRoom* room) { return room->Connected(); });
}

bool CMainWnd::TrayShown() const { return tray_ && tray_->isVisible(); }

void CMainWnd::ShowAndRaise() {
  QWidget* w = window_.Widget();
  w->showNormal();
  w->raise();
  w->activateWindow();
  ArmRepaint();
}

void CMainWnd::PutAway() {
  QWidget* w = window_.Widget();
  if (options_.tray) {
    w->hide();
  } else {
    w->showMinimized();
  }
}

void CMainWnd::SayNoDevice(bool& guard) {
  if (guard) return;
  guard = true;
  toolkit_.ShowMessage(&window_, "message_text_1");
  guard = false;
}

void CMainWnd::ActivateRequest() {
  debug::Line("activation asked by another start (" + std::string(SingleInstance::kActivation) + ")");
  if (AnyDeviceConnected()) {
    ShowAndRaise();
    return;
  }
  PutAway();
  SayNoDevice(activationMessageShowing_);
}

void CMainWnd::TrayClick() {
  QWidget* w = window_.Widget();
  if (!AnyDeviceConnected()) {
    w->hide();
    SayNoDevice(trayMessageShowing_);
    return;
  }
  bool visible = w->isVisible();
  if (w->isMinimized()) visible = !visible;
  if (visible) {
    w->hide();
    return;
  }
  ShowAndRaise();
  w->update();
  window_.SetTimer(kRepaintAfterShowTimer, 10, true);
}

std::vector<MenuItem> CMainWnd::TrayMenuItems() const { return LoadMenu(toolkit_, kTrayMenuFile, true); }

std::vector<MenuItem> CMainWnd::MainMenuItems() const {
  // Without a tray the main menu is the way out of the program.
  std::vector<MenuItem> items = LoadMenu(toolkit_, kMainMenuFile, !options_.tray);
  for (MenuItem& item : items) {
    if (item.name == "sdk_server" && SdkServerPort() != 0) item.text = "menu_sdk_server_stop_text";
    if (item.name == "autostart") item.checked = platform::StartsAtLogin();
  }
  return items;
}

void CMainWnd::ShowTrayMenu(const QPoint& cursor) { PopUpMenu(TrayMenuItems(), cursor - QPoint(0, 50)); }

void CMainWnd::ShowMainMenu(const QPoint& cursor) { PopUpMenu(MainMenuItems(), cursor); }

void CMainWnd::PopUpMenu(const std::vector<MenuItem>& items, const QPoint& at) {
  CloseMenu();
  menu_ = BuildMenu(items, window_);
  menu_->setAttribute(Qt::WA_DeleteOnClose);
  // The item's work may open windows of its own: it runs once the menu is gone.
  connect(menu_, &QMenu::triggered, this, [this](QAction* action) {
    const MenuItem item = ItemOf(action);
    QTimer::singleShot(0, this, [this, item] { OnMenuItem(item); });
  });
  menu_->popup(at);
}

void CMainWnd::CloseMenu() {
  if (menu_) menu_->close();
}

void CMainWnd::OnMenuItem(const MenuItem& item) {
  CloseMenu();
  switch (ActionForMenuItem(item.name)) {
    case MenuAction::ApplyEnglish:
      ApplyLanguage(profiles::Language::English, true);
      break;
    case MenuAction::ApplyChinese:
      ApplyLanguage(profiles::Language::Chinese, true);
      break;
    case MenuAction::OpenAbout:
      Ccopyright::Open(toolkit_, window_.Widget()->frameGeometry());
      break;
    case MenuAction::Exit:
      Close();
      break;
    case MenuAction::Nothing:
      break;
    case MenuAction::ToggleSdkServer:
      ToggleSdkServer();
      break;
    case MenuAction::ToggleStartAtLogin:
      ToggleStartAtLogin(toolkit_, window_);
      break;
    case MenuAction::ShowItemText:
      toolkit_.ShowMessage(&window_, item.text, item.textIsId);
      break;
  }
}

void CMainWnd::OnLastDeviceGone() {
  if (toolkit::Control* tab = window_.FindControl("ms_deng_Op_tab")) tab->SetFocus();
  toolkit_.ShowMessage(&window_, "message_text_20");
  PutAway();
}

void CMainWnd::ShowProgress() {
  ++progressShown_;
  window_.KillTimer(kHideProgressTimer);
  if (toolkit::Control* progress = window_.FindControl("setting_progress")) progress->SetVisible(true);
}

void CMainWnd::EndProgress() {
  // The display stays while another sequence still works.
  if (progressShown_ > 0 && --progressShown_ > 0) return;
  window_.SetTimer(kHideProgressTimer, kProgressHideMs, true);
}

void CMainWnd::ArmPushTick() {
  if (!window_.IsTimerActive(kPushTimer)) window_.SetTimer(kPushTimer, kPushMs);
}

void CMainWnd::OnPushTick() {
  for (lighting::PendingPush& push :
       lighting::TakePendingPushes(pushFlags_, live_.keyboardLight, live_.mouseLight, live_.mousepadLight)) {
    // A device that is not there takes nothing; its flag stays clear.
    Room(push.peripheral).Session().Run([this, writes = std::move(push.writes)](device::CDeviceLink& link) {
      lighting::SendPushImage(link, writes);
      // The push ended synchronized lighting on the device: its lighting
      // thread takes over.
      lightingGates_.Notify();
    });
  }
  saver_.Tick();
  using device::Peripheral;
  const bool pushPending =
      std::ranges::any_of(device::kAllPeripherals, [this](Peripheral p) { return pushFlags_.IsPending(p); });
  if (!pushPending && !saver_.AnyMarked()) window_.KillTimer(kPushTimer);
}

void CMainWnd::SetSystemAwake(bool awake) {
  systemAwake.store(awake ? 1 : 0);
  lightingGates_.Notify();
  if (!awake) saver_.Flush();
}

WorkerThreads::StopOutcome CMainWnd::StopThreads() {
  window_.Widget()->hide();
  watchers_.clear();
  if (availabilityListener_) options_.foreground->StopListening(*std::exchange(availabilityListener_, std::nullopt));
  sessionThreads_.StopAll();
  return workers_.StopAll();
}

void CMainWnd::Close() {
  if (closing_) return;
  closing_ = true;
  tray_.reset();
  debug::Line("closing: stopping the threads and saving");
  StopThreads();
  saver_.Flush();
  Q_EMIT closed();
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_.Widget()) return false;
  if (event->type() == QEvent::WindowStateChange) {
    const bool maximized = window_.Widget()->isMaximized();
    if (buttons_.max) buttons_.max->SetVisible(!maximized);
    if (buttons_.restore) buttons_.restore->SetVisible(maximized);
    // Back from minimized: the previews catch up.
    ArmRepaint();
  } else if (event->type() == QEvent::Show) {
    windowShown.store(true);
    // Its passes follow the synchronized-mode control again while shown.
    WakeDeviceWatcher();
    ArmRepaint();
  } else if (event->type() == QEvent::Hide) {
    windowShown.store(false);
  } else if (event->type() == QEvent::Close && !closing_) {
    // The window manager's close (Alt+F4, the task bar) acts like the
    // close button: the program lives on in the background.
    event->ignore();
    window_.Widget()->showMinimized();
    return true;
  }
  return false;
}

}  // namespace talvo::app
