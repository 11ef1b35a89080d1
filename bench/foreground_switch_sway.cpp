// Focuses two windows of a running sway in turn and measures how long each
// focus command takes until the sway foreground source tells its listeners.
//   bench_foreground_switch_sway SOCKET PID_A PID_B [ROUNDS]
// Prints the median and the worst time in milliseconds.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "platform/compositor_replies.h"
#include "platform/foreground_compositors.h"

using namespace talvo::platform;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s SOCKET PID_A PID_B [ROUNDS]\n", argv[0]);
    return 2;
  }
  const std::string socketPath = argv[1];
  const int pids[2] = {std::atoi(argv[2]), std::atoi(argv[3])};
  const int rounds = argc > 4 ? std::atoi(argv[4]) : 20;

  std::mutex mutex;
  std::condition_variable told;
  int tells = 0;
  Clock::time_point lastTold;
  SwayForegroundProgram foreground(socketPath);
  foreground.ListenForChanges([&] {
    std::lock_guard lock(mutex);
    ++tells;
    lastTold = Clock::now();
    told.notify_all();
  });

  UnixSocket commands = UnixSocket::Connect(socketPath);
  if (!commands.Valid()) {
    std::fprintf(stderr, "cannot connect to %s\n", socketPath.c_str());
    return 1;
  }
  auto focus = [&](int pid) {
    const std::string command = "[pid=" + std::to_string(pid) + "] focus";
    if (commands.Send(I3Frame(kI3RunCommand, command), -1, 2s) != UnixSocket::Result::Done) return false;
    I3FrameReader reader;
    std::string chunk;
    while (commands.Receive(chunk, -1, 2s) == UnixSocket::Result::Done && reader.Feed(chunk)) {
      if (reader.Next()) return true;
    }
    return false;
  };

  // Start from the second window, so the first round is a change.
  focus(pids[1]);
  std::this_thread::sleep_for(300ms);
  std::vector<double> times;
  for (int i = 0; i < 2 * rounds; ++i) {
    std::unique_lock lock(mutex);
    const int before = tells;
    lock.unlock();
    const auto start = Clock::now();
    if (!focus(pids[i % 2])) {
      std::fprintf(stderr, "sway did not carry out the focus command\n");
      return 1;
    }
    lock.lock();
    if (!told.wait_for(lock, 5s, [&] { return tells > before; })) {
      std::fprintf(stderr, "the source did not tell round %d\n", i);
      return 1;
    }
    times.push_back(std::chrono::duration<double, std::milli>(lastTold - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("focus -> source told over %zu switches: median %.2f ms, worst %.2f ms\n", times.size(),
              times[times.size() / 2], times.back());
  return 0;
}
