#include "app/devices/mousepad_room.h"

#include <memory>

namespace talvo::app::devices {
namespace {

using Outcome = device::DeviceSession::Outcome;

constexpr int kSettleMs = 1000;

}  // namespace

MousepadRoom::MousepadRoom(platform::HidBackend& backend, RoomContext& context,
                           lighting::KbEffectState& keyboardEffect)
    : DeviceRoom(device::Peripheral::Mousepad, backend, context),
      keyboardEffect_(keyboardEffect) {}

void MousepadRoom::CreatePages() {
  lightingPage_ = std::make_unique<lighting::pages::MousepadLightingPage>(c_.window, c_.live, c_.saver, effect_,
                                                                          c_.pushFlags, Link(), c_.flashTrigger);
  FindPreviewControls("mp_dkey_");
}

void MousepadRoom::RefreshLightingPage() {
  lightingPage_->StartCometRing();
  c_.views.Show(traits_.lightingPage, "refresh", [this] { lightingPage_->Show(); });
}

void MousepadRoom::ReadEverything(std::function<void()> applied) {
  auto read = std::make_shared<transfer::MousepadReadback>();
  c_.sequences.Run(
      session_, true, [read](device::CDeviceLink& link) { *read = transfer::MousepadFullRead(link); },
      [this, read, applied = std::move(applied)](Outcome outcome) {
        if (outcome != Outcome::Cut) {
          ShowOnboard(transfer::ApplyMousepadFullRead(*read, data_, c_.live));
          c_.saver.Mark(device::Peripheral::Mousepad, profiles::ProfileKind::Lighting);
          c_.lightingGates.Notify();
          RefreshLightingPage();
        }
        if (applied) applied();
      });
}

void MousepadRoom::SelectOnboard(int n) {
  if (n < 0 || n >= traits_.onboardProfiles) return;
  // What is pending goes to the profile it was made in; until the switch is
  // applied no push may carry the old profile's number after it.
  c_.sendPendingPushes();
  c_.pushFlags.Hold(device::Peripheral::Mousepad);
  auto read = std::make_shared<transfer::MousepadBlockRead>();
  c_.sequences.Run(
      session_, true,
      [read, n](device::CDeviceLink& link) { *read = transfer::SelectMousepadProfile(link, unsigned(n)); },
      [this, read, n](Outcome outcome) {
        c_.pushFlags.Release(device::Peripheral::Mousepad);
        // A switch cut short changes nothing; the list returns to the profile in use.
        const transfer::MousepadBlockRead taken = outcome == Outcome::Cut ? transfer::MousepadBlockRead{} : *read;
        ShowOnboard(transfer::ApplyMousepadProfileSwitch(taken, unsigned(n), c_.live));
        // The lighting profile keeps the onboard profile now in use: the
        // next start pushes it back rather than the one before.
        if (outcome != Outcome::Cut) c_.saver.Mark(device::Peripheral::Mousepad, profiles::ProfileKind::Lighting);
        c_.lightingGates.Notify();
        RefreshLightingPage();
      });
}

void MousepadRoom::ChooseOnboard(int n) {
  toolkit::Control* list = c_.window.FindControl("mp_deng_combo_profile");
  if (!list || n >= list->Count() || n == list->CurrentIndex()) return;
  list->SelectItem(n, false);
  SelectOnboard(n);
}

void MousepadRoom::RestoreDefaults() {
  c_.sequences.Run(
      session_, false, [](device::CDeviceLink& link) { transfer::RestoreMousepadDefaults(link); },
      [this](Outcome) { ReadEverythingAfter(kSettleMs); });
}

void MousepadRoom::ShowOnboard(std::optional<unsigned> active) {
  c_.views.Show(traits_.lightingPage, "onboard", [this, active] {
    if (toolkit::Control* list = c_.window.FindControl("mp_deng_combo_profile"))
      list->SelectItem(active ? int(*active) : -1, false);
  });
}

pages::profiles::SelectionEffects MousepadRoom::SelectionEffects() {
  return {.closeKeyPanel = {},
          .refreshKeyPage = {},
          .writeKeyMap = {},
          .refreshLightingPages = [this] { RefreshLightingPage(); },
          .applyPointerSettings = {},
          .markPush = {}};
}

LightingWorker MousepadRoom::Lighting(lighting::LightingPreviewHost& preview) {
  // The thread reads the effect table from its start on.
  modes_ = lighting::MousepadModes(effect_, keyboardEffect_, c_.flashTrigger);
  return {"MousepadLighting", [this, &preview](std::stop_token stop) {
            lighting::RunMousepadLighting(stop, {.link = Link(),
                                                 .record = c_.live.mousepadLight.record,
                                                 .modes = modes_,
                                                 .preview = preview,
                                                 .gates = lightingWake_,
                                                 .systemAwake = &c_.systemAwake,
                                                 .direct = &direct_});
          }};
}

}  // namespace talvo::app::devices
