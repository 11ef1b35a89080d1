// The files simulated devices keep their memory in: refused as a whole
// unless they are exactly what such a device writes. What they keep across a
// restart is shown end to end (tests/e2e/restart_test.cpp).
#include "sim/sim_state_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "../platform/file_test_util.h"
#include "platform/files.h"
#include "sim_test_util.h"

namespace talvo::sim {
namespace {

using Bytes = std::vector<uint8_t>;
using platform::testing::TempFolder;

std::vector<Bytes> Kept(const SimDevice& d) {
  return {d.Memory("info"),        d.Memory("settings"), d.Memory("keymaps"),
          d.Memory("default_map"), d.Memory("macro"),    d.Memory("cursor")};
}

TEST(SimStateTest, RefusedFilesGiveFactoryMemory) {
  TempFolder folder;
  SimDevice writer(DeviceKind::Mouse, folder / "mouse.state");
  const Bytes active{2};
  const auto written = writer.Receive(test::Request(device::Command::WriteSettings, 1, 0, active));
  ASSERT_EQ(written.reply[device::report::kStatus], 0);
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
