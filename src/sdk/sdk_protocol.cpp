#include "sdk/sdk_protocol.h"

#include <algorithm>

#include "sdk/wire.h"

namespace talvo::sdk {

namespace {

// Lists go out with a 16-bit count; entries past it are left out.
template <typename T>
std::span<const T> UpTo16Bits(const std::vector<T>& list) {
  return std::span<const T>(list).first(std::min<size_t>(list.size(), 0xFFFF));
}

void WriteMode(wire::Writer& out, const ModeDescription& mode, uint32_t version) {
  out.String(mode.name);
  out.I32(mode.value);
  out.U32(mode.flags);
  out.U32(mode.speedMin);
  out.U32(mode.speedMax);
  if (version >= 3) {
    out.U32(mode.brightnessMin);
    out.U32(mode.brightnessMax);
  }
  out.U32(mode.coloursMin);
  out.U32(mode.coloursMax);
  out.U32(mode.speed);
  if (version >= 3) out.U32(mode.brightness);
  out.U32(mode.direction);
  out.U32(mode.colourMode);
  const auto colours = UpTo16Bits(mode.colours);
  out.U16(static_cast<uint16_t>(colours.size()));
  out.Colours(colours);
}

void WriteZone(wire::Writer& out, const ZoneDescription& zone, uint32_t version) {
  out.String(zone.name);
  out.I32(static_cast<int32_t>(zone.type));
  out.U32(zone.ledsMin);
  out.U32(zone.ledsMax);
  out.U32(zone.ledsCount);
  // The map's length field is 16 bits and counts height and width too, so a
  // map of more than 16381 cells cannot be sent and the zone goes without.
  const uint64_t cells = zone.matrix ? uint64_t{zone.matrix->height} * zone.matrix->width : 0;
  if (zone.matrix && cells <= (0xFFFF - 8) / 4) {
    out.U16(static_cast<uint16_t>(8 + cells * 4));
    out.U32(zone.matrix->height);
    out.U32(zone.matrix->width);
    for (size_t cell = 0; cell < cells; ++cell) {
      out.U32(cell < zone.matrix->leds.size() ? zone.matrix->leds[cell] : kNoMatrixLed);
    }
  } else {
    out.U16(0);
  }
  if (version >= 4) out.U16(0);  // segments: the zones here are not divided
}

}  // namespace

std::vector<uint8_t> EncodeControllerData(const ControllerDescription& controller, uint32_t protocolVersion) {
  const uint32_t version = std::min(protocolVersion, kServerProtocolVersion);
  wire::Writer out;
  out.U32(0);  // data_size, filled in at the end
  out.I32(static_cast<int32_t>(controller.type));
  out.String(controller.name);
  if (version >= 1) out.String(controller.vendor);
  out.String(controller.description);
  out.String(controller.version);
  out.String(controller.serial);
  out.String(controller.location);

  const auto modes = UpTo16Bits(controller.modes);
  out.U16(static_cast<uint16_t>(modes.size()));
  out.I32(controller.activeMode);
  for (const ModeDescription& mode : modes) WriteMode(out, mode, version);

  const auto zones = UpTo16Bits(controller.zones);
  out.U16(static_cast<uint16_t>(zones.size()));
  for (const ZoneDescription& zone : zones) WriteZone(out, zone, version);

  const auto leds = UpTo16Bits(controller.leds);
  out.U16(static_cast<uint16_t>(leds.size()));
  for (const LedDescription& led : leds) {
    out.String(led.name);
    out.U32(led.value);
  }

  const auto colours = UpTo16Bits(controller.colours);
  out.U16(static_cast<uint16_t>(colours.size()));
  out.Colours(colours);

  out.PatchU32(0, static_cast<uint32_t>(out.Size()));
  return out.Take();
}

std::vector<uint8_t> EncodePacket(uint32_t deviceIndex, uint32_t packetId, std::span<const uint8_t> body) {
  wire::Writer packet;
  packet.Raw(kMagic);
  packet.U32(deviceIndex);
  packet.U32(packetId);
  packet.U32(static_cast<uint32_t>(body.size()));
  packet.Raw(body);
  return packet.Take();
}

std::vector<uint8_t> DeviceListUpdatedPacket() { return EncodePacket(0, packet::kDeviceListUpdated, {}); }

}  // namespace talvo::sdk
