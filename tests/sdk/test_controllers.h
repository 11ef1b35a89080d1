// Controllers the SDK tests describe: a tiny one small enough to write its
// data block by hand, and a strip of two zones to address zones and modes.
#pragma once

#include "sdk/sdk_protocol.h"

namespace talvo::sdk::test {

// One mode, one 2×2 matrix zone of three LEDs (one cell empty), three LEDs.
inline ControllerDescription TinyController() {
  ModeDescription mode;
  mode.name = "Static";
  mode.value = 1;
  mode.flags = mode_flag::kHasModeSpecificColour | mode_flag::kHasBrightness;
  mode.brightnessMax = 4;
  mode.coloursMin = 1;
  mode.coloursMax = 1;
  mode.brightness = 3;
  mode.colourMode = colour_mode::kModeSpecific;
  mode.colours = {{1, 2, 3}};
  ControllerDescription c;
  c.type = DeviceType::Mousemat;
  c.name = "Pad";
  c.vendor = "Tv";
  c.description = "d";
  c.version = "1";
  c.location = "usb";
  c.modes = {mode};
  c.zones = {{"Z", ZoneType::Matrix, 3, 3, 3, MatrixMap{2, 2, {0, 1, 2, kNoMatrixLed}}}};
  c.leds = {{"A", 0}, {"B", 1}, {"C", 2}};
  c.colours = {{0x10, 0x20, 0x30}, {0x40, 0x50, 0x60}, {0x70, 0x80, 0x90}};
  return c;
}

// Zones of 2 and 3 LEDs; modes "Direct" (per-LED colours) and "Breathing"
// (speed, brightness, one or two colours of its own).
inline ControllerDescription StripController() {
  ModeDescription direct;
  direct.name = "Direct";
  direct.flags = mode_flag::kHasPerLedColour;
  direct.colourMode = colour_mode::kPerLed;
  ModeDescription breathing;
  breathing.name = "Breathing";
  breathing.value = 7;
  breathing.flags = mode_flag::kHasSpeed | mode_flag::kHasBrightness | mode_flag::kHasModeSpecificColour;
  breathing.speedMax = 4;
  breathing.brightnessMax = 4;
  breathing.coloursMin = 1;
  breathing.coloursMax = 2;
  breathing.colourMode = colour_mode::kModeSpecific;
  breathing.colours = {{255, 0, 0}};
  ControllerDescription c;
  c.type = DeviceType::LedStrip;
  c.name = "Strip";
  c.modes = {direct, breathing};
  c.zones = {{"A", ZoneType::Linear, 2, 2, 2, std::nullopt}, {"B", ZoneType::Linear, 3, 3, 3, std::nullopt}};
  c.leds = {{"A1", 0}, {"A2", 1}, {"B1", 2}, {"B2", 3}, {"B3", 4}};
  c.colours.resize(5);
  return c;
}

}  // namespace talvo::sdk::test
