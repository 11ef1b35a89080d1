#include "pages/keys/key_pages.h"

#include "macros/macro_files.h"
#include "profiles/profile_index.h"

namespace talvo::keys::pages {

KeyPages::KeyPages(toolkit::Window& window, Setup setup) {
  const auto page = [&](device::Peripheral peripheral, std::function<size_t()> keyCount,
                        std::function<bool()> ready) {
    return std::make_unique<KeyAssignmentPage>(
        window, KeyAssignmentPage::Setup{.peripheral = peripheral,
                                         .live = setup.live,
                                         .saver = setup.saver,
                                         .capture = setup.capture,
                                         .positions = positions_,
                                         .keyCount = std::move(keyCount),
                                         .ready = std::move(ready),
                                         .macroIndexFile = profiles::DeviceFolder(peripheral) /
                                                           macros::MacroIndexFileName(peripheral)});
  };
  keyboard_ = page(device::Peripheral::Keyboard, setup.keyboardKeys, {});
  mouse_ = page(device::Peripheral::Mouse, [] { return kMouseKeyCount; }, setup.mouseRead);
}

void KeyPages::Refresh() {
  keyboard_->Refresh();
  mouse_->Refresh();
}

void KeyPages::Refresh(device::Peripheral peripheral) { Page(peripheral).Refresh(); }

void KeyPages::EndCapture() {
  keyboard_->EndCapture();
  mouse_->EndCapture();
}

}  // namespace talvo::keys::pages
