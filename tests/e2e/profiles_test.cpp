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

QJsonArray Items(TalvoRun& talvo) { return talvo.Get("ms_device_profile_combo").value("items").toArray(); }

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The mouse page with its device profile buttons shown.
TalvoRun& OpenProfileButtons(TalvoRun& talvo) {
  OpenMouseTab(talvo, "ms_deng_Op_tab");
  talvo.Request(Click("ms_profile_fun_spread_btn"));
  return talvo;
}

TEST_F(ProfilesTest, AddCopyRenameAndDeleteKeepListAndFilesTogether) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  ASSERT_TRUE(talvo.Request(Click("ms_pro_device_add_btn")).value("ok").toBool());
  talvo.Request(Click("ms_pro_device_copy_btn"));
  EXPECT_EQ(Items(talvo), (QJsonArray{"配置1", "配置2", "配置2 copy"}));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 2);

  talvo.Request(QJsonObject{{"cmd", "type"}, {"name", "ms_device_profile_name_edit"}, {"text", "Shooter"}});
  talvo.Request(Click("ms_device_profile_edit_save_btn"));
  const QString folder = MouseFolder(folders_);
  EXPECT_TRUE(QFile::exists(folder + "/Shooter.config"));
  EXPECT_FALSE(QFile::exists(folder + "/配置2 copy.config"));

  talvo.Request(QJsonObject{{"cmd", "answers"}, {"values", QJsonArray{1}}});
  talvo.Request(Click("ms_pro_device_sub_btn"));
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
  talvo.Request(Click("ms_pro_device_add_btn"));
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
  talvo.Request(Click("ms_pro_device_add_btn"));
  for (const QString& target : {folders_.Root() + "/exported.config", folders_.Root() + "/no/such/out.config"}) {
    talvo.Do({Dialog(target), Click("ms_pro_device_export_btn")});
    EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 1);
  }
  EXPECT_TRUE(QFile::exists(folders_.Root() + "/exported.config"));
  const QJsonArray shown = Messages(talvo);
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.at(0).toObject().value("text").toString().contains("/no/such/out.config"));
}

// Links that cannot be followed: a profile whose file went missing gives no
// box over the program in front and the list stays on the profile in use;
// a Windows program from another system's index never matches, but its
// profile can be chosen, renamed and unlinked.
TEST_F(ProfilesTest, LinksThatCannotBeFollowedLeaveTheProfilesUsable) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  talvo.Do({Click("ms_pro_device_add_btn"), Click("ms_pro_device_add_btn"), Dialog("/usr/bin/game"),
            Check("ms_device_profile_link_check"), Choose("ms_device_profile_combo", 0)});
  ASSERT_TRUE(QFile::remove(MouseFolder(folders_) + "/配置3.config"));
  // Written as the first key of its section, which is the one read.
  const QString index = MouseFolder(folders_) + "/msProfile.ini";
  QByteArray text = ReadFile(index);
  text.insert(text.indexOf('\n', text.indexOf("[PROFILELIKEDEVICEEXE]")) + 1, "1=1\n");
  text.insert(text.indexOf('\n', text.indexOf("[DEVICEPROCESS]")) + 1, "1=C:\\Games\\game.exe\n");
  QFile file(index);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
  file.close();
  Messages(talvo);

  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/game"}});
  Pause(talvo, 4500);  // past two of a watcher's polls: tried once
  EXPECT_EQ(talvo.Log().count("could not be loaded"), 1);
  EXPECT_TRUE(Messages(talvo).isEmpty());
  EXPECT_EQ(talvo.Get("ms_device_profile_name_edit").value("text").toString(), "配置1");

  talvo.Do({QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/other"}}, Choose("ms_device_profile_combo", 1)});
  EXPECT_EQ(talvo.Get("ms_device_profile_link_edit").value("text").toString(), "game.exe");
  talvo.Do({Type("ms_device_profile_name_edit", "Windows game"), Click("ms_device_profile_edit_save_btn"),
            Click("ms_device_cancle_link_btn")});
  EXPECT_EQ(Items(talvo), (QJsonArray{"配置1", "Windows game", "配置3"}));
  EXPECT_TRUE(ReadFile(index).contains("PROFILELIKEDEVICEEXE]\n1=0")) << ReadFile(index).toStdString();
}

// Switching between two linked programs: a profile that could not be loaded
// while its program was in front is tried again when that program comes back
// after the other one's profile was shown, so a file put back is followed.
TEST_F(ProfilesTest, AnUnloadableLinkedProfileIsTriedAgainAfterAnotherLinkedOne) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  talvo.Do({Click("ms_pro_device_add_btn"), Dialog("/usr/bin/game"), Check("ms_device_profile_link_check"),
            Click("ms_pro_device_add_btn"), Dialog("/usr/bin/other"), Check("ms_device_profile_link_check"),
            Choose("ms_device_profile_combo", 0)});
  const QString file = MouseFolder(folders_) + "/配置2.config", aside = file + ".aside";
  Pause(talvo, 300);
  ASSERT_TRUE(QFile::rename(file, aside));
  const auto shows = [&](int entry) {
    return WaitFor(talvo, [&] { return talvo.Get("ms_device_profile_combo").value("index").toInt() == entry; });
  };

  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/game"}});
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Log().count("could not be loaded") == 1; }));
  EXPECT_TRUE(shows(0));
  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/other"}});
  ASSERT_TRUE(shows(2));
  ASSERT_TRUE(QFile::rename(aside, file));
  talvo.Request(QJsonObject{{"cmd", "foreground"}, {"path", "/usr/bin/game"}});
  EXPECT_TRUE(shows(1)) << talvo.Log().toStdString();
}

// Links made through the program chooser in each form a link takes: a Steam
// app and a Windows program are kept as given and shown as they are; the
// mouse's device list refuses a program another entry names already, a
// Windows program whatever its folder or case, and text naming no program
// links nothing.
TEST_F(ProfilesTest, TheProgramChooserLinksSteamAppsAndWindowsPrograms) {
  TalvoRun& talvo = OpenProfileButtons(Launch());
  const char* kField = "ms_device_profile_link_edit";
  talvo.Do({Click("ms_pro_device_add_btn"), Dialog("steam:570"), Check("ms_device_profile_link_check")});
  EXPECT_EQ(talvo.Get(kField).value("text").toString(), "steam:570");
  talvo.Do({Choose("ms_device_profile_combo", 0), Dialog("game.exe"), Click("ms_device_profile_link_btn")});
  EXPECT_EQ(talvo.Get(kField).value("text").toString(), "game.exe");
  const QByteArray index = ReadFile(MouseFolder(folders_) + "/msProfile.ini");
  const qsizetype processes = index.indexOf("[DEVICEPROCESS]");
  EXPECT_NE(index.indexOf("\n0=game.exe\n", processes), -1) << index.toStdString();
  EXPECT_NE(index.indexOf("\n1=steam:570\n", processes), -1) << index.toStdString();

  talvo.Do({Click("ms_pro_device_add_btn"), Dialog("notes"), Check("ms_device_profile_link_check")});
  EXPECT_FALSE(talvo.Get("ms_device_profile_link_check").value("checked").toBool());
  EXPECT_TRUE(Messages(talvo).isEmpty());
  talvo.Do({Dialog("C:\\Games\\GAME.EXE"), Check("ms_device_profile_link_check")});
  const QJsonArray shown = Messages(talvo);
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown.at(0).toObject().value("text_id").toString(), "message_text_13");
  EXPECT_FALSE(talvo.Get("ms_device_profile_link_check").value("checked").toBool());

  talvo.Request(Choose("ms_device_profile_combo", 1));
  EXPECT_EQ(talvo.Get(kField).value("text").toString(), "steam:570");
  EXPECT_TRUE(talvo.Get("ms_device_profile_link_check").value("checked").toBool());
}

}  // namespace
}  // namespace talvo::e2e
