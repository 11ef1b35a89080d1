// What the foreground program tests share: helper programs they start and
// waits for what those programs do.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <systemd/sd-bus.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace talvo::platform::testing {

inline std::string SelfExecutable() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

inline bool WaitUntil(const std::function<bool()>& ready,
                      std::chrono::steady_clock::duration limit = std::chrono::seconds(10)) {
  for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return ready();
}

inline bool Contains(const std::vector<int>& pids, int pid) {
  return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

// A client connection to the bus at address; nullptr when it cannot connect.
inline sd_bus* Connect(const std::string& address) {
  sd_bus* bus = nullptr;
  sd_bus_new(&bus);
  sd_bus_set_address(bus, address.c_str());
  sd_bus_set_bus_client(bus, 1);
  if (sd_bus_start(bus) < 0) {
    sd_bus_unref(bus);
    return nullptr;
  }
  return bus;
}

inline bool Installed(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null").c_str()) == 0;
}

// A helper program, killed with the object. When an argument holds "{fd}",
// that becomes the number of a pipe, and Start waits for the first line the
// program writes there.
class Child {
 public:
  // environment: "NAME=value" sets, "NAME" removes; the rest is this
  // process's environment. What the program writes goes to output, or
  // nowhere when that is empty.
  bool Start(std::vector<std::string> args, const std::vector<std::string>& environment = {},
             const std::string& output = {}) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    bool wantLine = false;
    for (auto& arg : args) {
      if (auto at = arg.find("{fd}"); at != std::string::npos) {
        arg.replace(at, 4, std::to_string(fds[1]));
        wantLine = true;
      }
    }
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e) {
      const std::string variable = *e;
      const std::string name = variable.substr(0, variable.find('='));
      bool replaced = false;
      for (const auto& change : environment) replaced |= change.substr(0, change.find('=')) == name;
      if (!replaced) variables.push_back(variable);
    }
    for (const auto& change : environment)
      if (change.find('=') != std::string::npos) variables.push_back(change);
    std::vector<char*> envp;
    for (auto& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const char* sink = output.empty() ? "/dev/null" : output.c_str();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, sink, O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) pid_ = 0;
    char c;
    while (wantLine && pid_ != 0 && read(fds[0], &c, 1) == 1 && c != '\n') line_ += c;
    close(fds[0]);
    return pid_ != 0 && (!wantLine || !line_.empty());
  }
  void Stop(int signal = SIGTERM) {
    if (pid_ == 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }
  ~Child() { Stop(); }
  pid_t Pid() const { return pid_; }
  const std::string& Line() const { return line_; }

 private:
  pid_t pid_ = 0;
  std::string line_;
};

// A private session bus; Address() is empty when it did not start.
class SessionBus {
 public:
  SessionBus() { daemon_.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"}); }
  const std::string& Address() const { return daemon_.Line(); }

 private:
  Child daemon_;
};

// A window of this process on an X server, with the _NET_WM_PID that window
// managers read an X11 window's pid from.
class X11Window {
 public:
  explicit X11Window(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(connection_)) return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const uint32_t pid = uint32_t(getpid());
    const char* name = "_NET_WM_PID";
    auto* atom = xcb_intern_atom_reply(connection_, xcb_intern_atom(connection_, 0, strlen(name), name), nullptr);
    if (atom) xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    free(atom);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                        strlen(host), host);
    xcb_map_window(connection_, window);
    xcb_flush(connection_);
  }
  ~X11Window() { xcb_disconnect(connection_); }
  bool Shown() const { return !xcb_connection_has_error(connection_); }

 private:
  xcb_connection_t* connection_;
};

}  // namespace talvo::platform::testing
