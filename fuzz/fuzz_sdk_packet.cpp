// Any program on the machine may connect to the SDK port and send anything.
// The first input byte picks how the rest is cut into reads; the rest is the
// byte stream. Cut or whole, the stream must give the same host calls,
// replies and close; every host call must lie within the controller it names;
// every reply must be whole packets.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sdk/sdk_connection.h"

using namespace talvo::sdk;

namespace {

ControllerDescription Controller(DeviceType type, uint32_t leds, ZoneType zoneType) {
  ModeDescription direct;
  direct.name = "Direct";
  direct.flags = mode_flag::kHasPerLedColour;
  direct.colourMode = colour_mode::kPerLed;
  ModeDescription breathing;
  breathing.name = "Breathing";
  breathing.flags = mode_flag::kHasSpeed | mode_flag::kHasBrightness | mode_flag::kHasModeSpecificColour;
  breathing.speedMax = 4;
  breathing.brightnessMax = 4;
  breathing.coloursMin = 1;
  breathing.coloursMax = 2;
  breathing.colourMode = colour_mode::kModeSpecific;
  breathing.colours = {{255, 0, 0}};
  ControllerDescription c;
  c.type = type;
  c.name = "Device";
  c.modes = {direct, breathing};
  // Two zones, so zone LEDs are translated to device LEDs.
  const uint32_t first = leds / 3;
  c.zones = {{"Front", zoneType, first, first, first, std::nullopt},
             {"Back", zoneType, leds - first, leds - first, leds - first, std::nullopt}};
  if (zoneType == ZoneType::Matrix) {
    c.zones[1].matrix = MatrixMap{1, leds - first, {}};
    for (uint32_t i = first; i < leds; ++i) c.zones[1].matrix->leds.push_back(i);
  }
  c.leds.resize(leds);
  c.colours.resize(leds);
  return c;
}

class CheckingHost : public SdkHost {
 public:
  std::vector<std::string> calls;

  uint32_t ControllerCount() override { return 3; }
  std::optional<ControllerDescription> Describe(uint32_t c) override {
    switch (c) {
      case 0: return Controller(DeviceType::Mouse, 20, ZoneType::Linear);
      case 1: return Controller(DeviceType::Keyboard, 126, ZoneType::Matrix);
      case 2: return Controller(DeviceType::Mousemat, 15, ZoneType::Linear);
    }
    return std::nullopt;
  }
  void SetLeds(uint32_t c, uint32_t first, std::span<const Colour> colours) override {
    const auto d = Describe(c);
    if (!d || first + colours.size() > d->leds.size()) std::abort();
    calls.push_back("leds " + std::to_string(c) + " " + std::to_string(first) + " " + std::to_string(colours.size()) +
                    " " + (colours.empty() ? "" : std::to_string(colours.back().red)));
  }
  void SetMode(uint32_t c, uint32_t mode, const ModeSettings& settings) override {
    const auto d = Describe(c);
    if (!d || mode >= d->modes.size() || settings.colours.size() > d->modes[mode].coloursMax) std::abort();
    calls.push_back("mode " + std::to_string(c) + " " + std::to_string(mode) + " " + std::to_string(settings.speed));
  }
  void SetCustomMode(uint32_t c) override {
    if (c >= 3) std::abort();
    calls.push_back("custom " + std::to_string(c));
  }
  void ClientNamed(std::string_view name) override {
    for (const char ch : name) {
      if (static_cast<uint8_t>(ch) < 0x20 || ch == 0x7F) std::abort();
    }
    calls.push_back("named " + std::string(name));
  }
};

struct Result {
  std::vector<std::string> calls;
  std::vector<uint8_t> replies;
  bool closed = false;
};

// Feeds `stream` in pieces whose lengths come from `cut` (0: all at once).
Result Run(std::span<const uint8_t> stream, uint8_t cut) {
  CheckingHost host;
  SdkConnection connection(host, [](std::string_view line) {
    for (const char ch : line) {
      if (static_cast<uint8_t>(ch) < 0x20) std::abort();
    }
  });
  Result result;
  uint32_t state = cut;
  while (!stream.empty()) {
    state = state * 1103515245 + 12345;
    const size_t length = cut == 0 ? stream.size() : std::min<size_t>(stream.size(), 1 + (state >> 16) % 40);
    const SdkConnection::Output out = connection.Receive(stream.first(length));
    stream = stream.subspan(length);
    if (result.closed && (!out.reply.empty() || !out.close)) std::abort();
    result.replies.insert(result.replies.end(), out.reply.begin(), out.reply.end());
    result.closed = out.close;
  }
  result.calls = std::move(host.calls);
  return result;
}

// Whole packets of at most kMaxBodySize bytes, each beginning with the magic.
void CheckPackets(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    if (bytes.size() < kHeaderSize || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) std::abort();
    const uint32_t size = bytes[12] | bytes[13] << 8 | bytes[14] << 16 | uint32_t(bytes[15]) << 24;
    if (size > kMaxBodySize || bytes.size() - kHeaderSize < size) std::abort();
    bytes = bytes.subspan(kHeaderSize + size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> stream(data + 1, size - 1);
  const Result whole = Run(stream, 0);
  const Result cut = Run(stream, data[0] == 0 ? 1 : data[0]);
  if (whole.calls != cut.calls || whole.replies != cut.replies || whole.closed != cut.closed) std::abort();
  CheckPackets(whole.replies);
  return 0;
}
