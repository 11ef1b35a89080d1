// One program per user session, and what the tray icon does while the
// simulated mouse is plugged but not yet connected.
#include <QProcess>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using SingleInstanceTest = E2eTest;
using TrayTest = E2eTest;

constexpr int kMessageTimeoutMs = 5000;

QString OnlyTextId(const QJsonArray& messages) {
  return messages.size() == 1 ? messages.first().toObject().value("text_id").toString() : QString();
}

TEST_F(SingleInstanceTest, SecondStartActivatesTheFirstAndLeaves) {
  TalvoRun& first = Launch(Variables{}, "none");
  ASSERT_TRUE(first.Request("ready").value("ok").toBool());
  ASSERT_TRUE(first.Request("messages").value("messages").toArray().isEmpty());

  QProcess second;
  second.setProcessEnvironment(Environment());
  second.setStandardOutputFile(QProcess::nullDevice());
  second.setStandardErrorFile(QProcess::nullDevice());
  second.start(QStringLiteral(TALVO_BINARY), {QStringLiteral("--simulate")});
  if (!second.waitForFinished(5000)) {
    second.kill();
    second.waitForFinished(1000);
    FAIL() << "the second start is still running";
  }
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);

  // Brought to the front with no device connected, the program says so.
  EXPECT_EQ(OnlyTextId(first.WaitForMessages(kMessageTimeoutMs)), "message_text_1");
}

TEST_F(SingleInstanceTest, SecondStartBringsTheWindowForwardWhileTheMouseIsThere) {
  TalvoRun& first = Launch();
  ASSERT_TRUE(first.Request("ready").value("ok").toBool());
  // The watcher's first pass finds the mouse and brings the window forward.
  ASSERT_TRUE(WaitFor(first, [&] { return first.Get("ms_tab").value("visible").toBool(); }));
  ASSERT_TRUE(first.Request(QJsonObject{{"cmd", "click"}, {"name", "closebtn"}}).value("ok").toBool());
  ASSERT_TRUE(first.Request("window").value("minimized").toBool());

  QProcess second;
  second.setProcessEnvironment(Environment());
  second.setStandardOutputFile(QProcess::nullDevice());
  second.setStandardErrorFile(QProcess::nullDevice());
  second.start(QStringLiteral(TALVO_BINARY), {QStringLiteral("--simulate")});
  ASSERT_TRUE(second.waitForFinished(5000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(WaitFor(first, [&] { return !first.Request("window").value("minimized").toBool(true); }));
  EXPECT_TRUE(first.Request("messages").value("messages").toArray().isEmpty());
}

TEST_F(SingleInstanceTest, ProgramsWithDifferentRuntimeFoldersRunSideBySide) {
  TalvoRun& first = Launch();
  ASSERT_TRUE(first.Request("ready").value("ok").toBool());

  QProcessEnvironment other = Environment();
  const QString runtime = folders_.NewRuntimeDir("run-other");
  ASSERT_FALSE(runtime.isEmpty());
  other.insert("XDG_RUNTIME_DIR", runtime);
  TalvoRun& second = Launch(other);
  EXPECT_TRUE(second.Request("ready").value("ok").toBool());
  EXPECT_TRUE(first.Request("ready").value("ok").toBool());
  EXPECT_TRUE(first.Request("messages").value("messages").toArray().isEmpty())
      << "the second program activated the first instead of running on its own";
}

TEST_F(TrayTest, LeftClickWithoutConnectedMouseShowsMessageAndKeepsWindowHidden) {
  TalvoRun& talvo = Launch({{"TALVO_TRAY", "1"}}, "none");
  talvo.Request("ready");
  EXPECT_TRUE(talvo.Request(QJsonObject{{"cmd", "tray"}, {"button", "left"}}).value("ok").toBool());
  EXPECT_EQ(OnlyTextId(talvo.WaitForMessages(kMessageTimeoutMs)), "message_text_1");
  EXPECT_FALSE(talvo.Request("window").value("visible").toBool());
}

TEST_F(TrayTest, NoTrayIconToClickInNoTrayMode) {
  TalvoRun& talvo = Launch({{"TALVO_TRAY", "0"}});
  talvo.Request("ready");
  EXPECT_FALSE(talvo.Request("window").value("tray").toBool());
  const QJsonObject reply = talvo.Request(QJsonObject{{"cmd", "tray"}, {"button", "left"}});
  EXPECT_FALSE(reply.value("ok").toBool(true));
  EXPECT_TRUE(talvo.Request("messages").value("messages").toArray().isEmpty());
}

}  // namespace
}  // namespace talvo::e2e
