// The SDK server's client sockets, read and written on a thread of their
// own, so a client's colours reach its devices while the UI thread is busy.
// LED updates are carried out here, on the client's SdkLeds; every other
// request goes to the UI thread in the order the client sent it, and so do
// the LED updates that follow one until the UI thread is done with it, so a
// client's requests take effect in its order. What the UI thread answers
// comes back here to be written.
//
// Neither thread waits for the other: each queues to the other and wakes it
// through an eventfd. No Qt here; the UI side watches EventsFd().
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sdk/sdk_host.h"

namespace talvo::app {

class SdkSockets {
 public:
  struct Limits {
    // Replies a client leaves unread above this close it.
    size_t maxUnsent = 0;
    // What of a client's stream waits for the UI thread; above it the
    // client's socket is not read until the UI thread has caught up.
    size_t maxWaiting = 0;
  };

  // What the socket thread hands to the UI thread, in each client's order.
  struct Event {
    enum class Kind {
      Packet,     // a request for the UI thread
      Complaint,  // what was wrong with an LED update carried out here
      Active,     // LED updates were carried out here (told at most once a second)
      Broken,     // the stream cannot be framed further (text says why); nothing more is read
      Unread,     // the client left more than maxUnsent unread; closed
      Gone,       // the client closed its end or the socket failed; closed
    };
    Kind kind = Kind::Packet;
    int client = 0;
    uint32_t device = 0;
    uint32_t id = 0;
    std::vector<uint8_t> body;
    std::string text;

    // What the event counts for against maxWaiting.
    size_t Size() const;
  };

  explicit SdkSockets(Limits limits);
  // Stops the thread and closes every socket.
  ~SdkSockets();
  SdkSockets(const SdkSockets&) = delete;
  SdkSockets& operator=(const SdkSockets&) = delete;

  // Readable while TakeEvents() has something.
  int EventsFd() const { return toUi_.fd; }
  std::vector<Event> TakeEvents();

  // Takes the socket `fd` of a new client; `leds` (may be empty: then every
  // request goes to the UI thread) is used on the socket thread only.
  void Add(int client, int fd, std::unique_ptr<sdk::SdkLeds> leds);
  // Bytes for the client, after the UI thread is done with `packets`
  // requests and `size` (Event::Size) of its events; with `close`, the
  // socket is closed once the bytes are written as far as it takes them.
  void Send(int client, std::vector<uint8_t> bytes, size_t packets, size_t size, bool close);
  // Closes the client's socket, writing what it takes of the bytes queued.
  void Close(int client);

 private:
  struct Client;
  struct Command {
    enum class Kind { Add, Send, Close } kind = Kind::Add;
    int client = 0;
    int fd = -1;
    std::unique_ptr<sdk::SdkLeds> leds{};
    std::vector<uint8_t> bytes{};
    size_t packets = 0;
    size_t size = 0;
    bool close = false;
  };
  // A queue to the other thread, and the eventfd that wakes it.
  template <typename Item>
  struct Mailbox {
    Mailbox();
    ~Mailbox();
    // Wakes the reader when the queue was empty.
    void Put(std::vector<Item> items);
    std::vector<Item> Take();

    int fd = -1;
    std::mutex mutex;
    std::vector<Item> items;
  };

  // Queues one command for the socket thread.
  void Post(Command command);
  void Run(std::stop_token stop);
  void Carry(Command& command, std::vector<Event>& events);
  void Read(Client& client, std::vector<Event>& events);
  void Shut(Client& client);
  void Write(Client& client, std::vector<Event>& events);

  const Limits limits_;
  Mailbox<Event> toUi_;
  Mailbox<Command> toSockets_;
  // The socket thread's own.
  std::vector<std::unique_ptr<Client>> clients_;
  std::jthread thread_;
};

}  // namespace talvo::app
