#include <limits.h>
#include <unistd.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "platform/debug.h"
#include "platform/foreground_program.h"
#include "platform/foreground_replies.h"

namespace talvo::platform {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// A reply as the bytes that arrived: xcb keeps the 32-byte header and the
// length the header announces in one block.
template <typename Reply>
std::span<const uint8_t> ReplyBytes(const Reply* reply) {
  return {reinterpret_cast<const uint8_t*>(reply), 32 + size_t{reply->length} * 4};
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace

struct X11ForegroundProgram::Connection {
  xcb_connection_t* xcb = nullptr;
  xcb_window_t root = XCB_NONE;
  xcb_atom_t activeWindow = XCB_NONE;
  xcb_atom_t wmPid = XCB_NONE;
  bool hasRes = false;
  std::string host;

  ~Connection() {
    if (xcb) xcb_disconnect(xcb);
  }

  bool Broken() const { return xcb == nullptr || xcb_connection_has_error(xcb) != 0; }

  xcb_atom_t Intern(std::string_view name) {
    auto cookie = xcb_intern_atom(xcb, 0, static_cast<uint16_t>(name.size()), name.data());
    ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(xcb, cookie, nullptr));
    return reply ? reply->atom : XCB_NONE;
  }

  xcb_get_property_cookie_t AskProperty(xcb_window_t window, xcb_atom_t atom, uint32_t longs) {
    return xcb_get_property(xcb, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
  }

  // Replies are owned by the caller's holder, since the value points into it.
  std::optional<PropertyValue> Property(xcb_get_property_cookie_t cookie, ReplyPtr<xcb_get_property_reply_t>& holder) {
    holder.reset(xcb_get_property_reply(xcb, cookie, nullptr));
    if (!holder) return std::nullopt;
    return ReadPropertyReply(ReplyBytes(holder.get()));
  }

  std::optional<int> ResPid(xcb_window_t window) {
    if (!hasRes) return std::nullopt;
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    ReplyPtr<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(xcb, xcb_res_query_client_ids(xcb, 1, &wanted), nullptr));
    if (!reply) return std::nullopt;
    return ReadClientIdsPid(ReplyBytes(reply.get()));
  }
};

X11ForegroundProgram::X11ForegroundProgram(const std::string& display) : connection_(std::make_unique<Connection>()) {
  Connection& c = *connection_;
  int screen = 0;
  c.xcb = xcb_connect(display.empty() ? nullptr : display.c_str(), &screen);
  if (c.Broken()) {
    debug::Line("foreground program: the X display cannot be opened");
    return;
  }
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c.xcb)); it.rem > 0; xcb_screen_next(&it), --screen) {
    if (screen == 0) {
      c.root = it.data->root;
      break;
    }
  }
  c.activeWindow = c.Intern("_NET_ACTIVE_WINDOW");
  c.wmPid = c.Intern("_NET_WM_PID");
  c.host = HostName();
  // Client ids arrived with XRes 1.2.
  const xcb_query_extension_reply_t* res = xcb_get_extension_data(c.xcb, &xcb_res_id);
  if (res && res->present) {
    ReplyPtr<xcb_res_query_version_reply_t> version(
        xcb_res_query_version_reply(c.xcb, xcb_res_query_version(c.xcb, 1, 2), nullptr));
    c.hasRes = version && (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
  }
}

X11ForegroundProgram::~X11ForegroundProgram() = default;

ForegroundAvailability X11ForegroundProgram::Availability() const {
  const Connection& c = *connection_;
  return c.Broken() || c.root == XCB_NONE ? ForegroundAvailability::Unreachable : ForegroundAvailability::Available;
}

ForegroundAnswer X11ForegroundProgram::Current() {
  Connection& c = *connection_;
  if (c.Broken() || c.root == XCB_NONE || c.activeWindow == XCB_NONE) return {ForegroundStatus::Unreachable, {}};

  ReplyPtr<xcb_get_property_reply_t> activeReply;
  const auto active = c.Property(c.AskProperty(c.root, c.activeWindow, 1), activeReply);
  const auto window = active ? FirstCard32(*active, kAtomWindow) : std::nullopt;
  if (!window || *window == XCB_NONE) return {ForegroundStatus::NoWindow, {}};

  // Both questions go out before either answer is waited for.
  const auto pidCookie = c.AskProperty(*window, c.wmPid, 1);
  const auto machineCookie = c.AskProperty(*window, XCB_ATOM_WM_CLIENT_MACHINE, 64);
  ReplyPtr<xcb_get_property_reply_t> pidReply, machineReply;
  const auto pidProperty = c.Property(pidCookie, pidReply);
  const auto machine = c.Property(machineCookie, machineReply);
  // A pid is only meaningful on the machine that runs the client.
  if (pidProperty && machine && ClientMachineIs(*machine, c.host)) {
    if (const auto value = FirstCard32(*pidProperty, kAtomCardinal)) {
      if (const auto pid = ValidPid(*value)) return ExecutableOfProcess(*pid);
    }
  }
  if (const auto pid = c.ResPid(*window)) return ExecutableOfProcess(*pid);
  return {ForegroundStatus::NoProcess, {}};
}

}  // namespace talvo::platform
