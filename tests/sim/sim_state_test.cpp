// Simulated devices that remember: what a new backend on the same state
// folder meets, what never reaches the files, and the files refused.
#include "sim/sim_state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "../platform/file_test_util.h"
#include "platform/files.h"
#include "sim/simulated_backend.h"
#include "sim_test_util.h"

namespace talvo::sim {
namespace {

using device::Command;
using Step = std::function<void(SimDevice&)>;
using Bytes = std::vector<uint8_t>;
using platform::testing::TempFolder;

// A request of data.size() bytes that the device answers with `status`.
Step Send(Command command, unsigned offset, Bytes data, uint8_t status = 0) {
  return [=](SimDevice& d) {
    const auto length = static_cast<uint8_t>(data.size());
    EXPECT_EQ(d.Receive(test::Request(command, length, offset, data)).reply[device::report::kStatus], status);
  };
}

std::vector<Bytes> Kept(const SimDevice& d) {
  return {d.Memory("info"),        d.Memory("settings"), d.Memory("keymaps"),
          d.Memory("default_map"), d.Memory("macro"),    d.Memory("cursor")};
}

// One restart after each change, all on one folder, so that each device
// must find its own memory among the others'.
TEST(SimStateTest, ChangesPersistAcrossRestartsOnTheSameFolder) {
  struct Case {
    const char* name;
    DeviceKind kind;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"settings", DeviceKind::Mouse, {Send(Command::WriteSettings, 15, {1, 2, 3, 4})}},
      {"active_profile", DeviceKind::Mousepad, {Send(Command::WriteSettings, 0, {3})}},
      {"key_map", DeviceKind::Keyboard, {Send(Command::WriteKeyMap, 126, {0x20, 0, 4})}},
      {"macro", DeviceKind::Mouse, {Send(Command::WriteMacroImage, 254, {0xAA, 0x55})}},
      {"cursor", DeviceKind::Mouse, {Send(Command::WriteCursorImage, 0, {0, 0})}},
      {"macro_capacity", DeviceKind::Mouse, {[](SimDevice& d) { d.SetMacroCapacity(2); }}},
      {"sensor", DeviceKind::Mouse, {[](SimDevice& d) { d.SetSensor(0x3389, 50, 99, 100); }}},
      {"key_count", DeviceKind::Keyboard, {[](SimDevice& d) { d.SetKeyCount(100); }}},
      {"poke", DeviceKind::Keyboard, {[](SimDevice& d) { EXPECT_TRUE(d.Poke("default_map", 0, Bytes{5, 5, 5})); }}},
      {"restore_defaults", DeviceKind::Keyboard,
       {Send(Command::WriteKeyMap, 0, {0x20, 0, 4}), Send(Command::RestoreDefaults, 0, {})}},
  };
  TempFolder folder;
  auto backend = std::make_unique<SimulatedBackend>(folder.path());
  std::vector<std::vector<Bytes>> before;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Step& step : c.steps) step(backend->Device(c.kind));
    before.clear();
    for (DeviceKind kind : kAllDeviceKinds) before.push_back(Kept(backend->Device(kind)));
    backend = std::make_unique<SimulatedBackend>(folder.path());
    for (DeviceKind kind : kAllDeviceKinds) EXPECT_EQ(Kept(backend->Device(kind)), before[static_cast<size_t>(kind)]);
  }
  // The information block describes the hardware: restore-defaults keeps it
  // after a restart too.
  for (DeviceKind kind : kAllDeviceKinds) {
    Send(Command::RestoreDefaults, 0, {})(backend->Device(kind));
    EXPECT_EQ(backend->Device(kind).Memory("info"), before[static_cast<size_t>(kind)][0]);
  }
}

TEST(SimStateTest, FramesReadsAndRefusedWritesWriteNoFile) {
  TempFolder folder;
  {
    SimulatedBackend backend(folder.path());
    for (DeviceKind kind : kAllDeviceKinds) {
      SimDevice& d = backend.Device(kind);
      Send(Command::SendLightFrame, 0, Bytes(56, 0x7F))(d);
      Send(Command::ReadSettings, 64, Bytes(56))(d);
      Send(Command::ReadDeviceInfo, 0, Bytes(33))(d);
      EXPECT_TRUE(d.Poke("frame", 0, Bytes{1, 2, 3}));
      Send(Command::WriteSettings, 0, {5}, 0xFF)(d);
      d.InjectFault(Fault::StatusFF, 1);
      Send(Command::WriteSettings, 0, {2}, 0xFF)(d);
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(SimStateTest, RefusedFilesGiveFactoryMemory) {
  TempFolder folder;
  SimDevice writer(DeviceKind::Mouse, folder / "mouse.state");
  Send(Command::WriteSettings, 0, {2})(writer);
  const auto valid = platform::ReadWholeFile(folder / "mouse.state", kStateFileMax);
  ASSERT_TRUE(valid);

  constexpr size_t kCapacityAt = kStateHeaderSize + kStateLengthSize + info::kMacroCapacity;
  struct Case {
    const char* name;
    std::function<void(Bytes&)> spoil;
    bool loads;
  };
  const Case cases[] = {
      {"as_written", [](Bytes&) {}, true},
      {"empty", [](Bytes& f) { f.clear(); }, false},
      {"cut_short", [](Bytes& f) { f.pop_back(); }, false},
      {"running_on", [](Bytes& f) { f.push_back(0); }, false},
      {"another_magic", [](Bytes& f) { f[0] ^= 0x20; }, false},
      {"another_version", [](Bytes& f) { f[4] = 2; }, false},
      {"marked_for_the_keyboard", [](Bytes& f) { f[5] = 0; }, false},
      {"macro_area_off_the_capacity", [](Bytes& f) { --f[kCapacityAt]; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = *valid;
    c.spoil(bytes);
    ASSERT_TRUE(platform::WriteFileAtomically(folder / c.name, bytes));
    const SimDevice reader(DeviceKind::Mouse, folder / c.name);
    EXPECT_EQ(Kept(reader), c.loads ? Kept(writer) : Kept(SimDevice(DeviceKind::Mouse)));
  }
}

}  // namespace
}  // namespace talvo::sim
