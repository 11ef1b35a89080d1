#include "pages/macros/macro_pages.h"

#include <array>
#include <utility>

#include "pages/macros/macro_store.h"
#include "pages/peripheral_traits.h"
#include "platform/folders.h"
#include "profiles/profile_index.h"

namespace talvo::macros::pages {
namespace {

// Keys of the keyboard's record that may play a macro: all it holds.
constexpr size_t kKeyboardMacroKeys = keys::kKeysPerMap;

}  // namespace

MacroPages::MacroPages(toolkit::Window& window, Setup setup) : window_(window), setup_(std::move(setup)) {
  const auto editor = [&](device::Peripheral peripheral, keys::DeviceKeyMaps& maps, size_t keyCount) {
    return std::make_unique<MacroEditorPage>(
        window_, MacroEditorPage::Setup{.peripheral = peripheral,
                                        .folder = profiles::DeviceFolder(peripheral),
                                        .programFolder = platform::ProgramFolder(),
                                        .keyMaps = maps,
                                        .keyCount = keyCount,
                                        .saver = setup_.saver,
                                        .capture = setup_.capture,
                                        .clock = {},
                                        .keysChanged = setup_.keysChanged});
  };
  keyboard_ = editor(device::Peripheral::Keyboard, setup_.live.keyboardKeys, kKeyboardMacroKeys);
  mouse_ = editor(device::Peripheral::Mouse, setup_.live.mouseKeys, keys::kMouseKeyCount);
}

void MacroPages::Load(::talvo::pages::DeferredViews& views) {
  keyboard_->Load(views);
  mouse_->Load(views);
}

std::span<const ::talvo::pages::ControlBinding<MacroPages>> MacroPages::Bindings() {
  using ::talvo::pages::Exact;
  static constexpr std::array<::talvo::pages::ControlBinding<MacroPages>, 2> kStoreButtons{{
      {Exact("click", "ms_key_butt_prosave"), &MacroPages::OnStoreMouse},
      {Exact("click", "kb_key_butt_prosave"), &MacroPages::OnStoreKeyboard},
  }};
  return kStoreButtons;
}

void MacroPages::ReleaseCapture() {
  if (!keyboard_->Recording() && !mouse_->Recording()) setup_.capture.Remove();
}

void MacroPages::DeviceRead(device::Peripheral peripheral) {
  bool& waiting = peripheral == device::Peripheral::Keyboard ? keyboardStoreWaiting_ : mouseStoreWaiting_;
  if (std::exchange(waiting, false)) Store(peripheral);
}

void MacroPages::DeviceGone(device::Peripheral peripheral) {
  (peripheral == device::Peripheral::Keyboard ? keyboardStoreWaiting_ : mouseStoreWaiting_) = false;
}

bool MacroPages::Storing(device::Peripheral peripheral) const {
  return peripheral == device::Peripheral::Keyboard ? keyboardStoreWaiting_ || keyboardStoring_
                                                    : mouseStoreWaiting_ || mouseStoring_;
}

::talvo::pages::Outcome MacroPages::Store(device::Peripheral peripheral) {
  const ::talvo::pages::PeripheralTraits& traits = ::talvo::pages::TraitsOf(peripheral);
  if (!traits.keys)
    return ::talvo::pages::Refusal::Invalid("the " + std::string(traits.name) + " has no keys to store");
  const bool keyboard = peripheral == device::Peripheral::Keyboard;
  const Device& device = keyboard ? setup_.keyboard : setup_.mouse;
  // A device present but not yet read has no macro memory size (nor, for
  // the keyboard, key-map length) of its own: the store waits for its read,
  // which follows its arrival within a second.
  if (device.session.Link().IsConnected() && device.read && !device.read()) {
    (keyboard ? keyboardStoreWaiting_ : mouseStoreWaiting_) = true;
    return std::nullopt;
  }
  // The keyboard keeps one record; the mouse's is that of the onboard profile
  // the live settings belong to.
  const unsigned profile = keyboard ? 0 : setup_.live.mouseLight.record.profile();
  keys::KeyMapRecord* map = profiles::CurrentKeyMap(setup_.live, peripheral);
  if (!map || profile >= keys::kProfileCount) return std::nullopt;
  // The mouse's write reaches into the profiles after this one: they keep
  // what they hold.
  if (!keyboard) *map = keys::MouseKeyMapImage(setup_.live.mouseKeys, profile);
  std::vector<uint8_t> cursor;
  if (!keyboard && setup_.cursorImage)
    if (std::optional<std::vector<uint8_t>> image = setup_.cursorImage()) cursor = std::move(*image);
  bool& storing = keyboard ? keyboardStoring_ : mouseStoring_;
  storing = true;
  StoreProfileOnDevice(window_, setup_.runner, setup_.saver,
                       StoreTarget{.peripheral = peripheral,
                                   .session = device.session,
                                   .folder = profiles::DeviceFolder(peripheral),
                                   .info = device.info,
                                   .profile = profile,
                                   .keyMap = *map,
                                   .cursorImage = std::move(cursor),
                                   .finished = [&storing] { storing = false; }});
  return std::nullopt;
}

}  // namespace talvo::macros::pages
