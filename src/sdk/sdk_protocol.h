// The OpenRGB SDK network protocol, versions 0 to 4, as Talvo's lighting
// server speaks it: packet ids, the header, the values a controller is
// described with, and the encoding of the controller data block. Numbers on
// the wire are little-endian; colours are red, green, blue and a pad byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvo::sdk {

inline constexpr uint16_t kDefaultPort = 6742;
// The newest version this server speaks; a client offering more is held to it.
inline constexpr uint32_t kServerProtocolVersion = 4;

// Header: magic "ORGB", device index, packet id, body size.
inline constexpr size_t kHeaderSize = 16;
inline constexpr std::array<uint8_t, 4> kMagic = {'O', 'R', 'G', 'B'};
// Largest body accepted. The largest one a client has reason to send, the
// keyboard's 126 colours in one update, is about 510 bytes; anything announcing
// more is not a client of ours and is cut off before a byte of it is kept.
inline constexpr uint32_t kMaxBodySize = 64 * 1024;

namespace packet {
inline constexpr uint32_t kRequestControllerCount = 0;
inline constexpr uint32_t kRequestControllerData = 1;
inline constexpr uint32_t kRequestProtocolVersion = 40;
inline constexpr uint32_t kSetClientName = 50;
inline constexpr uint32_t kDeviceListUpdated = 100;
inline constexpr uint32_t kRequestProfileList = 150;
inline constexpr uint32_t kSaveProfile = 151;
inline constexpr uint32_t kLoadProfile = 152;
inline constexpr uint32_t kDeleteProfile = 153;
inline constexpr uint32_t kRequestPluginList = 200;
inline constexpr uint32_t kPluginSpecific = 201;
inline constexpr uint32_t kResizeZone = 1000;
inline constexpr uint32_t kUpdateLeds = 1050;
inline constexpr uint32_t kUpdateZoneLeds = 1051;
inline constexpr uint32_t kUpdateSingleLed = 1052;
inline constexpr uint32_t kSetCustomMode = 1100;
inline constexpr uint32_t kUpdateMode = 1101;
inline constexpr uint32_t kSaveMode = 1102;
}  // namespace packet

enum class DeviceType : int32_t {
  Motherboard = 0,
  Dram = 1,
  Gpu = 2,
  Cooler = 3,
  LedStrip = 4,
  Keyboard = 5,
  Mouse = 6,
  Mousemat = 7,
  Headset = 8,
  HeadsetStand = 9,
  Gamepad = 10,
  Light = 11,
  Speaker = 12,
  Virtual = 13,
  Storage = 14,
  Unknown = 15,
};

enum class ZoneType : int32_t { Single = 0, Linear = 1, Matrix = 2 };

// Bits of ModeDescription::flags: what a client may change in the mode.
namespace mode_flag {
inline constexpr uint32_t kHasSpeed = 1u << 0;
inline constexpr uint32_t kHasDirectionLeftRight = 1u << 1;
inline constexpr uint32_t kHasDirectionUpDown = 1u << 2;
inline constexpr uint32_t kHasDirectionHorizontalVertical = 1u << 3;
inline constexpr uint32_t kHasBrightness = 1u << 4;
inline constexpr uint32_t kHasPerLedColour = 1u << 5;
inline constexpr uint32_t kHasModeSpecificColour = 1u << 6;
inline constexpr uint32_t kHasRandomColour = 1u << 7;
inline constexpr uint32_t kManualSave = 1u << 8;
inline constexpr uint32_t kAutomaticSave = 1u << 9;
}  // namespace mode_flag

// Where a mode takes its colours from.
namespace colour_mode {
inline constexpr uint32_t kNone = 0;
inline constexpr uint32_t kPerLed = 1;
inline constexpr uint32_t kModeSpecific = 2;
inline constexpr uint32_t kRandom = 3;
}  // namespace colour_mode

namespace direction {
inline constexpr uint32_t kLeft = 0;
inline constexpr uint32_t kRight = 1;
inline constexpr uint32_t kUp = 2;
inline constexpr uint32_t kDown = 3;
inline constexpr uint32_t kHorizontal = 4;
inline constexpr uint32_t kVertical = 5;
}  // namespace direction

// Cell of a matrix map that holds no LED.
inline constexpr uint32_t kNoMatrixLed = 0xFFFFFFFF;

struct Colour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Colour&, const Colour&) = default;
};

struct ModeDescription {
  std::string name;
  int32_t value = 0;  // the server's own number for the mode; clients send it back
  uint32_t flags = 0;
  uint32_t speedMin = 0;
  uint32_t speedMax = 0;
  uint32_t brightnessMin = 0;
  uint32_t brightnessMax = 0;
  uint32_t coloursMin = 0;
  uint32_t coloursMax = 0;
  uint32_t speed = 0;
  uint32_t brightness = 0;
  uint32_t direction = 0;
  uint32_t colourMode = 0;
  std::vector<Colour> colours;
};

// Rows × columns of device LED indices, kNoMatrixLed where there is none,
// row after row. Cells missing from `leds` go out as kNoMatrixLed.
struct MatrixMap {
  uint32_t height = 0;
  uint32_t width = 0;
  std::vector<uint32_t> leds;
};

struct ZoneDescription {
  std::string name;
  ZoneType type = ZoneType::Single;
  uint32_t ledsMin = 0;
  uint32_t ledsMax = 0;
  uint32_t ledsCount = 0;
  std::optional<MatrixMap> matrix;
};

struct LedDescription {
  std::string name;
  uint32_t value = 0;
};

// One controller as a client sees it. Zones cover `leds` in order: zone z
// starts where the LED counts of the zones before it end. `colours` holds one
// colour per LED.
struct ControllerDescription {
  DeviceType type = DeviceType::Unknown;
  std::string name;
  std::string vendor;
  std::string description;
  std::string version;
  std::string serial;
  std::string location;
  int32_t activeMode = 0;
  std::vector<ModeDescription> modes;
  std::vector<ZoneDescription> zones;
  std::vector<LedDescription> leds;
  std::vector<Colour> colours;
};

// What an UPDATEMODE or SAVEMODE carries that the host may apply, as the
// client sent it: ranges are the host's to enforce. Clients below protocol 3
// send no brightness.
struct ModeSettings {
  uint32_t speed = 0;
  std::optional<uint32_t> brightness;
  uint32_t direction = 0;
  uint32_t colourMode = 0;
  std::vector<Colour> colours;
};

// The body of the reply to REQUEST_CONTROLLER_DATA (its data_size field, which
// counts itself, and the device data) laid out for `protocolVersion`; versions
// above kServerProtocolVersion are laid out as kServerProtocolVersion. Strings
// end at their first NUL and at 65534 bytes, lists at 65535 entries.
std::vector<uint8_t> EncodeControllerData(const ControllerDescription& controller, uint32_t protocolVersion);

// A whole packet: header and body.
std::vector<uint8_t> EncodePacket(uint32_t deviceIndex, uint32_t packetId, std::span<const uint8_t> body);

// Tells a client to fetch the controller list again. Clients know it from
// protocol 1 on: send it only where SdkConnection::ProtocolVersion() >= 1.
std::vector<uint8_t> DeviceListUpdatedPacket();

}  // namespace talvo::sdk
