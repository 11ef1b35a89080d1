// Broken and hostile files in the user's folders, as a user or a crash
// leaves them: the program starts, lists what can be listed, cleans up after
// interrupted saves, and tells the user what it cannot do.
#include <QDir>
#include <QFile>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using FilesTest = E2eTest;

void WriteText(const QString& path, const QByteArray& text) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
  file.write(text);
}

QStringList ItemsOf(TalvoRun& talvo, const char* list) {
  QStringList items;
  for (const QJsonValue& item : talvo.Get(list).value("items").toArray()) items << item.toString();
  return items;
}

TEST_F(FilesTest, IndexesCutShortOrOversizedListOnlyNamedProfilesAndLeftoversAreRemoved) {
  // A kill between the count and the first name of the device list, a count
  // far beyond the names of the lighting list, and what an interrupted save
  // of a process long gone left behind.
  WriteText(MouseFolder(folders_) + "/msProfile.ini",
            "[PROFILEDEVICECOUNT]\ncount=1\n"
            "[PROFILEDENGCOUNT]\ncount=2000000000\n[PROFILEDENGNAME]\n0=day\n1=night\n");
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const QString leftover = MouseFolder(folders_) + "/.msProfile.ini." + QString::number(gone) + ".0.tmp";
  WriteText(leftover, "[PROFILEDEVICECOUNT]\ncou");

  TalvoRun& talvo = Launch(Variables{}, "none");
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  EXPECT_EQ(ItemsOf(talvo, "ms_device_profile_combo"), QStringList{"配置1"});
  EXPECT_EQ(ItemsOf(talvo, "ms_deng_profile_combo"), (QStringList{"day", "night"}));
  EXPECT_FALSE(QFile::exists(MouseFolder(folders_) + "/0.config"));
  EXPECT_TRUE(QFile::exists(MouseFolder(folders_) + "/配置1.config"));
  EXPECT_FALSE(QFile::exists(leftover));
  EXPECT_TRUE(talvo.Request("messages").value("messages").toArray().isEmpty());
}

TEST_F(FilesTest, SavesThatCannotBeMadeAreToldOnceTogether) {
  // "Documents" is a file: no folder of ours can exist below it.
  WriteText(folders_.Root() + "/home/Documents", "not a folder");
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  // The mouse's arrival may also say that its profile cannot be loaded.
  QStringList told;
  for (const QJsonValue& message : talvo.WaitForMessages(kWaitTimeoutMs))
    if (message.toObject().value("text_id").toString().isEmpty()) told << message.toObject().value("text").toString();
  ASSERT_EQ(told.size(), 1) << "one box for every folder that failed for the same reason";
  const QString text = told.first();
  EXPECT_TRUE(text.contains("cannot save to")) << qPrintable(text);
  EXPECT_TRUE(text.contains("Not a directory")) << qPrintable(text);
  for (const char* folder : {"Gaming MouseV1/kb", "Gaming MouseV1/ms", "Gaming MouseV1/mp"})
    EXPECT_TRUE(text.contains(folder)) << folder << " in " << qPrintable(text);

  // Changing a setting (once the mouse is read) fails the same way again:
  // nothing more is told.
  const QJsonObject chooseMode{{"cmd", "select"}, {"name", "ms_deng_combo_modeSelect2"}, {"index", 1}};
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Request(chooseMode).value("ok").toBool(); }));
  Pause(talvo, 300);
  for (const QJsonValue& message : talvo.Request("messages").value("messages").toArray())
    EXPECT_FALSE(message.toObject().value("text").toString().contains("cannot save to"))
        << qPrintable(message.toObject().value("text").toString());
}

TEST_F(FilesTest, AProfileWhoseFileIsGoneSaysSoWhenChosen) {
  WriteText(MouseFolder(folders_) + "/msProfile.ini",
            "[PROFILEDEVICECOUNT]\ncount=1\n[PROFILEDEVICENAME]\n0=vanished\n[PROFILEDEVICESELECT]\nselect=0\n");
  // The mouse's arrival chooses the device profile.
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());
  const QJsonArray messages = talvo.WaitForMessages(kWaitTimeoutMs);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages.first().toObject().value("text_id").toString(), "message_text_22");
}

}  // namespace
}  // namespace talvo::e2e
