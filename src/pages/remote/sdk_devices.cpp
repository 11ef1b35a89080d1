#include "pages/remote/sdk_devices.h"

#include <algorithm>

#include "lighting/led_model.h"
#include "lighting/lighting_threads.h"
#include "lighting/mouse_effects.h"
#include "pages/peripheral_traits.h"
#include "platform/debug.h"

namespace talvo::pages::remote {

namespace {

using device::Peripheral;

constexpr int kSliderMax = 4;

sdk::DeviceType TypeOf(Peripheral p) {
  switch (p) {
    case Peripheral::Keyboard: return sdk::DeviceType::Keyboard;
    case Peripheral::Mouse: return sdk::DeviceType::Mouse;
    case Peripheral::Mousepad: return sdk::DeviceType::Mousemat;
  }
  return sdk::DeviceType::Unknown;
}

sdk::Colour ToSdk(lighting::Rgb c) { return {c.red, c.green, c.blue}; }

// The keyboard's keys as rows and columns, the way they sit on the board.
sdk::MatrixMap KeyboardMatrix() {
  sdk::MatrixMap map{.height = lighting::kMatrixRows, .width = lighting::kMatrixColumns, .leds = {}};
  for (size_t row = 0; row < lighting::kMatrixRows; ++row)
    for (size_t column = 0; column < lighting::kMatrixColumns; ++column) {
      const uint8_t led = lighting::kKeyMatrix[column][row];
      map.leds.push_back(led < lighting::kNoLed ? led : sdk::kNoMatrixLed);
    }
  return map;
}

// A client of the server, speaking for one connection.
class ClientHost final : public sdk::SdkHost {
 public:
  ClientHost(SdkDevices& devices, int client) : devices_(devices), client_(client) {}

  uint32_t ControllerCount() override { return devices_.ControllerCount(); }
  std::optional<sdk::ControllerDescription> Describe(uint32_t controller) override {
    const auto p = devices_.ControllerAt(controller);
    return p ? devices_.Describe(*p) : std::nullopt;
  }
  std::optional<sdk::LedLayout> Leds(uint32_t controller) override {
    const auto p = devices_.ControllerAt(controller);
    return p ? std::optional(devices_.Leds(*p)) : std::nullopt;
  }
  void SetLeds(uint32_t controller, uint32_t firstLed, std::span<const sdk::Colour> colours) override {
    if (const auto p = devices_.ControllerAt(controller)) devices_.SetLeds(*p, firstLed, colours);
  }
  void SetMode(uint32_t controller, uint32_t mode, const sdk::ModeSettings& settings) override {
    if (const auto p = devices_.ControllerAt(controller)) devices_.SetMode(client_, *p, mode, settings);
  }
  void SetCustomMode(uint32_t controller) override {
    if (const auto p = devices_.ControllerAt(controller)) devices_.HoldDirect(client_, *p);
  }
  void ClientNamed(std::string_view name) override {
    debug::Line("sdk server: client " + std::to_string(client_) + " is \"" + std::string(name) + "\"");
  }

 private:
  SdkDevices& devices_;
  int client_;
};

// A client's LED updates, carried out on the server's socket thread against
// the devices connected at the last DevicesChanged().
class DirectLeds final : public sdk::SdkLeds {
 public:
  DirectLeds(const SdkDevices& devices, const std::atomic<uint32_t>& connected)
      : devices_(devices), connected_(connected) {}

  uint32_t ControllerCount() override { return SdkDevices::ControllerCount(connected_.load()); }
  std::optional<sdk::LedLayout> Leds(uint32_t controller) override {
    const auto p = SdkDevices::ControllerAt(controller, connected_.load());
    return p ? std::optional(devices_.Leds(*p)) : std::nullopt;
  }
  void SetLeds(uint32_t controller, uint32_t firstLed, std::span<const sdk::Colour> colours) override {
    if (const auto p = SdkDevices::ControllerAt(controller, connected_.load()))
      devices_.SetLeds(*p, firstLed, colours, rgb_);
  }

 private:
  const SdkDevices& devices_;
  const std::atomic<uint32_t>& connected_;
  std::vector<lighting::Rgb> rgb_;
};

bool Has(uint32_t connected, Peripheral p) { return connected >> device::IndexOf(p) & 1; }

}  // namespace

SdkDevices::SdkDevices(Setup setup) : s_(std::move(setup)), connected_(ConnectedNow()) {
  // One zone of all the LEDs, as Skeleton() describes it.
  for (Peripheral p : kPeripherals) zoneLeds_[device::IndexOf(p)] = uint32_t(TraitsOf(p).leds);
}

std::unique_ptr<sdk::SdkHost> SdkDevices::HostFor(int client) { return std::make_unique<ClientHost>(*this, client); }

std::unique_ptr<sdk::SdkLeds> SdkDevices::LedsFor(int) { return std::make_unique<DirectLeds>(*this, connected_); }

uint32_t SdkDevices::ConnectedNow() const {
  uint32_t connected = 0;
  for (Peripheral p : kPeripherals)
    if (s_.actions.Connected(p)) connected |= 1u << device::IndexOf(p);
  return connected;
}

uint32_t SdkDevices::ControllerCount(uint32_t connected) {
  return uint32_t(std::ranges::count_if(kPeripherals, [connected](Peripheral p) { return Has(connected, p); }));
}

std::optional<Peripheral> SdkDevices::ControllerAt(uint32_t index, uint32_t connected) {
  for (Peripheral p : kPeripherals)
    if (Has(connected, p) && index-- == 0) return p;
  return std::nullopt;
}

sdk::LedLayout SdkDevices::Leds(Peripheral peripheral) const {
  const size_t i = device::IndexOf(peripheral);
  return {.leds = zoneLeds_[i], .zoneLeds = std::span(&zoneLeds_[i], 1)};
}

const sdk::ControllerDescription& SdkDevices::Skeleton(Peripheral p) const {
  if (const auto it = skeletons_.find(p); it != skeletons_.end()) return it->second;
  const std::string name(PeripheralName(p));
  sdk::ControllerDescription c;
  c.type = TypeOf(p);
  c.name = "Talvo " + name;
  c.vendor = "Talvo";
  c.description = "The " + name + " Talvo configures";
  c.location = "Talvo " + name;
  const std::vector<std::string> modes = s_.actions.ModeNames(p);
  for (size_t i = 0; i < modes.size(); ++i) {
    c.modes.push_back({.name = modes[i],
                       .value = int32_t(i),
                       .flags = sdk::mode_flag::kHasSpeed | sdk::mode_flag::kHasBrightness |
                                sdk::mode_flag::kHasModeSpecificColour | sdk::mode_flag::kAutomaticSave,
                       .speedMin = 0,
                       .speedMax = kSliderMax,
                       .brightnessMin = 0,
                       .brightnessMax = kSliderMax,
                       .coloursMin = 1,
                       .coloursMax = 1,
                       .speed = 0,
                       .brightness = 0,
                       .direction = 0,
                       .colourMode = sdk::colour_mode::kModeSpecific,
                       .colours = {}});
  }
  c.modes.push_back({.name = "Direct",
                     .value = int32_t(modes.size()),
                     .flags = sdk::mode_flag::kHasPerLedColour,
                     .speedMin = 0,
                     .speedMax = 0,
                     .brightnessMin = 0,
                     .brightnessMax = 0,
                     .coloursMin = 0,
                     .coloursMax = 0,
                     .speed = 0,
                     .brightness = 0,
                     .direction = 0,
                     .colourMode = sdk::colour_mode::kPerLed,
                     .colours = {}});
  const size_t leds = TraitsOf(p).leds;
  const bool keyboard = p == Peripheral::Keyboard;
  c.zones.push_back({.name = keyboard ? "Keys" : "LEDs",
                     .type = keyboard ? sdk::ZoneType::Matrix : sdk::ZoneType::Linear,
                     .ledsMin = uint32_t(leds),
                     .ledsMax = uint32_t(leds),
                     .ledsCount = uint32_t(leds),
                     .matrix = keyboard ? std::optional<sdk::MatrixMap>(KeyboardMatrix()) : std::nullopt});
  for (size_t n = 0; n < leds; ++n)
    c.leds.push_back({.name = keyboard ? s_.keyName(n) : "LED " + std::to_string(n + 1), .value = uint32_t(n)});
  return skeletons_.emplace(p, std::move(c)).first->second;
}

uint32_t SdkDevices::DirectMode(Peripheral peripheral) const {
  return uint32_t(Skeleton(peripheral).modes.size() - 1);
}

std::optional<sdk::ControllerDescription> SdkDevices::Describe(Peripheral p) const {
  if (!s_.actions.Connected(p)) return std::nullopt;
  sdk::ControllerDescription c = Skeleton(p);
  const LightingState light = s_.actions.Lighting(p);
  const uint32_t direct = uint32_t(c.modes.size() - 1);
  for (uint32_t i = 0; i < direct; ++i) {
    c.modes[i].speed = uint32_t(light.speed);
    c.modes[i].brightness = uint32_t(light.brightness);
    c.modes[i].colours = {ToSdk(light.colour)};
  }
  // A mode past the page's list (from a file) is shown as the last of them,
  // never as Direct.
  c.activeMode = s_.direct(p).On() ? int32_t(direct) : std::clamp(light.mode, 0, std::max(int(direct) - 1, 0));
  for (const lighting::Rgb colour : s_.direct(p).Colours()) c.colours.push_back(ToSdk(colour));
  c.colours.resize(c.leds.size());
  return c;
}

void SdkDevices::SetLeds(Peripheral peripheral, uint32_t firstLed, std::span<const sdk::Colour> colours,
                         std::vector<lighting::Rgb>& rgb) const {
  rgb.clear();
  for (const sdk::Colour& c : colours) rgb.push_back({c.red, c.green, c.blue});
  s_.direct(peripheral).Set(firstLed, rgb);
}

void SdkDevices::HoldDirect(int client, Peripheral peripheral) {
  holders_[peripheral] = client;
  s_.endSync(peripheral);
  s_.direct(peripheral).SetOn(true);
}

void SdkDevices::Release(Peripheral peripheral) {
  holders_.erase(peripheral);
  s_.direct(peripheral).SetOn(false);
}

void SdkDevices::SetMode(int client, Peripheral peripheral, uint32_t mode, const sdk::ModeSettings& settings) {
  if (mode == DirectMode(peripheral)) {
    HoldDirect(client, peripheral);
    return;
  }
  // The page keeps what it shows unless the client changed it.
  const LightingState now = s_.actions.Lighting(peripheral);
  LightingChange change;
  if (int(mode) != now.mode) change.mode = int(mode);
  if (settings.speed <= kSliderMax && int(settings.speed) != now.speed) change.speed = int(settings.speed);
  if (settings.brightness && *settings.brightness <= kSliderMax && int(*settings.brightness) != now.brightness)
    change.brightness = int(*settings.brightness);
  if (settings.colourMode == sdk::colour_mode::kModeSpecific && !settings.colours.empty()) {
    const lighting::Rgb colour{settings.colours[0].red, settings.colours[0].green, settings.colours[0].blue};
    if (!(colour == now.colour)) change.colour = colour;
  }
  if (s_.direct(peripheral).On()) Release(peripheral);
  if (const Outcome refused = s_.actions.SetLighting(peripheral, change))
    debug::Line("sdk server: mode not set: " + refused->message);
}

void SdkDevices::ClientLeft(int client) {
  for (Peripheral p : kPeripherals) {
    const auto it = holders_.find(p);
    if (it != holders_.end() && it->second == client) Release(p);
  }
}

void SdkDevices::DevicesChanged() {
  connected_.store(ConnectedNow());
  for (Peripheral p : kPeripherals)
    if (!s_.actions.Connected(p) && holders_.count(p)) Release(p);
}

}  // namespace talvo::pages::remote
