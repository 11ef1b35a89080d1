#include "profiles/profile_data_file.h"

#include <gtest/gtest.h>

#include "profile_test_env.h"

namespace talvo::profiles {
namespace {

using test::Pattern;
using test::ReadBytes;
using test::WriteBytes;

class ProfileDataFileTest : public test::ProfileFolders {
 protected:
  std::filesystem::path File(const char* name) const { return Root() / name; }
};

TEST_F(ProfileDataFileTest, WritesHeaderAndBodyByteForByteForEveryBodySize) {
  for (const size_t size : {size_t{512}, size_t{64}, size_t{1958}, size_t{2470}, size_t{576}}) {
    SCOPED_TRACE(size);
    const auto body = Pattern(size, 3);
    const auto path = File("p.bin");
    ASSERT_TRUE(WriteProfileFile(path, body, 2));

    const auto bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), kHeaderSize + size);
    const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + kHeaderSize);
    EXPECT_EQ(header, (std::vector<uint8_t>{0xAA, 0x55, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(std::equal(body.begin(), body.end(), bytes.begin() + kHeaderSize));

    std::vector<uint8_t> back(size, 0);
    EXPECT_EQ(ReadProfileFile(path, back, 2), kReadOk);
    EXPECT_EQ(back, body);
  }
}

TEST_F(ProfileDataFileTest, OnlyTheMagicDecidesTheFormat) {
  const auto body = Pattern(64, 9);
  auto bytes = BuildProfileFile(body, 3);

  // Another device's code and nonzero reserved bytes are accepted.
  bytes[2] = 0x77;
  bytes[4] = 1;
  bytes[9] = 0xFF;
  WriteBytes(File("other.led"), bytes);
  std::vector<uint8_t> back(64, 0);
  EXPECT_EQ(ReadProfileFile(File("other.led"), back, 2), kReadOk);
  EXPECT_EQ(back, body);

  // The right size with the magic's bytes swapped is the wrong format, and
  // leaves the caller's buffer alone.
  bytes[0] = 0x55;
  bytes[1] = 0xAA;
  WriteBytes(File("swapped.led"), bytes);
  std::vector<uint8_t> untouched(64, 0xEE);
  EXPECT_EQ(ReadProfileFile(File("swapped.led"), untouched, 2), kReadBadFormat);
  EXPECT_EQ(untouched, std::vector<uint8_t>(64, 0xEE));
}

TEST_F(ProfileDataFileTest, ShortFileFillsWhatIsThereAndLeavesTheRestAsPrepared) {
  const auto body = Pattern(512, 1);
  auto bytes = BuildProfileFile(body, 1);
  bytes.resize(kHeaderSize + 100);
  WriteBytes(File("short.pro"), bytes);

  std::vector<uint8_t> back(512, 0xEE);
  ASSERT_EQ(ReadProfileFile(File("short.pro"), back, 1), kReadOk);
  EXPECT_TRUE(std::equal(body.begin(), body.begin() + 100, back.begin()));
  EXPECT_EQ(std::vector<uint8_t>(back.begin() + 100, back.end()), std::vector<uint8_t>(412, 0xEE));
}

TEST_F(ProfileDataFileTest, FileEndingInsideTheHeaderIsJudgedByItsMagicAlone) {
  std::vector<uint8_t> back(64, 0xEE);
  WriteBytes(File("empty"), {});
  EXPECT_EQ(ReadProfileFile(File("empty"), back, 1), kReadBadFormat);
  WriteBytes(File("one"), {0xAA});
  EXPECT_EQ(ReadProfileFile(File("one"), back, 1), kReadBadFormat);
  WriteBytes(File("magic"), {0xAA, 0x55, 0, 0, 1});
  EXPECT_EQ(ReadProfileFile(File("magic"), back, 1), kReadOk);
  EXPECT_EQ(back, std::vector<uint8_t>(64, 0xEE));
}

TEST_F(ProfileDataFileTest, LongFileExtraBytesAreIgnored) {
  const auto body = Pattern(64, 4);
  auto bytes = BuildProfileFile(body, 2);
  bytes.insert(bytes.end(), 100000, 0x33);
  WriteBytes(File("long.led"), bytes);

  std::vector<uint8_t> back(64, 0);
  EXPECT_EQ(ReadProfileFile(File("long.led"), back, 2), kReadOk);
  EXPECT_EQ(back, body);
}

TEST_F(ProfileDataFileTest, AbsentOrUnreadableIsReportedAsAbsent) {
  std::vector<uint8_t> back(64, 0xEE);
  EXPECT_EQ(ReadProfileFile(File("missing.led"), back, 2), kReadAbsent);
  std::filesystem::create_directory(File("folder.led"));
  EXPECT_EQ(ReadProfileFile(File("folder.led"), back, 2), kReadAbsent);
  EXPECT_EQ(back, std::vector<uint8_t>(64, 0xEE));
}

TEST_F(ProfileDataFileTest, FailedWriteSaysSoOnTheDebugChannelAndLeavesTheOldFile) {
  const auto path = File("no-such-folder") / "x.pro";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(WriteProfileFile(path, Pattern(512, 0), 1));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("profile file could not be written: "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));

  // A target that is a folder cannot be replaced; nothing is left behind.
  std::filesystem::create_directory(File("taken.pro"));
  EXPECT_FALSE(WriteProfileFile(File("taken.pro"), Pattern(512, 0), 1));
  EXPECT_TRUE(std::filesystem::is_directory(File("taken.pro")));
}

TEST(ParseProfileFile, CopiesNoMoreThanTheBodyHolds) {
  const auto body = Pattern(80, 2);
  const auto bytes = BuildProfileFile(body, 1);
  std::vector<uint8_t> small(10, 0);
  EXPECT_EQ(ParseProfileFile(bytes, small), kReadOk);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), body.begin()));
  EXPECT_EQ(ParseProfileFile(std::span<const uint8_t>(bytes).first(kHeaderSize), small), kReadOk);
}

}  // namespace
}  // namespace talvo::profiles
