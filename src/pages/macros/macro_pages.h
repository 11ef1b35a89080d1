// The macro room: the mouse's and the keyboard's macro editors and the key
// pages' store buttons, which put a profile's macros and key map on the
// device. The window binds the editors' controls and the room's own.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "toolkit/toolkit.h"
#include "device/device_commands.h"
#include "device/device_session.h"
#include "pages/deferred_views.h"
#include "pages/control_bindings.h"
#include "pages/macros/macro_editor_page.h"
#include "pages/page_outcome.h"
#include "pages/sequence_runner.h"
#include "platform/input_capture.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"

namespace talvo::macros::pages {

class MacroPages {
 public:
  // What storing on a device needs of it; the references outlive the room.
  struct Device {
    device::DeviceSession& session;
    const device::DeviceInfo& info;  // its macro memory size
    // Whether the connected device has been read (its memory size and key
    // maps are its own); always when empty.
    std::function<bool()> read;
  };
  struct Setup {
    Device keyboard;
    Device mouse;
    profiles::LiveData& live;
    profiles::ProfileSaver& saver;
    ::talvo::pages::SequenceRunner& runner;
    platform::InputCapture& capture;
    // Runs when macro names or key records changed, so key labels follow.
    std::function<void()> keysChanged;
    // The mouse's cursor macros to send before its macros, if any.
    std::function<std::optional<std::vector<uint8_t>>()> cursorImage;
  };

  MacroPages(toolkit::Window& window, Setup setup);

  // Reads both devices' macro lists into their pages, shown once each is built.
  void Load(::talvo::pages::DeferredViews& views);
  // The store buttons of the key pages.
  static std::span<const ::talvo::pages::ControlBinding<MacroPages>> Bindings();
  // The device's key profile and its macros into its memory, as its store
  // button does; refused for a device without keys.
  ::talvo::pages::Outcome Store(device::Peripheral peripheral);
  // Another option was chosen: a single-key capture ends; a recording, which
  // the unsaved-macro guard keeps on its page, goes on.
  void ReleaseCapture();
  // A store asked for before the device's first read is carried out once
  // the read has been applied, and dropped when the device leaves first.
  void DeviceRead(device::Peripheral peripheral);
  void DeviceGone(device::Peripheral peripheral);
  // A store of the device waits for its read or is on its way to it.
  bool Storing(device::Peripheral peripheral) const;

  MacroEditorPage& Editor(device::Peripheral peripheral) {
    return peripheral == device::Peripheral::Keyboard ? *keyboard_ : *mouse_;
  }

 private:
  void OnStoreMouse(const toolkit::Notification&, int) { Store(device::Peripheral::Mouse); }
  void OnStoreKeyboard(const toolkit::Notification&, int) { Store(device::Peripheral::Keyboard); }

  toolkit::Window& window_;
  Setup setup_;
  std::unique_ptr<MacroEditorPage> keyboard_;
  std::unique_ptr<MacroEditorPage> mouse_;
  bool keyboardStoreWaiting_ = false;
  bool mouseStoreWaiting_ = false;
  bool keyboardStoring_ = false;
  bool mouseStoring_ = false;
};

}  // namespace talvo::macros::pages
