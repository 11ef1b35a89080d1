#include "transfer/macro_upload.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "device/device_commands.h"
#include "device/device_report.h"
#include "macros/macro_image.h"
#include "sim/simulated_backend.h"

namespace talvo::transfer {
namespace {

using device::Command;
using sim::DeviceKind;

class MacroUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.SetLatency(std::chrono::microseconds(0));
    backend.Plug(DeviceKind::Mouse);
    link.SetCommandIdentity(device::kMouseProductId);
    ASSERT_TRUE(link.Attach());
    for (size_t k = 0; k < keys::kMouseKeyCount; ++k) keys::SetKey(map, k, {0x70, uint8_t(k), 0});
  }

  sim::SimDevice& Mouse() { return backend.Device(DeviceKind::Mouse); }

  // Command codes received, one per report.
  std::vector<int> Commands() {
    std::vector<int> out;
    for (const auto& r : Mouse().Requests()) out.push_back(r.bytes[device::report::kCommand]);
    return out;
  }

  static std::vector<int> Sequence(std::initializer_list<std::pair<Command, size_t>> runs) {
    std::vector<int> out;
    for (const auto& [command, count] : runs) out.insert(out.end(), count, static_cast<int>(command));
    return out;
  }

  // Two macros whose image fills `units` × 128 bytes exactly.
  static std::vector<uint8_t> FullImage(uint8_t units) {
    const size_t steps = (units * 128u - 16 - 2 * 6) / 4;
    const std::vector<macros::MacroRecord> macros{
        {"m", std::vector<std::string>(steps, "300,1,138,4,1,keyboard_key_A")}, {"empty", {}}};
    device::DeviceInfo info;
    info.bytes[6] = units;
    macros::MacroImagePlan plan = macros::PlanMacroImage(macros, info);
    EXPECT_EQ(plan.status, macros::MacroImagePlan::kReady);
    return plan.image;
  }

  sim::SimulatedBackend backend;
  device::CDeviceLink link{backend};
  keys::KeyMapRecord map{};
};

TEST_F(MacroUploadTest, ImageOfTheWholeMemoryLandsThenTheKeyMap) {
  Mouse().SetMacroCapacity(2);
  const std::vector<uint8_t> image = FullImage(2);
  ASSERT_EQ(image.size(), 256u);
  const MacroUploadResults results = UploadMacroImage(link, image, 3, map);
  EXPECT_EQ(results.image, 1);
  EXPECT_EQ(results.map, 1);
  EXPECT_FALSE(results.ImageFailed());
  EXPECT_EQ(Commands(), Sequence({{Command::BeginTransfer, 1},
                                  {Command::WriteMacroImage, 5},
                                  {Command::EndTransfer, 1},
                                  {Command::BeginTransfer, 1},
                                  {Command::WriteKeyMap, 10},
                                  {Command::EndTransfer, 1}}));
  EXPECT_EQ(Mouse().Memory("macro"), image);
  const std::vector<uint8_t> maps = Mouse().Memory("keymaps");
  EXPECT_TRUE(std::equal(map.begin(), map.end(), maps.begin() + 3 * 126));
}

TEST_F(MacroUploadTest, WithoutMacrosOnlyTheKeyMapIsWritten) {
  const MacroUploadResults results = UploadMacroImage(link, {}, 0, map);
  EXPECT_FALSE(results.image);
  EXPECT_EQ(Commands(), Sequence({{Command::BeginTransfer, 1}, {Command::WriteKeyMap, 10}, {Command::EndTransfer, 1}}));
}

struct FailCase {
  sim::Fault fault;
  int result;
  size_t chunksReceived;  // image chunks the mouse received, a refused one included
};

class MacroUploadFailureTest : public MacroUploadTest, public ::testing::WithParamInterface<FailCase> {};

TEST_P(MacroUploadFailureTest, FailedImageWriteStillEndsTheTransferAndSkipsTheKeyMap) {
  const std::vector<uint8_t> image = FullImage(2);
  Mouse().InjectFault(GetParam().fault, 1, /*after=*/2);
  const MacroUploadResults results = UploadMacroImage(link, image, 0, map);
  EXPECT_EQ(results.image, GetParam().result);
  EXPECT_TRUE(results.ImageFailed());
  EXPECT_EQ(results.imageEnd, 1);
  EXPECT_FALSE(results.map);
  EXPECT_EQ(Commands(), Sequence({{Command::BeginTransfer, 1},
                                  {Command::WriteMacroImage, GetParam().chunksReceived},
                                  {Command::EndTransfer, 1}}));
}

INSTANTIATE_TEST_SUITE_P(Faults, MacroUploadFailureTest,
                         ::testing::Values(FailCase{sim::Fault::StatusFF, device::kResultDeviceFailed, 2},
                                           FailCase{sim::Fault::StatusFE, device::kResultBadRequest, 2},
                                           FailCase{sim::Fault::WriteFail, device::kResultNotWritten, 1}));

}  // namespace
}  // namespace talvo::transfer
