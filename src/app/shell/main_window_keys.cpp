// The main window's side of the key pages and the macro editors, which the
// mouse and the keyboard share: building them and connecting them to the
// router, to the cursor macros and to the device rooms.
#include <utility>
#include <vector>

#include "app/shell/main_window.h"

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
                                            .keyboardKeys = [this] { return size_t{keyboard_.Data().info.KeyCount()}; },
                                            .mouseRead = [this] { return !mouse_.Connected() || mouse_.Data().read; }});
  router_.Bind("fire keys", mouse_.CursorPage(), macros::pages::CursorMacroPage::Bindings());
  macroPages_ = std::make_unique<macros::pages::MacroPages>(
      window_, macros::pages::MacroPages::Setup{.keyboard = {keyboard_.Session(), keyboard_.Data().info,
                                                             [this] { return keyboard_.Data().keyMapLengthKnown; }},
                                                .mouse = {mouse_.Session(), mouse_.Data().info,
                                                          [this] { return mouse_.Data().read; }},
                                                .live = live_,
                                                .saver = saver_,
                                                .runner = sequences_,
                                                .capture = hook_,
                                                .keysChanged = [this] { RefreshKeyPages(); },
                                                .cursorImage = [this] { return mouse_.CursorPage().PlanUpload(); }});
  roomContext_.keyPages = keyPages_.get();
  roomContext_.macroPages = macroPages_.get();
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

}  // namespace talvo::app
