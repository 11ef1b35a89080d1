#include "macros/macro_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro_test_folder.h"

namespace talvo::macros {
namespace {

using Bytes = std::vector<uint8_t>;

MacroRecord Macro(size_t steps, const std::string& step = "1,0,1,1,1,x") {
  return {"m", std::vector<std::string>(steps, step)};
}

device::DeviceInfo Capacity(uint8_t units) {
  device::DeviceInfo info;
  info.bytes[6] = units;
  return info;
}

TEST(MacroImageTest, HeaderOffsetsAndBlocksOfThreeAndZeroSteps) {
  const std::vector<MacroRecord> macros{
      {"a", {"120,0,129,1,1,mouse_key_left", "300,1,138,4,1,keyboard_key_A", "not a step"}}, {"b", {}}};
  const Bytes image = BuildMacroImage(macros);
  Bytes expected{0xAA, 0x55, 40, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (const Bytes& part : {Bytes{20, 0, 36, 0},                                         // offsets
                            Bytes{3, 0, 0, 0, 120, 0, 0x81, 1, 0x2C, 0x01, 0x8A, 0x04},  // block a
                            Bytes{0, 0, 0, 0},                                           // unparsable step
                            Bytes{0, 0, 0, 0}})                                          // block b
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(image, expected);
  EXPECT_EQ(MacroImageLength(macros), 40u);
}

TEST(MacroImageTest, NoMacrosNoImage) {
  EXPECT_TRUE(BuildMacroImage({}).empty());
  EXPECT_EQ(PlanMacroImage({}, Capacity(6)).status, MacroImagePlan::kNoMacros);
}

struct FitCase {
  uint8_t units;
  std::vector<size_t> steps;
  MacroImagePlan::Status status;
  size_t stepsOver;
};

class CapacityTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(CapacityTest, ImageMustFitTheMacroMemory) {
  std::vector<MacroRecord> macros;
  for (const size_t n : GetParam().steps) macros.push_back(Macro(n));
  const MacroImagePlan plan = PlanMacroImage(macros, Capacity(GetParam().units));
  EXPECT_EQ(plan.status, GetParam().status);
  EXPECT_EQ(plan.stepsOver, GetParam().stepsOver);
  EXPECT_EQ(plan.image.size(), plan.status == MacroImagePlan::kReady ? *MacroImageLength(macros) : 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CapacityTest,
                         ::testing::Values(FitCase{1, {28}, MacroImagePlan::kTooLarge, 2},  // 134 bytes in 128
                                           FitCase{1, {26}, MacroImagePlan::kReady, 0},     // 126
                                           FitCase{2, {58}, MacroImagePlan::kReady, 0},     // exactly 256
                                           FitCase{2, {59}, MacroImagePlan::kTooLarge, 1},  // 260
                                           FitCase{
                                               0, {0}, MacroImagePlan::kTooLarge, 6},  // never-read information block
                                           FitCase{255,
                                                   {65535, 65535},
                                                   MacroImagePlan::kTooLarge,  // beyond the length field
                                                   (28 + 8 * 65535u - 255 * 128) / 4 + 1}));

TEST(MacroImageTest, LengthBeyondTheSixteenBitFieldIsRefused) {
  EXPECT_EQ(MacroImageLength(std::vector{Macro(16376)}), 65526u);
  EXPECT_FALSE(MacroImageLength(std::vector{Macro(16379)}));
  EXPECT_TRUE(BuildMacroImage(std::vector{Macro(16379)}).empty());
}

class MacroFilesImageTest : public test::MacroFolder {};

TEST_F(MacroFilesImageTest, HugeCountsCostWhatTheFilesHold) {
  Write(Folder() / "msMacro.ini", "[MACROCOUNT]\ncount=999999\n[MACRONAME]\n0=a\n");
  Write(Folder() / "a.mac", "[MACROACTIONCOUNT]\ncount=999999\n[MACROACTION]\n0=1,0,129,1,1,mouse_key_left\n");
  const std::vector<MacroRecord> macros = ReadAllMacros(device::Peripheral::Mouse, Folder());
  ASSERT_EQ(macros.size(), 1u);
  EXPECT_EQ(macros[0].steps.size(), 1u);
  EXPECT_EQ(PlanMacroImage(macros, Capacity(6)).image.size(), 16u + 6 + 4);
}

TEST_F(MacroFilesImageTest, ReadsEveryMacroInListOrder) {
  Write(Folder() / "kbMacro.ini", "[MACROCOUNT]\ncount=2\n[MACRONAME]\n0=b\n1=a\n");
  Write(Folder() / "a.mac", "[MACROACTIONCOUNT]\ncount=1\n[MACROACTION]\n0=300,1,138,4,1,keyboard_key_A\n");
  const std::vector<MacroRecord> macros = ReadAllMacros(device::Peripheral::Keyboard, Folder());
  ASSERT_EQ(macros.size(), 2u);
  EXPECT_EQ(macros[0].name, "b");
  EXPECT_TRUE(macros[0].steps.empty());
  EXPECT_EQ(macros[1].steps, std::vector<std::string>{"300,1,138,4,1,keyboard_key_A"});
}

}  // namespace
}  // namespace talvo::macros
