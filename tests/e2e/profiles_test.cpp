// The mouse's device profiles as a user keeps them: added, copied, renamed and
// deleted through the list's buttons, and one linked to a program that takes
// over while that program is in front.
#include <QDir>
#include <QFile>
#include <QJsonArray>

#include <algorithm>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using ProfilesTest = E2eTest;

QJsonObject Named(const char* cmd, const char* name) { return QJsonObject{{"cmd", cmd}, {"name", name}}; }

QJsonArray Items(TalvoRun& talvo) { return talvo.Get("ms_device_profile_combo").value("items").toArray(); }

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The mouse page with its device profile buttons shown.
TalvoRun& OpenProfileButtons(TalvoRun& talvo) {
  OpenMouseTab(talvo, "ms_deng_Op_tab");
  talvo.Request(Named("click", "ms_profile_fun_spread_btn"));
  return talvo;
}

TEST_F(ProfilesTest, AddCopyRenameAndDeleteKeepListAndFilesTogether) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  ASSERT_TRUE(talvo.Request(Named("click", "ms_pro_device_add_btn")).value("ok").toBool());
  talvo.Request(Named("click", "ms_pro_device_copy_btn"));
  EXPECT_EQ(Items(talvo), (QJsonArray{"配置1", "配置2", "配置2 copy"}));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 2);

  talvo.Request(QJsonObject{{"cmd", "type"}, {"name", "ms_device_profile_name_edit"}, {"text", "Shooter"}});
  talvo.Request(Named("click", "ms_device_profile_edit_save_btn"));
  const QString folder = MouseFolder(folders_);
  EXPECT_TRUE(QFile::exists(folder + "/Shooter.config"));
  EXPECT_FALSE(QFile::exists(folder + "/配置2 copy.config"));

  talvo.Request(QJsonObject{{"cmd", "answers"}, {"values", QJsonArray{1}}});
  talvo.Request(Named("click", "ms_pro_device_sub_btn"));
  EXPECT_EQ(Items(talvo), (QJsonArray{"配置1", "配置2"}));
  EXPECT_FALSE(QFile::exists(folder + "/Shooter.config"));
  const QByteArray index = ReadFile(folder + "/msProfile.ini");
  EXPECT_TRUE(index.contains("PROFILEDEVICECOUNT]\ncount=2")) << index.toStdString();

  // A profile whose file went away is told and the list stays on the one in use.
  ASSERT_TRUE(QFile::remove(folder + "/配置2.config"));
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_device_profile_combo"}, {"index", 0}});
  talvo.Request("messages");
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_device_profile_combo"}, {"index", 1}});
  const QJsonArray shown = talvo.Request("messages").value("messages").toArray();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown.at(0).toObject().value("text_id").toString(), "message_text_22");
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 0);
  EXPECT_TRUE(ReadFile(folder + "/msProfile.ini").contains("PROFILEDEVICESELECT]\nselect=0"));
  Pause(talvo, 300);
  EXPECT_FALSE(QFile::exists(folder + "/配置2.config")) << "no save lands in the file that failed";
}

TEST_F(ProfilesTest, ALinkedProfileFollowsItsProgramAndTheUsersChoiceComesBack) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  talvo.Request(Named("click", "ms_pro_device_add_btn"));
  talvo.Request(QJsonObject{{"cmd", "dialogs"}, {"paths", QJsonArray{"/usr/bin/game"}}});
  talvo.Request(QJsonObject{{"cmd", "check"}, {"name", "ms_device_profile_link_check"}, {"on", true}});
  EXPECT_EQ(talvo.Get("ms_device_profile_link_edit").value("text").toString(), "game");
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_device_profile_combo"}, {"index", 0}});
  const QString userFile = MouseFolder(folders_) + "/配置1.config";
  Pause(talvo, 300);
  const QByteArray userBytes = ReadFile(userFile);
  talvo.Request(Sim("clear"));

  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/game"}});
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_device_profile_combo").value("index").toInt() == 1; }, 5000));
  ASSERT_TRUE(WaitFor(talvo, [&] {
    const std::vector<int> commands = SequenceCommands(talvo);
    return std::count(commands.begin(), commands.end(), 9) > 0 && std::count(commands.begin(), commands.end(), 6) > 0;
  }));
  EXPECT_TRUE(ReadFile(MouseFolder(folders_) + "/msProfile.ini").contains("PROFILEDEVICESELECT]\nselect=0"));

  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/other"}});
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_device_profile_combo").value("index").toInt() == 0; }, 5000));
  Pause(talvo, 300);
  EXPECT_EQ(ReadFile(userFile), userBytes) << "the user's profile is not written by the switch";
}

TEST_F(ProfilesTest, AnExportChangesNothingButTheFileWritten) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  talvo.Request(Named("click", "ms_pro_device_add_btn"));
  const QString target = folders_.Root() + "/exported.config";
  talvo.Request(QJsonObject{{"cmd", "dialogs"}, {"paths", QJsonArray{target}}});
  talvo.Request(Named("click", "ms_pro_device_export_btn"));
  EXPECT_TRUE(QFile::exists(target));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 1);
  EXPECT_EQ(talvo.Get("ms_device_profile_name_edit").value("text").toString(), "配置2");

  talvo.Request(QJsonObject{{"cmd", "dialogs"}, {"paths", QJsonArray{folders_.Root() + "/no/such/out.config"}}});
  talvo.Request("messages");
  talvo.Request(Named("click", "ms_pro_device_export_btn"));
  const QJsonArray shown = talvo.Request("messages").value("messages").toArray();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.at(0).toObject().value("text").toString().contains("/no/such/out.config"));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 1);
}

// A linked profile whose file went missing: no box over the program in
// front, and the list goes on showing the profile in use.
TEST_F(ProfilesTest, ALinkedProfileThatCannotBeLoadedLeavesTheLiveOneQuietly) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  talvo.Request(Named("click", "ms_pro_device_add_btn"));
  talvo.Request(QJsonObject{{"cmd", "dialogs"}, {"paths", QJsonArray{"/usr/bin/game"}}});
  talvo.Request(QJsonObject{{"cmd", "check"}, {"name", "ms_device_profile_link_check"}, {"on", true}});
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_device_profile_combo"}, {"index", 0}});
  ASSERT_TRUE(QFile::remove(MouseFolder(folders_) + "/配置2.config"));
  talvo.Request("messages");

  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/game"}});
  Pause(talvo, 2500);  // past a watcher's poll
  EXPECT_TRUE(talvo.Request("messages").value("messages").toArray().isEmpty());
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 0);
  EXPECT_EQ(talvo.Get("ms_device_profile_name_edit").value("text").toString(), "配置1");
}

// An index from another system may link a profile to a Windows program: the
// entry never matches here, but it can be chosen, renamed and unlinked.
TEST_F(ProfilesTest, AnEntryLinkedToAProgramOfAnotherSystemStaysUsable) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  talvo.Request(Named("click", "ms_pro_device_add_btn"));
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_device_profile_combo"}, {"index", 0}});
  // Written as the first key of its section, which is the one read.
  const QString index = MouseFolder(folders_) + "/msProfile.ini";
  QByteArray text = ReadFile(index);
  for (const auto& [section, line] : {std::pair{"[PROFILELIKEDEVICEEXE]", "1=1"},
                                      std::pair{"[DEVICEPROCESS]", "1=C:\\Games\\game.exe"}}) {
    const qsizetype at = text.indexOf(section);
    if (at < 0) {
      text += QByteArray(section) + "\n" + line + "\n";
    } else {
      text.insert(text.indexOf('\n', at) + 1, QByteArray(line) + "\n");
    }
  }
  QFile file(index);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
  file.close();

  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_device_profile_combo"}, {"index", 1}});
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 1);
  EXPECT_TRUE(talvo.Get("ms_device_profile_link_check").value("checked").toBool());
  EXPECT_EQ(talvo.Get("ms_device_profile_link_edit").value("text").toString(), "game.exe");
  talvo.Request(QJsonObject{{"cmd", "type"}, {"name", "ms_device_profile_name_edit"}, {"text", "Windows game"}});
  talvo.Request(Named("click", "ms_device_profile_edit_save_btn"));
  EXPECT_EQ(Items(talvo), (QJsonArray{"配置1", "Windows game"}));
  talvo.Request(Named("click", "ms_device_cancle_link_btn"));
  EXPECT_FALSE(talvo.Get("ms_device_profile_link_check").value("checked").toBool());
  EXPECT_TRUE(ReadFile(index).contains("PROFILELIKEDEVICEEXE]\n1=0")) << ReadFile(index).toStdString();
}

}  // namespace
}  // namespace talvo::e2e
