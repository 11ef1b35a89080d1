// One request line of the automation socket, checked and decoded.
#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_device.h"

namespace talvo::app {

// Longest request line accepted, newline excluded.
inline constexpr qsizetype kMaxRequestLine = 64 * 1024;

enum class Command {
  Ready, Click, Select, Check, SetValue, Type, Focus, Blur, Hover, PickColour,
  Key, MouseButton, Get, Menu, Tray, Window, Messages, Answers, Dialogs,
  Foreground, System, Wait, Screenshot, Sim, Quit,
};

enum class SimOp { Plug, Unplug, Notify, Traffic, Clear, Memory, Poke, Fault, DenyOpen };

// Only the fields the command uses are set.
struct Request {
  Command command = Command::Ready;
  std::string name;         // control name
  int index = 0;            // select
  bool on = false;          // check; hover: enter; sim deny_open: denied
  int value = 0;            // set_value
  bool moving = false;      // set_value
  std::string text;         // type; menu: item; tray: button; screenshot, foreground: path
  uint32_t argb = 0;        // pick_colour
  int vk = 0;               // key
  bool down = false;        // key
  bool extended = false;    // key
  int message = 0;          // mouse_button
  int ms = 0;               // wait
  std::vector<int> values;  // answers
  std::vector<std::string> paths;  // dialogs
  SimOp op = SimOp::Plug;   // sim
  sim::DeviceKind device = sim::DeviceKind::Mouse;  // sim
  std::string area;         // sim memory, poke
  int usage = 0;            // sim notify
  int64_t offset = 0;       // sim poke
  std::vector<uint8_t> bytes;  // sim poke
  sim::Fault fault = sim::Fault::None;  // sim fault
  int count = 0;            // sim fault
  int after = 0;            // sim fault: requests that pass before it
};

struct ParsedRequest {
  bool ok = false;
  std::string error;  // "bad argument" or "unknown command" when not ok
  Request request;
};

// Decodes one line (without its newline): a JSON object with a known "cmd"
// and arguments of the right types and ranges.
ParsedRequest ParseRequest(QByteArrayView line);

}  // namespace talvo::app
