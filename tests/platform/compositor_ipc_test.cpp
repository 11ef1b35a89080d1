#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/compositor_replies.h"
#include "platform/foreground_compositors.h"
#include "foreground_test_util.h"

extern char** environ;

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::Contains;
using testing::WaitUntil;

TEST(IpcJson, ReadsWhatIsWellFormedAndWithinItsCaps) {
  const JsonLimits small{64, 3, 8};
  struct Case {
    std::string text;
    bool ok;
  };
  const Case cases[] = {
      {R"( {"a": [1, -2.5e3, true, null], "b": "x"} )", true},
      {"[[[]]]", true},
      {"[[[[]]]]", false},                  // deeper than 3
      {"[1,2,3,4,5,6,7,8]", false},         // more than 8 values
      {"\"" + std::string(70, 'x') + "\"", false},  // longer than 64 bytes
      {"[01]", false}, {"[1.]", false}, {"[-]", false}, {"{\"a\" 1}", false}, {"[1,]", false},
      {"\"a\tb\"", false}, {"\"\\x\"", false}, {"\"\\u12G4\"", false}, {"[] []", false}, {"", false},
      {"\"\\ud800\"", false}, {"\"\\udc00\"", false}, {"\"\\ud800\\u0041\"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseJson(c.text, small).has_value(), c.ok) << c.text;

  const auto value = ParseJson(R"({"s": "\u00e9\ud83d\ude00!\n", "i": -42, "e": 1e2, "f": 1.5,
                                    "big": 9223372036854775808, "s2": "x", "s": "second"})",
                               kJsonEventLimits);
  ASSERT_TRUE(value);
  EXPECT_EQ(value->Find("s")->String(), "\u00e9\U0001F600!\n");
  EXPECT_EQ(value->Find("i")->Integer(), -42);
  EXPECT_EQ(value->Find("e")->Integer(), 100);
  EXPECT_EQ(value->Find("f")->Integer(), std::nullopt);
  EXPECT_EQ(value->Find("big")->Integer(), std::nullopt);
  EXPECT_EQ(value->Find("i")->String(), std::nullopt);
  EXPECT_EQ(value->Find("missing"), nullptr);
  EXPECT_TRUE(value->Items().empty());
}

std::string Frame(uint32_t type, std::string_view payload) { return I3Frame(type, payload); }

TEST(CompositorReplies, FramesAndLinesSurviveAnySplitAndOverlongOnesAreDropped) {
  const std::string overlong(kJsonEventLimits.maxBytes + 1, 'x');
  const std::string stream = Frame(kI3Subscribe, R"({"success":true})") + Frame(kI3WindowEvent, overlong) +
                             Frame(kI3GetTree, overlong) + Frame(kI3WindowEvent, "{}");
  for (size_t piece : {size_t(1), size_t(13), size_t(65536), stream.size()}) {
    I3FrameReader reader;
    std::vector<I3Message> messages;
    for (size_t at = 0; at < stream.size(); at += piece) {
      ASSERT_TRUE(reader.Feed(std::string_view(stream).substr(at, piece)));
      while (auto message = reader.Next()) messages.push_back(std::move(*message));
    }
    ASSERT_EQ(messages.size(), 4u) << piece;
    EXPECT_EQ(messages[0].payload, R"({"success":true})");
    EXPECT_TRUE(messages[1].dropped);
    EXPECT_EQ(messages[2].payload.size(), overlong.size());  // a tree may be longer than an event
    EXPECT_EQ(messages[3].type, kI3WindowEvent);
    EXPECT_EQ(messages[3].payload, "{}");
  }
  I3FrameReader wrong;
  wrong.Feed("i3-ipX" + Frame(0, "{}").substr(6));
  EXPECT_FALSE(wrong.Next());
  EXPECT_FALSE(wrong.Feed(Frame(0, "{}")));

  LineReader lines(8);
  lines.Feed("activewindow>>a,b\nshort\npart");
  lines.Feed("ial\n");
  EXPECT_EQ(lines.Next(), "activewi");
  EXPECT_EQ(lines.Next(), "short");
  EXPECT_EQ(lines.Next(), "partial");
  EXPECT_EQ(lines.Next(), std::nullopt);
}

TEST(CompositorReplies, PidsComeFromWindowsOnlyAndWithinRange) {
  const auto tree = ParseJson(R"({"id":1,"focused":false,"nodes":[
      {"id":2,"type":"workspace","nodes":[{"id":5,"pid":300,"focused":false},{"id":6,"pid":300}],
       "floating_nodes":[{"id":7,"pid":301,"focused":true}]},
      {"id":3,"nodes":[{"id":8,"pid":4194305},{"id":9,"pid":-4}]}]})",
                              kJsonTreeLimits);
  ASSERT_TRUE(tree);
  EXPECT_EQ(SwayFocusInTree(*tree)->id, 7);
  EXPECT_EQ(SwayFocusInTree(*tree)->pid, 301);
  EXPECT_EQ(SwayPidsInTree(*tree), (std::vector<int>{300, 301}));
  const auto emptyWorkspace = ParseJson(R"({"id":1,"nodes":[{"id":2,"type":"workspace","focused":true}]})",
                                        kJsonTreeLimits);
  EXPECT_EQ(SwayFocusInTree(*emptyWorkspace)->pid, 0);
  EXPECT_EQ(SwayFocusInTree(*ParseJson("[]", kJsonTreeLimits)), std::nullopt);

  const auto close = ReadSwayWindowEvent(*ParseJson(R"({"change":"close","container":{"id":7,"pid":301}})",
                                                    kJsonEventLimits));
  ASSERT_TRUE(close);
  EXPECT_EQ(close->change, SwayWindowEvent::Change::Close);
  EXPECT_EQ(close->window.id, 7);
  EXPECT_FALSE(ReadSwayWindowEvent(*ParseJson(R"({"change":"focus","container":7})", kJsonEventLimits)));

  EXPECT_TRUE(IsHyprlandActiveWindowLine("activewindow>>foot,~"));
  EXPECT_TRUE(IsHyprlandActiveWindowLine("activewindowv2>>"));
  EXPECT_FALSE(IsHyprlandActiveWindowLine("activewindowv3>>x"));
  EXPECT_FALSE(IsHyprlandActiveWindowLine("activewindow"));
  EXPECT_EQ(HyprlandActivePid(*ParseJson(R"({"pid":1234})", kJsonEventLimits)), 1234);
  EXPECT_EQ(HyprlandActivePid(*ParseJson(R"({})", kJsonEventLimits)), 0);
  EXPECT_EQ(HyprlandActivePid(*ParseJson(R"({"pid":-1})", kJsonEventLimits)), 0);
  EXPECT_EQ(HyprlandActivePid(*ParseJson(R"("pid")", kJsonEventLimits)), std::nullopt);
  EXPECT_EQ(HyprlandClientPids(*ParseJson(R"([{"pid":9},{"pid":"9"},{"pid":8},{"pid":9}])", kJsonTreeLimits)),
            (std::vector<int>{8, 9}));
}

// ---- Hyprland: a stand-in server speaking its two sockets ---------------------

class StandInHyprland {
 public:
  StandInHyprland() : folder_(fs::temp_directory_path() / ("talvo-hypr-" + std::to_string(getpid()))) {
    fs::create_directories(folder_);
  }
  ~StandInHyprland() {
    Stop();
    fs::remove_all(folder_);
  }

  std::string Folder() const { return folder_; }
  void Start() {
    requests_ = Listen(".socket.sock");
    events_ = Listen(".socket2.sock");
    wake_ = eventfd(0, 0);
    thread_ = std::jthread([this] { Serve(); });
  }
  void Stop() {
    if (!thread_.joinable()) return;
    const uint64_t one = 1;
    [[maybe_unused]] auto written = write(wake_, &one, sizeof one);
    thread_.join();
    std::lock_guard lock(mutex_);
    for (int fd : {requests_, events_, wake_}) close(fd);
    for (int fd : subscribers_) close(fd);
    subscribers_.clear();
    fs::remove(folder_ / ".socket.sock");
    fs::remove(folder_ / ".socket2.sock");
  }
  void Emit(const std::string& lines) {
    std::lock_guard lock(mutex_);
    for (int fd : subscribers_) [[maybe_unused]] auto sent = send(fd, lines.data(), lines.size(), MSG_NOSIGNAL);
  }
  void SetActive(std::string reply) {
    std::lock_guard lock(mutex_);
    active_ = std::move(reply);
  }
  int Subscribers() {
    std::lock_guard lock(mutex_);
    return int(subscribers_.size());
  }
  std::atomic<int> asked{0};

 private:
  int Listen(const char* name) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (folder_ / name).c_str(), sizeof address.sun_path - 1);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 8);
    return fd;
  }
  void Serve() {
    for (;;) {
      pollfd fds[3] = {{requests_, POLLIN, 0}, {events_, POLLIN, 0}, {wake_, POLLIN, 0}};
      poll(fds, 3, -1);
      if (fds[2].revents) return;
      if (fds[1].revents) {
        std::lock_guard lock(mutex_);
        subscribers_.push_back(accept(events_, nullptr, nullptr));
      }
      if (fds[0].revents) {
        const int client = accept(requests_, nullptr, nullptr);
        char request[64] = {};
        [[maybe_unused]] auto got = read(client, request, sizeof request - 1);
        std::string reply;
        if (std::string_view(request) == "j/activewindow") {
          ++asked;
          std::lock_guard lock(mutex_);
          reply = active_;
        } else if (std::string_view(request) == "j/clients") {
          reply = R"([{"pid":1,"class":"init"},{"pid":)" + std::to_string(getpid()) + "}]";
        }
        [[maybe_unused]] auto sent = write(client, reply.data(), reply.size());
        close(client);
      }
    }
  }

  fs::path folder_;
  int requests_ = -1, events_ = -1, wake_ = -1;
  std::mutex mutex_;
  std::vector<int> subscribers_;
  std::string active_ = "{}";
  std::jthread thread_;
};

TEST(HyprlandForeground, AsksOnceForEachBatchOfActiveWindowLinesAndComesBackAfterARestart) {
  const std::string self = fs::read_symlink("/proc/self/exe");
  const std::string selfReply = R"({"address":"0x1","class":"test","pid":)" + std::to_string(getpid()) + "}";
  StandInHyprland hyprland;
  hyprland.SetActive(selfReply);
  hyprland.Start();
  HyprlandForegroundProgram foreground(hyprland.Folder());
  std::atomic<int> told{0};
  foreground.ListenForChanges([&] { ++told; });
  EXPECT_TRUE(foreground.TellsChanges());
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().path == self; }));
  ASSERT_TRUE(WaitUntil([&] { return hyprland.Subscribers() == 1; }));
  EXPECT_EQ(foreground.WindowPids(), (std::vector<int>{1, getpid()}));

  const int asked = hyprland.asked;
  hyprland.Emit("workspace>>2\nopenwindow>>0x2,2,x,y\n");
  hyprland.SetActive("{}");
  hyprland.Emit("activewindow>>,\nactivewindowv2>>\n");
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::NoWindow; }));
  EXPECT_EQ(hyprland.asked, asked + 1);

  hyprland.Stop();
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Unreachable; }));
  EXPECT_EQ(foreground.Availability(), ForegroundAvailability::Unreachable);
  const int toldBefore = told;
  hyprland.SetActive(selfReply);
  hyprland.Start();
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().path == self; }));
  EXPECT_EQ(foreground.Availability(), ForegroundAvailability::Available);
  EXPECT_GT(told, toldBefore);
}

// ---- sway: a real headless sway with XWayland --------------------------------

// The absolute, resolved path of a program on PATH; empty when missing.
std::string Installed(const std::string& program) {
  for (const char* folder : {"/usr/local/bin", "/usr/bin", "/bin"}) {
    std::error_code error;
    const auto path = fs::canonical(fs::path(folder) / program, error);
    if (!error) return path;
  }
  return {};
}

pid_t Spawn(std::vector<std::string> args, const std::string& log) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// sway refuses to run as root, so under root (as in CI) it runs as nobody
// in a runtime folder of its own; root reaches its socket all the same.
class HeadlessSway {
 public:
  HeadlessSway() {
    char folder[] = "/tmp/talvo-sway-XXXXXX";
    runtime_ = mkdtemp(folder);
    std::ofstream(runtime_ / "config") << "xwayland enable\n";
    // sway splits commands at ';' and takes quotes apart, so a client's pid
    // is written by a script rather than by a shell line.
    std::ofstream(runtime_ / "launch") << "#!/bin/sh\necho $$ > \"$1\"\nshift\nexec \"$@\"\n";
    fs::permissions(runtime_ / "launch", fs::perms(0755));
    if (getuid() == 0) {
      EXPECT_EQ(chown(runtime_.c_str(), kNobody, kNobody), 0);
      EXPECT_EQ(chown((runtime_ / "config").c_str(), kNobody, kNobody), 0);
    }
  }
  ~HeadlessSway() {
    for (pid_t client : clients_) kill(client, SIGKILL);
    Stop();
    fs::remove_all(runtime_);
  }

  std::string Socket() const { return runtime_ / "sway.sock"; }
  std::string Log() const {
    std::ifstream in(runtime_ / "sway.log");
    return {std::istreambuf_iterator<char>(in), {}};
  }

  bool Start() {
    std::vector<std::string> args;
    if (getuid() == 0) args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const std::string runtime = runtime_;
    for (std::string arg : std::initializer_list<std::string>{
             "env", "-i", "PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + runtime, "XDG_RUNTIME_DIR=" + runtime,
             "SWAYSOCK=" + Socket(), "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
             "sway", "-c", runtime + "/config"}) {
      args.push_back(arg);
    }
    sway_ = Spawn(args, runtime_ / "sway.log");
    return sway_ != 0 && WaitUntil([&] { return fs::exists(Socket()); });
  }
  // Ends sway the way a logout does; it removes its socket on the way.
  void Stop() {
    if (sway_ == 0) return;
    kill(sway_, SIGTERM);
    waitpid(sway_, nullptr, 0);
    sway_ = 0;
  }
  bool Command(const std::string& command) {
    const pid_t pid = Spawn({"swaymsg", "-s", Socket(), command}, runtime_ / "swaymsg.log");
    int status = 0;
    return pid != 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  // Starts a client as sway's own child, with its display variables; returns
  // its pid once it wrote it.
  pid_t Client(const std::string& command) {
    const fs::path pidFile = runtime_ / ("client" + std::to_string(clients_.size()));
    if (!Command("exec " + (runtime_ / "launch").string() + " " + pidFile.string() + " " + command)) return 0;
    pid_t pid = 0;
    WaitUntil([&] { return (std::ifstream(pidFile) >> pid) && pid > 0; });
    if (pid > 0) clients_.push_back(pid);
    return pid;
  }

 private:
  static constexpr uid_t kNobody = 65534;
  fs::path runtime_;
  pid_t sway_ = 0;
  std::vector<pid_t> clients_;
};

TEST(SwayForeground, FollowsWaylandAndXWaylandWindowsAndComesBackAfterARestart) {
  const std::string foot = Installed("foot"), xmessage = Installed("xmessage");
  ASSERT_FALSE(Installed("sway").empty() || foot.empty() || xmessage.empty() || Installed("Xwayland").empty())
      << "sway, Xwayland, foot and xmessage come from scripts/setup";
  HeadlessSway sway;
  ASSERT_TRUE(sway.Start()) << sway.Log();
  SwayForegroundProgram foreground(sway.Socket());
  std::atomic<int> told{0};
  foreground.ListenForChanges([&] { ++told; });
  const pid_t wayland = sway.Client("foot sleep 60");
  const pid_t x11 = sway.Client("xmessage -timeout 60 talvo");
  ASSERT_TRUE(wayland && x11) << sway.Log();
  ASSERT_TRUE(WaitUntil([&] {
    const auto pids = foreground.WindowPids();
    return Contains(pids, wayland) && Contains(pids, x11);
  })) << sway.Log();

  for (int round = 0; round < 2; ++round) {
    for (const auto& [pid, path] : {std::pair{wayland, foot}, std::pair{x11, xmessage}}) {
      const int toldBefore = told;
      ASSERT_TRUE(sway.Command("[pid=" + std::to_string(pid) + "] focus"));
      EXPECT_TRUE(WaitUntil([&] { return foreground.Current().path == path; })) << path;
      EXPECT_GT(told, toldBefore) << path;
    }
  }

  sway.Stop();
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Unreachable; }));
  EXPECT_EQ(foreground.Availability(), ForegroundAvailability::Unreachable);
  ASSERT_TRUE(sway.Start()) << sway.Log();
  ASSERT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Available; }));
  const int toldBefore = told;
  ASSERT_TRUE(sway.Client("foot sleep 60"));
  EXPECT_TRUE(WaitUntil([&] { return foreground.Current().path == foot; })) << sway.Log();
  EXPECT_GT(told, toldBefore);
}

}  // namespace
}  // namespace talvo::platform
