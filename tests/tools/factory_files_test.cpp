// The factory default files as the program reads them: run the generator,
// then check the files' bytes against the profile, key-map, lighting and
// macro formats, against the simulated devices' own factory state, and
// against the copy the build put into the program folder.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "keys/function_tables.h"
#include "keys/key_map.h"
#include "keys/position_map.h"
#include "lighting/light_bodies.h"
#include "platform/ini_file.h"
#include "profiles/profile_data_file.h"
#include "sim/factory_memory.h"
#include "sim/sim_device.h"

namespace {

namespace fs = std::filesystem;
using talvo::keys::KeyFunction;
using talvo::keys::KeyMapRecord;

constexpr std::array<std::string_view, 11> kFileNames = {
    "kbkeydefault.pro",  "mskeydefault.pro",       "kbdengdefault.led",      "msdengdefault.led",
    "mpdengdefault.led", "kbdevicedefault.config", "msdevicedefault.config", "name_1.cur",
    "name_2.cur",        "name_3.cur",             "name_4.cur"};

// Exit status of the generator run with `args`; -1 when it did not exit.
int RunGenerator(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TALVO_FACTORY_TOOL));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TALVO_FACTORY_TOOL, argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::vector<uint8_t> FileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "talvo-factory-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The generator runs once for the whole suite; tests read its output.
class FactoryFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    exitStatus_ = RunGenerator({(folder_->path() / "out").string()});
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    ASSERT_FALSE(folder_->path().empty());
    ASSERT_EQ(exitStatus_, 0);
  }

  static fs::path Out() { return folder_->path() / "out"; }

  // The body of a profile file as the program reads it, checking the magic.
  static std::vector<uint8_t> Body(std::string_view name, size_t size) {
    std::vector<uint8_t> body(size, 0xEE);
    EXPECT_EQ(talvo::profiles::ReadProfileFile(Out() / name, body, 0), talvo::profiles::kReadOk) << name;
    return body;
  }
  static KeyMapRecord KeyMap(std::span<const uint8_t> body) {
    KeyMapRecord map{};
    std::copy_n(body.begin(), map.size(), map.begin());
    return map;
  }

  static TempFolder* folder_;
  static int exitStatus_;
};

TempFolder* FactoryFiles::folder_ = nullptr;
int FactoryFiles::exitStatus_ = -1;

TEST_F(FactoryFiles, ProfileFilesHaveTheirSizeMagicDeviceCodeAndZeroReservedBytes) {
  struct Expected {
    std::string_view name;
    size_t size;
    uint8_t deviceCode;
  };
  constexpr std::array<Expected, 7> kExpected = {{{"kbdengdefault.led", 1974, 1},
                                                  {"msdengdefault.led", 80, 2},
                                                  {"mpdengdefault.led", 80, 3},
                                                  {"kbdevicedefault.config", 2486, 1},
                                                  {"msdevicedefault.config", 592, 2},
                                                  {"kbkeydefault.pro", 528, 1},
                                                  {"mskeydefault.pro", 528, 2}}};
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(e.name);
    const std::vector<uint8_t> bytes = FileBytes(Out() / e.name);
    ASSERT_EQ(bytes.size(), e.size);
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0x55);
    EXPECT_EQ(bytes[4], e.deviceCode);
    EXPECT_EQ(bytes[5], 0);
    for (size_t i : {2, 3, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) EXPECT_EQ(bytes[i], 0) << "header byte " << i;
  }
}

TEST_F(FactoryFiles, MouseKeyProfileHoldsTheDefaultButtonsForEveryOnboardProfile) {
  const KeyMapRecord map = KeyMap(Body("mskeydefault.pro", 512));
  const std::array<KeyFunction, 7> kButtons = {{{0x10, 0x01, 0x00},    // left
                                                {0x10, 0x04, 0x00},    // middle
                                                {0x10, 0x02, 0x00},    // right
                                                {0x10, 0x10, 0x00},    // forward
                                                {0x10, 0x08, 0x00},    // back
                                                {0x13, 0x03, 0x00},    // DPI cycle
                                                {0x05, 0x05, 0x05}}};  // off
  for (size_t k = 0; k < kButtons.size(); ++k) EXPECT_EQ(talvo::keys::KeyAt(map, k), kButtons[k]) << "key " << k;
  for (size_t k = 7; k < 42; ++k) EXPECT_EQ(talvo::keys::KeyAt(map, k), (KeyFunction{5, 5, 5})) << "key " << k;

  // The record reaches past profile 0's 126 bytes into the following
  // profiles' maps; it must leave them as a factory-fresh mouse has them.
  const std::vector<uint8_t> mouseMaps = talvo::sim::MakeFactoryMemory(talvo::sim::DeviceKind::Mouse).keyMaps;
  ASSERT_GE(mouseMaps.size(), map.size());
  EXPECT_TRUE(std::equal(map.begin(), map.end(), mouseMaps.begin()));

  EXPECT_EQ(KeyMap(Body("msdevicedefault.config", 576)), map);
}

TEST_F(FactoryFiles, KeyboardKeyProfileIsTheStandardLayoutInTheKeyboardsNumbering) {
  const KeyMapRecord map = KeyMap(Body("kbkeydefault.pro", 512));
  const talvo::sim::FactoryMemory keyboard = talvo::sim::MakeFactoryMemory(talvo::sim::DeviceKind::Keyboard);
  const size_t keyCount = keyboard.info[talvo::sim::info::kKeyCount];
  EXPECT_TRUE(std::equal(map.begin(), map.end(), keyboard.defaultMap.begin(), keyboard.defaultMap.end()));
  for (size_t k = keyCount; k < talvo::keys::kKeysPerMap; ++k) {
    EXPECT_EQ(talvo::keys::KeyAt(map, k), (KeyFunction{5, 5, 5})) << "key " << k;
  }

  // Every position with a key of its own finds a distinct key carrying its
  // standard function; the grid's gaps find none.
  talvo::keys::PositionMap positions;
  talvo::keys::BuildPositionMap(map, keyCount, positions);
  std::set<size_t> keysSeen;
  const KeyFunction gap{0x20, 0x00, 0x00};
  for (size_t p = 0; p < talvo::keys::kLayoutPositions; ++p) {
    const KeyFunction standard = talvo::keys::KeyboardLayoutTable[p];
    const std::optional<size_t> key = talvo::keys::KeyForPosition(positions, p);
    if (standard == gap) {
      EXPECT_FALSE(key.has_value()) << "position " << p;
      continue;
    }
    ASSERT_TRUE(key.has_value()) << "position " << p;
    EXPECT_EQ(talvo::keys::KeyAt(map, *key), standard) << "position " << p;
    EXPECT_TRUE(keysSeen.insert(*key).second) << "position " << p;
  }
  EXPECT_EQ(keysSeen.size(), keyCount);
  const std::optional<size_t> fnKey = talvo::keys::KeyForPosition(positions, 110);
  ASSERT_TRUE(fnKey.has_value());
  EXPECT_EQ(talvo::keys::KeyAt(map, *fnKey), (KeyFunction{0xA0, 0x02, 0x02}));

  EXPECT_EQ(KeyMap(Body("kbdevicedefault.config", 2470)), map);
}

// A record the lighting page can show: an effect of the device, lit, and a
// speed on the slider.
template <typename Record>
void ExpectUsableLight(const Record& record, uint8_t highestMode) {
  EXPECT_LE(record.mode(), highestMode);
  EXPECT_GE(record.brightness(), 1);
  EXPECT_LE(record.brightness(), 4);
  EXPECT_LE(record.speed(), 4);
}

TEST_F(FactoryFiles, LightBodiesLoadUsableAndTheDeviceProfilesCarryTheSameBodies) {
  const std::vector<uint8_t> msBody = Body("msdengdefault.led", 64);
  EXPECT_EQ(msBody[34], 10);  // pointer speed
  EXPECT_EQ(msBody[35], 3);   // wheel lines
  talvo::lighting::MouseLighting ms;
  talvo::lighting::UnpackLightBody(std::span<const uint8_t, 64>(msBody.data(), 64), ms);
  EXPECT_EQ(ms.pointerSpeed(), 10);
  EXPECT_EQ(ms.wheelLines(), 3);
  EXPECT_EQ(ms.record.profile(), 0);
  ExpectUsableLight(ms.record, 6);
  // Four rising DPI stages the simulated mouse's sliders can show.
  const talvo::sim::FactoryMemory mouse = talvo::sim::MakeFactoryMemory(talvo::sim::DeviceKind::Mouse);
  for (size_t stage = 1; stage <= 4; ++stage) {
    EXPECT_LE(ms.record.dpiStage(stage), mouse.info[talvo::sim::info::kSliderMax]) << "stage " << stage;
    if (stage > 1) {
      EXPECT_GT(ms.record.dpiStage(stage), ms.record.dpiStage(stage - 1)) << "stage " << stage;
    }
  }
  const std::vector<uint8_t> msDevice = Body("msdevicedefault.config", 576);
  EXPECT_TRUE(std::equal(msBody.begin(), msBody.end(), msDevice.begin() + 512));

  const std::vector<uint8_t> kbBody = Body("kbdengdefault.led", 1958);
  talvo::lighting::KeyboardLighting kb;
  talvo::lighting::UnpackLightBody(std::span<const uint8_t, 1958>(kbBody.data(), 1958), kb);
  ExpectUsableLight(kb.record, 16);
  EXPECT_LE(kb.paint.customSetIndex(), 4);
  const std::vector<uint8_t> kbDevice = Body("kbdevicedefault.config", 2470);
  EXPECT_TRUE(std::equal(kbBody.begin(), kbBody.end(), kbDevice.begin() + 512));

  const std::vector<uint8_t> mpBody = Body("mpdengdefault.led", 64);
  talvo::lighting::MousepadLighting mp;
  talvo::lighting::UnpackLightBody(std::span<const uint8_t, 64>(mpBody.data(), 64), mp);
  ExpectUsableLight(mp.record, 8);  // modes 0..8 are computed by the system
}

struct Action {
  int delay = 0;
  int event = 0;
  int value = 0;
  int pressed = 0;
  std::string label;
};

// Parses an action string from the right as the macro code does: the label
// after the last comma, five decimal numbers before it.
std::optional<Action> ParseAction(const std::string& text) {
  const size_t lastComma = text.rfind(',');
  if (lastComma == std::string::npos) return std::nullopt;
  std::vector<int> numbers;
  size_t start = 0;
  while (start < lastComma) {
    const size_t comma = text.find(',', start);
    numbers.push_back(std::atoi(text.substr(start, comma - start).c_str()));
    start = comma + 1;
  }
  if (numbers.size() != 5) return std::nullopt;
  return Action{(numbers[0] & 0xFF) + 256 * (numbers[1] & 0xFF), numbers[2] & 0xFF, numbers[3] & 0xFF,
                numbers[4], text.substr(lastComma + 1)};
}

TEST_F(FactoryFiles, CursorSlotsAreThirtyBulletsOfPressHoldReleasePauseAndMoves) {
  std::set<std::vector<std::string>> patterns;
  for (size_t slot = 0; slot < 4; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    const fs::path file = Out() / ("name_" + std::to_string(slot + 1) + ".cur");
    ASSERT_EQ(talvo::platform::ReadIniInt(file, "MACROACTIONCOUNT", "count", -1), 180);
    EXPECT_EQ(talvo::platform::ReadIniInt(file, "MACRONUMBER", "CODE", -1), static_cast<int>(slot + 1));

    std::vector<std::string> moves;
    int pull = 0;
    for (size_t step = 0; step < 180; ++step) {
      const std::string text = talvo::platform::ReadIniString(file, "MACROACTION", std::to_string(step), "");
      const std::optional<Action> a = ParseAction(text);
      ASSERT_TRUE(a.has_value()) << "step " << step << ": " << text;
      EXPECT_EQ(a->pressed, (a->event & 0x80) ? 1 : 0) << "step " << step;
      const int type = a->event & 0x7F;
      const bool flag = (a->event & 0x80) != 0;
      switch (step % 6) {
        case 0:
          EXPECT_EQ(a->event, 0x81) << "step " << step;
          EXPECT_EQ(a->value, 0x01) << "step " << step;
          EXPECT_EQ(a->label, "mouse_key_left");
          break;
        case 1:
          EXPECT_GT(a->delay, 0) << "the hold of step " << step;
          break;
        case 2:
          EXPECT_EQ(a->event, 0x01) << "step " << step;
          EXPECT_EQ(a->value, 0x01) << "step " << step;
          EXPECT_EQ(a->label, "mouse_key_left");
          break;
        case 3:
          EXPECT_GT(a->delay, 0) << "the pause of step " << step;
          break;
        case 4:
          ASSERT_EQ(type, 0x04) << "step " << step;
          EXPECT_EQ(a->label, flag ? "mouse_move_to_left_text" : "mouse_move_to_right_text");
          moves.push_back(text);
          break;
        case 5:
          ASSERT_EQ(type, 0x05) << "step " << step;
          EXPECT_EQ(a->label, flag ? "mouse_move_to_up_text" : "mouse_move_to_down_text");
          pull += flag ? -a->value : a->value;
          moves.push_back(text);
          break;
      }
      // The fixed steps do not move the pointer.
      if (step % 6 < 4 && (type == 0x04 || type == 0x05)) {
        EXPECT_EQ(a->value, 0) << "step " << step;
      }
    }
    EXPECT_GT(pull, 0) << "a recoil pattern pulls down overall";
    patterns.insert(moves);
  }
  EXPECT_EQ(patterns.size(), 4u) << "every gun has its own pattern";
}

TEST_F(FactoryFiles, TheGeneratorIsDeterministicAndTheBuildFolderIsCurrent) {
  TempFolder second;
  ASSERT_EQ(RunGenerator({second.path().string()}), 0);
  for (std::string_view name : kFileNames) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> bytes = FileBytes(Out() / name);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(FileBytes(second.path() / name), bytes);
    EXPECT_EQ(FileBytes(fs::path(TALVO_FACTORY_DIR) / name), bytes);
  }
}

TEST(FactoryGenerator, FailsWithoutAUsableOutputFolder) {
  EXPECT_NE(RunGenerator({}), 0);
  TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const fs::path file = folder.path() / "file";
  std::ofstream(file) << "x";
  EXPECT_NE(RunGenerator({(file / "out").string()}), 0);
  EXPECT_NE(RunGenerator({file.string()}), 0);
}

}  // namespace
