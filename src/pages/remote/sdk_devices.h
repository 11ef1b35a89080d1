// The connected devices as lighting SDK controllers, shared by every client
// of the server: the mouse, the keyboard and the mousepad in that order, as
// many as are there. Each offers the modes of its lighting page and
// "Direct", in which the client's colours replace the device's effect.
//
// A device mode a client chooses is chosen on the page (PageActions), so
// the same push and saves follow. Direct belongs to the client that chose it
// last; when that client leaves or chooses another mode, or the device goes,
// the device's own setting comes back.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lighting/direct_colours.h"
#include "pages/remote/page_actions.h"
#include "sdk/sdk_host.h"

namespace talvo::pages::remote {

class SdkDevices final : public sdk::SdkHostSource {
 public:
  struct Setup {
    PageActions& actions;
    std::function<lighting::DirectColours&(device::Peripheral)> direct;
    // Ends synchronized lighting on the device, so its own thread sends.
    std::function<void(device::Peripheral)> endSync;
    // The name of keyboard LED n as the page shows its key.
    std::function<std::string(size_t)> keyName;
  };
  explicit SdkDevices(Setup setup);

  // One host per client; `client` names it in the holds on Direct.
  std::unique_ptr<sdk::SdkHost> HostFor(int client) override;
  // The devices' Direct colours, for the server's socket thread.
  std::unique_ptr<sdk::SdkLeds> LedsFor(int client) override;
  // Devices the client held in Direct show their own setting again.
  void ClientLeft(int client) override;
  // After a device came or went: a device gone loses its hold, and the
  // controllers LedsFor() counts are the devices connected now.
  void DevicesChanged() override;
  // The pages' texts changed (a new language): mode and key names are read
  // again.
  void Forget() { skeletons_.clear(); }

  // The connected devices are the controllers, in the order above; asked
  // for every update, so no list is made.
  uint32_t ControllerCount() const { return ControllerCount(ConnectedNow()); }
  std::optional<device::Peripheral> ControllerAt(uint32_t index) const { return ControllerAt(index, ConnectedNow()); }
  // The same of the connected devices given by a bit per device::IndexOf.
  static uint32_t ControllerCount(uint32_t connected);
  static std::optional<device::Peripheral> ControllerAt(uint32_t index, uint32_t connected);
  // What Describe() tells of the device's LEDs, for checking an update.
  sdk::LedLayout Leds(device::Peripheral peripheral) const;
  std::optional<sdk::ControllerDescription> Describe(device::Peripheral peripheral) const;
  // The index of "Direct" in the device's mode list.
  uint32_t DirectMode(device::Peripheral peripheral) const;
  void SetLeds(device::Peripheral peripheral, uint32_t firstLed, std::span<const sdk::Colour> colours) {
    SetLeds(peripheral, firstLed, colours, rgb_);
  }
  // From any thread; `rgb` is the caller's room for the colours.
  void SetLeds(device::Peripheral peripheral, uint32_t firstLed, std::span<const sdk::Colour> colours,
               std::vector<lighting::Rgb>& rgb) const;
  void SetMode(int client, device::Peripheral peripheral, uint32_t mode, const sdk::ModeSettings& settings);
  void HoldDirect(int client, device::Peripheral peripheral);

 private:
  uint32_t ConnectedNow() const;
  void Release(device::Peripheral peripheral);
  // What describes the device besides its settings and colours: names,
  // modes, zones and LEDs, read from the pages once (every update of every
  // client is checked against the description).
  const sdk::ControllerDescription& Skeleton(device::Peripheral peripheral) const;

  Setup s_;
  std::map<device::Peripheral, int> holders_;
  mutable std::map<device::Peripheral, sdk::ControllerDescription> skeletons_;
  // The LEDs of each device's one zone, which Leds() points into.
  std::array<uint32_t, std::size(device::kAllPeripherals)> zoneLeds_{};
  // An update's colours as the lighting threads take them, room kept.
  std::vector<lighting::Rgb> rgb_;
  // The devices connected at the last DevicesChanged(), as ConnectedNow()
  // gives them: what LedsFor() reads off the UI thread.
  std::atomic<uint32_t> connected_;
};

}  // namespace talvo::pages::remote
