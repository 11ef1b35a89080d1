// Readers of what the Wayland compositors that tell the window in front send
// over their sockets: sway's i3-ipc frames ("i3-ipc", payload length and
// type in host byte order, then JSON), Hyprland's event lines, and the
// pids inside their JSON. Lengths are checked before anything is kept; what
// does not add up reads as nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ipc_json.h"

namespace talvo::platform {

// Message types of the i3-ipc protocol that sway speaks. Events carry the
// high bit.
inline constexpr uint32_t kI3RunCommand = 0;
inline constexpr uint32_t kI3Subscribe = 2;
inline constexpr uint32_t kI3GetTree = 4;
inline constexpr uint32_t kI3EventBit = 0x8000'0000;
inline constexpr uint32_t kI3WorkspaceEvent = kI3EventBit | 0;
inline constexpr uint32_t kI3WindowEvent = kI3EventBit | 3;
inline constexpr size_t kI3HeaderSize = 14;

// A message ready to send.
std::string I3Frame(uint32_t type, std::string_view payload);

struct I3Message {
  uint32_t type = 0;
  std::string payload;
  // The payload was longer than a message of its type may be and was
  // dropped; the stream goes on after it.
  bool dropped = false;
};

// Splits the bytes read from an i3-ipc socket into messages. A tree reply
// may be as long as kJsonTreeLimits allows, anything else as an event.
class I3FrameReader {
 public:
  // False once the bytes are not i3-ipc: the connection cannot go on.
  bool Feed(std::string_view bytes);
  std::optional<I3Message> Next();

 private:
  std::string buffer_;
  size_t skipping_ = 0;  // bytes still to drop of an over-long payload
  bool broken_ = false;
};

// Splits a byte stream into lines. A line longer than the cap is cut to it;
// the rest of that line is dropped.
class LineReader {
 public:
  explicit LineReader(size_t maxLine) : maxLine_(maxLine) {}
  void Feed(std::string_view bytes);
  std::optional<std::string> Next();

 private:
  size_t maxLine_;
  std::string partial_;
  bool cut_ = false;  // dropping the rest of the partial line
  std::deque<std::string> lines_;
};

// Where sway's focus is: the focused node's id and the pid of its program
// (0 when the focused node is no window, e.g. an empty workspace).
struct SwayFocus {
  int64_t id = 0;
  int pid = 0;
};

// The focused node of a GET_TREE reply.
std::optional<SwayFocus> SwayFocusInTree(const JsonValue& tree);
// The pids of every window in a GET_TREE reply, each once.
std::vector<int> SwayPidsInTree(const JsonValue& tree);

struct SwayWindowEvent {
  enum class Change { Focus, Close, Other } change = Change::Other;
  SwayFocus window;  // the container the event is about
};
std::optional<SwayWindowEvent> ReadSwayWindowEvent(const JsonValue& event);
// A workspace event that moves the focus to another workspace.
bool IsSwayWorkspaceFocus(const JsonValue& event);

// Hyprland's event socket line "activewindow>>CLASS,TITLE" or
// "activewindowv2>>ADDRESS": the active window changed.
bool IsHyprlandActiveWindowLine(std::string_view line);
// The pid in a "j/activewindow" reply; 0 when no window is active ("{}" or
// a pid Hyprland does not know).
std::optional<int> HyprlandActivePid(const JsonValue& reply);
// The pids of a "j/clients" reply, each once.
std::vector<int> HyprlandClientPids(const JsonValue& reply);

}  // namespace talvo::platform
