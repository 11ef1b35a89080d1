#include "platform/autostart.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "file_test_util.h"

namespace talvo::platform {
namespace {

using testing::ReadBytes;
using testing::ScopedEnvironment;
using testing::TempFolder;
using testing::WriteBytes;

class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.Set("HOME", (folder_ / "home").string());
    environment_.Set("XDG_CONFIG_HOME", (folder_ / "config").string());
  }
  std::filesystem::path Entry() const { return folder_ / "config/autostart/talvo.desktop"; }
  void Put(std::string_view text) {
    std::filesystem::create_directories(Entry().parent_path());
    WriteBytes(Entry(), text);
  }

  TempFolder folder_;
  ScopedEnvironment environment_;
};

TEST_F(AutostartTest, TheEntryStartsTheProgramHiddenWithItsPathQuoted) {
  struct Case {
    std::string program;
    std::string exec;
  };
  const Case cases[] = {
      {"/usr/bin/talvo", R"(Exec="/usr/bin/talvo" --hidden)"},
      {"/opt/My Apps/talvo", R"(Exec="/opt/My Apps/talvo" --hidden)"},
      // Quoting escapes " ` $ \ with a backslash; the string escapes then
      // double every backslash, and a literal % is written %%.
      {R"(/home/a"b`c$d\e%f/talvo)", R"(Exec="/home/a\\"b\\`c\\$d\\\\e%%f/talvo" --hidden)"},
      {"/home/tab\there/talvo", R"(Exec="/home/tab\there/talvo" --hidden)"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(EnableStartAtLogin(c.program)) << c.program;
    const std::string text = ReadBytes(Entry());
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\n"));
    for (const std::string& line : {std::string("Type=Application"), std::string("Name=Talvo"), std::string("Comment="),
                                    std::string("Icon=talvo"), std::string("X-GNOME-Autostart-enabled=true"), c.exec})
      EXPECT_NE(text.find("\n" + line), std::string::npos) << line;
    EXPECT_TRUE(StartsAtLogin()) << c.program;
  }
}

TEST_F(AutostartTest, OnlyAnEntryOfTalvosThatIsNotTurnedOffCountsAsOn) {
  const std::string ours = *AutostartEntryText("/usr/bin/talvo");
  struct Case {
    const char* what;
    std::optional<std::string> text;  // none: no file
    bool on;
  };
  const Case cases[] = {
      {"no entry", std::nullopt, false},
      {"Talvo's entry", ours, true},
      {"a bare program name", "[Desktop Entry]\nExec=talvo --hidden\n", true},
      {"spaces around the equals sign", "[Desktop Entry]\nExec = talvo\n", true},
      {"turned off by the desktop", ours + "Hidden=true\n", false},
      {"turned off in GNOME's way", "[Desktop Entry]\nExec=talvo\nX-GNOME-Autostart-enabled=false\n", false},
      {"another program", "[Desktop Entry]\nName=Talvo\nExec=/usr/bin/talvo-helper --hidden\n", false},
      {"a quoted path to another program", R"([Desktop Entry]
Exec="/opt/talvo/run" talvo
)",
       false},
      {"an unclosed quote", "[Desktop Entry]\nExec=\"/usr/bin/talvo\n", false},
      {"Exec outside the entry's group", "[Desktop Action x]\nExec=talvo\n", false},
      {"no Exec", "[Desktop Entry]\nName=Talvo\n", false},
      {"larger than any entry", ours + std::string(70 * 1024, '#'), false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Entry());
    if (c.text) Put(*c.text);
    EXPECT_EQ(StartsAtLogin(), c.on) << c.what;
  }
}

TEST_F(AutostartTest, AForeignFileOfThatNameIsNeitherReplacedNorRemoved) {
  const std::string foreign = "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other\n";
  Put(foreign);
  errno = 0;
  EXPECT_FALSE(EnableStartAtLogin("/usr/bin/talvo"));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_TRUE(DisableStartAtLogin());
  EXPECT_EQ(ReadBytes(Entry()), foreign);
}

}  // namespace
}  // namespace talvo::platform
