#include "app/devices/mouse_room.h"

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "device/device_commands.h"
#include "device/notification_listener.h"
#include "keys/key_map.h"
#include "macros/cursor_macros.h"
#include "platform/folders.h"
#include "profiles/profile_index.h"
#include "transfer/cursor_download.h"
#include "transfer/cursor_upload.h"

namespace talvo::app::devices {
namespace {

using Outcome = device::DeviceSession::Outcome;

// Notifications in quick succession end in one re-read this long after the last.
constexpr int kRereadDelayMs = 200;

// The mouse's performance page, and the pages showing the cursor macros.
constexpr std::string_view kPerformancePage = "MS_DPI_UI";
constexpr std::array<std::string_view, 2> kCursorPages = {"MS_CURSOR_UI", "kb_CURSOR_UI"};

}  // namespace

MouseRoom::MouseRoom(platform::HidBackend& backend, RoomContext& context)
    : DeviceRoom(device::Peripheral::Mouse, backend, context) {
  rereadTimer_.setSingleShot(true);
  rereadTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&rereadTimer_, &QTimer::timeout, [this] { RereadSettings(); });
}

void MouseRoom::CreatePages(platform::PointerSettings& pointerSettings) {
  lightingPage_ = std::make_unique<lighting::pages::MouseLightingPage>(c_.window, c_.live, c_.saver, effect_,
                                                                       c_.pushFlags, Link());
  performancePage_ = std::make_unique<mouse::MousePerformancePage>(c_.window, session_, data_, c_.live, c_.saver,
                                                                   c_.pushFlags, pointerSettings);
  cursorPage_ = std::make_unique<macros::pages::CursorMacroPage>(
      c_.window, profiles::DeviceFolder(device::Peripheral::Mouse), platform::ProgramFolder(),
      [this](std::vector<uint8_t> image) {
        c_.sequences.Run(
            session_, true,
            [image = std::move(image)](device::CDeviceLink& link) { transfer::UploadCursorImage(link, image); },
            [](Outcome) {});
      });
  FindPreviewControls("ms_dkey_");
}

void MouseRoom::RefreshPages() {
  c_.lightingGates.Notify();
  c_.views.Show(traits_.lightingPage, "refresh", [this] { lightingPage_->Refresh(); });
  performancePage_->StoreDpiBase();
  c_.views.Show(kPerformancePage, "refresh", [this] { performancePage_->Show(); });
  RefreshKeyPage();
  // The onboard selector always shows the profile the mouse has active.
  const int active = c_.live.mouseLight.record.profile();
  for (int p = 0; p < traits_.onboardProfiles; ++p)
    if (toolkit::Control* button = c_.window.FindControl("ms_profile_" + std::to_string(p)))
      if (p == active) button->SetCheck(true, false);
}

void MouseRoom::RefreshKeyPage() {
  c_.views.Show(traits_.keyPage, "refresh", [this] { c_.keyPages->Refresh(device::Peripheral::Mouse); });
}

void MouseRoom::ReloadCursorPage() {
  // The cursor macros show on the keyboard's tab too, from the same files.
  for (const std::string_view page : kCursorPages) c_.views.Show(page, "reload", [this] { cursorPage_->Reload(); });
}

void MouseRoom::ReadEverything(std::function<void()> applied) {
  auto readback = std::make_shared<transfer::MouseReadback>(transfer::MouseReadback::Of(data_, c_.live));
  c_.sequences.Run(
      session_, true, [readback](device::CDeviceLink& link) { transfer::MouseFullRead(link, *readback); },
      [this, readback, applied = std::move(applied)](Outcome outcome) {
        // A read cut short by the mouse leaving hands over nothing. An
        // absent mouse gives what an earlier read left, as every command to
        // it fails at once.
        if (outcome != Outcome::Cut) {
          transfer::ApplyMouseFullRead(*readback, data_, c_.live);
          c_.saver.Mark(device::Peripheral::Mouse, profiles::ProfileKind::Device);
          RefreshPages();
          if (data_.read) c_.macroPages->DeviceRead(device::Peripheral::Mouse);
        }
        if (applied) applied();
      });
}

void MouseRoom::RereadSettings() {
  auto read = std::make_shared<transfer::MouseBlockRead>();
  c_.sequences.Run(
      session_, false, [read](device::CDeviceLink& link) { *read = transfer::MouseSettingsReread(link); },
      [this, read](Outcome outcome) {
        if (outcome != Outcome::Cut && transfer::ApplyMouseSettingsReread(*read, data_, c_.live))
          c_.saver.MarkLightAndDevice(device::Peripheral::Mouse);
        RefreshPages();
        rereadPending_.store(0);
      });
}

void MouseRoom::SelectOnboard(int n) {
  if (n < 0) {
    RefreshPages();
    return;
  }
  // What is pending goes to the profile it was made in; until the switch is
  // applied no push may carry the old profile's number after it.
  c_.sendPendingPushes();
  c_.pushFlags.Hold(device::Peripheral::Mouse);
  auto read = std::make_shared<transfer::MouseBlockRead>();
  c_.sequences.Run(
      session_, true, [read, n](device::CDeviceLink& link) { *read = transfer::SelectMouseProfile(link, unsigned(n)); },
      [this, read, n](Outcome outcome) {
        c_.pushFlags.Release(device::Peripheral::Mouse);
        if (outcome != Outcome::Cut && transfer::ApplyMouseProfileSwitch(*read, unsigned(n), data_, c_.live)) {
          if (toolkit::Control* panel = c_.window.FindControl("ms_tab_function")) panel->SetVisible(false);
          // The profiles keep the onboard profile now in use, which the
          // next start pushes back.
          c_.saver.MarkLightAndDevice(device::Peripheral::Mouse);
        }
        RefreshPages();
      });
}

void MouseRoom::OnNotification(uint16_t usage, std::stop_token stop) {
  switch (usage) {
    case device::kUsageSettingsChanged:
      // The lighting frames pause until the re-read; the timer is the UI
      // thread's, so it is restarted there.
      rereadPending_.store(1);
      PostToUi([this] { rereadTimer_.start(kRereadDelayMs); });
      break;
    case device::kUsageEverythingChanged:
      // Handled before the listener reads on: it waits until the read has
      // been applied, as it waited for the read itself before.
      ReadOnUiThreadAndWait([this](std::function<void()> applied) { ReadEverything(std::move(applied)); }, stop);
      break;
    case device::kUsageFlash:
      c_.flashTrigger.store(1);
      break;
    default:
      break;
  }
}

void MouseRoom::Attached() {
  ReadEverythingAfter(kFullReadDelayMs);
  // Its key maps are on their way: a key chosen now is shown once they are here.
  RefreshKeyPage();
}

void MouseRoom::Detached() {
  // Another mouse may come, with memory of its own.
  data_.read = false;
  c_.macroPages->DeviceGone(device::Peripheral::Mouse);
}

void MouseRoom::ReadCursorMacros() {
  session_.Run([this](device::CDeviceLink& mouse) { DownloadCursorImage(mouse); });
}

void MouseRoom::DownloadCursorImage(device::CDeviceLink& mouse) {
  std::array<uint8_t, transfer::kCursorImageMax> image{};
  const size_t length = transfer::DownloadCursorImage(mouse, image);
  if (length == 0) return;
  // The slot files are the cursor page's: they are rewritten on the UI
  // thread, never while the page writes a bullet.
  PostToUi([this, bytes = std::vector<uint8_t>(image.begin(), image.begin() + length)] {
    if (macros::RewriteSlotsFromImage(profiles::DeviceFolder(device::Peripheral::Mouse), bytes) > 0)
      ReloadCursorPage();
  });
}

pages::profiles::SelectionEffects MouseRoom::SelectionEffects() {
  return {.closeKeyPanel =
              [this] {
                c_.views.Show(traits_.keyPage, "close panel",
                              [this] { pages::profiles::CloseKeyPanel(c_.window, Peripheral()); });
              },
          .refreshKeyPage = {},
          .writeKeyMap =
              [this] {
                // The map of the onboard profile the live record belongs to; the
                // write reaches into the profiles after it, which keep what they hold.
                const unsigned profile = c_.live.mouseLight.record.profile();
                if (profile >= transfer::MouseDeviceBlocks::kCopies) return;
                keys::KeyMapRecord& map = c_.live.mouseKeys.profiles[profile];
                map = keys::MouseKeyMapImage(c_.live.mouseKeys, profile);
                session_.Run([profile, map](device::CDeviceLink& link) { device::WriteKeyMap(link, profile, map); });
              },
          .refreshLightingPages = [this] { RefreshPages(); },
          .applyPointerSettings =
              [this] {
                c_.views.Show(kPerformancePage, "pointer", [this] { performancePage_->ShowPointerSettings(); });
                performancePage_->ApplyPointerSettings();
              },
          .markPush = {}};
}

LightingWorker MouseRoom::Lighting(lighting::LightingPreviewHost& preview) {
  return {"MouseLighting", [this, &preview](std::stop_token stop) {
            lighting::RunMouseLighting(stop, {.link = Link(),
                                              .record = c_.live.mouseLight.record,
                                              .state = effect_,
                                              .preview = preview,
                                              .systemAwake = c_.systemAwake,
                                              .mouseRereadPending = rereadPending_,
                                              .gates = lightingWake_,
                                              .direct = &direct_});
          }};
}

}  // namespace talvo::app::devices
