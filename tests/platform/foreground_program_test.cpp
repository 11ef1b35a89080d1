#include "platform/foreground_program.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foreground_replies.h"
#include "foreground_test_util.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;
using namespace talvo::platform::testing;

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
      {"wayland", "wayland-0", ":0", "ubuntu:GNOME", ForegroundSession::GnomeWayland},
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

  // Window lists: each pid once; one bad item spoils the list.
  EXPECT_EQ(ReadReportedPids(""), std::vector<int>{});
  EXPECT_EQ(ReadReportedPids("12,7,12"), (std::vector<int>{12, 7}));
  for (const char* bad : {",", "12,", ",12", "12,,7", "12,0", "12, 7", "12;7", "4194305"}) {
    EXPECT_EQ(ReadReportedPids(bad), std::nullopt) << bad;
  }
  std::string many;
  for (size_t pid = 1; pid <= kMaxReportedWindows + 1; ++pid) many += std::to_string(pid) + ",";
  many.pop_back();
  EXPECT_EQ(ReadReportedPids(many), std::nullopt);
  EXPECT_EQ(ReadReportedPids(many.substr(0, many.rfind(','))).value_or(std::vector<int>{}).size(),
            kMaxReportedWindows);
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
// unreachable meanwhile (told as a change), then connects again, tells a
// change and finds the active window.
TEST(X11ForegroundRestart, ConnectsAgainWhenTheServerComesBack) {
  if (!Installed("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
  // A display far above those other servers take first (the lowest free),
  // so none takes it while this one is away.
  std::unique_ptr<Child> server;
  std::string display;
  for (int n = 400 + getpid() % 400, tries = 0; display.empty() && tries < 50; ++n, ++tries) {
    server = std::make_unique<Child>();
    if (server->Start({"Xvfb", ":" + std::to_string(n), "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0",
                       "64x64x24"}))
      display = ":" + server->Line();
  }
  ASSERT_FALSE(display.empty());
  X11ForegroundProgram foreground(display);
  std::atomic<int> told{0};
  const int listener = foreground.ListenForChanges([&] { ++told; });
  ASSERT_EQ(foreground.Availability(), ForegroundAvailability::Available);
  // Told once its watch is connected.
  ASSERT_TRUE(WaitUntil([&] { return told > 0; }));
  const int toldConnected = told;

  server.reset();
  EXPECT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Unreachable; }));
  EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
  EXPECT_TRUE(WaitUntil([&] { return told > toldConnected; })) << "losing the server tells a change";
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

}  // namespace
}  // namespace talvo::platform
