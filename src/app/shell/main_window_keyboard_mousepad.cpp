// The main window's side of the keyboard and the mousepad: their tabs as
// they come and go, and their read sequences, which run on their sessions
// and are applied here with the page updates that follow them. They follow
// the mouse's rules wherever they can.
#include "app/shell/main_window.h"

namespace talvo::app {
namespace {

const char* TabOf(device::Peripheral peripheral) {
  switch (peripheral) {
    case device::Peripheral::Keyboard:
      return "kb_tab";
    case device::Peripheral::Mouse:
      return "ms_tab";
    case device::Peripheral::Mousepad:
      return "mp_tab";
  }
  return "";
}

}  // namespace

void CMainWnd::OnOtherAttached(device::Peripheral peripheral) {
  const bool keyboard = peripheral == device::Peripheral::Keyboard;
  window_.SetTimer(keyboard ? kKeyboardReadTimer : kMousepadReadTimer, kFullReadDelayMs, true);
  Control* tab = window_.FindControl(TabOf(peripheral));
  if (!tab) return;
  tab->SetVisible(true);
  // The first device to arrive is the one shown; a later one only adds its tab.
  const int attached = int(keyboardLink_.IsConnected()) + int(mouseLink_.IsConnected()) +
                       int(mousepadLink_.IsConnected());
  if (attached == 1) tab->SetCheck(true);
}

void CMainWnd::OnOtherDetached(device::Peripheral peripheral) {
  Control* tab = window_.FindControl(TabOf(peripheral));
  if (!tab) return;
  const bool shown = tab->IsSelected();
  tab->SetVisible(false);
  if (!shown) return;
  for (device::Peripheral other :
       {device::Peripheral::Keyboard, device::Peripheral::Mouse, device::Peripheral::Mousepad}) {
    if (other == peripheral || !Session(other).Link().IsConnected()) continue;
    if (Control* next = window_.FindControl(TabOf(other))) {
      next->SetVisible(true);
      next->SetCheck(true);
      next->SetFocus();
    }
    return;
  }
  // Nothing left to configure: the waiting page until a device returns.
  tab->SetCheck(false, false);
  if (Control* pages = window_.FindControl("tab_switch")) pages->SelectPage(kWaitingPage);
  OnLastDeviceGone();
}

}  // namespace talvo::app
