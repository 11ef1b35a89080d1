// The main window's side of the keyboard and the mousepad: their tabs as
// they come and go, and their read sequences, which run on their sessions
// and are applied here with the page updates that follow them. They follow
// the mouse's rules wherever they can.
#include <chrono>
#include <future>
#include <memory>

#include "app/shell/main_window.h"
#include "device/notification_listener.h"
#include "pages/peripheral_traits.h"

namespace talvo::app {
namespace {

using Outcome = device::DeviceSession::Outcome;

constexpr int kMousepadSettleMs = 1000;

}  // namespace

void CMainWnd::OnOtherAttached(device::Peripheral peripheral) {
  const bool keyboard = peripheral == device::Peripheral::Keyboard;
  window_.SetTimer(keyboard ? kKeyboardReadTimer : kMousepadReadTimer, kFullReadDelayMs, true);
  toolkit::Control* tab = window_.FindControl(pages::TraitsOf(peripheral).tab);
  if (!tab) return;
  tab->SetVisible(true);
  // The first device to arrive is the one shown; a later one only adds its tab.
  const int attached = int(keyboardLink_.IsConnected()) + int(mouseLink_.IsConnected()) +
                       int(mousepadLink_.IsConnected());
  if (attached == 1) tab->SetCheck(true);
}

void CMainWnd::OnOtherDetached(device::Peripheral peripheral) {
  // Another keyboard may have another key count: its length comes with its read.
  if (peripheral == device::Peripheral::Keyboard) {
    keyboardData_.keyMapLengthKnown = false;
    macroPages_->DeviceGone(peripheral);
  }
  toolkit::Control* tab = window_.FindControl(pages::TraitsOf(peripheral).tab);
  if (!tab) return;
  const bool shown = tab->IsSelected();
  tab->SetVisible(false);
  if (!shown) return;
  for (device::Peripheral other :
       {device::Peripheral::Keyboard, device::Peripheral::Mouse, device::Peripheral::Mousepad}) {
    if (other == peripheral || !Session(other).Link().IsConnected()) continue;
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

void CMainWnd::ReadEverythingFromKeyboard(std::function<void()> applied) {
  auto readback =
      std::make_shared<transfer::KeyboardReadback>(transfer::KeyboardReadback::Of(keyboardData_, live_));
  sequences_.Run(
      keyboardSession_, true, [readback](device::CDeviceLink& link) { transfer::KeyboardFullRead(link, *readback); },
      [this, readback, applied = std::move(applied)](Outcome outcome) {
        // A read cut short by the keyboard leaving hands over nothing; an
        // absent keyboard gives what an earlier read left.
        if (outcome != Outcome::Cut) {
          if (transfer::ApplyKeyboardFullRead(*readback, keyboardData_, live_, keyPages_->Positions()) ==
              transfer::KeyboardReadResult::KeyCountRefused) {
            toolkit_.ShowMessage(&window_, "message_text_26");
          } else {
            saver_.Mark(device::Peripheral::Keyboard, profiles::ProfileKind::Key);
            saver_.Mark(device::Peripheral::Keyboard, profiles::ProfileKind::Device);
            lightingGates_.Notify();
            keyboardLightingPage_->Refresh();
            keyPages_->Refresh(device::Peripheral::Keyboard);
            if (keyboardData_.keyMapLengthKnown) macroPages_->DeviceRead(device::Peripheral::Keyboard);
          }
        }
        if (applied) applied();
      });
}

void CMainWnd::RereadKeyboardSettings(std::function<void()> applied) {
  auto block = std::make_shared<std::optional<transfer::KeyboardBlock>>();
  sequences_.Run(
      keyboardSession_, false, [block](device::CDeviceLink& link) { *block = transfer::KeyboardSettingsReread(link); },
      [this, block, applied = std::move(applied)](Outcome outcome) {
        if (outcome != Outcome::Cut) {
          transfer::ApplyKeyboardSettingsReread(*block, live_);
          saver_.Mark(device::Peripheral::Keyboard, profiles::ProfileKind::Device);
          lightingGates_.Notify();
          keyboardLightingPage_->Refresh();
        }
        if (applied) applied();
      });
}

void CMainWnd::OnKeyboardNotification(uint16_t usage, std::stop_token stop) {
  if (usage != device::kUsageSettingsChanged && usage != device::kUsageEverythingChanged) return;
  // The listener reads on only once the read it asked for has been applied.
  auto applied = std::make_shared<std::promise<void>>();
  std::future<void> done = applied->get_future();
  const bool everything = usage == device::kUsageEverythingChanged;
  const bool sent = toolkit_.Send(
      [this, applied, everything] {
        auto signal = [applied] { applied->set_value(); };
        if (everything) {
          ReadEverythingFromKeyboard(signal);
        } else {
          RereadKeyboardSettings(signal);
        }
      },
      stop);
  if (!sent) return;
  while (!stop.stop_requested() && done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
  }
}

void CMainWnd::ReadEverythingFromMousepad() {
  auto read = std::make_shared<transfer::MousepadReadback>();
  sequences_.Run(
      mousepadSession_, true, [read](device::CDeviceLink& link) { *read = transfer::MousepadFullRead(link); },
      [this, read](Outcome outcome) {
        if (outcome == Outcome::Cut) return;
        ShowMousepadProfile(transfer::ApplyMousepadFullRead(*read, mousepadData_, live_));
        saver_.Mark(device::Peripheral::Mousepad, profiles::ProfileKind::Lighting);
        lightingGates_.Notify();
        mousepadLightingPage_->Refresh();
      });
}

void CMainWnd::SelectMousepadProfile(int n) {
  if (n < 0 || n >= int(lighting::kProfileSlots)) return;
  // What is pending goes to the profile it was made in; until the switch is
  // applied no push may carry the old profile's number after it.
  OnPushTick();
  pushFlags_.Hold(device::Peripheral::Mousepad);
  auto read = std::make_shared<transfer::MousepadBlockRead>();
  sequences_.Run(
      mousepadSession_, true,
      [read, n](device::CDeviceLink& link) { *read = transfer::SelectMousepadProfile(link, unsigned(n)); },
      [this, read, n](Outcome outcome) {
        pushFlags_.Release(device::Peripheral::Mousepad);
        // A switch cut short changes nothing; the list returns to the profile in use.
        const transfer::MousepadBlockRead taken = outcome == Outcome::Cut ? transfer::MousepadBlockRead{} : *read;
        ShowMousepadProfile(transfer::ApplyMousepadProfileSwitch(taken, unsigned(n), live_));
        // The lighting profile keeps the onboard profile now in use: the
        // next start pushes it back rather than the one before.
        if (outcome != Outcome::Cut) saver_.Mark(device::Peripheral::Mousepad, profiles::ProfileKind::Lighting);
        lightingGates_.Notify();
        mousepadLightingPage_->Refresh();
      });
}

void CMainWnd::RestoreMousepadDefaults() {
  // The mousepad settles for a second before it is read again; the UI
  // thread does not wait for it.
  sequences_.Run(
      mousepadSession_, false, [](device::CDeviceLink& link) { transfer::RestoreMousepadDefaults(link); },
      [this](Outcome) { window_.SetTimer(kMousepadResetReadTimer, kMousepadSettleMs, true); });
}

void CMainWnd::ShowMousepadProfile(std::optional<unsigned> active) {
  if (toolkit::Control* list = window_.FindControl("mp_deng_combo_profile"))
    list->SelectItem(active ? int(*active) : -1, false);
}

}  // namespace talvo::app
