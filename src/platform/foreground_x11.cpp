#include <limits.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "platform/debug.h"
#include "platform/foreground_program.h"
#include "platform/foreground_replies.h"
#include "platform/hid_backend.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;

// How long the watch waits before connecting again after a failure: doubled
// after each one, up to the longest.
constexpr std::chrono::milliseconds kFirstRetry = 500ms;
constexpr std::chrono::milliseconds kLongestRetry = 30s;

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
  xcb_atom_t clientList = XCB_NONE;
  xcb_atom_t wmPid = XCB_NONE;
  bool hasRes = false;
  std::string host;

  ~Connection() {
    if (xcb) xcb_disconnect(xcb);
  }

  // A connection to the display with its root window and atoms; nothing when
  // the server cannot be reached.
  static std::unique_ptr<Connection> Open(const std::string& display) {
    auto c = std::make_unique<Connection>();
    int screen = 0;
    c->xcb = xcb_connect(display.empty() ? nullptr : display.c_str(), &screen);
    if (c->Broken()) return nullptr;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c->xcb)); it.rem > 0; xcb_screen_next(&it), --screen) {
      if (screen == 0) {
        c->root = it.data->root;
        break;
      }
    }
    c->activeWindow = c->Intern("_NET_ACTIVE_WINDOW");
    c->clientList = c->Intern("_NET_CLIENT_LIST");
    c->wmPid = c->Intern("_NET_WM_PID");
    c->host = HostName();
    // Client ids arrived with XRes 1.2.
    const xcb_query_extension_reply_t* res = xcb_get_extension_data(c->xcb, &xcb_res_id);
    if (res && res->present) {
      ReplyPtr<xcb_res_query_version_reply_t> version(
          xcb_res_query_version_reply(c->xcb, xcb_res_query_version(c->xcb, 1, 2), nullptr));
      c->hasRes = version && (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
    }
    if (c->Broken() || c->root == XCB_NONE || c->activeWindow == XCB_NONE) return nullptr;
    return c;
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

  // The process of a window: its _NET_WM_PID when WM_CLIENT_MACHINE names
  // this machine, since a pid is only meaningful there, else the server's
  // record of the client.
  std::optional<int> PidOf(xcb_window_t window) {
    // Both questions go out before either answer is waited for.
    const auto pidCookie = AskProperty(window, wmPid, 1);
    const auto machineCookie = AskProperty(window, XCB_ATOM_WM_CLIENT_MACHINE, 64);
    ReplyPtr<xcb_get_property_reply_t> pidReply, machineReply;
    const auto pidProperty = Property(pidCookie, pidReply);
    const auto machine = Property(machineCookie, machineReply);
    if (pidProperty && machine && ClientMachineIs(*machine, host)) {
      if (const auto value = FirstCard32(*pidProperty, kAtomCardinal)) {
        if (const auto pid = ValidPid(*value)) return pid;
      }
    }
    return ResPid(window);
  }
};

// The watch's own connection is read by its thread alone: replies waited for
// on another thread would take its events off the socket before poll() saw
// them.
struct X11ForegroundProgram::Watch {
  AbortEvent wake;
  std::atomic<bool> reachable{false};
  std::jthread thread;
};

X11ForegroundProgram::X11ForegroundProgram(const std::string& display)
    : display_(display), query_(Connection::Open(display)), watch_(std::make_unique<Watch>()) {
  if (!query_) debug::Line("foreground program: the X display cannot be opened");
  watch_->reachable = query_ != nullptr;
  watch_->thread = std::jthread([this](std::stop_token stop) { WatchRoot(stop); });
}

X11ForegroundProgram::~X11ForegroundProgram() {
  watch_->thread.request_stop();
  watch_->wake.Signal();
  watch_->thread.join();
}

void X11ForegroundProgram::WatchRoot(std::stop_token stop) {
  std::unique_ptr<Connection> events;
  auto retry = kFirstRetry;
  while (!stop.stop_requested()) {
    if (!events) {
      // Only this thread replaces the query connection, so it is opened
      // without holding Current() up.
      bool queryUsable;
      {
        std::lock_guard lock(mutex_);
        queryUsable = query_ && !query_->Broken();
      }
      auto query = queryUsable ? nullptr : Connection::Open(display_);
      if (queryUsable || query) events = Connection::Open(display_);
      if (events) {
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(events->xcb, events->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(events->xcb);
      }
      if (!events || events->Broken()) {
        // The server went away while connecting: the query connection did
        // too, though nothing has read from it yet.
        events.reset();
        {
          std::lock_guard lock(mutex_);
          query_.reset();
        }
        if (watch_->reachable.exchange(false)) debug::Line("foreground program: the X display cannot be reached");
        pollfd stopWait{watch_->wake.fd(), POLLIN, 0};
        poll(&stopWait, 1, int(retry.count()));
        watch_->wake.Consume();
        retry = std::min(retry * 2, kLongestRetry);
        continue;
      }
      if (query) {
        std::lock_guard lock(mutex_);
        query_ = std::move(query);
      }
      retry = kFirstRetry;
      if (!watch_->reachable.exchange(true)) debug::Line("foreground program: the X display is reachable");
      // The window in front may have changed while nobody watched.
      TellChanged();
    }

    pollfd fds[2] = {{xcb_get_file_descriptor(events->xcb), POLLIN, 0}, {watch_->wake.fd(), POLLIN, 0}};
    poll(fds, 2, -1);
    if (fds[1].revents != 0) watch_->wake.Consume();
    bool changed = false;
    while (auto* event = xcb_poll_for_event(events->xcb)) {
      if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
          reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == events->activeWindow) {
        changed = true;
      }
      std::free(event);
    }
    bool lost = events->Broken();
    {
      std::lock_guard lock(mutex_);
      lost = lost || !query_ || query_->Broken();
      if (lost) query_.reset();
    }
    if (lost) {
      events.reset();
      watch_->reachable = false;
      debug::Line("foreground program: the X display went away; connecting again");
      // Listeners learn that nothing can be told until it is back.
      TellChanged();
      continue;
    }
    if (changed) TellChanged();
  }
}

ForegroundAvailability X11ForegroundProgram::Availability() const {
  return watch_->reachable ? ForegroundAvailability::Available : ForegroundAvailability::Unreachable;
}

ForegroundAnswer X11ForegroundProgram::Current() {
  std::optional<int> pid;
  {
    std::lock_guard lock(mutex_);
    if (!query_ || query_->Broken()) {
      // The watch may not have seen it yet: its connection can outlast this one.
      if (watch_->reachable) watch_->wake.Signal();
      return {ForegroundStatus::Unreachable, {}};
    }
    Connection& c = *query_;
    ReplyPtr<xcb_get_property_reply_t> activeReply;
    const auto active = c.Property(c.AskProperty(c.root, c.activeWindow, 1), activeReply);
    const auto window = active ? FirstCard32(*active, kAtomWindow) : std::nullopt;
    if (!window || *window == XCB_NONE) {
      if (c.Broken() && watch_->reachable) watch_->wake.Signal();
      return {c.Broken() ? ForegroundStatus::Unreachable : ForegroundStatus::NoWindow, {}};
    }
    pid = c.PidOf(*window);
  }
  // /proc is read without holding the connection.
  if (pid) return ExecutableOfProcess(*pid);
  return {ForegroundStatus::NoProcess, {}};
}

std::vector<int> X11ForegroundProgram::WindowPids() {
  std::lock_guard lock(mutex_);
  if (!query_ || query_->Broken() || query_->clientList == XCB_NONE) return {};
  Connection& c = *query_;
  ReplyPtr<xcb_get_property_reply_t> listReply;
  const auto list = c.Property(c.AskProperty(c.root, c.clientList, kMaxListedWindows), listReply);
  if (!list || list->type != kAtomWindow || list->format != 32) return {};
  const size_t count = std::min<size_t>(list->bytes.size() / 4, kMaxListedWindows);
  std::vector<int> pids;
  for (size_t i = 0; i < count; ++i) {
    uint32_t window;
    std::memcpy(&window, list->bytes.data() + i * 4, 4);
    const auto pid = c.PidOf(window);
    if (pid && std::find(pids.begin(), pids.end(), *pid) == pids.end()) pids.push_back(*pid);
  }
  return pids;
}

}  // namespace talvo::platform
