#include "platform/compositor_link.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/debug.h"

namespace talvo::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kChunkSize = 64 * 1024;

enum class Wait { Ready, Stopped, TimedOut, Failed };

// Waits until fd has events, wakeFd is readable, or the deadline passed
// (none when deadline is nullopt).
Wait WaitFor(int fd, short events, int wakeFd, std::optional<Clock::time_point> deadline) {
  for (;;) {
    int timeoutMs = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return Wait::TimedOut;
      timeoutMs = int(std::min<long long>(left, 60'000));
    }
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    const int ready = poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0 && errno != EINTR) return Wait::Failed;
    if (ready <= 0) continue;
    if (wakeFd >= 0 && fds[1].revents) return Wait::Stopped;
    if (fds[0].revents & (events | POLLHUP | POLLERR)) return Wait::Ready;
  }
}

std::optional<Clock::time_point> DeadlineAfter(std::chrono::milliseconds timeout) {
  if (timeout.count() < 0) return std::nullopt;
  return Clock::now() + timeout;
}

UnixSocket::Result FromWait(Wait wait) {
  return wait == Wait::Stopped ? UnixSocket::Result::Stopped : UnixSocket::Result::Failed;
}

}  // namespace

UnixSocket UnixSocket::Connect(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return UnixSocket(-1);
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return UnixSocket(-1);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return UnixSocket(-1);
  }
  return UnixSocket(fd);
}

UnixSocket::UnixSocket(UnixSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UnixSocket::~UnixSocket() {
  if (fd_ >= 0) close(fd_);
}

UnixSocket::Result UnixSocket::Send(std::string_view bytes, int wakeFd, std::chrono::milliseconds timeout) {
  const auto deadline = DeadlineAfter(timeout);
  while (!bytes.empty()) {
    const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(size_t(sent));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return errno == EPIPE ? Result::Closed : Result::Failed;
    if (const Wait wait = WaitFor(fd_, POLLOUT, wakeFd, deadline); wait != Wait::Ready) return FromWait(wait);
  }
  return Result::Done;
}

UnixSocket::Result UnixSocket::Receive(std::string& chunk, int wakeFd, std::chrono::milliseconds timeout) {
  const auto deadline = DeadlineAfter(timeout);
  chunk.resize(kChunkSize);
  for (;;) {
    const ssize_t got = recv(fd_, chunk.data(), chunk.size(), 0);
    if (got > 0) {
      chunk.resize(size_t(got));
      return Result::Done;
    }
    if (got == 0) return Result::Closed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return errno == ECONNRESET ? Result::Closed : Result::Failed;
    if (const Wait wait = WaitFor(fd_, POLLIN, wakeFd, deadline); wait != Wait::Ready) return FromWait(wait);
  }
}

std::optional<std::string> RequestUntilClosed(const std::string& path, std::string_view request, size_t maxBytes,
                                              int wakeFd, std::chrono::milliseconds timeout) {
  UnixSocket socket = UnixSocket::Connect(path);
  const auto deadline = Clock::now() + timeout;
  auto left = [&] { return std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()), {}); };
  if (!socket.Valid() || socket.Send(request, wakeFd, timeout) != UnixSocket::Result::Done) return std::nullopt;
  std::string reply, chunk;
  for (;;) {
    switch (socket.Receive(chunk, wakeFd, left())) {
      case UnixSocket::Result::Done:
        if (chunk.size() > maxBytes - reply.size()) return std::nullopt;
        reply += chunk;
        break;
      case UnixSocket::Result::Closed: return reply;
      case UnixSocket::Result::Stopped:
      case UnixSocket::Result::Failed: return std::nullopt;
    }
  }
}

CompositorLink::CompositorLink(std::string name, Serve serve, std::function<void()> tellChanged)
    : name_(std::move(name)),
      serve_(std::move(serve)), tellChanged_(std::move(tellChanged)), wakeFd_(eventfd(0, EFD_CLOEXEC)) {
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

CompositorLink::~CompositorLink() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
  if (wakeFd_ >= 0) close(wakeFd_);
}

void CompositorLink::SetFront(int pid) {
  answered_ = true;
  const bool wasUnreachable = unreachable_.exchange(false);
  if (wasUnreachable) debug::Line("foreground program: " + name_ + " answers again");
  if (pid_.exchange(pid) != pid || wasUnreachable) tellChanged_();
}

void CompositorLink::Lost() {
  pid_ = -1;
  if (unreachable_.exchange(true)) return;
  debug::Line("foreground program: " + name_ + " cannot be reached; trying again");
  tellChanged_();
}

void CompositorLink::Run(std::stop_token stop) {
  std::stop_callback wake(stop, [this] {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
  });
  if (wakeFd_ < 0) return Lost();
  auto retry = kFirstRetry;
  while (!stop.stop_requested()) {
    // The back-off starts again only after the compositor answered, so one
    // that accepts and drops at once is not asked twice a second.
    answered_ = false;
    serve_(*this, stop);
    if (answered_) retry = kFirstRetry;
    if (stop.stop_requested()) return;
    Lost();
    // Waits for the stop alone: the wake descriptor stands in for both.
    WaitFor(wakeFd_, POLLIN, -1, Clock::now() + retry);
    retry = std::min(retry * 2, kLastRetry);
  }
}

ForegroundAvailability CompositorLink::Availability() const {
  return unreachable_ ? ForegroundAvailability::Unreachable : ForegroundAvailability::Available;
}

ForegroundAnswer CompositorLink::Current() const {
  if (unreachable_) return {ForegroundStatus::Unreachable, {}};
  const int pid = pid_;
  if (pid <= 0) return {ForegroundStatus::NoWindow, {}};
  return ExecutableOfProcess(pid);
}

}  // namespace talvo::platform
