#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foreground_program.h"
#include "foreground_test_util.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;
using namespace talvo::platform::testing;

// ---- KWin itself --------------------------------------------------------------

// Debian's kwin_wayland carries a file capability a test cannot be granted,
// so it runs from a copy; the copy keeps the name its platform plugin wants.
// It runs headless with its own Xwayland, whose display it writes to a file
// through the program it starts once ready.
class RealKWin {
 public:
  RealKWin(std::filesystem::path folder, std::string busAddress)
      : folder_(std::move(folder)), busAddress_(std::move(busAddress)) {
    std::filesystem::create_directories(folder_ / "bin");
    std::filesystem::create_directories(folder_ / "run");
    std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
    std::filesystem::copy_file("/usr/bin/kwin_wayland", folder_ / "bin" / "kwin_wayland",
                               std::filesystem::copy_options::overwrite_existing);
  }

  bool Start() {
    const auto displayFile = folder_ / "display";
    const auto announce = folder_ / "announce";
    std::filesystem::remove(displayFile);
    std::ofstream(announce) << "#!/bin/sh\necho \"$DISPLAY\" > " << displayFile << ".new && mv " << displayFile
                            << ".new " << displayFile << "\n";
    std::filesystem::permissions(announce, std::filesystem::perms::owner_all);
    if (!kwin_.Start({(folder_ / "bin" / "kwin_wayland").string(), "--virtual", "--xwayland", "--width", "1024",
                      "--height", "768", announce.string()},
                     {"DBUS_SESSION_BUS_ADDRESS=" + busAddress_, "XDG_RUNTIME_DIR=" + (folder_ / "run").string(),
                      "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})) {
      return false;
    }
    if (!WaitUntil([&] { return std::filesystem::exists(displayFile); }, 15s)) return false;
    std::ifstream in(displayFile);
    std::getline(in, display_);
    return !display_.empty();
  }
  void Kill() { kwin_.Stop(SIGKILL); }
  const std::string& Display() const { return display_; }

 private:
  std::filesystem::path folder_;
  std::string busAddress_;
  std::string display_;
  Child kwin_;
};

class KWinForegroundReal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Installed("dbus-daemon")) << "scripts/setup installs dbus-daemon";
    ASSERT_TRUE(Installed("kwin_wayland") && Installed("Xwayland")) << "scripts/setup installs kwin-wayland, xwayland";
    ASSERT_FALSE(bus_.Address().empty());
    char pattern[] = "/tmp/talvo-kwin-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    folder_ = pattern;
    test_ = Connect(bus_.Address());
    ASSERT_TRUE(test_);
  }
  void TearDown() override {
    if (test_) sd_bus_flush_close_unref(test_);
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  bool ScriptLoaded(const std::string& plugin) {
    sd_bus_message* reply = nullptr;
    int loaded = 0;
    if (sd_bus_call_method(test_, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "isScriptLoaded", nullptr,
                           &reply, "s", plugin.c_str()) >= 0) {
      sd_bus_message_read(reply, "b", &loaded);
    }
    sd_bus_message_unref(reply);
    return loaded != 0;
  }

  SessionBus bus_;
  std::filesystem::path folder_;
  sd_bus* test_ = nullptr;
};

TEST_F(KWinForegroundReal, FollowsActivationsAcrossARestartOfKWinAndUnloadsItsScript) {
  RealKWin kwin(folder_, bus_.Address());
  ASSERT_TRUE(kwin.Start());
  const std::string plugin = "talvo-foreground-" + std::to_string(getpid());
  auto foreground = std::make_unique<KWinForegroundProgram>(bus_.Address());
  EXPECT_TRUE(foreground->TellsChanges());
  std::atomic<int> told{0};
  foreground->ListenForChanges([&] { ++told; });
  ASSERT_TRUE(WaitUntil([&] { return ScriptLoaded(plugin); }));

  // A window appearing on KWin's Xwayland becomes active and is told; when
  // it goes it leaves the list of windows.
  auto showWindow = [&] {
    const int before = told;
    auto window = std::make_unique<X11Window>(kwin.Display());
    ASSERT_TRUE(window->Shown());
    ASSERT_TRUE(WaitUntil([&] {
      return foreground->Current().path == SelfExecutable() && Contains(foreground->WindowPids(), getpid());
    })) << foreground->Current().path;
    EXPECT_EQ(foreground->Availability(), ForegroundAvailability::Available);
    EXPECT_GT(told, before);
    window.reset();
    ASSERT_TRUE(WaitUntil([&] { return !Contains(foreground->WindowPids(), getpid()); }));
    EXPECT_EQ(foreground->Current().status, ForegroundStatus::NoWindow);
  };
  showWindow();

  // KWin goes away: nothing can be followed until it is back, and then the
  // script runs in the new KWin.
  kwin.Kill();
  ASSERT_TRUE(WaitUntil([&] { return foreground->Current().status == ForegroundStatus::Unreachable; }));
  EXPECT_EQ(foreground->Availability(), ForegroundAvailability::Unreachable);
  EXPECT_TRUE(foreground->WindowPids().empty());
  ASSERT_TRUE(kwin.Start());
  ASSERT_TRUE(WaitUntil([&] { return ScriptLoaded(plugin); }, 15s));
  showWindow();

  foreground.reset();
  EXPECT_FALSE(ScriptLoaded(plugin));
}

// ---- A stand-in where KWin cannot do it: a lost bus ---------------------------
// (Reports from others than the desktop are refused by the report object
// KWin and GNOME share: the GNOME stand-in test checks that.)

// Plays KWin's scripting object: accepts loadScript, start and unloadScript,
// and on start calls back where the loaded script would.
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
    bus_ = Connect(address);
    ready_ = bus_ &&
             sd_bus_add_object_vtable(bus_, nullptr, "/Scripting", "org.kde.kwin.Scripting", kVtable, this) >= 0 &&
             sd_bus_request_name(bus_, "org.kde.KWin", 0) >= 0;
    thread_ = std::jthread([this](std::stop_token stop) {
      while (ready_ && !stop.stop_requested()) {
        int r;
        while ((r = sd_bus_process(bus_, nullptr)) > 0) {
        }
        if (r < 0) return;
        SendPending();
        sd_bus_wait(bus_, 20'000);
      }
    });
  }
  ~StandInKWin() {
    thread_.request_stop();
    thread_.join();
    if (bus_) sd_bus_flush_close_unref(bus_);
  }

  bool Ready() const { return ready_; }

 private:
  static StandInKWin* Self(void* data) { return static_cast<StandInKWin*>(data); }

  void Report(std::string member, std::string text) {
    std::lock_guard lock(mutex_);
    pending_.emplace_back(std::move(member), std::move(text));
  }

  static int LoadScript(sd_bus_message* m, void* data, sd_bus_error*) {
    const char *file = nullptr, *plugin = nullptr;
    sd_bus_message_read(m, "ss", &file, &plugin);
    std::ifstream in(file);
    const std::string script((std::istreambuf_iterator<char>(in)), {});
    // The destination is the first argument of the script's callDBus.
    const std::string marker = "callDBus(\"";
    const size_t at = script.find(marker);
    std::lock_guard lock(Self(data)->mutex_);
    if (at != std::string::npos) {
      const size_t start = at + marker.size();
      Self(data)->destination_ = script.substr(start, script.find('"', start) - start);
    }
    return sd_bus_reply_method_return(m, "i", 3);
  }
  static int Start(sd_bus_message* m, void* data, sd_bus_error*) {
    Self(data)->Report("Activated", std::to_string(getpid()));
    return sd_bus_reply_method_return(m, "");
  }
  static int UnloadScript(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_reply_method_return(m, "b", 1); }

  void SendPending() {
    std::lock_guard lock(mutex_);
    for (const auto& [member, text] : pending_) {
      sd_bus_call_method_async(bus_, nullptr, destination_.c_str(), "/org/talvo/Foreground", "org.talvo.Foreground",
                               member.c_str(), nullptr, nullptr, "s", text.c_str());
    }
    pending_.clear();
  }

  bool ready_ = false;
  sd_bus* bus_ = nullptr;
  std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> pending_;
  std::string destination_;
  std::jthread thread_;
};

class KWinForeground : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(bus_.Address().empty()) << "scripts/setup installs dbus-daemon"; }
  SessionBus bus_;
};

TEST_F(KWinForeground, WithoutKWinTheSourceIsUnreachable) {
  KWinForegroundProgram foreground(bus_.Address());
  ASSERT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Unreachable; }));
  EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
}

TEST(KWinForegroundBusLost, ALostBusIsUnreachableUntilTheSourceConnectsAgain) {
  char pattern[] = "/tmp/talvo-bus-XXXXXX";
  ASSERT_TRUE(mkdtemp(pattern));
  const std::string folder = pattern;
  auto startBus = [&](Child& daemon) {
    return daemon.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                         "--address=unix:path=" + folder + "/bus", "--print-address={fd}"});
  };
  Child daemon;
  ASSERT_TRUE(startBus(daemon));
  // Without the daemon's guid, so the address also names the next daemon.
  const std::string address = "unix:path=" + folder + "/bus";
  auto kwin = std::make_unique<StandInKWin>(address);
  KWinForegroundProgram foreground(address);
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Found; }));

  daemon.Stop();
  kwin.reset();
  ASSERT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Unreachable; }));
  std::filesystem::remove(folder + "/bus");
  Child again;
  ASSERT_TRUE(startBus(again));
  kwin = std::make_unique<StandInKWin>(address);
  ASSERT_TRUE(kwin->Ready());
  EXPECT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::Found; }));
  kwin.reset();
  again.Stop();
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace talvo::platform
