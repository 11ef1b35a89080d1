#include "app/remote/sdk_sockets.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <utility>

#include "platform/prompt_wakes.h"
#include "sdk/sdk_connection.h"
#include "sdk/sdk_protocol.h"

namespace talvo::app {

namespace {

using Clock = std::chrono::steady_clock;

// How often LED updates carried out here are told to the UI thread, which
// counts them as the client's requests when it looks for idle clients.
constexpr Clock::duration kActiveEvery = std::chrono::seconds(1);
constexpr size_t kReadChunk = 64 * 1024;
// A drained output buffer above this gives its room back.
constexpr size_t kKeptOutput = 256 * 1024;

}  // namespace

struct SdkSockets::Client {
  Client(int id, int fd, std::unique_ptr<sdk::SdkLeds> leds) : id(id), fd(fd), leds(std::move(leds)) {}
  ~Client() {
    if (fd >= 0) ::close(fd);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  const int id;
  int fd;
  std::unique_ptr<sdk::SdkLeds> leds;
  sdk::PacketFramer framer;
  sdk::LedUpdater updater;
  // Bytes for the client; those before `sent` are written.
  std::vector<uint8_t> out;
  size_t sent = 0;
  // Requests, and all events, handed to the UI thread and not done there.
  size_t waitingPackets = 0;
  size_t waitingSize = 0;
  Clock::time_point toldActive{};
};

size_t SdkSockets::Event::Size() const { return sdk::kHeaderSize + body.size() + text.size(); }

namespace {

SdkSockets::Event Told(SdkSockets::Event::Kind kind, int client, std::string text = {}) {
  SdkSockets::Event event;
  event.kind = kind;
  event.client = client;
  event.text = std::move(text);
  return event;
}

}  // namespace

template <typename Item>
SdkSockets::Mailbox<Item>::Mailbox() : fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

template <typename Item>
SdkSockets::Mailbox<Item>::~Mailbox() {
  if (fd >= 0) ::close(fd);
}

template <typename Item>
void SdkSockets::Mailbox<Item>::Put(std::vector<Item> more) {
  if (more.empty()) return;
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex);
    wasEmpty = items.empty();
    std::move(more.begin(), more.end(), std::back_inserter(items));
  }
  // A reader clears the eventfd before it takes the queue, so a queue it
  // left empty is always woken for again.
  if (wasEmpty) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
  }
}

template <typename Item>
std::vector<Item> SdkSockets::Mailbox<Item>::Take() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(fd, &count, sizeof count);
  std::vector<Item> taken;
  std::lock_guard lock(mutex);
  taken.swap(items);
  return taken;
}

SdkSockets::SdkSockets(Limits limits)
    : limits_(limits), thread_([this](std::stop_token stop) { Run(stop); }) {}

SdkSockets::~SdkSockets() {
  thread_.request_stop();
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(toSockets_.fd, &one, sizeof one);
  thread_.join();
  clients_.clear();
  for (const Command& command : toSockets_.items)
    if (command.kind == Command::Kind::Add) ::close(command.fd);
}

std::vector<SdkSockets::Event> SdkSockets::TakeEvents() { return toUi_.Take(); }

void SdkSockets::Add(int client, int fd, std::unique_ptr<sdk::SdkLeds> leds) {
  Post({.kind = Command::Kind::Add, .client = client, .fd = fd, .leds = std::move(leds)});
}

void SdkSockets::Send(int client, std::vector<uint8_t> bytes, size_t packets, size_t size, bool close) {
  Post({.kind = Command::Kind::Send,
        .client = client,
        .bytes = std::move(bytes),
        .packets = packets,
        .size = size,
        .close = close});
}

void SdkSockets::Close(int client) { Post({.kind = Command::Kind::Close, .client = client}); }

void SdkSockets::Post(Command command) {
  std::vector<Command> one;
  one.push_back(std::move(command));
  toSockets_.Put(std::move(one));
}

void SdkSockets::Run(std::stop_token stop) {
  pthread_setname_np(pthread_self(), "SdkSockets");
  platform::AskPromptWakes();
  std::vector<pollfd> polled;
  std::vector<Event> events;
  while (!stop.stop_requested()) {
    polled.assign(1, pollfd{.fd = toSockets_.fd, .events = POLLIN, .revents = 0});
    for (const auto& client : clients_) {
      short wanted = 0;
      if (client->framer.Broken().empty() && client->waitingSize <= limits_.maxWaiting) wanted |= POLLIN;
      if (client->sent < client->out.size()) wanted |= POLLOUT;
      polled.push_back({.fd = client->fd, .events = wanted, .revents = 0});
    }
    if (::poll(polled.data(), polled.size(), -1) < 0) {
      // A failure that is not an interruption would come back at once: a
      // pause keeps it from taking a whole core until it clears.
      if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    // Clients and their entries in `polled` share indices until the commands
    // below add or close any.
    for (size_t i = 0; i < clients_.size(); ++i) {
      Client& client = *clients_[i];
      const short got = polled[i + 1].revents;
      if (got & POLLOUT) Write(client, events);
      if (client.fd < 0) continue;
      if (polled[i + 1].events & POLLIN) {
        if (got & (POLLIN | POLLHUP | POLLERR)) Read(client, events);
      } else if (got & (POLLHUP | POLLERR)) {
        Shut(client);
        events.push_back(Told(Event::Kind::Gone, client.id));
      }
    }
    if (polled[0].revents & POLLIN)
      for (Command& command : toSockets_.Take()) Carry(command, events);
    std::erase_if(clients_, [](const auto& client) { return client->fd < 0; });
    toUi_.Put(std::exchange(events, {}));
  }
}

void SdkSockets::Carry(Command& command, std::vector<Event>& events) {
  if (command.kind == Command::Kind::Add) {
    ::fcntl(command.fd, F_SETFL, ::fcntl(command.fd, F_GETFL) | O_NONBLOCK);
    clients_.push_back(std::make_unique<Client>(command.client, command.fd, std::move(command.leds)));
    return;
  }
  const auto it = std::ranges::find_if(clients_, [&](const auto& c) { return c->id == command.client; });
  // A client this thread has closed: the UI thread hears of it next.
  if (it == clients_.end() || (*it)->fd < 0) return;
  Client& client = **it;
  if (command.kind == Command::Kind::Send) {
    client.waitingPackets -= std::min(command.packets, client.waitingPackets);
    client.waitingSize -= std::min(command.size, client.waitingSize);
    client.out.insert(client.out.end(), command.bytes.begin(), command.bytes.end());
    Write(client, events);
    if (client.fd < 0 || command.close) {
      Shut(client);
      return;
    }
    if (client.out.size() - client.sent > limits_.maxUnsent) {
      Shut(client);
      events.push_back(Told(Event::Kind::Unread, client.id));
    }
    return;
  }
  Write(client, events);
  Shut(client);
}

void SdkSockets::Shut(Client& client) {
  if (client.fd < 0) return;
  ::close(client.fd);
  client.fd = -1;
}

void SdkSockets::Read(Client& client, std::vector<Event>& events) {
  uint8_t chunk[kReadChunk];
  const ssize_t got = ::recv(client.fd, chunk, sizeof chunk, 0);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (got <= 0) {
    Shut(client);
    events.push_back(Told(Event::Kind::Gone, client.id));
    return;
  }
  std::span<const uint8_t> bytes(chunk, size_t(got));
  bool carriedOut = false;
  const auto hand = [&](Event event) {
    client.waitingSize += event.Size();
    events.push_back(std::move(event));
  };
  while (!bytes.empty()) {
    const auto packet = client.framer.Next(bytes);
    if (!client.framer.Broken().empty()) {
      hand(Told(Event::Kind::Broken, client.id, client.framer.Broken()));
      break;
    }
    if (!packet) continue;
    // An LED update behind a request the UI thread has not done waits for
    // it, so the client's requests take effect in its order.
    if (client.leds && client.waitingPackets == 0 && sdk::IsLedUpdate(packet->id)) {
      std::string problem = client.updater.Apply(*client.leds, packet->device, packet->id, packet->body);
      if (problem.empty()) {
        carriedOut = true;
      } else {
        hand(Told(Event::Kind::Complaint, client.id, std::move(problem)));
      }
      continue;
    }
    ++client.waitingPackets;
    Event request = Told(Event::Kind::Packet, client.id);
    request.device = packet->device;
    request.id = packet->id;
    request.body.assign(packet->body.begin(), packet->body.end());
    hand(std::move(request));
  }
  if (carriedOut) {
    const Clock::time_point now = Clock::now();
    if (now - client.toldActive >= kActiveEvery) {
      client.toldActive = now;
      hand(Told(Event::Kind::Active, client.id));
    }
  }
}

void SdkSockets::Write(Client& client, std::vector<Event>& events) {
  while (client.fd >= 0 && client.sent < client.out.size()) {
    const ssize_t put = ::send(client.fd, client.out.data() + client.sent, client.out.size() - client.sent,
                               MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (put < 0) {
      Shut(client);
      events.push_back(Told(Event::Kind::Gone, client.id));
      return;
    }
    client.sent += size_t(put);
  }
  if (client.sent == client.out.size()) {
    client.out.clear();
    client.sent = 0;
    if (client.out.capacity() > kKeptOutput) client.out.shrink_to_fit();
  } else if (client.sent > client.out.size() / 2) {
    client.out.erase(client.out.begin(), client.out.begin() + long(client.sent));
    client.sent = 0;
  }
}

}  // namespace talvo::app
