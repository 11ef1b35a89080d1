// What the sway and Hyprland sources share: a Unix socket whose waits a stop
// cuts short, and a thread that keeps a connection to the compositor, tries
// again with back-off while it is away, and holds the pid in front.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "platform/foreground_program.h"

namespace talvo::platform {

class UnixSocket {
 public:
  // Connected, or not Valid() when nobody listens at path.
  static UnixSocket Connect(const std::string& path);
  UnixSocket(UnixSocket&& other) noexcept;
  UnixSocket& operator=(UnixSocket&&) = delete;
  ~UnixSocket();

  bool Valid() const { return fd_ >= 0; }

  enum class Result { Done, Closed, Stopped, Failed };
  // Waits are cut short when wakeFd (-1 for none) becomes readable; a
  // negative timeout waits as long as it takes.
  Result Send(std::string_view bytes, int wakeFd, std::chrono::milliseconds timeout);
  // Waits for bytes and replaces chunk with what arrived.
  Result Receive(std::string& chunk, int wakeFd, std::chrono::milliseconds timeout);

 private:
  explicit UnixSocket(int fd) : fd_(fd) {}
  int fd_;
};

// Sends request on a connection of its own and reads the reply until the
// other side closes; nothing when it fails, is stopped, takes longer than
// timeout or grows past maxBytes.
std::optional<std::string> RequestUntilClosed(const std::string& path, std::string_view request, size_t maxBytes,
                                              int wakeFd, std::chrono::milliseconds timeout);

class CompositorLink {
 public:
  // Connects and serves, calling SetFront, until the connection drops or
  // stop is requested.
  using Serve = std::function<void(CompositorLink&, std::stop_token)>;

  static constexpr std::chrono::milliseconds kFirstRetry{500};
  static constexpr std::chrono::milliseconds kLastRetry{30'000};

  // tellChanged is called on the link's thread whenever the answer may
  // have changed; name is the compositor's, for debug lines.
  CompositorLink(std::string name, Serve serve, std::function<void()> tellChanged);
  ~CompositorLink();

  // Readable once a stop is requested: serve waits on it beside its socket.
  int WakeFd() const { return wakeFd_; }
  // The compositor is reachable and names this pid in front (0: none).
  // Call it on the link's thread.
  void SetFront(int pid);

  ForegroundAvailability Availability() const;
  ForegroundAnswer Current() const;

 private:
  void Run(std::stop_token stop);
  void Lost();

  std::string name_;
  Serve serve_;
  std::function<void()> tellChanged_;
  int wakeFd_;
  std::atomic<int> pid_{-1};  // -1 while not connected
  std::atomic<bool> unreachable_{false};
  bool answered_ = false;  // the link's thread only: SetFront since the last connect
  std::jthread thread_;  // last: it runs on the members above
};

}  // namespace talvo::platform
