#include "platform/compositor_replies.h"

#include <algorithm>
#include <cstring>

#include "platform/foreground_replies.h"

namespace talvo::platform {
namespace {

constexpr std::string_view kI3Magic = "i3-ipc";

size_t MaxPayload(uint32_t type) {
  return type == kI3GetTree ? kJsonTreeLimits.maxBytes : kJsonEventLimits.maxBytes;
}

int PidOf(const JsonValue& node) {
  const JsonValue* pid = node.Find("pid");
  const auto value = pid ? pid->Integer() : std::nullopt;
  return value && *value > 0 ? ValidPid(uint64_t(*value)).value_or(0) : 0;
}

int64_t IdOf(const JsonValue& node) {
  const JsonValue* id = node.Find("id");
  return id ? id->Integer().value_or(0) : 0;
}

bool ChangeIs(const JsonValue& event, std::string_view change) {
  const JsonValue* value = event.Find("change");
  return value && value->String() == change;
}

// Every node below sway's root: tiled children, then floating ones.
template <typename Visit>
void ForEachNode(const JsonValue& node, Visit&& visit) {
  visit(node);
  for (const char* children : {"nodes", "floating_nodes"}) {
    if (const JsonValue* list = node.Find(children)) {
      for (const JsonValue& child : list->Items()) ForEachNode(child, visit);
    }
  }
}

std::vector<int> Distinct(std::vector<int> pids) {
  std::sort(pids.begin(), pids.end());
  pids.erase(std::unique(pids.begin(), pids.end()), pids.end());
  return pids;
}

}  // namespace

std::string I3Frame(uint32_t type, std::string_view payload) {
  const auto length = uint32_t(payload.size());
  std::string frame(kI3Magic);
  frame.append(reinterpret_cast<const char*>(&length), 4);
  frame.append(reinterpret_cast<const char*>(&type), 4);
  frame.append(payload);
  return frame;
}

bool I3FrameReader::Feed(std::string_view bytes) {
  const size_t skipped = std::min(skipping_, bytes.size());
  skipping_ -= skipped;
  buffer_.append(bytes.substr(skipped));
  return !broken_;
}

std::optional<I3Message> I3FrameReader::Next() {
  if (broken_ || skipping_ > 0 || buffer_.size() < kI3HeaderSize) return std::nullopt;
  if (std::string_view(buffer_).substr(0, kI3Magic.size()) != kI3Magic) {
    broken_ = true;
    buffer_.clear();
    return std::nullopt;
  }
  uint32_t length = 0;
  I3Message message;
  std::memcpy(&length, buffer_.data() + 6, 4);
  std::memcpy(&message.type, buffer_.data() + 10, 4);
  if (length > MaxPayload(message.type)) {
    const size_t here = std::min<size_t>(buffer_.size() - kI3HeaderSize, length);
    buffer_.erase(0, kI3HeaderSize + here);
    skipping_ = length - here;
    message.dropped = true;
    return message;
  }
  if (buffer_.size() - kI3HeaderSize < length) return std::nullopt;
  message.payload = buffer_.substr(kI3HeaderSize, length);
  buffer_.erase(0, kI3HeaderSize + length);
  return message;
}

void LineReader::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!cut_) {
      const size_t room = maxLine_ - partial_.size();
      partial_.append(piece.substr(0, room));
      cut_ = piece.size() > room;
    }
    if (end == std::string_view::npos) return;
    lines_.push_back(std::move(partial_));
    partial_.clear();
    cut_ = false;
    bytes.remove_prefix(end + 1);
  }
}

std::optional<std::string> LineReader::Next() {
  if (lines_.empty()) return std::nullopt;
  std::string line = std::move(lines_.front());
  lines_.pop_front();
  return line;
}

std::optional<SwayFocus> SwayFocusInTree(const JsonValue& tree) {
  if (tree.GetKind() != JsonValue::Kind::Object) return std::nullopt;
  std::optional<SwayFocus> focus;
  ForEachNode(tree, [&](const JsonValue& node) {
    const JsonValue* focused = node.Find("focused");
    if (!focus && focused && focused->IsTrue()) focus = SwayFocus{IdOf(node), PidOf(node)};
  });
  return focus.value_or(SwayFocus{});
}

std::vector<int> SwayPidsInTree(const JsonValue& tree) {
  std::vector<int> pids;
  ForEachNode(tree, [&](const JsonValue& node) {
    if (const int pid = PidOf(node)) pids.push_back(pid);
  });
  return Distinct(std::move(pids));
}

std::optional<SwayWindowEvent> ReadSwayWindowEvent(const JsonValue& event) {
  const JsonValue* container = event.Find("container");
  if (!container || container->GetKind() != JsonValue::Kind::Object) return std::nullopt;
  SwayWindowEvent read;
  if (ChangeIs(event, "focus")) {
    read.change = SwayWindowEvent::Change::Focus;
  } else if (ChangeIs(event, "close")) {
    read.change = SwayWindowEvent::Change::Close;
  }
  read.window = {IdOf(*container), PidOf(*container)};
  return read;
}

bool IsSwayWorkspaceFocus(const JsonValue& event) { return ChangeIs(event, "focus"); }

bool IsHyprlandActiveWindowLine(std::string_view line) {
  const std::string_view name = line.substr(0, line.find(">>"));
  return name.size() < line.size() && (name == "activewindow" || name == "activewindowv2");
}

std::optional<int> HyprlandActivePid(const JsonValue& reply) {
  if (reply.GetKind() != JsonValue::Kind::Object) return std::nullopt;
  return PidOf(reply);
}

std::vector<int> HyprlandClientPids(const JsonValue& reply) {
  std::vector<int> pids;
  for (const JsonValue& client : reply.Items()) {
    if (const int pid = PidOf(client)) pids.push_back(pid);
  }
  return Distinct(std::move(pids));
}

}  // namespace talvo::platform
