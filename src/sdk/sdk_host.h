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

#include "sdk/sdk_protocol.h"

namespace talvo::sdk {

class SdkHost {
 public:
  virtual ~SdkHost() = default;

  virtual uint32_t ControllerCount() = 0;
  // Nothing for an index the program no longer has.
  virtual std::optional<ControllerDescription> Describe(uint32_t controller) = 0;
  // Colours for LEDs firstLed .. firstLed + colours.size() - 1 of the
  // controller's LED list, from a whole-device, zone or single-LED update.
  virtual void SetLeds(uint32_t controller, uint32_t firstLed, std::span<const Colour> colours) = 0;
  virtual void SetMode(uint32_t controller, uint32_t mode, const ModeSettings& settings) = 0;
  // The client is about to stream colours: switch to the mode that shows them.
  virtual void SetCustomMode(uint32_t controller) = 0;
  virtual void ClientNamed(std::string_view name) = 0;
};

// The program behind the server: a host for each client that connects, told
// when the client leaves and when the devices behind the controllers change.
class SdkHostSource {
 public:
  virtual ~SdkHostSource() = default;

  virtual std::unique_ptr<SdkHost> HostFor(int client) = 0;
  virtual void ClientLeft(int client) = 0;
  virtual void DevicesChanged() = 0;
};

}  // namespace talvo::sdk
