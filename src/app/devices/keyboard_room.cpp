#include "app/devices/keyboard_room.h"

#include <memory>
#include <optional>

#include "device/device_commands.h"
#include "device/notification_listener.h"

namespace talvo::app::devices {

using Outcome = device::DeviceSession::Outcome;

KeyboardRoom::KeyboardRoom(platform::HidBackend& backend, RoomContext& context)
    : DeviceRoom(device::Peripheral::Keyboard, backend, context) {}

void KeyboardRoom::CreatePages() {
  lightingPage_ = std::make_unique<lighting::pages::KeyboardLightingPage>(c_.window, c_.live, c_.saver, effect_,
                                                                          c_.pushFlags, Link());
  FindPreviewControls("kb_key_");
  keysTab_ = c_.window.FindControl("kb_key_Op_tab");
}

void KeyboardRoom::RefreshLightingPage() {
  c_.views.Show(traits_.lightingPage, "refresh", [this] { lightingPage_->Refresh(); });
}

void KeyboardRoom::ShowPreview(std::span<const uint32_t> colour, std::span<const uint8_t> level) {
  const std::vector<toolkit::Control*>& keys = PreviewControls();
  if (keyLights_.size() != keys.size()) {
    picture_ = c_.window.FindControl("kb_keyboard");
    for (toolkit::Control* key : keys)
      keyLights_.push_back(key ? KeyLight{key->LightColour(), uint8_t(key->LightAlpha()), key->IsLightOn()}
                               : KeyLight{});
  }
  // The keys sit on the picture: while it is hidden no key shows, and a
  // shown key is one the picture shows.
  if (!picture_ || !picture_->IsVisibleInWindow()) return;
  const bool lit = !(keysTab_ && keysTab_->IsSelected());
  toolkit::Control* changed = nullptr;
  for (size_t i = 0; i < keys.size() && i < colour.size() && i < level.size(); ++i) {
    toolkit::Control* key = keys[i];
    if (!key || !key->IsVisible()) continue;
    const KeyLight light{colour[i], level[i], lit};
    if (keyLights_[i] == light) continue;
    keyLights_[i] = light;
    key->SetLight(light.colour, light.level, light.lit);
    changed = key;
  }
  if (changed) changed->RepaintLights();
}

void KeyboardRoom::ReadEverything(std::function<void()> applied) {
  auto readback = std::make_shared<transfer::KeyboardReadback>(transfer::KeyboardReadback::Of(data_, c_.live));
  c_.sequences.Run(
      session_, true, [readback](device::CDeviceLink& link) { transfer::KeyboardFullRead(link, *readback); },
      [this, readback, applied = std::move(applied)](Outcome outcome) {
        // A read cut short by the keyboard leaving hands over nothing; an
        // absent keyboard gives what an earlier read left.
        if (outcome != Outcome::Cut) {
          if (transfer::ApplyKeyboardFullRead(*readback, data_, c_.live, c_.keyPages->Positions()) ==
              transfer::KeyboardReadResult::KeyCountRefused) {
            c_.toolkit.ShowMessage(&c_.window, "message_text_26");
          } else {
            c_.saver.Mark(device::Peripheral::Keyboard, profiles::ProfileKind::Key);
            c_.saver.Mark(device::Peripheral::Keyboard, profiles::ProfileKind::Device);
            c_.lightingGates.Notify();
            RefreshLightingPage();
            c_.keyPages->Refresh(device::Peripheral::Keyboard);
            if (data_.keyMapLengthKnown) c_.macroPages->DeviceRead(device::Peripheral::Keyboard);
          }
        }
        if (applied) applied();
      });
}

void KeyboardRoom::RereadSettings(std::function<void()> applied) {
  auto block = std::make_shared<std::optional<transfer::KeyboardBlock>>();
  c_.sequences.Run(
      session_, false, [block](device::CDeviceLink& link) { *block = transfer::KeyboardSettingsReread(link); },
      [this, block, applied = std::move(applied)](Outcome outcome) {
        if (outcome != Outcome::Cut) {
          transfer::ApplyKeyboardSettingsReread(*block, c_.live);
          c_.saver.Mark(device::Peripheral::Keyboard, profiles::ProfileKind::Device);
          c_.lightingGates.Notify();
          RefreshLightingPage();
        }
        if (applied) applied();
      });
}

void KeyboardRoom::OnNotification(uint16_t usage, std::stop_token stop) {
  if (usage != device::kUsageSettingsChanged && usage != device::kUsageEverythingChanged) return;
  const bool everything = usage == device::kUsageEverythingChanged;
  ReadOnUiThreadAndWait(
      [this, everything](std::function<void()> applied) {
        if (everything) {
          ReadEverything(std::move(applied));
        } else {
          RereadSettings(std::move(applied));
        }
      },
      stop);
}

void KeyboardRoom::Detached() {
  // Another keyboard may have another key count: its length comes with its read.
  data_.keyMapLengthKnown = false;
  c_.macroPages->DeviceGone(device::Peripheral::Keyboard);
}

pages::profiles::SelectionEffects KeyboardRoom::SelectionEffects() {
  return {.closeKeyPanel =
              [this] {
                c_.views.Show(traits_.keyPage, "close panel",
                              [this] { pages::profiles::CloseKeyPanel(c_.window, Peripheral()); });
              },
          .refreshKeyPage = {},
          .writeKeyMap =
              [this] {
                // The keyboard's key-map length is known only after its first read.
                if (!data_.keyMapLengthKnown) return;
                session_.Run(
                    [map = c_.live.keyboardKeys.profiles[transfer::kKeyboardProfile]](device::CDeviceLink& link) {
                      device::WriteKeyMap(link, transfer::kKeyboardProfile, map);
                    });
              },
          .refreshLightingPages = [this] { RefreshLightingPage(); },
          .applyPointerSettings = {},
          .markPush = {}};
}

LightingWorker KeyboardRoom::Lighting(lighting::LightingPreviewHost& preview) {
  // The thread reads the effect table from its start on.
  modes_ = lighting::KeyboardModes();
  return {"KeyboardLighting", [this, &preview](std::stop_token stop) {
            lighting::RunKeyboardLighting(stop, {.link = Link(),
                                                 .lighting = c_.live.keyboardLight,
                                                 .state = effect_,
                                                 .leds = leds_,
                                                 .modes = modes_,
                                                 .preview = preview,
                                                 .gates = lightingWake_,
                                                 .systemAwake = &c_.systemAwake,
                                                 .direct = &direct_});
          }};
}

}  // namespace talvo::app::devices
