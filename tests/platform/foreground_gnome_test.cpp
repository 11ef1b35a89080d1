#include "platform/foreground_gnome.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>

#include "foreground_test_util.h"

namespace talvo::platform {
namespace {

using namespace std::chrono_literals;
using namespace talvo::platform::testing;

const std::string kUuid(kGnomeExtensionUuid);

// GNOME Shell runs headless as its own Wayland compositor with Xwayland, on
// a private session bus. Its start-up asks logind on the system bus; an
// empty private system bus lets it go on without one. The extension is
// installed for the user (XDG_DATA_HOME) and settings go to a key file, so
// nothing outside the test's folder is touched.
class GnomeForegroundReal : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Installed("gnome-shell")) << "scripts/setup installs gnome-shell";
    ASSERT_FALSE(session_.Address().empty()) << "scripts/setup installs dbus-daemon";
    ASSERT_FALSE(system_.Address().empty());
    char pattern[] = "/tmp/talvo-gnome-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    folder_ = pattern;
    for (const char* sub : {"home", "config", "run", "data/gnome-shell/extensions"})
      std::filesystem::create_directories(folder_ / sub);
    std::filesystem::permissions(folder_ / "run", std::filesystem::perms::owner_all);
    std::filesystem::copy(std::filesystem::path(TALVO_GNOME_EXTENSIONS) / "legacy" / kUuid,
                          folder_ / "data/gnome-shell/extensions" / kUuid);
    const auto log = folder_ / "shell.log";
    ASSERT_TRUE(shell_.Start({"gnome-shell", "--headless", "--wayland", "--virtual-monitor", "1024x768"},
                             {"DBUS_SESSION_BUS_ADDRESS=" + session_.Address(),
                              "DBUS_SYSTEM_BUS_ADDRESS=" + system_.Address(), "HOME=" + (folder_ / "home").string(),
                              "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
                              "XDG_DATA_HOME=" + (folder_ / "data").string(),
                              "XDG_RUNTIME_DIR=" + (folder_ / "run").string(), "GSETTINGS_BACKEND=keyfile",
                              "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_ID", "QT_QPA_PLATFORM"},
                             log.string()));
    ASSERT_TRUE(WaitUntil(
        [&] {
          std::ifstream in(log);
          std::stringstream text;
          text << in.rdbuf();
          return text.str().find("GNOME Shell started") != std::string::npos;
        },
        20s));
    test_ = Connect(session_.Address());
    ASSERT_TRUE(test_);
  }
  void TearDown() override {
    if (test_) sd_bus_flush_close_unref(test_);
    shell_.Stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  bool CallExtensions(const char* method) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(test_, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                                     method, &error, nullptr, "s", kUuid.c_str());
    sd_bus_error_free(&error);
    return r >= 0;
  }

  SessionBus session_;
  SessionBus system_;
  std::filesystem::path folder_;
  Child shell_;
  sd_bus* test_ = nullptr;
};

TEST_F(GnomeForegroundReal, FollowsTheExtensionAsItIsEnabledAndDisabled) {
  // No X11 source answers here, so an answer other than Unreachable comes
  // from the extension.
  GnomeForegroundProgram foreground(session_.Address(), "/nonexistent/talvo-test:0");
  // Availability does not wait for the shell's first word.
  EXPECT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::GnomeExtensionOff; }));
  EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
  std::atomic<int> told{0};
  foreground.ListenForChanges([&] { ++told; });

  // Enabled, the extension finds Talvo's name and reports what is in front
  // (nothing, in the overview the shell starts in) from the shell's own
  // connection.
  ASSERT_TRUE(CallExtensions("EnableExtension"));
  ASSERT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Available; }));
  EXPECT_TRUE(foreground.TellsChanges());
  EXPECT_TRUE(WaitUntil([&] { return foreground.Current().status == ForegroundStatus::NoWindow; }));
  EXPECT_GT(told, 0);

  ASSERT_TRUE(CallExtensions("DisableExtension"));
  EXPECT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::GnomeExtensionOff; }));
}

// ---- A stand-in shell: who may report, and without a shell --------------------

// Owns org.gnome.Shell and answers GetExtensionInfo with the extension
// enabled; reports go out from its connection, or from another one.
class StandInShell {
 public:
  explicit StandInShell(const std::string& address) : bus_(Connect(address)), other_(Connect(address)) {
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("GetExtensionInfo", "s", "a{sv}", &StandInShell::Info, 0),
        SD_BUS_VTABLE_END,
    };
    ready_ = bus_ && other_ &&
             sd_bus_add_object_vtable(bus_, nullptr, "/org/gnome/Shell", "org.gnome.Shell.Extensions", kVtable,
                                      nullptr) >= 0 &&
             sd_bus_request_name(bus_, "org.gnome.Shell", 0) >= 0;
    // sd-bus connections are not shared between threads without a lock.
    thread_ = std::jthread([this](std::stop_token stop) {
      while (ready_ && !stop.stop_requested()) {
        std::lock_guard lock(mutex_);
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
        sd_bus_wait(bus_, 5'000);
      }
    });
  }
  ~StandInShell() {
    thread_.request_stop();
    thread_.join();
    if (bus_) sd_bus_flush_close_unref(bus_);
    if (other_) sd_bus_flush_close_unref(other_);
  }
  bool Ready() const { return ready_; }
  // Calls Talvo's report object, as the shell or as another client; true
  // when Talvo accepted.
  bool Report(bool fromShell, const char* member, const std::string& text) {
    std::lock_guard lock(mutex_);
    return sd_bus_call_method(fromShell ? bus_ : other_, "org.talvo.Foreground", "/org/talvo/Foreground",
                              "org.talvo.Foreground", member, nullptr, nullptr, "s", text.c_str()) >= 0;
  }

 private:
  static int Info(sd_bus_message* m, void*, sd_bus_error*) {
    const char* uuid = nullptr;
    sd_bus_message_read(m, "s", &uuid);
    sd_bus_message* reply = nullptr;
    sd_bus_message_new_method_return(m, &reply);
    sd_bus_message_append(reply, "a{sv}", 3, "uuid", "s", uuid, "name", "s", "Talvo", "state", "d", 1.0);
    const int r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
  }

  sd_bus* bus_;
  sd_bus* other_;
  bool ready_ = false;
  std::mutex mutex_;
  std::jthread thread_;
};

TEST(GnomeForeground, OnlyTheShellReportsAndWithoutAShellNothingAnswers) {
  SessionBus bus;
  ASSERT_FALSE(bus.Address().empty()) << "scripts/setup installs dbus-daemon";
  {
    GnomeForegroundProgram foreground(bus.Address(), "/nonexistent/talvo-test:0");
    EXPECT_EQ(foreground.Availability(), ForegroundAvailability::Unreachable);
    EXPECT_EQ(foreground.Current().status, ForegroundStatus::Unreachable);
  }
  StandInShell shell(bus.Address());
  ASSERT_TRUE(shell.Ready());
  GnomeForegroundProgram foreground(bus.Address(), "/nonexistent/talvo-test:0");
  EXPECT_TRUE(WaitUntil([&] { return foreground.Availability() == ForegroundAvailability::Available; }));
  const std::string self = std::to_string(getpid());
  ASSERT_TRUE(WaitUntil([&] { return shell.Report(true, "Windows", self + ",1"); }));
  EXPECT_FALSE(shell.Report(false, "Activated", self));
  EXPECT_FALSE(shell.Report(false, "Windows", "1"));
  EXPECT_NE(foreground.Current().status, ForegroundStatus::Found);
  EXPECT_TRUE(shell.Report(true, "Activated", self));
  EXPECT_EQ(foreground.Current().path, SelfExecutable());
  EXPECT_EQ(foreground.WindowPids(), (std::vector<int>{getpid(), 1}));
}

}  // namespace
}  // namespace talvo::platform
