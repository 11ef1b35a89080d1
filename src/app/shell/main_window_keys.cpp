// The main window's side of the key pages, the macro editors and the
// cursor macros: building the three rooms, connecting them to the router and
// to each other, and the mouse's cursor image arriving from the device.
#include <QPointer>
#include <utility>
#include <vector>

#include "app/shell/main_window.h"
#include "macros/cursor_macros.h"
#include "platform/folders.h"
#include "profiles/profile_index.h"
#include "transfer/cursor_upload.h"

namespace talvo::app {
namespace {

// The looks of the macro step rows' labels.
void RegisterMacroStepStyles(QtToolkit& toolkit) {
  toolkit.RegisterItemStyle("macro_label_keyboard_style", ItemLook{.textColor = 0xFF8CE3FF});
  toolkit.RegisterItemStyle("macro_label_mouse_style", ItemLook{.textColor = 0xFFF8A501});
  toolkit.RegisterItemStyle("macro_label_down_style", ItemLook{.textColor = 0xFF5BD778, .bold = true});
  toolkit.RegisterItemStyle("macro_label_up_style", ItemLook{.textColor = 0xFF9AA1AC});
  toolkit.RegisterItemStyle("macro_label_text_style", ItemLook{.textColor = 0xFFE6E8EB});
}

}  // namespace

void CMainWnd::CreateKeyAndMacroRooms() {
  RegisterMacroStepStyles(toolkit_);
  keyPages_ = std::make_unique<keys::pages::KeyPages>(
      window_, keys::pages::KeyPages::Setup{.live = live_,
                                            .saver = saver_,
                                            .capture = hook_,
                                            .keyboardKeys = [this] { return size_t{keyboardData_.info.KeyCount()}; },
                                            .mouseRead = [this] {
                                              return !mouseLink_.IsConnected() || mouseData_.read;
                                            }});
  cursorPage_ = std::make_unique<macros::pages::CursorMacroPage>(
      window_, profiles::DeviceFolder(device::Peripheral::Mouse), platform::ProgramFolder(),
      [this](std::vector<uint8_t> image) {
        sequences_.Run(
            mouseSession_, true,
            [image = std::move(image)](device::CDeviceLink& link) { transfer::UploadCursorImage(link, image); },
            [](device::DeviceSession::Outcome) {});
      });
  router_.Bind("fire keys", *cursorPage_, macros::pages::CursorMacroPage::Bindings());
  macroPages_ = std::make_unique<macros::pages::MacroPages>(
      window_, macros::pages::MacroPages::Setup{.keyboard = {keyboardSession_, keyboardData_.info,
                                                             [this] { return keyboardData_.keyMapLengthKnown; }},
                                                .mouse = {mouseSession_, mouseData_.info,
                                                          [this] { return mouseData_.read; }},
                                                .live = live_,
                                                .saver = saver_,
                                                .runner = sequences_,
                                                .capture = hook_,
                                                .keysChanged = [this] { keyPages_->Refresh(); },
                                                .cursorImage = [this] { return cursorPage_->PlanUpload(); }});
  for (const device::Peripheral p : {device::Peripheral::Keyboard, device::Peripheral::Mouse})
    router_.Bind("macro editor", macroPages_->Editor(p), macros::pages::MacroEditorPage::Bindings(p));
  router_.Bind("macro upload", *macroPages_, macros::pages::MacroPages::Bindings());
  for (const device::Peripheral p : {device::Peripheral::Keyboard, device::Peripheral::Mouse})
    router_.Bind("key assignment", keyPages_->Page(p), keys::pages::KeyAssignmentPage::Bindings(p));
  router_.SetCaptureRelease([this] {
    keyPages_->EndCapture();
    macroPages_->ReleaseCapture();
  });
}

void CMainWnd::DownloadCursorImage(device::CDeviceLink& mouse) {
  std::array<uint8_t, kCursorImageMax> image{};
  const size_t length = transfer::DownloadCursorImage(mouse, image);
  if (length == 0) return;
  // The slot files are the cursor page's: they are rewritten on the UI
  // thread, never while the page writes a bullet.
  toolkit_.Post([self = QPointer<CMainWnd>(this), bytes = std::vector<uint8_t>(image.begin(), image.begin() + length)] {
    if (self && macros::RewriteSlotsFromImage(profiles::DeviceFolder(device::Peripheral::Mouse), bytes) > 0)
      self->cursorPage_->Reload();
  });
}

}  // namespace talvo::app
