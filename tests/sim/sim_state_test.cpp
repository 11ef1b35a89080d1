// Simulated devices that remember: what a new backend on the same state
// folder meets, what never reaches the files, and the files refused.
#include "sim/sim_state_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "device/device_report.h"
#include "platform/files.h"
#include "sim/simulated_backend.h"
#include "sim_test_util.h"

namespace talvo::sim {
namespace {

using device::Command;
using test::Report;
using test::Request;

constexpr std::array<const char*, kStateAreaCount> kKeptAreas = {"info",        "settings", "keymaps",
                                                                 "default_map", "macro",    "cursor"};

class SimStateTest : public ::testing::Test {
 protected:
  SimStateTest() {
    char path[] = "/tmp/talvo_sim_stateXXXXXX";
    if (mkdtemp(path) != nullptr) folder = path;
  }
  ~SimStateTest() override {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }

  std::filesystem::path folder;
};

// The status of a request the device must answer.
int Status(SimDevice& device, const Report& request) {
  const SimDevice::Outcome out = device.Receive(request);
  EXPECT_EQ(out.disposition, SimDevice::Disposition::Reply);
  return out.reply[device::report::kStatus];
}

TEST_F(SimStateTest, ChangesPersistAcrossANewBackendOnTheSameFolder) {
  struct Case {
    const char* name;
    DeviceKind kind;
    std::function<void(SimDevice&)> change;
    const char* changed;  // the area that no longer holds factory contents; none after a restore
  };
  const std::vector<Case> cases = {
      {"mouse_settings_push", DeviceKind::Mouse,
       [](SimDevice& d) {
         EXPECT_EQ(Status(d, Request(Command::WriteSettings, 4, 15, {1, 2, 3, 4})), 0);
         EXPECT_EQ(Status(d, Request(Command::SendLightFrame, 3, 0, {9, 9, 9})), 0);
       },
       "settings"},
      {"mousepad_active_profile", DeviceKind::Mousepad,
       [](SimDevice& d) { EXPECT_EQ(Status(d, Request(Command::WriteSettings, 1, 0, {3})), 0); }, "settings"},
      {"keyboard_key_map", DeviceKind::Keyboard,
       [](SimDevice& d) { EXPECT_EQ(Status(d, Request(Command::WriteKeyMap, 3, 126, {0x20, 0, 4})), 0); }, "keymaps"},
      {"mouse_macro_image_in_configured_memory", DeviceKind::Mouse,
       [](SimDevice& d) {
         d.SetMacroCapacity(2);
         EXPECT_EQ(Status(d, Request(Command::WriteMacroImage, 2, 254, {0xAA, 0x55})), 0);
       },
       "macro"},
      {"mouse_cursor_image", DeviceKind::Mouse,
       [](SimDevice& d) { EXPECT_EQ(Status(d, Request(Command::WriteCursorImage, 2, 0, {0, 0})), 0); }, "cursor"},
      {"mouse_sensor", DeviceKind::Mouse, [](SimDevice& d) { d.SetSensor(0x3389, 50, 99, 100); }, "info"},
      {"keyboard_poked_default_map", DeviceKind::Keyboard,
       [](SimDevice& d) { EXPECT_TRUE(d.Poke("default_map", 0, std::vector<uint8_t>{0x05, 0x05, 0x05})); },
       "default_map"},
      {"keyboard_restore_defaults", DeviceKind::Keyboard,
       [](SimDevice& d) {
         EXPECT_EQ(Status(d, Request(Command::WriteKeyMap, 3, 0, {0x20, 0, 4})), 0);
         EXPECT_EQ(Status(d, Request(Command::RestoreDefaults, 0, 0)), 0);
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path state = folder / c.name;
    std::map<DeviceKind, std::vector<std::vector<uint8_t>>> before;
    {
      SimulatedBackend first(state);
      c.change(first.Device(c.kind));
      for (DeviceKind kind : kAllDeviceKinds) {
        for (const char* area : kKeptAreas) before[kind].push_back(first.Device(kind).Memory(area));
      }
    }
    SimulatedBackend second(state);
    for (DeviceKind kind : kAllDeviceKinds) {
      for (size_t a = 0; a < kKeptAreas.size(); ++a) {
        EXPECT_EQ(second.Device(kind).Memory(kKeptAreas[a]), before[kind][a]) << DeviceKindName(kind) << " "
                                                                              << kKeptAreas[a];
      }
    }
    const SimDevice factory(c.kind);
    EXPECT_EQ(second.Device(c.kind).Memory("frame"), factory.Memory("frame"));
    if (c.changed != nullptr) {
      EXPECT_NE(second.Device(c.kind).Memory(c.changed), factory.Memory(c.changed));
    }
    // The information block describes the hardware; restore-defaults keeps it after a restart too.
    EXPECT_EQ(Status(second.Device(c.kind), Request(Command::RestoreDefaults, 0, 0)), 0);
    EXPECT_EQ(second.Device(c.kind).Memory("info"), before[c.kind][0]);
    EXPECT_EQ(second.Device(c.kind).Memory("macro").size(), before[c.kind][4].size());
  }
}

TEST_F(SimStateTest, FramesReadsAndRefusedWritesWriteNoFile) {
  {
    SimulatedBackend backend(folder);
    for (DeviceKind kind : kAllDeviceKinds) {
      SimDevice& d = backend.Device(kind);
      EXPECT_EQ(Status(d, Request(Command::BeginTransfer, 0, 0)), 0);
      EXPECT_EQ(Status(d, Request(Command::SendLightFrame, 56, 0, std::vector<uint8_t>(56, 0x7F))), 0);
      EXPECT_EQ(Status(d, Request(Command::ReadDeviceInfo, 33, 0)), 0);
      EXPECT_EQ(Status(d, Request(Command::ReadSettings, 56, 64)), 0);
      EXPECT_EQ(Status(d, Request(Command::EndTransfer, 0, 0)), 0);
      EXPECT_TRUE(d.Poke("frame", 0, std::vector<uint8_t>{1, 2, 3}));
      // Writes the device does not carry out change nothing to keep.
      EXPECT_EQ(Status(d, Request(Command::WriteSettings, 1, 0, {5})), 0xFF);
      d.InjectFault(Fault::StatusFF, 1);
      EXPECT_EQ(Status(d, Request(Command::WriteSettings, 1, 0, {2})), 0xFF);
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(SimStateTest, RefusedFilesGiveFactoryMemory) {
  const std::filesystem::path mouseFile = folder / StateFileName(DeviceKind::Mouse);
  std::vector<uint8_t> settings;
  {
    SimDevice writer(DeviceKind::Mouse, mouseFile);
    ASSERT_EQ(Status(writer, Request(Command::WriteSettings, 1, 0, {2})), 0);
    settings = writer.Memory("settings");
  }
  const auto valid = platform::ReadWholeFile(mouseFile, kStateFileMax);
  ASSERT_TRUE(valid);

  constexpr size_t kCapacityAt = kStateHeaderSize + kStateLengthSize + info::kMacroCapacity;
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> spoil;
    DeviceKind reader;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"as_written", [](std::vector<uint8_t>&) {}, DeviceKind::Mouse, true},
      {"empty", [](std::vector<uint8_t>& f) { f.clear(); }, DeviceKind::Mouse, false},
      {"cut_short", [](std::vector<uint8_t>& f) { f.pop_back(); }, DeviceKind::Mouse, false},
      {"running_on", [](std::vector<uint8_t>& f) { f.push_back(0); }, DeviceKind::Mouse, false},
      {"another_magic", [](std::vector<uint8_t>& f) { f[0] ^= 0x20; }, DeviceKind::Mouse, false},
      {"another_version", [](std::vector<uint8_t>& f) { f[4] = 2; }, DeviceKind::Mouse, false},
      {"mouse_file_for_the_keyboard", [](std::vector<uint8_t>&) {}, DeviceKind::Keyboard, false},
      {"macro_area_off_the_capacity", [](std::vector<uint8_t>& f) { --f[kCapacityAt]; }, DeviceKind::Mouse, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = *valid;
    c.spoil(bytes);
    const std::filesystem::path file = folder / c.name;
    ASSERT_TRUE(platform::WriteFileAtomically(file, bytes));
    const SimDevice reader(c.reader, file);
    const SimDevice factory(c.reader);
    if (c.loads) {
      EXPECT_EQ(reader.Memory("settings"), settings);
      EXPECT_EQ(reader.ActiveProfile(), 2);
    } else {
      for (const char* area : kKeptAreas) EXPECT_EQ(reader.Memory(area), factory.Memory(area)) << area;
    }
  }
}

}  // namespace
}  // namespace talvo::sim
