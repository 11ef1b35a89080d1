// sway speaks i3's IPC: one connection subscribes to window and workspace
// events and asks for the tree on the same connection, so the tree's answer
// and the events arrive in the order sway produced them.
#include <cstdlib>

#include "platform/compositor_replies.h"
#include "platform/debug.h"
#include "platform/foreground_compositors.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;

constexpr auto kSendTimeout = 5s;
constexpr auto kRequestTimeout = 3s;

std::string SocketFromEnvironment() {
  for (const char* name : {"SWAYSOCK", "I3SOCK"}) {
    if (const char* value = std::getenv(name); value && *value) return value;
  }
  return {};
}

}  // namespace

SwayForegroundProgram::SwayForegroundProgram(std::string socketPath)
    : socketPath_(socketPath.empty() ? SocketFromEnvironment() : std::move(socketPath)),
      link_(
          "sway", [this](CompositorLink& link, std::stop_token stop) { Serve(link, stop); },
          [this] { TellChanged(); }) {}

void SwayForegroundProgram::Serve(CompositorLink& link, std::stop_token stop) {
  UnixSocket socket = UnixSocket::Connect(socketPath_);
  if (!socket.Valid()) return;
  const int wake = link.WakeFd();
  // Events that arrive before an asked-for tree are older than the tree and
  // are passed over; the tree tells where the focus is after them.
  int treesAsked = 0;
  auto askTree = [&] {
    ++treesAsked;
    return socket.Send(I3Frame(kI3GetTree, {}), wake, kSendTimeout) == UnixSocket::Result::Done;
  };
  if (socket.Send(I3Frame(kI3Subscribe, R"(["window","workspace"])"), wake, kSendTimeout) !=
          UnixSocket::Result::Done ||
      !askTree()) {
    return;
  }
  I3FrameReader reader;
  SwayFocus focus;
  std::string chunk;
  while (!stop.stop_requested()) {
    if (socket.Receive(chunk, wake, -1ms) != UnixSocket::Result::Done) return;
    if (!reader.Feed(chunk)) return debug::Line("foreground program: sway's socket does not speak i3-ipc");
    while (auto message = reader.Next()) {
      const auto limits = message->type == kI3GetTree ? kJsonTreeLimits : kJsonEventLimits;
      const auto json = message->dropped ? std::nullopt : ParseJson(message->payload, limits);
      if (message->type == kI3Subscribe) {
        const JsonValue* success = json ? json->Find("success") : nullptr;
        if (!success || !success->IsTrue()) return debug::Line("foreground program: sway refused the subscription");
      } else if (message->type == kI3GetTree) {
        if (--treesAsked > 0) continue;
        focus = json ? SwayFocusInTree(*json).value_or(SwayFocus{}) : SwayFocus{};
        link.SetFront(focus.pid);
      } else if (treesAsked > 0) {
        continue;
      } else if (message->type == kI3WindowEvent) {
        const auto event = json ? ReadSwayWindowEvent(*json) : std::nullopt;
        if (!event) {
          if (!askTree()) return;
        } else if (event->change == SwayWindowEvent::Change::Focus) {
          focus = event->window;
          link.SetFront(focus.pid);
        } else if (event->change == SwayWindowEvent::Change::Close && event->window.id == focus.id) {
          focus = {};
          link.SetFront(0);
        }
      } else if (message->type == kI3WorkspaceEvent) {
        // Another workspace may have no window at all: then no window event
        // follows, and only the tree tells that nothing is in front.
        if ((!json || IsSwayWorkspaceFocus(*json)) && !askTree()) return;
      }
    }
  }
}

std::vector<int> SwayForegroundProgram::WindowPids() {
  UnixSocket socket = UnixSocket::Connect(socketPath_);
  if (!socket.Valid() || socket.Send(I3Frame(kI3GetTree, {}), -1, kRequestTimeout) != UnixSocket::Result::Done) {
    return {};
  }
  I3FrameReader reader;
  std::string chunk;
  while (socket.Receive(chunk, -1, kRequestTimeout) == UnixSocket::Result::Done && reader.Feed(chunk)) {
    if (auto message = reader.Next()) {
      const auto tree = message->dropped ? std::nullopt : ParseJson(message->payload, kJsonTreeLimits);
      return tree ? SwayPidsInTree(*tree) : std::vector<int>{};
    }
  }
  return {};
}

}  // namespace talvo::platform
