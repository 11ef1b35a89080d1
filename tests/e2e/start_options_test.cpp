// How Talvo is started: the version on the command line, the main menu's
// login item that writes the autostart entry, and the start that entry makes
// (--hidden), which leaves the window where start-up put it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using StartOptionsTest = E2eTest;

TEST_F(StartOptionsTest, VersionAndHelpAreAnsweredWithoutADisplay) {
  struct Case {
    const char* argument;
    QString output;  // what standard output starts with
    bool whole;      // and is nothing more
  };
  const Case cases[] = {
      {"--version", QStringLiteral("talvo " TALVO_VERSION "\n"), true},
      {"--help", QStringLiteral("usage: talvo [--hidden]"), false},
  };
  for (const Case& c : cases) {
    QProcessEnvironment environment = Environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    QProcess talvo;
    talvo.setProcessEnvironment(environment);
    talvo.start(QStringLiteral(TALVO_BINARY), {QString::fromLatin1(c.argument)});
    ASSERT_TRUE(talvo.waitForFinished(kStartTimeoutMs)) << c.argument;
    EXPECT_EQ(talvo.exitStatus(), QProcess::NormalExit) << c.argument;
    EXPECT_EQ(talvo.exitCode(), 0) << c.argument;
    const QString output = QString::fromUtf8(talvo.readAllStandardOutput());
    EXPECT_TRUE(c.whole ? output == c.output : output.startsWith(c.output)) << c.argument << ": " << qPrintable(output);
    EXPECT_TRUE(talvo.readAllStandardError().isEmpty()) << c.argument;
  }
}

TEST_F(StartOptionsTest, AHiddenStartLeavesTheWindowInTheTrayOrMinimizedWhenTheMouseIsFound) {
  struct Case {
    bool hidden;
    const char* tray;
    bool visible;
    bool minimized;
  };
  const Case cases[] = {
      {false, "1", true, false},  // an ordinary start brings the window forward
      {true, "1", false, false},
      {true, "0", true, true},
  };
  for (const Case& c : cases) {
    const std::string what = std::string(c.hidden ? "--hidden" : "plain") + ", TALVO_TRAY=" + c.tray;
    TalvoRun& talvo = Launch(Environment({{"TALVO_TRAY", c.tray}}), "mouse",
                             c.hidden ? QStringList{"--hidden"} : QStringList{});
    ASSERT_TRUE(talvo.Request("ready").value("ok").toBool()) << what;
    // The full read follows the activation the mouse's arrival brings.
    OpenMouseTab(talvo, "ms_deng_Op_tab");
    const QJsonObject window = talvo.Request("window");
    EXPECT_EQ(window.value("visible").toBool(), c.visible) << what;
    EXPECT_EQ(window.value("minimized").toBool(), c.minimized) << what;

    if (c.hidden && window.value("tray").toBool()) {
      // The tray icon brings it out.
      talvo.Request(QJsonObject{{"cmd", "tray"}, {"button", "left"}});
      EXPECT_TRUE(talvo.Request("window").value("visible").toBool()) << what;
    }
    talvo.Request("quit");
    EXPECT_TRUE(talvo.WaitForExit(kStartTimeoutMs)) << what;
  }
}

TEST_F(StartOptionsTest, TheLoginItemWritesAndRemovesTheAutostartEntryAndTellsWhyItCannot) {
  TalvoRun& talvo = Launch(Variables{}, "none");
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  const QJsonObject loginItem{{"cmd", "menu"}, {"item", "autostart"}};
  const QString folder = folders_.Root() + QStringLiteral("/config/autostart");
  QFile entry(folder + QStringLiteral("/talvo.desktop"));

  ASSERT_TRUE(talvo.Request(loginItem).value("ok").toBool());
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const QString program = QFileInfo(QStringLiteral(TALVO_BINARY)).canonicalFilePath();
  EXPECT_TRUE(QString::fromUtf8(entry.readAll()).contains("\nExec=\"" + program + "\" --hidden\n"));
  entry.close();

  talvo.Request(loginItem);
  EXPECT_FALSE(entry.exists());
  EXPECT_TRUE(Messages(talvo).isEmpty());

  // A file where the folder should be.
  ASSERT_TRUE(QDir(folder).removeRecursively());
  QFile blocker(folder);
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  talvo.Request(loginItem);
  const QJsonArray told = Messages(talvo);
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told.first().toObject().value("text").toString().contains(entry.fileName()));
}

}  // namespace
}  // namespace talvo::e2e
