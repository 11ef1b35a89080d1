#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "file_test_util.h"

namespace talvo::platform {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

IniDocument ParseText(std::string_view text) {
  return IniDocument::Parse(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

class IniFileTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::filesystem::path file_ = folder_ / "msProfile.ini";
};

TEST_F(IniFileTest, MissingFileSectionOrKeyReadsAsDefault) {
  EXPECT_EQ(ReadIniString(file_, "PROFILECOUNT", "count", "0"), "0");
  EXPECT_EQ(ReadIniInt(file_, "PROFILECOUNT", "count", 7), 7);
  WriteBytes(file_, "[PROFILECOUNT]\ncount=3\n[EMPTY]\nkey=\n");
  EXPECT_EQ(ReadIniString(file_, "PROFILENAME", "count", "none"), "none");
  EXPECT_EQ(ReadIniString(file_, "PROFILECOUNT", "select", "none"), "none");
  // Present but empty is a value, not a missing key; as a number it is the
  // default, as the classic integer read does.
  EXPECT_EQ(ReadIniString(file_, "EMPTY", "key", "none"), "");
  EXPECT_EQ(ReadIniInt(file_, "EMPTY", "key", 9), 9);
  EXPECT_EQ(ReadIniString(folder_.path(), "PROFILECOUNT", "count", "dir"), "dir");
}

TEST_F(IniFileTest, SectionsAndKeysCompareAsciiCaseInsensitively) {
  WriteBytes(file_, "[ProfileCount]\nCOUNT=4\n[Größe]\nÄ=1\n");
  EXPECT_EQ(ReadIniString(file_, "PROFILECOUNT", "count", ""), "4");
  EXPECT_EQ(ReadIniString(file_, "profilecount", "Count", ""), "4");
  EXPECT_EQ(ReadIniString(file_, "Größe", "Ä", ""), "1");
  // Beyond ASCII names compare byte for byte.
  EXPECT_EQ(ReadIniString(file_, "GRÖSSE", "Ä", "x"), "x");
  EXPECT_EQ(ReadIniString(file_, "Größe", "ä", "x"), "x");

  ASSERT_TRUE(WriteIniString(file_, "profilecount", "count", "5"));
  EXPECT_EQ(ReadBytes(file_), "[ProfileCount]\nCOUNT=5\n[Größe]\nÄ=1\n");
}

TEST_F(IniFileTest, WhitespaceAroundNamesAndValuesIsTrimmedOnReading) {
  WriteBytes(file_, "  [ PROCESS ]  \r\n\t0 =  C:/games/a b.exe \t\r\n1= \r\n");
  EXPECT_EQ(ReadIniString(file_, "PROCESS", "0", ""), "C:/games/a b.exe");
  EXPECT_EQ(ReadIniString(file_, "PROCESS", "1", "x"), "");
}

TEST_F(IniFileTest, NumbersReadLikeAtoi) {
  WriteBytes(file_,
             "[N]\nplain=12\nsuffix=12x\nword=abc\nsigned=-3\nplus=+8\nhuge=99999999999\nlow=-99999999999\n");
  EXPECT_EQ(ReadIniInt(file_, "N", "plain", -1), 12);
  EXPECT_EQ(ReadIniInt(file_, "N", "suffix", -1), 12);
  EXPECT_EQ(ReadIniInt(file_, "N", "word", -1), 0);
  EXPECT_EQ(ReadIniInt(file_, "N", "signed", -1), -3);
  EXPECT_EQ(ReadIniInt(file_, "N", "plus", -1), 8);
  EXPECT_EQ(ReadIniInt(file_, "N", "huge", -1), INT_MAX);
  EXPECT_EQ(ReadIniInt(file_, "N", "low", -1), INT_MIN);
}

TEST_F(IniFileTest, DuplicatesUseTheFirstKeyOfTheFirstSection) {
  WriteBytes(file_, "[A]\nk=1\nk=2\n[B]\nx=0\n[a]\nk=3\nonly=later\n");
  EXPECT_EQ(ReadIniString(file_, "A", "k", ""), "1");
  EXPECT_EQ(ReadIniString(file_, "A", "only", "none"), "none");

  ASSERT_TRUE(WriteIniString(file_, "A", "k", "9"));
  EXPECT_EQ(ReadBytes(file_), "[A]\nk=9\nk=2\n[B]\nx=0\n[a]\nk=3\nonly=later\n");

  // Removing a key removes every copy reads could find in that section.
  ASSERT_TRUE(DeleteIniKey(file_, "a", "K"));
  EXPECT_EQ(ReadBytes(file_), "[A]\n[B]\nx=0\n[a]\nk=3\nonly=later\n");
  EXPECT_EQ(ReadIniString(file_, "A", "k", "gone"), "gone");

  // Removing a section removes all of its copies.
  ASSERT_TRUE(DeleteIniSection(file_, "A"));
  EXPECT_EQ(ReadBytes(file_), "[B]\nx=0\n");
}

TEST_F(IniFileTest, LinesWithoutMeaningAreKeptAndIgnored) {
  const std::string text =
      "stray=before any section\n; comment=1\n[S]\njust words\n;k=commented\n[broken\nk=real\n\n";
  WriteBytes(file_, text);
  EXPECT_EQ(ReadIniString(file_, "S", "k", ""), "real");
  EXPECT_EQ(ReadIniString(file_, "S", "just words", "none"), "none");
  EXPECT_EQ(ReadIniString(file_, "", "stray", "none"), "none");

  ASSERT_TRUE(WriteIniString(file_, "S", "new", "v"));
  EXPECT_EQ(ReadBytes(file_),
            "stray=before any section\n; comment=1\n[S]\njust words\n;k=commented\n[broken\nk=real\nnew=v\n\n");
}

TEST_F(IniFileTest, WritingKeepsEveryOtherLineByteForByte) {
  const std::string before =
      "\xEF\xBB\xBF; Talvo index\r\n\r\n[PROFILENAME]\r\n0 = profile1\r\n  1=配置1\r\n\r\n[PROFILESELECT]\r\n"
      "select=0\r\n[X]";
  WriteBytes(file_, before);

  ASSERT_TRUE(WriteIniString(file_, "PROFILENAME", "0", "renamed"));
  ASSERT_TRUE(WriteIniString(file_, "PROFILENAME", "2", "profile3"));
  ASSERT_TRUE(WriteIniString(file_, "NEW", "count", "1"));
  // The changed line keeps its text up to "=" and gets the value verbatim
  // after it; added lines follow the section's last entry and use the file's
  // line ending.
  EXPECT_EQ(ReadBytes(file_),
            "\xEF\xBB\xBF; Talvo index\r\n\r\n[PROFILENAME]\r\n0 =renamed\r\n  1=配置1\r\n2=profile3\r\n\r\n"
            "[PROFILESELECT]\r\nselect=0\r\n[X]\r\n[NEW]\r\ncount=1\r\n");
  EXPECT_EQ(ReadIniString(file_, "PROFILENAME", "1", ""), "配置1");
}

TEST_F(IniFileTest, WritingCreatesTheFileAndWritesValuesVerbatim) {
  ASSERT_TRUE(WriteIniString(file_, "PROCESS", "0", " "));
  ASSERT_TRUE(WriteIniString(file_, "PROCESS", "1", "/usr/bin/game"));
  EXPECT_EQ(ReadBytes(file_), "[PROCESS]\n0= \n1=/usr/bin/game\n");
}

TEST_F(IniFileTest, WritesThatWouldBreakTheFileAreRefused) {
  WriteBytes(file_, "[S]\nk=1\n");
  EXPECT_FALSE(WriteIniString(file_, "S", "k", "two\nlines"));
  EXPECT_FALSE(WriteIniString(file_, "S", "k", "cr\rhere"));
  EXPECT_FALSE(WriteIniString(file_, "S", "k", std::string_view("nul\0", 4)));
  EXPECT_FALSE(WriteIniString(file_, "S", "a=b", "1"));
  EXPECT_FALSE(WriteIniString(file_, "S", "", "1"));
  EXPECT_FALSE(WriteIniString(file_, "S", " padded", "1"));
  EXPECT_FALSE(WriteIniString(file_, "S", "[k]", "1"));
  EXPECT_FALSE(WriteIniString(file_, "S", ";k", "1"));
  EXPECT_FALSE(WriteIniString(file_, "S]x", "k", "1"));
  EXPECT_FALSE(WriteIniString(file_, "S\n", "k", "1"));
  EXPECT_EQ(ReadBytes(file_), "[S]\nk=1\n");
  // A folder where the file should be, or a missing folder, is an I/O failure.
  EXPECT_FALSE(WriteIniString(folder_.path(), "S", "k", "1"));
  EXPECT_FALSE(WriteIniString(folder_ / "absent/x.ini", "S", "k", "1"));
}

TEST_F(IniFileTest, ValuesAreCutTo259CodePointsNeverInsideOne) {
  const std::string ascii(300, 'a');
  std::string wide;
  for (int i = 0; i < 300; ++i) wide += "配";  // three bytes each
  ASSERT_TRUE(WriteIniString(file_, "S", "ascii", ascii));
  ASSERT_TRUE(WriteIniString(file_, "S", "wide", wide));
  EXPECT_EQ(ReadIniString(file_, "S", "ascii", ""), std::string(259, 'a'));
  EXPECT_EQ(ReadIniString(file_, "S", "wide", ""), wide.substr(0, 259 * 3));
  // The default goes through the same buffer.
  EXPECT_EQ(ReadIniString(file_, "S", "none", ascii), std::string(259, 'a'));
  // Bytes that start no valid sequence count one character each.
  EXPECT_EQ(CutToCodePoints("\xFF\xFE" "ab", 3), "\xFF\xFE" "a");
  EXPECT_EQ(CutToCodePoints("a\xE9\x85", 2), "a\xE9");
}

TEST_F(IniFileTest, Utf16LittleEndianFilesWithOrWithoutBomAreReadAndRewrittenWholeAsUtf8) {
  // "[S]\r\nname=配置1 😀\r\n" in UTF-16LE, as editors save it with and
  // without a BOM; a file may also start with a comment or a blank line.
  for (const std::u16string& text : {std::u16string(u"[S]\r\nname=\u914D\u7F6E1 \U0001F600\r\nk=1\r\n"),
                                     std::u16string(u"; note\r\n[S]\r\nname=\u914D\u7F6E1 \U0001F600\r\nk=1\r\n")}) {
    for (const bool bom : {true, false}) {
      SCOPED_TRACE(bom ? "with BOM" : "without BOM");
      std::string bytes = bom ? "\xFF\xFE" : "";
      for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
      }
      WriteBytes(file_, bytes);
      EXPECT_EQ(ReadIniString(file_, "s", "NAME", ""), "配置1 😀");

      ASSERT_TRUE(WriteIniString(file_, "S", "k", "2"));
      const std::string rewritten = ReadBytes(file_);
      EXPECT_TRUE(rewritten.ends_with("[S]\r\nname=配置1 😀\r\nk=2\r\n")) << rewritten;
      EXPECT_EQ(rewritten.find('\0'), std::string::npos) << "no UTF-16 left beside the UTF-8";
    }
  }
}

TEST_F(IniFileTest, SeveralValuesAreWrittenTogetherOrNotAtAll) {
  WriteBytes(file_, "[C]\ncount=0\n");
  const IniValue refused[] = {{"C", "count", "1"}, {"N", "0", "bad\nname"}};
  EXPECT_FALSE(WriteIniStrings(file_, refused));
  EXPECT_EQ(ReadBytes(file_), "[C]\ncount=0\n");

  const IniValue values[] = {{"C", "count", "1"}, {"N", "0", "profile1"}, {"S", "select", "0"}};
  ASSERT_TRUE(WriteIniStrings(file_, values));
  EXPECT_EQ(ReadBytes(file_), "[C]\ncount=1\n[N]\n0=profile1\n[S]\nselect=0\n");
}

TEST_F(IniFileTest, DeletingWhatIsAbsentSucceedsWithoutCreatingTheFile) {
  EXPECT_TRUE(DeleteIniKey(file_, "S", "k"));
  EXPECT_TRUE(DeleteIniSection(file_, "S"));
  EXPECT_FALSE(std::filesystem::exists(file_));
}

TEST_F(IniFileTest, LeftoverTemporaryFileFromACrashChangesNothing) {
  WriteBytes(file_, "[S]\nk=old\n");
  // What a write interrupted before its rename leaves behind.
  WriteBytes(folder_ / ".msProfile.ini.1.0.tmp", "[S]\nk=half-writ");
  EXPECT_EQ(ReadIniString(file_, "S", "k", ""), "old");
  ASSERT_TRUE(WriteIniString(file_, "S", "k", "new"));
  EXPECT_EQ(ReadIniString(file_, "S", "k", ""), "new");
}

TEST_F(IniFileTest, FailedWriteLeavesTheOldFileIntact) {
  const std::string before = "[S]\nk=old\n";
  WriteBytes(file_, before);
  // A file-size limit makes the write of the larger new text fail part way,
  // as a full disk would.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = WriteIniString(file_, "S", "k", std::string(200, 'n'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadBytes(file_), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), {}), 1)
      << "the temporary file is removed";
}

TEST(IniDocumentTest, UnchangedUtf8TextSerialisesToTheSameBytes) {
  using namespace std::literals;
  for (std::string_view text :
       {""sv, "\n"sv, "a"sv, "[S]\r\nk=v"sv, "\xEF\xBB\xBF[S]\nk=v\n"sv, "x\r"sv, "\r\n\r\n"sv, "[S]\nk=\xFF\x00v\n"sv}) {
    EXPECT_EQ(ParseText(text).Serialise(), text);
  }
}

TEST(IniLookupTest, AnswersLikeTheDocument) {
  const std::string_view text =
      "k=before any section\n"
      "[Names]\n"
      "0 = first \n"
      "1=one\n"
      "1=duplicate\n"
      "; 2=comment\n"
      "no equals sign\n"
      "=no key\n"
      "  [ other ]  \n"
      "x=1\n"
      "[NAMES]\n"
      "2=from a repeated section\n"
      "[empty]\n";
  const IniDocument document = ParseText(text);
  const IniLookup lookup = IniLookup::Parse(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  const std::pair<std::string_view, std::string_view> queries[] = {
      {"Names", "0"}, {"names", "1"}, {"NAMES", "2"}, {"Names", "; 2"}, {"Names", "no equals sign"},
      {"other", "x"}, {"OTHER", "X"}, {"empty", "k"}, {"", "k"},       {"missing", "0"}};
  for (const auto& [section, key] : queries) {
    SCOPED_TRACE(std::string(section) + "/" + std::string(key));
    const auto expected = document.Get(section, key);
    const auto found = lookup.Get(section, key);
    ASSERT_EQ(found.has_value(), expected.has_value());
    if (expected) {
      EXPECT_EQ(*found, *expected);
    }
  }
  EXPECT_EQ(lookup.Get("names", "0"), "first");
  EXPECT_EQ(lookup.Get("names", "1"), "one");
}

}  // namespace
}  // namespace talvo::platform
