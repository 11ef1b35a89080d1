// A device that is plugged in but may not be opened (no udev rule gives the
// user access): the window says which device and how to allow it, once, and
// takes the device up as soon as it may be opened.
#include <QJsonDocument>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using DeviceAccessTest = E2eTest;

QJsonObject DenyOpen(bool denied) {
  QJsonObject request = Sim("deny_open");
  request.insert("denied", denied);
  return request;
}

// The one message shown, polled for; empty when there was none or more.
QString OnlyText(TalvoRun& talvo) {
  const QJsonArray messages = talvo.WaitForMessages(kWaitTimeoutMs);
  EXPECT_EQ(messages.size(), 1) << QJsonDocument(messages).toJson().constData();
  return messages.size() == 1 ? messages.first().toObject().value("text").toString() : QString();
}

TEST_F(DeviceAccessTest, ADeniedMouseIsToldOnceWithTheFixAndTakenUpOnceAllowed) {
  TalvoRun& talvo = Launch(Variables{}, "none");
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  talvo.Request(QJsonObject{{"cmd", "menu"}, {"item", "lan_en"}});
  ASSERT_TRUE(talvo.Request(DenyOpen(true)).value("ok").toBool());
  talvo.Request(Sim("plug"));

  const QString told = OnlyText(talvo);
  EXPECT_TRUE(told.startsWith("Mouse: ")) << qPrintable(told);
  EXPECT_TRUE(told.contains("70-talvo.rules")) << qPrintable(told);
  EXPECT_TRUE(told.contains("udevadm control --reload && udevadm trigger")) << qPrintable(told);
  // The watcher keeps trying every second without telling it again.
  Pause(talvo, 2500);
  EXPECT_TRUE(Messages(talvo).isEmpty());
  EXPECT_FALSE(talvo.Get("ms_tab").value("visible").toBool());

  // Access granted: the mouse's tab shows and its full read runs.
  talvo.Request(DenyOpen(false));
  EXPECT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_tab").value("visible").toBool(); }));
  OpenMouseTab(talvo, "ms_deng_Op_tab");
  EXPECT_TRUE(Messages(talvo).isEmpty());

  // Gone, then back without access: told again.
  talvo.Request(Sim("unplug"));
  EXPECT_EQ(talvo.WaitForMessages(kWaitTimeoutMs).first().toObject().value("text_id"), "message_text_20");
  talvo.Request(DenyOpen(true));
  talvo.Request(Sim("plug"));
  EXPECT_TRUE(OnlyText(talvo).startsWith("Mouse: "));
}

}  // namespace
}  // namespace talvo::e2e
