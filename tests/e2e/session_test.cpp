// Start-up, screenshots and the ways the program ends.
#include <QFileInfo>
#include <QImage>
#include <csignal>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using StartupTest = E2eTest;
using ScreenshotTest = E2eTest;
using QuitTest = E2eTest;

constexpr int kQuitTimeoutMs = 10000;

TEST_F(StartupTest, WithoutTrayTheWindowStartsMinimized) {
  // The offscreen platform has no tray, so the program decides on its own.
  TalvoRun& talvo = Launch(Variables{}, "none");
  EXPECT_TRUE(talvo.Request("ready").value("ok").toBool());
  const QJsonObject window = talvo.Request("window");
  EXPECT_TRUE(window.value("ok").toBool());
  EXPECT_EQ(window.value("title").toString(), "Talvo");
  EXPECT_FALSE(window.value("tray").toBool());
  EXPECT_TRUE(window.value("minimized").toBool());
}

TEST_F(StartupTest, InTrayModeTheWindowStartsHidden) {
  TalvoRun& talvo = Launch({{"TALVO_TRAY", "1"}}, "none");
  EXPECT_TRUE(talvo.Request("ready").value("ok").toBool());
  const QJsonObject window = talvo.Request("window");
  EXPECT_TRUE(window.value("tray").toBool());
  EXPECT_FALSE(window.value("visible").toBool());
  EXPECT_EQ(window.value("title").toString(), "Talvo");
}

// The screenshot is the whole skinned window, drawn even when it is not on
// screen: not an empty or single-colour image.
void ExpectScreenshot(TalvoRun& talvo, const QString& path) {
  EXPECT_TRUE(talvo.Request(QJsonObject{{"cmd", "screenshot"}, {"path", path}}).value("ok").toBool());
  QImage image;
  ASSERT_TRUE(image.load(path, "PNG")) << qPrintable(path);
  EXPECT_EQ(image.size(), QSize(800, 572));
  const QRgb corner = image.pixel(0, 0);
  bool drawn = false;
  for (int y = 0; y < image.height() && !drawn; y += 4)
    for (int x = 0; x < image.width() && !drawn; x += 4) drawn = image.pixel(x, y) != corner;
  EXPECT_TRUE(drawn) << "the screenshot is a single colour";
}

TEST_F(ScreenshotTest, MinimizedWindow) {
  TalvoRun& talvo = Launch(Variables{}, "none");
  talvo.Request("ready");
  ExpectScreenshot(talvo, folders_.Root() + "/minimized.png");
}

TEST_F(ScreenshotTest, HiddenWindow) {
  TalvoRun& talvo = Launch({{"TALVO_TRAY", "1"}}, "none");
  talvo.Request("ready");
  ASSERT_FALSE(talvo.Request("window").value("visible").toBool());
  ExpectScreenshot(talvo, folders_.Root() + "/hidden.png");
}

TEST_F(QuitTest, QuitCommandEndsTheProgramAndRemovesTheSocket) {
  TalvoRun& talvo = Launch();
  talvo.Request("ready");
  EXPECT_TRUE(talvo.Request("quit").value("ok").toBool());
  ASSERT_TRUE(talvo.WaitForExit(kQuitTimeoutMs));
  EXPECT_TRUE(talvo.ExitedNormally());
  EXPECT_EQ(talvo.ExitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(talvo.SocketPath()));
}

TEST_F(QuitTest, SigtermEndsTheProgramAsQuitDoes) {
  TalvoRun& talvo = Launch();
  talvo.Request("ready");
  talvo.Terminate();
  ASSERT_TRUE(talvo.WaitForExit(kQuitTimeoutMs));
  EXPECT_TRUE(talvo.ExitedNormally());
  EXPECT_EQ(talvo.ExitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(talvo.SocketPath()));

  // Nothing left behind in the runtime folder makes the next start think
  // another instance is still running.
  EXPECT_TRUE(Launch().Request("ready").value("ok").toBool());
}

}  // namespace
}  // namespace talvo::e2e
