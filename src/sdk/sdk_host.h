// What an SDK connection asks of the program: the controllers it offers and
// the changes a client makes to them. The program gives each connection its
// own host. Every call comes with its indices already checked against
// Describe() for the same controller, and a call is made only for a request
// that was valid as a whole.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "sdk/sdk_protocol.h"

namespace talvo::sdk {

// What an LED update is checked against: the controller's LED count and the
// LEDs of each of its zones, in order.
struct LedLayout {
  uint32_t leds = 0;
  std::span<const uint32_t> zoneLeds;
};

// What an LED update asks of the program: no more than the controllers' LEDs
// and their colours.
class SdkLeds {
 public:
  virtual ~SdkLeds() = default;

  virtual uint32_t ControllerCount() = 0;
  // Asked for every LED update; the zones stay valid until the next call.
  // Nothing for an index the program no longer has.
  virtual std::optional<LedLayout> Leds(uint32_t controller) = 0;
  // Colours for LEDs firstLed .. firstLed + colours.size() - 1 of the
  // controller's LED list, from a whole-device, zone or single-LED update.
  virtual void SetLeds(uint32_t controller, uint32_t firstLed, std::span<const Colour> colours) = 0;
};

class SdkHost : public SdkLeds {
 public:
  // Nothing for an index the program no longer has.
  virtual std::optional<ControllerDescription> Describe(uint32_t controller) = 0;
  // A host that can should answer without describing the controller.
  std::optional<LedLayout> Leds(uint32_t controller) override {
    const auto described = Describe(controller);
    if (!described) return std::nullopt;
    zoneLeds_.clear();
    for (const ZoneDescription& zone : described->zones) zoneLeds_.push_back(zone.ledsCount);
    return LedLayout{.leds = uint32_t(described->leds.size()), .zoneLeds = zoneLeds_};
  }
  virtual void SetMode(uint32_t controller, uint32_t mode, const ModeSettings& settings) = 0;
  // The client is about to stream colours: switch to the mode that shows them.
  virtual void SetCustomMode(uint32_t controller) = 0;
  virtual void ClientNamed(std::string_view name) = 0;

 private:
  std::vector<uint32_t> zoneLeds_;
};

// The program behind the server: a host for each client that connects, told
// when the client leaves and when the devices behind the controllers change.
class SdkHostSource {
 public:
  virtual ~SdkHostSource() = default;

  virtual std::unique_ptr<SdkHost> HostFor(int client) = 0;
  // LEDs the client's updates may set from any one thread other than the UI
  // thread, the count of controllers being the one of the last
  // DevicesChanged(); nothing when every update must go through HostFor().
  virtual std::unique_ptr<SdkLeds> LedsFor(int) { return nullptr; }
  virtual void ClientLeft(int client) = 0;
  virtual void DevicesChanged() = 0;
};

}  // namespace talvo::sdk
