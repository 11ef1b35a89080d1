#include "macros/cursor_macros.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "macro_test_folder.h"

namespace talvo::macros::test {
namespace {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

// One bullet as the factory files hold it: press, hold, release, pause, the
// horizontal move and the vertical move.
Strings BulletSteps() {
  return {"0,0,129,1,1,mouse_key_left",         "20,0,4,0,0,mouse_move_to_right_text",
          "0,0,1,1,0,mouse_key_left",           "90,0,5,0,0,mouse_move_to_down_text",
          "0,0,4,3,0,mouse_move_to_right_text", "0,0,5,7,0,mouse_move_to_down_text"};
}

Strings Steps(size_t count) {
  Strings steps;
  while (steps.size() < count) steps.push_back(BulletSteps()[steps.size() % 6]);
  return steps;
}

std::string SlotText(const Strings& steps, const std::string& extra = {}) {
  std::string text = "[MACROACTIONCOUNT]\ncount=" + std::to_string(steps.size()) + "\n[MACROACTION]\n";
  for (size_t i = 0; i < steps.size(); ++i) text += std::to_string(i) + "=" + steps[i] + "\n";
  return text + extra;
}

class CursorMacrosTest : public MacroFolder {
 protected:
  std::filesystem::path Slot(int slot) { return *CursorSlotPath(Folder(), slot); }
  void WriteSlots(const std::vector<size_t>& counts) {
    for (size_t slot = 0; slot < counts.size(); ++slot) Write(Slot(int(slot)), SlotText(Steps(counts[slot])));
  }
  void WriteIndex(int cursorCount) {
    Write(Folder() / "msMacro.ini", "[CURSORCOUNT]\ncount=" + std::to_string(cursorCount) + "\n");
  }
  Strings AllSlots() {
    Strings files;
    for (int slot = 0; slot < kCursorSlots; ++slot) files.push_back(Read(Slot(slot)));
    return files;
  }
};

// ---- the image sent to the mouse ----

using Plan = CursorImagePlan;

struct PlanCase {
  const char* name;
  int cursorCount;
  std::vector<size_t> steps;
  Plan::Status status;
  size_t length = 0;
};

class PlanTest : public CursorMacrosTest, public testing::WithParamInterface<PlanCase> {};

TEST_P(PlanTest, ImageLengthOrNothing) {
  const PlanCase& c = GetParam();
  WriteIndex(c.cursorCount);
  WriteSlots(c.steps);
  const CursorImagePlan plan = PlanCursorImage(Folder());
  EXPECT_EQ(plan.status, c.status);
  if (c.status == CursorImagePlan::kReady) {
    EXPECT_EQ(plan.image.size(), c.length);
    EXPECT_EQ(plan.image[2] | plan.image[3] << 8, int(c.length));
  } else {
    EXPECT_TRUE(plan.image.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Slots, PlanTest,
                         testing::Values(PlanCase{"FourFullSlots", 4, {180, 180, 180, 180}, Plan::kReady, 2920},
                                         PlanCase{"NoSlots", 0, {180, 180, 180, 180}, Plan::kNothing},
                                         PlanCase{"CountHeldAtFour", 9, {1, 1, 1, 1}, Plan::kReady, 16 + 24 + 16},
                                         // Within the memory, but the mouse refuses such an image on
                                         // every read back.
                                         PlanCase{"SlotOverItsSteps", 4, {181, 0, 0, 0}, Plan::kTooManySteps},
                                         PlanCase{"LongSlotFittingTheMemory", 4, {700, 0, 0, 0}, Plan::kTooManySteps}),
                         [](const auto& info) { return info.param.name; });

// ---- the image read from the mouse ----

Bytes Image(const std::vector<Bytes>& blocks) {
  Bytes image(16 + 2 * blocks.size(), 0);
  image[0] = 0xAA;
  image[1] = 0x55;
  image[4] = uint8_t(blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) {
    image[16 + 2 * i] = uint8_t(image.size());
    image[17 + 2 * i] = uint8_t(image.size() >> 8);
    image.insert(image.end(), blocks[i].begin(), blocks[i].end());
  }
  image[2] = uint8_t(image.size());
  image[3] = uint8_t(image.size() >> 8);
  return image;
}

Bytes Block(const Bytes& steps) {
  Bytes block{uint8_t(steps.size() / 4), uint8_t(steps.size() / 4 >> 8), 0, 0};
  block.insert(block.end(), steps.begin(), steps.end());
  return block;
}

TEST_F(CursorMacrosTest, ImageOfThreeSlotsRewritesThreeFilesWithTheirLabels) {
  WriteSlots({6, 6, 6, 6});
  const std::string fourth = Read(Slot(3));
  const Bytes image = Image({Block({0x2C, 0x01, 0x81, 0x02, 0, 0, 0x09, 0x01}), Block({0, 0, 0x8A, 0x04}),
                             Block({5, 0, 0x85, 9, 0, 0, 0x33, 1})});
  EXPECT_EQ(RewriteSlotsFromImage(Folder(), image), 3);
  EXPECT_EQ(Read(Slot(0)),
            "[MACROACTIONCOUNT]\r\ncount=2\r\n[MACROACTION]\r\n0=44,1,129,2,1,mouse_key_right\r\n"
            "1=0,0,9,1,0,keyboard_key_LCtrl\r\n[MACRONUMBER]\r\nCODE=1\r\n");
  EXPECT_NE(Read(Slot(1)).find("0=0,0,138,4,1,keyboard_key_A\r\n"), std::string::npos);
  // An event the editor never writes keeps its bytes under an empty label.
  EXPECT_NE(Read(Slot(2)).find("0=5,0,133,9,1,mouse_move_to_up_text\r\n1=0,0,51,1,0,\r\n"), std::string::npos);
  EXPECT_EQ(Read(Slot(3)), fourth);
}

TEST_F(CursorMacrosTest, SlotsReadBackFromTheirImageSendTheSameImage) {
  WriteIndex(4);
  WriteSlots({180, 12, 0, 6});
  const std::vector<uint8_t> image = PlanCursorImage(Folder()).image;
  ASSERT_FALSE(image.empty());
  ASSERT_EQ(RewriteSlotsFromImage(Folder(), image), 4);
  EXPECT_EQ(PlanCursorImage(Folder()).image, image);
}

struct BadImage {
  const char* name;
  size_t at;  // where a 16-bit value is written, or the length to cut to
  int value;  // -1: cut
};

class BadImageTest : public CursorMacrosTest, public testing::WithParamInterface<BadImage> {};

TEST_P(BadImageTest, ChangesNoSlot) {
  WriteSlots({6, 6, 6, 6});
  const Strings before = AllSlots();
  // Offsets 20 and 28; block 2 has room for 181 steps and holds 180; total
  // 756. Bytes after the total are ignored, so the image is padded to show
  // that only the fields decide.
  Bytes image = Image({Block({1, 0, 0x04, 3}), Block(Bytes(181 * 4, 0))});
  image[28] = 180;
  ASSERT_TRUE(DecodeCursorImage(image));
  const BadImage& c = GetParam();
  if (c.value < 0) {
    image.resize(c.at);
  } else {
    image.resize(4096);
    image[c.at] = uint8_t(c.value);
    image[c.at + 1] = uint8_t(c.value >> 8);
  }
  EXPECT_FALSE(DecodeCursorImage(image));
  EXPECT_EQ(RewriteSlotsFromImage(Folder(), image), 0);
  EXPECT_EQ(AllSlots(), before);
}

INSTANTIATE_TEST_SUITE_P(Images, BadImageTest,
                         testing::Values(BadImage{"NoMagic", 0, 0x55AB}, BadImage{"ShorterThanHeader", 15, -1},
                                         BadImage{"LengthBelowHeader", 2, 15}, BadImage{"LengthAboveMemory", 2, 3073},
                                         BadImage{"LengthBeyondBytes", 755, -1}, BadImage{"FiveSlots", 4, 5},
                                         BadImage{"OffsetInTable", 16, 18}, BadImage{"OffsetOutside", 18, 756},
                                         BadImage{"BlockRunsOutside", 2, 751}, BadImage{"MoreThan180Steps", 28, 181}),
                         [](const auto& info) { return info.param.name; });

// ---- bullets ----

TEST_F(CursorMacrosTest, StoringABulletClampsAndRewritesOnlyItsThreeSteps) {
  WriteSlots({180});
  const BulletEdit edit{.delay = 70000, .x = 300, .left = true, .y = -4, .up = false};
  const Bullet stored{.delay = 65535, .x = 255, .left = true, .y = 0, .up = false};
  EXPECT_EQ(StoreBullet(Folder(), 0, 29, edit), stored);
  EXPECT_EQ(LoadBullet(Folder(), 0, 29), stored);
  Strings expected = Steps(180);
  expected[177] = "255,255,5,0,0,mouse_move_to_down_text";
  expected[178] = "0,0,132,255,0,mouse_move_to_left_text";
  expected[179] = "0,0,5,0,0,mouse_move_to_down_text";
  EXPECT_EQ(Read(Slot(0)), SlotText(expected));
}

struct DisabledBullet {
  const char* name;
  size_t steps;
  size_t broken;  // the step replaced by `text`, or past the end
  const char* text;
};

class DisabledBulletTest : public CursorMacrosTest, public testing::WithParamInterface<DisabledBullet> {};

TEST_P(DisabledBulletTest, IsNeitherShownNorRewritten) {
  const DisabledBullet& c = GetParam();
  Strings steps = Steps(c.steps);
  if (c.broken < steps.size()) steps[c.broken] = c.text;
  Write(Slot(0), SlotText(steps));
  const std::string before = Read(Slot(0));
  EXPECT_FALSE(LoadBullet(Folder(), 0, 1));
  EXPECT_FALSE(StoreBullet(Folder(), 0, 1, {.delay = 1, .x = 1, .y = 1}));
  EXPECT_EQ(Read(Slot(0)), before);
}

INSTANTIATE_TEST_SUITE_P(Bullets, DisabledBulletTest,
                         testing::Values(DisabledBullet{"PastTheStepCount", 11, 99, ""},
                                         DisabledBullet{"StepDoesNotParse", 12, 10, "0,0,4,3"},
                                         DisabledBullet{"HorizontalStepIsNoMove", 12, 10, "0,0,1,3,0,x"}),
                         [](const auto& info) { return info.param.name; });

// ---- import ----

TEST_F(CursorMacrosTest, ImportRefusesMoreThan180StepsAndKeepsTheSlot) {
  WriteSlots({6});
  const std::string before = Read(Slot(0));
  Write(Root() / "big.cur", SlotText(Steps(181), "[MACRONUMBER]\nCODE=1\n"));
  EXPECT_EQ(ImportSlot(Folder(), 0, Root() / "big.cur"), SlotImport::kTooManySteps);
  EXPECT_EQ(ImportGun(Folder(), Root() / "big.cur").status, SlotImport::kTooManySteps);
  EXPECT_EQ(Read(Slot(0)), before);
}

TEST_F(CursorMacrosTest, ImportingASlotsOwnFileKeepsIt) {
  WriteSlots({6});
  const std::string before = Read(Slot(0));
  EXPECT_EQ(ImportSlot(Folder(), 0, Slot(0)), SlotImport::kImported);
  EXPECT_EQ(Read(Slot(0)), before);
}

TEST_F(CursorMacrosTest, GunImportTakesOnlyCodesOneToFour) {
  WriteSlots({6, 6, 6, 6});
  const Strings before = AllSlots();
  for (const char* code : {"0", "5", "../x", "1/../2", "-1", ""}) {
    const std::string number = *code ? std::string("[MACRONUMBER]\nCODE=") + code + "\n" : "";
    Write(Root() / "gun.cur", SlotText(Steps(12), number));
    EXPECT_EQ(ImportGun(Folder(), Root() / "gun.cur").status, SlotImport::kBadSlot) << code;
  }
  EXPECT_EQ(AllSlots(), before);
  Write(Root() / "gun.cur", SlotText(Steps(12), "[MACRONUMBER]\nCODE= 3\n"));
  const GunImport imported = ImportGun(Folder(), Root() / "gun.cur");
  EXPECT_EQ(imported.status, SlotImport::kImported);
  EXPECT_EQ(imported.slot, 2);
  EXPECT_EQ(Read(Slot(2)), Read(Root() / "gun.cur"));
}

}  // namespace
}  // namespace talvo::macros::test
