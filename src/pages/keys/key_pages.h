// The key room: the mouse's and the keyboard's key assignment views and the
// keyboard's positions on its picture. The window binds each view's controls
// and tells the room when records or names changed.
#pragma once

#include <functional>
#include <memory>

#include "toolkit/toolkit.h"
#include "keys/position_map.h"
#include "pages/keys/key_assignment_page.h"
#include "platform/input_capture.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"

namespace talvo::keys::pages {

class KeyPages {
 public:
  struct Setup {
    profiles::LiveData& live;
    profiles::ProfileSaver& saver;
    platform::InputCapture& capture;
    // The keyboard's key count: 0 until the keyboard has been read.
    std::function<size_t()> keyboardKeys;
    // Whether the live mouse key maps may be edited: no mouse, or one that
    // has been read.
    std::function<bool()> mouseRead;
  };

  KeyPages(toolkit::Window& window, Setup setup);

  // Records, macro names or the language changed: every key is labelled
  // again and the selected key shown anew.
  void Refresh();
  void Refresh(device::Peripheral peripheral);
  // Another option was chosen: a single-key capture ends.
  void EndCapture();

  KeyAssignmentPage& Page(device::Peripheral peripheral) {
    return peripheral == device::Peripheral::Keyboard ? *keyboard_ : *mouse_;
  }
  PositionMap& Positions() { return positions_; }

 private:
  PositionMap positions_;
  std::unique_ptr<KeyAssignmentPage> keyboard_;
  std::unique_ptr<KeyAssignmentPage> mouse_;
};

}  // namespace talvo::keys::pages
