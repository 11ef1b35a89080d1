#include "platform/foreground_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foreground_replies.h"

extern char** environ;

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;

std::string SelfExecutable() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

bool WaitUntil(const std::function<bool()>& ready) {
  for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
    if (ready()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return ready();
}

// A helper program that prints one line on a file descriptor it is told,
// killed with the object.
class Child {
 public:
  // "{fd}" in args becomes the number of the pipe the line is read from.
  bool Start(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    for (auto& arg : args) {
      if (auto at = arg.find("{fd}"); at != std::string::npos) arg.replace(at, 4, std::to_string(fds[1]));
    }
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) pid_ = 0;
    char c;
    while (pid_ != 0 && read(fds[0], &c, 1) == 1 && c != '\n') line_ += c;
    close(fds[0]);
    return pid_ != 0 && !line_.empty();
  }
  ~Child() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  pid_t Pid() const { return pid_; }
  const std::string& Line() const { return line_; }

 private:
  pid_t pid_ = 0;
  std::string line_;
};

bool Installed(const char* program) { return std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0; }

TEST(ForegroundSession, WaylandWinsOverXWaylandAndTheDesktopOverCompositorSockets) {
  struct Case {
    const char *type, *wayland, *display, *desktop;
    ForegroundSession expected;
    const char *swaySocket = "", *hyprland = "";
  };
  const Case cases[] = {
      {"x11", "", ":0", "GNOME", ForegroundSession::X11},
      {"", "", ":1", "", ForegroundSession::X11},
      {"x11", "wayland-0", ":0", "KDE", ForegroundSession::X11},
      {"wayland", "wayland-0", ":0", "KDE", ForegroundSession::KdeWayland},
      {"", "wayland-0", ":0", "KDE", ForegroundSession::KdeWayland},
      {"wayland", "wayland-0", ":0", "ubuntu:GNOME", ForegroundSession::OtherWayland},
      {"wayland", "", "", "sway", ForegroundSession::OtherWayland},
      {"tty", "", "", "", ForegroundSession::NoDisplay},
      {"wayland", "wayland-1", ":0", "sway", ForegroundSession::Sway, "/run/user/1000/sway-ipc.sock"},
      {"", "wayland-1", "", "", ForegroundSession::Sway, "/run/user/1000/sway-ipc.sock", "abc"},
      {"wayland", "wayland-1", "", "Hyprland", ForegroundSession::Hyprland, "", "abc_1700000000_1"},
      {"x11", "", ":0", "i3", ForegroundSession::X11, "/run/user/1000/i3/ipc-socket"},
      {"wayland", "wayland-0", "", "KDE", ForegroundSession::KdeWayland, "/run/user/1000/sway-ipc.sock"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ForegroundSessionFrom(c.type, c.wayland, c.display, c.desktop, c.swaySocket, c.hyprland), c.expected)
        << c.type << " / " << c.wayland << " / " << c.display << " / " << c.desktop << " / " << c.swaySocket;
  }
}

// A GetProperty reply as the X server sends it.
std::vector<uint8_t> PropertyReply(uint32_t type, uint8_t format, uint32_t items, std::vector<uint8_t> value,
                                   std::optional<uint32_t> lengthField = std::nullopt) {
  while (value.size() % 4 != 0) value.push_back(0);
  std::vector<uint8_t> reply(32 + value.size());
  reply[0] = 1;
  reply[1] = format;
  const uint32_t length = lengthField.value_or(uint32_t(value.size() / 4));
  std::memcpy(&reply[4], &length, 4);
  std::memcpy(&reply[8], &type, 4);
  std::memcpy(&reply[16], &items, 4);
  std::copy(value.begin(), value.end(), reply.begin() + 32);
  return reply;
}

std::vector<uint8_t> Card32Bytes(uint32_t value) {
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

TEST(ForegroundReplies, PropertyValuesStayInsideTheReply) {
  const auto pid = PropertyReply(kAtomCardinal, 32, 1, Card32Bytes(4242));
  auto property = ReadPropertyReply(pid);
  ASSERT_TRUE(property);
  EXPECT_EQ(FirstCard32(*property, kAtomCardinal), 4242u);
  EXPECT_EQ(FirstCard32(*property, kAtomWindow), std::nullopt);

  // More items announced than bytes sent; a length beyond what arrived; a
  // format X does not have; a header cut short.
  EXPECT_FALSE(ReadPropertyReply(PropertyReply(kAtomCardinal, 32, 2, Card32Bytes(1))));
  EXPECT_FALSE(ReadPropertyReply(PropertyReply(kAtomCardinal, 32, 1, Card32Bytes(1), 5)));
  EXPECT_FALSE(ReadPropertyReply(PropertyReply(kAtomCardinal, 24, 1, Card32Bytes(1))));
  EXPECT_FALSE(ReadPropertyReply(std::span(pid).first(31)));

  // The value points into the reply, which must outlive it.
  const auto machineReply = PropertyReply(kAtomString, 8, 5, {'H', 'o', 's', 't', 0});
  const auto machine = ReadPropertyReply(machineReply);
  ASSERT_TRUE(machine);
  EXPECT_TRUE(ClientMachineIs(*machine, "host"));
  EXPECT_FALSE(ClientMachineIs(*machine, "hos"));
  EXPECT_FALSE(ClientMachineIs(*machine, ""));
}

TEST(ForegroundReplies, ClientIdsYieldOnlyALocalPid) {
  auto reply = [](std::vector<std::vector<uint32_t>> ids, uint32_t count) {
    std::vector<uint32_t> words;
    for (const auto& id : ids) words.insert(words.end(), id.begin(), id.end());
    std::vector<uint8_t> bytes(32);
    bytes[0] = 1;
    const uint32_t length = uint32_t(words.size());
    std::memcpy(&bytes[4], &length, 4);
    std::memcpy(&bytes[8], &count, 4);
    for (uint32_t w : words) {
      const auto b = Card32Bytes(w);
      bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return bytes;
  };
  // client, mask, length in bytes, value
  EXPECT_EQ(ReadClientIdsPid(reply({{0x200001, 1, 0}, {0x200001, 2, 4, 777}}, 2)), 777);
  EXPECT_EQ(ReadClientIdsPid(reply({{0x200001, 2, 4, 0}}, 1)), std::nullopt);
  EXPECT_EQ(ReadClientIdsPid(reply({{0x200001, 2, 4, 5'000'000}}, 1)), std::nullopt);
  EXPECT_EQ(ReadClientIdsPid(reply({{0x200001, 2, 8, 777}}, 1)), std::nullopt);
  EXPECT_EQ(ReadClientIdsPid(reply({{0x200001, 1, 0}}, 2)), std::nullopt);
}

TEST(ForegroundReplies, ProcessLinksAndReportedPids) {
  EXPECT_EQ(ExecutableFromProcLink("/usr/bin/game"), "/usr/bin/game");
  EXPECT_EQ(ExecutableFromProcLink("/opt/game/game (deleted)"), "/opt/game/game");
  EXPECT_EQ(ExecutableFromProcLink("game"), std::nullopt);
  EXPECT_EQ(ExecutableFromProcLink(" (deleted)"), std::nullopt);
  EXPECT_EQ(ExecutableFromProcLink(std::string_view("/a\0b", 4)), std::nullopt);

  EXPECT_EQ(ReadReportedPid("0"), 0);
  EXPECT_EQ(ReadReportedPid("4194304"), 4194304);
  EXPECT_EQ(ReadReportedPid("4194305"), std::nullopt);
  EXPECT_EQ(ReadReportedPid("99999999999"), std::nullopt);
  EXPECT_EQ(ReadReportedPid("-1"), std::nullopt);
  EXPECT_EQ(ReadReportedPid("12 "), std::nullopt);
  EXPECT_EQ(ReadReportedPid(""), std::nullopt);
}

TEST(ForegroundProcess, ExecutableOfThisProcessAndOfNone) {
  const auto self = ExecutableOfProcess(getpid());
  EXPECT_EQ(self.status, ForegroundStatus::Found);
  EXPECT_EQ(self.path, SelfExecutable());
  EXPECT_EQ(ExecutableOfProcess(0).status, ForegroundStatus::NoProcess);
  EXPECT_EQ(ExecutableOfProcess(kMaxPid + 1).status, ForegroundStatus::NoProcess);
}

// ---- X11 against a real X server ---------------------------------------------

class X11Foreground : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_TRUE(xvfb_.Start({"Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0", "64x64x24"}));
    display_ = ":" + xvfb_.Line();
    client_ = xcb_connect(display_.c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(client_), 0);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(client_)).data->root;
    window_ = xcb_generate_id(client_);
    xcb_create_window(client_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, 8, 8, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
  }
  void TearDown() override {
    if (client_) xcb_disconnect(client_);
  }

  xcb_atom_t Atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(client_, xcb_intern_atom(client_, 0, strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    free(reply);
    return atom;
  }
  void SetCard32(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, std::optional<uint32_t> value) {
    if (value) {
      xcb_change_property(client_, XCB_PROP_MODE_REPLACE, window, property, type, 32, 1, &*value);
    } else {
      xcb_delete_property(client_, window, property);
    }
  }
  // A round trip: the server has applied everything sent before it returns.
  void Sync() { free(xcb_get_input_focus_reply(client_, xcb_get_input_focus(client_), nullptr)); }

  Child xvfb_;
  std::string display_;
  xcb_connection_t* client_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
  xcb_window_t window_ = XCB_NONE;
};

TEST_F(X11Foreground, ActiveWindowsProcessFromItsPidOrFromTheServer) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string self = SelfExecutable();
  const std::string server = std::filesystem::read_symlink("/proc/" + std::to_string(xvfb_.Pid()) + "/exe");
  const uint32_t serverPid = uint32_t(xvfb_.Pid());

  // The window belongs to this test's connection, so the server knows its
  // pid as this process; _NET_WM_PID names the X server's process instead,
  // which tells the two ways apart.
  struct Case {
    const char* what;
    bool active;
    std::optional<uint32_t> wmPid;
    std::string machine;
    ForegroundStatus status;
    std::string path;
  };
  const Case cases[] = {
      {"pid on this host", true, serverPid, host, ForegroundStatus::Found, server},
      {"pid of another host", true, serverPid, "elsewhere.example", ForegroundStatus::Found, self},
      {"no pid", true, std::nullopt, host, ForegroundStatus::Found, self},
      {"pid out of range", true, 0u, host, ForegroundStatus::Found, self},
      {"no active window", false, serverPid, host, ForegroundStatus::NoWindow, ""},
  };
  X11ForegroundProgram foreground(display_);
  ASSERT_EQ(foreground.Availability(), ForegroundAvailability::Available);
  for (const auto& c : cases) {
    SetCard32(window_, Atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, c.wmPid);
    xcb_change_property(client_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                        c.machine.size(), c.machine.data());
    SetCard32(root_, Atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, c.active ? window_ : XCB_NONE);
    Sync();
    const auto answer = foreground.Current();
    EXPECT_EQ(answer.status, c.status) << c.what;
    EXPECT_EQ(answer.path, c.path) << c.what;
  }
}

TEST(X11ForegroundUnreachable, NoServerIsToldAsUnreachable) {
  X11ForegroundProgram foreground("/nonexistent/talvo-test:0");
  EXPECT_EQ(foreground.Availability(), ForegroundAvailability::Unreachable);
  EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
}

// Each change of the active window is told on the source's own thread, and
// the windows of the client list name their processes once each.
TEST_F(X11Foreground, TellsEachActivationAndListsTheWindowsProcesses) {
  X11ForegroundProgram foreground(display_);
  std::atomic<int> told{0};
  const int listener = foreground.ListenForChanges([&] { ++told; });
  // The watch's connection may come up after the first change; each later
  // one is told.
  for (int i = 0; i < 3; ++i) {
    const int before = told;
    SetCard32(root_, Atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, i % 2 ? XCB_NONE : window_);
    Sync();
    if (!WaitUntil([&] { return told > before; })) ADD_FAILURE() << "change " << i << " not told";
  }
  foreground.StopListening(listener);

  const xcb_window_t other = xcb_generate_id(client_);
  xcb_create_window(client_, XCB_COPY_FROM_PARENT, other, root_, 0, 0, 8, 8, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  const uint32_t windows[] = {window_, other, 0x7fffff};
  xcb_change_property(client_, XCB_PROP_MODE_REPLACE, root_, Atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, 3,
                      windows);
  Sync();
  EXPECT_EQ(foreground.WindowPids(), std::vector<int>{getpid()}) << "both windows are this test's, the third none";
}

// The X server killed and started again on the same display: the source is
// unreachable meanwhile, then connects again, tells a change and finds the
// active window.
TEST(X11ForegroundRestart, ConnectsAgainWhenTheServerComesBack) {
  if (!Installed("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
  auto server = std::make_unique<Child>();
  ASSERT_TRUE(server->Start({"Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0", "64x64x24"}));
  const std::string display = ":" + server->Line();
  X11ForegroundProgram foreground(display);
  std::atomic<int> told{0};
  const int listener = foreground.ListenForChanges([&] { ++told; });
  ASSERT_EQ(foreground.Availability(), ForegroundAvailability::Available);
  // Told once its watch is connected.
  ASSERT_TRUE(WaitUntil([&] { return told > 0; }));

  server.reset();
  EXPECT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Unreachable; }));
  EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
  const int toldBefore = told;

  server = std::make_unique<Child>();
  ASSERT_TRUE(server->Start({"Xvfb", display, "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0", "64x64x24"}));
  ASSERT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Available; }));
  EXPECT_TRUE(WaitUntil([&] { return told > toldBefore; })) << "a reconnection tells a change";

  xcb_connection_t* client = xcb_connect(display.c_str(), nullptr);
  ASSERT_EQ(xcb_connection_has_error(client), 0);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(client)).data->root;
  const xcb_window_t window = xcb_generate_id(client);
  xcb_create_window(client, XCB_COPY_FROM_PARENT, window, root, 0, 0, 8, 8, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  auto* atom = xcb_intern_atom_reply(client, xcb_intern_atom(client, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
  ASSERT_TRUE(atom);
  xcb_change_property(client, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_WINDOW, 32, 1, &window);
  free(atom);
  free(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
  EXPECT_TRUE(WaitUntil([&] { return foreground.Current().path == SelfExecutable(); }));
  foreground.StopListening(listener);
  xcb_disconnect(client);
}

// ---- KWin against a private session bus --------------------------------------

// Plays KWin's scripting object: accepts loadScript, start and unloadScript,
// and on start, and on Report(), calls back where the loaded script would.
class StandInKWin {
 public:
  explicit StandInKWin(const std::string& address) {
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("loadScript", "ss", "i", &StandInKWin::LoadScript, 0),
        SD_BUS_METHOD("start", "", "", &StandInKWin::Start, 0),
        SD_BUS_METHOD("unloadScript", "s", "b", &StandInKWin::UnloadScript, 0),
        SD_BUS_VTABLE_END,
    };
    sd_bus_new(&bus_);
    sd_bus_set_address(bus_, address.c_str());
    sd_bus_set_bus_client(bus_, 1);
    ready_ = sd_bus_start(bus_) >= 0 && sd_bus_add_object_vtable(bus_, nullptr, "/Scripting", "org.kde.kwin.Scripting",
                                                                 kVtable, this) >= 0 &&
             sd_bus_request_name(bus_, "org.kde.KWin", 0) >= 0;
    thread_ = std::jthread([this](std::stop_token stop) {
      while (!stop.stop_requested()) {
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
        SendPending();
        sd_bus_wait(bus_, 20'000);
      }
    });
  }
  ~StandInKWin() {
    thread_.request_stop();
    thread_.join();
    sd_bus_flush_close_unref(bus_);
  }

  bool Ready() const { return ready_; }
  void Report(std::string pid) {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(pid));
  }
  std::string Destination() {
    std::lock_guard lock(mutex_);
    return destination_;
  }
  std::string Plugin() {
    std::lock_guard lock(mutex_);
    return plugin_;
  }
  std::string Unloaded() {
    std::lock_guard lock(mutex_);
    return unloaded_;
  }
  std::string ScriptFile() {
    std::lock_guard lock(mutex_);
    return scriptFile_;
  }

 private:
  static StandInKWin* Self(void* data) { return static_cast<StandInKWin*>(data); }

  static int LoadScript(sd_bus_message* m, void* data, sd_bus_error*) {
    const char *file = nullptr, *plugin = nullptr;
    sd_bus_message_read(m, "ss", &file, &plugin);
    std::ifstream in(file);
    const std::string script((std::istreambuf_iterator<char>(in)), {});
    // The destination is the first argument of the script's callDBus.
    const std::string marker = "callDBus(\"";
    const size_t at = script.find(marker);
    std::lock_guard lock(Self(data)->mutex_);
    Self(data)->scriptFile_ = file;
    Self(data)->plugin_ = plugin;
    if (at != std::string::npos) {
      const size_t start = at + marker.size();
      Self(data)->destination_ = script.substr(start, script.find('"', start) - start);
    }
    return sd_bus_reply_method_return(m, "i", 3);
  }
  static int Start(sd_bus_message* m, void* data, sd_bus_error*) {
    Self(data)->Report(std::to_string(getpid()));
    return sd_bus_reply_method_return(m, "");
  }
  static int UnloadScript(sd_bus_message* m, void* data, sd_bus_error*) {
    const char* plugin = nullptr;
    sd_bus_message_read(m, "s", &plugin);
    std::lock_guard lock(Self(data)->mutex_);
    Self(data)->unloaded_ = plugin;
    return sd_bus_reply_method_return(m, "b", 1);
  }

  void SendPending() {
    std::lock_guard lock(mutex_);
    for (const auto& pid : pending_) {
      sd_bus_call_method_async(bus_, nullptr, destination_.c_str(), "/org/talvo/Foreground", "org.talvo.Foreground",
                               "Activated", nullptr, nullptr, "s", pid.c_str());
    }
    pending_.clear();
  }

  bool ready_ = false;
  sd_bus* bus_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> pending_;
  std::string destination_, plugin_, unloaded_, scriptFile_;
  std::jthread thread_;
};

class KWinForeground : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Installed("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(daemon_.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address={fd}"}));
  }
  Child daemon_;
};

TEST_F(KWinForeground, FollowsKWinsReportsOnlyAndUnloadsItsScriptAtExit) {
  StandInKWin kwin(daemon_.Line());
  ASSERT_TRUE(kwin.Ready());
  std::string scriptFile;
  {
    KWinForegroundProgram foreground(daemon_.Line());
    ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Found; }));
    EXPECT_EQ(foreground.Current().path, SelfExecutable());
    EXPECT_EQ(foreground.Availability(), ForegroundAvailability::Available);
    scriptFile = kwin.ScriptFile();
    EXPECT_TRUE(std::filesystem::exists(scriptFile));

    kwin.Report("0");
    ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::NoWindow; }));

    // Another client of the bus cannot pretend to be KWin.
    sd_bus* other = nullptr;
    sd_bus_new(&other);
    sd_bus_set_address(other, daemon_.Line().c_str());
    sd_bus_set_bus_client(other, 1);
    ASSERT_GE(sd_bus_start(other), 0);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const std::string pid = std::to_string(getpid());
    EXPECT_LT(sd_bus_call_method(other, kwin.Destination().c_str(), "/org/talvo/Foreground", "org.talvo.Foreground",
                                 "Activated", &error, nullptr, "s", pid.c_str()),
              0);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(other);
    EXPECT_EQ(foreground.Current().status, ForegroundStatus::NoWindow);

    kwin.Report("4194305");
    kwin.Report(pid);
    ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Found; }));
  }
  EXPECT_FALSE(kwin.Plugin().empty());
  EXPECT_EQ(kwin.Unloaded(), kwin.Plugin());
  EXPECT_FALSE(std::filesystem::exists(scriptFile));
}

TEST_F(KWinForeground, WithoutKWinTheSourceIsUnreachable) {
  KWinForegroundProgram foreground(daemon_.Line());
  ASSERT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Unreachable; }));
  EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
}

}  // namespace
}  // namespace talvo::platform
