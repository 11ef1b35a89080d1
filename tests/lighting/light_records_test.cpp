#include "lighting/light_records.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <numeric>
#include <thread>

namespace talvo::lighting {
namespace {

template <size_t N>
std::array<uint8_t, N> Pattern(uint8_t start) {
  std::array<uint8_t, N> a{};
  std::iota(a.begin(), a.end(), start);
  return a;
}

TEST(ByteRecord, LoadAndStoreCopyOnlyWhatFits) {
  ByteRecord<4> r(std::array<uint8_t, 4>{9, 9, 9, 9});
  const std::array<uint8_t, 2> shortSource{1, 2};
  r.Load(shortSource);
  EXPECT_EQ(r.Snapshot(), (std::array<uint8_t, 4>{1, 2, 9, 9})) << "the tail keeps its value";

  const std::array<uint8_t, 6> longSource{5, 6, 7, 8, 100, 101};
  r.Load(longSource);
  EXPECT_EQ(r.Snapshot(), (std::array<uint8_t, 4>{5, 6, 7, 8}));

  std::array<uint8_t, 6> out{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  r.Store(out);
  EXPECT_EQ(out, (std::array<uint8_t, 6>{5, 6, 7, 8, 0xEE, 0xEE}));
  std::array<uint8_t, 3> small{};
  r.Store(small);
  EXPECT_EQ(small, (std::array<uint8_t, 3>{5, 6, 7}));
}

TEST(ByteRecord, IndexPastTheEndNeitherReadsNorWrites) {
  ByteRecord<3> r(std::array<uint8_t, 3>{1, 2, 3});
  r.Set(3, 0xFF);
  r.Set(1000, 0xFF);
  EXPECT_EQ(r.Get(3), 0);
  EXPECT_EQ(r.Snapshot(), (std::array<uint8_t, 3>{1, 2, 3}));

  CustomColourSets sets;
  sets.SetColour(5, 0, {1, 2, 3});
  sets.SetColour(0, 126, {1, 2, 3});
  EXPECT_EQ(sets.Snapshot(), CustomColourSets().Snapshot());
  sets.SetColour(4, 125, {7, 8, 9});
  EXPECT_EQ(sets.Colour(4, 125), (Rgb{7, 8, 9}));
  EXPECT_EQ(sets.Get(1887), 7) << "last colour of the last set ends the record";
  EXPECT_EQ(sets.Colour(5, 125), Rgb{});
}

TEST(RecordLayout, FieldsSitAtTheirBytes) {
  const LightRecord light(Pattern<21>(0));
  EXPECT_EQ(light.profile(), 0);
  EXPECT_EQ(light.mode(), 1);
  EXPECT_EQ(light.brightness(), 2);
  EXPECT_EQ(light.speed(), 3);
  EXPECT_EQ(light.direction(), 4);
  EXPECT_EQ(light.multiColour(), 5);
  EXPECT_EQ(light.colour(), (Rgb{6, 7, 8}));
  EXPECT_EQ(light.stepCounter(), 9);

  MouseSettingsRecord mouse(Pattern<34>(100));
  EXPECT_EQ(mouse.reportRate(), 114);
  EXPECT_EQ(mouse.dpiStage(1), 115);
  EXPECT_EQ(mouse.dpiStage(4), 118);
  EXPECT_EQ(mouse.dpiStage(0), 0);
  EXPECT_EQ(mouse.dpiStage(5), 0);
  EXPECT_EQ(mouse.activeDpiStage(), 119);
  EXPECT_EQ(mouse.colourA(), (Rgb{128, 129, 130}));
  EXPECT_EQ(mouse.colourB(), (Rgb{131, 132, 133}));
  mouse.SetDpiStage(5, 1);
  mouse.SetDpiStage(0, 1);
  EXPECT_EQ(mouse.Snapshot(), Pattern<34>(100)) << "stages outside 1..4 write nothing";

  const SyncLightRecord sync(Pattern<8>(1));
  EXPECT_EQ(sync.mode(), 1);
  EXPECT_EQ(sync.direction(), 4);
  EXPECT_EQ(sync.colour(), (Rgb{6, 7, 8}));
}

// One thread rewrites every byte while another reads and copies the record,
// as the UI thread and a lighting thread do. Under ThreadSanitizer any
// access that bypasses the whole-byte atomics is reported as a race.
TEST(ByteRecordThreads, WriterAndReaderShareARecordWithoutLocks) {
  MouseSettingsRecord record;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int round = 0; round < 2000; ++round) {
      const uint8_t v = (round % 2) ? 0xFF : 0x00;
      for (size_t i = 0; i < MouseSettingsRecord::kSize; ++i) record.Set(i, v);
    }
    done = true;
  });
  size_t oddBytes = 0;
  do {
    const MouseSettingsRecord copy = record;
    for (uint8_t b : copy.Snapshot()) oddBytes += (b != 0x00 && b != 0xFF);
    const uint8_t step = record.stepCounter();
    oddBytes += step != 0x00 && step != 0xFF;
  } while (!done);
  writer.join();
  EXPECT_EQ(oddBytes, 0u);
  std::array<uint8_t, 34> last{};
  last.fill(0xFF);
  EXPECT_EQ(record.Snapshot(), last) << "the last round wrote 0xFF";
}

}  // namespace
}  // namespace talvo::lighting
