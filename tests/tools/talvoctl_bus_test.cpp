// talvoctl's commands for a running Talvo, run as a program against a
// stand-in that owns org.talvo.Talvo1 on a private session bus and records
// every call; what it says of bad arguments to any command; and the reader
// of the Status text on its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "talvo_status.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr const char* kStatus =
    R"({"devices":[{"device":"mouse","onboard":1,"profiles":{"key":"Default","lighting":"","device":"Office"},)"
    R"("lighting":{"mode":3,"mode_name":"Static","brightness":4,"speed":2,"colour":"0a141e"},)"
    R"("dpi":{"stage":2,"stages":[400,800,1600,3200]}},)"
    R"({"device":"keyboard","onboard":5,"profiles":{"key":"Game\u001b","lighting":"Waves","device":"Default"},)"
    R"("lighting":{"mode":7,"mode_name":"Wave","brightness":0,"speed":4,"colour":"ff0000"},"extra":[true,null]},)"
    // The mousepad has lighting profiles only.
    R"({"device":"mousepad","onboard":2,"profiles":{"lighting":"Calm"},)"
    R"("lighting":{"mode":5,"mode_name":"Comet","brightness":3,"speed":1,"colour":"00ff00"}}]})";

// The calls the stand-in refuses, as it records them, with the error it answers.
struct Refusal {
  const char* call;
  const char* name;
  const char* message;
};
constexpr Refusal kRefusals[] = {
    {"SelectProfile|mouse|key|Missing", "org.talvo.Talvo1.Error.InvalidArgument", "no key profile \"Missing\""},
    {"Store|keyboard", "org.talvo.Talvo1.Error.Failed", "the keyboard did not answer"},
};

struct Closer {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};

sd_bus* Connect(const std::string& address) {
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) < 0) return nullptr;
  if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
    sd_bus_unref(bus);
    return nullptr;
  }
  return bus;
}

// The call on which the stand-in leaves the bus without answering.
constexpr const char* kHangUp = "SetDpi|1|1";

// Owns the name and records each call as "Method|arg|arg...".
class StandInTalvo {
 public:
  explicit StandInTalvo(const std::string& address) : bus_(Connect(address)) {
    static const sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Status", "", "s", &StandInTalvo::OnCall, 0),
        SD_BUS_METHOD("SelectProfile", "sss", "", &StandInTalvo::OnCall, 0),
        SD_BUS_METHOD("SelectOnboard", "su", "", &StandInTalvo::OnCall, 0),
        SD_BUS_METHOD("SetLighting", "ssiis", "", &StandInTalvo::OnCall, 0),
        SD_BUS_METHOD("SetDpi", "uu", "", &StandInTalvo::OnCall, 0),
        SD_BUS_METHOD("Store", "s", "", &StandInTalvo::OnCall, 0),
        SD_BUS_VTABLE_END,
    };
    ready_ = bus_ && sd_bus_add_object_vtable(bus_.get(), nullptr, "/org/talvo/Talvo1", "org.talvo.Talvo1", kVtable,
                                              this) >= 0 &&
             sd_bus_request_name(bus_.get(), "org.talvo.Talvo1", 0) >= 0;
    if (!ready_) return;
    thread_ = std::jthread([this](std::stop_token stop) {
      while (!stop.stop_requested()) {
        int r;
        while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
        }
        if (r < 0 || hungUp_) {
          sd_bus_close(bus_.get());
          return;
        }
        sd_bus_wait(bus_.get(), 20'000);
      }
    });
  }
  ~StandInTalvo() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
  }

  bool Ready() const { return ready_; }
  std::vector<std::string> TakeCalls() {
    std::lock_guard lock(mutex_);
    return std::exchange(calls_, {});
  }
  void SetStatus(std::string text) {
    std::lock_guard lock(mutex_);
    status_ = std::move(text);
  }

 private:
  static int OnCall(sd_bus_message* message, void* self, sd_bus_error* error) {
    return static_cast<StandInTalvo*>(self)->Answer(message, error);
  }

  int Answer(sd_bus_message* message, sd_bus_error* error) {
    std::string call = sd_bus_message_get_member(message);
    char type = 0;
    while (sd_bus_message_peek_type(message, &type, nullptr) > 0) {
      union {
        const char* text;
        int32_t i;
        uint32_t u;
      } value{};
      if (sd_bus_message_read_basic(message, type, &value) < 0) return -EINVAL;
      call += '|' + (type == 's' ? std::string(value.text) : type == 'i' ? std::to_string(value.i)
                                                                          : std::to_string(value.u));
    }
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
    if (call == kHangUp) {
      hungUp_ = true;
      return 1;  // handled, so sd-bus sends no answer of its own
    }
    for (const Refusal& refusal : kRefusals) {
      if (call == refusal.call) return sd_bus_error_set(error, refusal.name, refusal.message);
    }
    if (call == "Status") return sd_bus_reply_method_return(message, "s", status_.c_str());
    return sd_bus_reply_method_return(message, "");
  }

  std::unique_ptr<sd_bus, Closer> bus_;
  bool ready_ = false;
  bool hungUp_ = false;  // serving thread only
  std::mutex mutex_;
  std::vector<std::string> calls_;
  std::string status_ = kStatus;
  std::jthread thread_;  // last: it serves the members above
};

struct Outcome {
  int exit = -1;
  std::string out;
  std::string err;
};

std::string FileText(const fs::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TalvoctlBus : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v dbus-daemon >/dev/null") != 0) GTEST_SKIP() << "dbus-daemon is not installed";
    folder_ = fs::path(testing::TempDir()) / ("talvoctl_bus_" + std::to_string(getpid()));
    fs::create_directories(folder_ / "runtime");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>("--session"), const_cast<char*>("--nofork"),
                    const_cast<char*>("--nopidfile"), const_cast<char*>("--print-address"), nullptr};
    if (posix_spawnp(&daemon_, argv[0], &actions, nullptr, argv, environ) != 0) daemon_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char c;
    while (daemon_ != 0 && read(fds[0], &c, 1) == 1 && c != '\n') address_ += c;
    close(fds[0]);
    ASSERT_FALSE(address_.empty()) << "dbus-daemon printed no address";
  }

  void TearDown() override {
    talvo_.reset();
    if (daemon_ != 0) {
      kill(daemon_, SIGTERM);
      waitpid(daemon_, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  StandInTalvo& StartTalvo() {
    talvo_ = std::make_unique<StandInTalvo>(address_);
    EXPECT_TRUE(talvo_->Ready());
    return *talvo_;
  }

  // talvoctl with args, on the private bus or, with bus false, on none at all.
  Outcome Talvoctl(const std::vector<std::string>& args, bool bus = true) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string_view entry = *e;
      if (!entry.starts_with("DBUS_SESSION_BUS_ADDRESS=") && !entry.starts_with("XDG_RUNTIME_DIR=")) {
        env.emplace_back(entry);
      }
    }
    env.push_back("XDG_RUNTIME_DIR=" + (folder_ / "runtime").string());
    if (bus) env.push_back("DBUS_SESSION_BUS_ADDRESS=" + address_);
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> words{TALVOCTL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const fs::path out = folder_ / "out", err = folder_ / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    Outcome run;
    if (posix_spawn(&pid, TALVOCTL, &actions, nullptr, argv.data(), envp.data()) == 0) {
      int status = 0;
      if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exit = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = FileText(out);
    run.err = FileText(err);
    return run;
  }

  fs::path folder_;
  pid_t daemon_ = 0;
  std::string address_;
  std::unique_ptr<StandInTalvo> talvo_;
};

TEST_F(TalvoctlBus, EachCommandMakesItsCallAndPrintsItsAnswer) {
  struct Case {
    std::vector<std::string> args;
    std::string call;
    std::string out;
  };
  const Case cases[] = {
      {{"status"},
       "Status",
       "mouse: onboard profile 1\n"
       "  lighting: Static (mode 3), brightness 4, speed 2, colour 0a141e\n"
       "  profiles: key \"Default\", lighting (none), device \"Office\"\n"
       "  dpi: stage 2 (800 DPI); stages 400 800 1600 3200\n"
       "keyboard: onboard profile 5\n"
       "  lighting: Wave (mode 7), brightness 0, speed 4, colour ff0000\n"
       "  profiles: key \"Game?\", lighting \"Waves\", device \"Default\"\n"
       "mousepad: onboard profile 2\n"
       "  lighting: Comet (mode 5), brightness 3, speed 1, colour 00ff00\n"
       "  profiles: lighting \"Calm\"\n"},
      {{"--json", "status"}, "Status", std::string(kStatus) + "\n"},
      {{"profile", "select", "keyboard", "lighting", "My Waves"}, "SelectProfile|keyboard|lighting|My Waves", ""},
      {{"profile", "select", "mouse", "device", ""}, "SelectProfile|mouse|device|", ""},
      {{"onboard", "mousepad", "5", "--json"}, "SelectOnboard|mousepad|5", "{\"ok\":true}\n"},
      {{"light", "mouse", "breathing"}, "SetLighting|mouse|breathing|-1|-1|", ""},
      {{"light", "keyboard", "3", "--colour", "A0b1C2", "--speed", "0", "--json", "--brightness", "4"},
       "SetLighting|keyboard|3|4|0|A0b1C2",
       "{\"ok\":true}\n"},
      {{"dpi", "4", "4294967295"}, "SetDpi|4|4294967295", ""},
      {{"--json", "store", "mousepad"}, "Store|mousepad", "{\"ok\":true}\n"},
  };
  StandInTalvo& talvo = StartTalvo();
  for (const Case& c : cases) {
    const Outcome run = Talvoctl(c.args);
    EXPECT_EQ(run.exit, 0) << c.call << ": " << run.err;
    EXPECT_EQ(talvo.TakeCalls(), std::vector<std::string>{c.call});
    EXPECT_EQ(run.out, c.out) << c.call;
  }
}

TEST_F(TalvoctlBus, RefusalsAndUnreadableStatusExitThreeWithTheReason) {
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{"profile", "select", "mouse", "key", "Missing"}, "", "talvoctl: no key profile \"Missing\"\n"},
      {{"profile", "select", "mouse", "key", "Missing", "--json"},
       "{\"ok\":false,\"error\":\"no key profile \\\"Missing\\\"\"}\n",
       "talvoctl: no key profile \"Missing\"\n"},
      {{"store", "keyboard"}, "", "talvoctl: the keyboard did not answer\n"},
      {{"status"}, "", "talvoctl: Talvo's status cannot be read (talvoctl status --json shows it as sent)\n"},
  };
  StandInTalvo& talvo = StartTalvo();
  talvo.SetStatus(R"({"devices":[{"device":"mouse","onboard":"1"}]})");
  for (const Case& c : cases) {
    const Outcome run = Talvoctl(c.args);
    EXPECT_EQ(run.exit, 3) << c.args[0];
    EXPECT_EQ(run.out, c.out) << c.args[0];
    EXPECT_EQ(run.err, c.err) << c.args[0];
    EXPECT_EQ(talvo.TakeCalls().size(), 1u) << c.args[0];
  }
}

TEST_F(TalvoctlBus, WithoutTalvoOrWithoutABusOrWithoutAnAnswerItExitsOne) {
  struct Case {
    std::vector<std::string> args;
    bool bus;
    std::string out;
  };
  const Case cases[] = {
      {{"status"}, true, ""},
      {{"--json", "store", "mouse"}, true, "{\"ok\":false,\"error\":\"Talvo is not running\"}\n"},
      {{"dpi", "1", "800"}, false, ""},
      {{"status", "--json"}, false, "{\"ok\":false,\"error\":\"Talvo is not running\"}\n"},
  };
  for (const Case& c : cases) {
    const Outcome run = Talvoctl(c.args, c.bus);
    EXPECT_EQ(run.exit, 1) << c.args[0] << " bus " << c.bus;
    EXPECT_EQ(run.out, c.out) << c.args[0] << " bus " << c.bus;
    EXPECT_EQ(run.err, "talvoctl: Talvo is not running\n") << c.args[0] << " bus " << c.bus;
  }
  StartTalvo();
  const Outcome run = Talvoctl({"dpi", "1", "1"});
  EXPECT_EQ(run.exit, 1);
  EXPECT_TRUE(run.err.starts_with("talvoctl: Talvo did not answer: ")) << run.err;
}

TEST_F(TalvoctlBus, ABadArgumentIsNamedInOneLineAndAsJsonWhenAskedWithoutACall) {
  struct Case {
    std::vector<std::string> args;
    std::string what;  // the line after "talvoctl: "
  };
  const Case cases[] = {
      {{}, "no command given (talvoctl --help lists them)"},
      {{"bogus"}, "unknown command 'bogus' (talvoctl --help lists them)"},
      {{"--nope", "info"}, "unknown option '--nope'"},
      {{"--device", "cat", "info"}, "unknown device 'cat' (mouse, keyboard, mousepad)"},
      {{"select-profile", "0"}, "onboard profile '0' is not a number from 1 to 5"},
      {{"keymap", "6"}, "onboard profile '6' is not a number from 1 to 5"},
      {{"info", "extra"}, "unexpected 'extra' after info"},
      {{"--json", "info"}, "--json applies to the commands of a running Talvo only, not to info"},
      {{"--simulate", "status"}, "--simulate applies to the commands on the device only, not to status"},
      {{"profile", "choose", "mouse", "key", "A"}, "unknown profile action 'choose' (select)"},
      {{"profile", "select", "mice", "key", "A"}, "unknown device 'mice' (mouse, keyboard, mousepad)"},
      {{"profile", "select", "mouse", "macro", "A"}, "unknown profile kind 'macro' (key, lighting, device)"},
      {{"profile", "select", "mouse", "key", "\xff"}, "the profile name is not UTF-8 text"},
      {{"profile", "select", "mouse", "key", std::string(201, 'n')}, "the profile name is longer than 200 bytes"},
      {{"onboard", "mouse", "6"}, "onboard profile '6' is not a number from 1 to 5"},
      {{"light", "mouse"}, "light needs DEVICE MODE"},
      {{"light", "mouse", "Static", "--colour", "12345g"}, "--colour '12345g' is not RRGGBB"},
      {{"light", "mouse", "Static", "--speed", "2", "--speed", "3"}, "--speed given twice"},
      {{"light", "mouse", "Static", "--blink"}, "unknown option '--blink'"},
      {{"dpi", "7", "800"}, "DPI stage '7' is not a number from 1 to 6"},
      {{"dpi", "1", "4294967296"}, "DPI '4294967296' is not a positive number"},
      {{"store", "mouse", "--speed", "1"}, "store takes no option '--speed'"},
      {{"store", "mouse", "--json", "extra\x1b"}, "unexpected 'extra?' after store DEVICE"},
  };
  StandInTalvo& talvo = StartTalvo();
  for (const Case& c : cases) {
    const Outcome run = Talvoctl(c.args);
    const bool json = std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
    EXPECT_EQ(run.exit, 2) << c.what;
    EXPECT_EQ(run.err, "talvoctl: " + c.what + "\n");
    EXPECT_EQ(run.out, json ? "{\"ok\":false,\"error\":\"" + c.what + "\"}\n" : "") << c.what;
    EXPECT_TRUE(talvo.TakeCalls().empty()) << c.what;
  }
}

TEST(TalvoStatusReader, TakesTheKnownShapeAndRefusesAnyOther) {
  const std::pair<std::string, bool> cases[] = {
      {kStatus, true},
      {R"( {"devices" : [ ] , "version":1e3} )", true},
      {R"({"devices":[{"device":"mouse\ud83d\ude00","onboard":-0,"profiles":{"key":"","lighting":"","device":""},)"
       R"("lighting":{"mode":1.0,"mode_name":"\/","brightness":0,"speed":0,"colour":""}}]})",
       true},
      {"", false},
      {"[]", false},
      {R"({"devices":[]} x)", false},
      {R"({"devices":[{"device":"mouse"}]})", false},
      {std::string(kStatus).substr(0, 120), false},
      {std::string(kStatus).replace(std::string(kStatus).find("\"onboard\":5"), 11, "\"onboard\":5.5"), false},
      {std::string(kStatus).replace(std::string(kStatus).find("800"), 3, "9e99"), false},
      {std::string(kStatus).replace(std::string(kStatus).find("\"Waves\""), 7, "\"\\ud800\""), false},
      {std::string(kStatus).replace(std::string(kStatus).find("[400"), 4, "[0400"), false},
      {std::string(kStatus).replace(std::string(kStatus).find("\"Calm\""), 6, "null"), false},
      {R"({"devices":[],"deep":)" + std::string(40, '[') + std::string(40, ']') + "}", false},
  };
  for (const auto& [json, readable] : cases) {
    EXPECT_EQ(talvo::tools::ParseTalvoStatus(json).has_value(), readable) << json;
  }
  const auto status = talvo::tools::ParseTalvoStatus(kStatus);
  ASSERT_TRUE(status);
  ASSERT_EQ(status->devices.size(), 3u);
  EXPECT_EQ(status->devices[1].keyProfile, "Game\x1b");
  EXPECT_FALSE(status->devices[1].dpi);
  EXPECT_FALSE(status->devices[2].keyProfile);
}

}  // namespace
