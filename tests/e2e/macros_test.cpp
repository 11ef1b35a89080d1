// Macros as a user makes them with the simulated mouse: recorded from key
// events, edited, saved, stored in the mouse's memory; and macro files that
// try to reach outside the mouse's folder or size things by a huge count.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <sys/stat.h>

#include <algorithm>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using MacrosTest = E2eTest;

QJsonObject Key(int vk, bool down, bool extended = false) {
  return QJsonObject{{"cmd", "key"}, {"vk", vk}, {"down", down}, {"extended", extended}};
}

QJsonObject Command(const char* cmd, const char* name, const char* key, const QJsonValue& value) {
  return QJsonObject{{"cmd", cmd}, {"name", name}, {key, value}};
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Up with the mouse read and the macro page shown.
TalvoRun& OpenMacroPage(TalvoRun& talvo) {
  OpenMouseTab(talvo, "ms_macro_Op_tab");
  return talvo;
}

TEST_F(MacrosTest, RecordedEditedSavedAndStoredOnTheMouse) {
  TalvoRun& talvo = OpenMacroPage(Launch());
  ASSERT_EQ(talvo.Request(Command("click", "ms_macro_btn_name_add", "x", 0)).value("ok").toBool(), true);
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("items").toArray(), QJsonArray{"name_1"});

  talvo.Request(Command("check", "ms_macro_keyboard_event", "on", true));
  talvo.Request(Command("check", "ms_macro_check_time", "on", true));
  talvo.Request(Command("click", "ms_macro_btn_redio", "x", 0));
  EXPECT_EQ(talvo.Get("ms_macro_btn_redio").value("text_id").toString(), "macro_btn_stop_redio_text");
  for (const QJsonObject& key : {Key(0x41, true), Key(0x41, true), Key(0x41, false), Key(0x0D, true, true),
                                 Key(0x0D, false, true), Key(0xAF, true), Key(0x14, true)})
    talvo.Request(key);
  talvo.Request(Command("click", "ms_macro_btn_redio", "x", 0));
  const QJsonObject steps = talvo.Get("ms_Macro_list");
  // The held A is one press; volume up is no keyboard key; Caps Lock is one.
  ASSERT_EQ(steps.value("count").toInt(), 5);

  // The first step's pause, typed too large, is held at the limit.
  talvo.Request(Command("select", "ms_Macro_list", "index", 0));
  EXPECT_EQ(talvo.Get("ms_tab_macro_edit").value("page").toInt(), 1);
  talvo.Request(QJsonObject{{"cmd", "type"}, {"name", "ms__macro_edit_ActionDelay"}, {"text", "70000"}});
  EXPECT_EQ(talvo.Get("ms__macro_edit_ActionDelay").value("text").toString(), "65535");
  talvo.Request(Command("click", "ms_macro_btn_save", "x", 0));
  EXPECT_FALSE(talvo.Get("ms_macro_tab_saveorcancel").value("visible").toBool());
  const QByteArray file = ReadFile(MouseFolder(folders_) + "/name_1.mac");
  EXPECT_TRUE(file.contains("0=255,255,138,4,1,keyboard_key_A")) << file.toStdString();
  EXPECT_TRUE(file.contains("1=50,0,10,4,0,keyboard_key_A")) << file.toStdString();
  EXPECT_TRUE(file.contains("2=50,0,138,88,1,keyboard_key_Num Enter")) << file.toStdString();
  EXPECT_TRUE(file.contains("count=5")) << file.toStdString();

  talvo.Request(Sim("clear"));
  talvo.Request(Command("check", "ms_key_Op_tab", "on", true));
  ASSERT_EQ(talvo.Request(Command("click", "ms_key_butt_prosave", "x", 0)).value("ok").toBool(), true);
  EXPECT_TRUE(talvo.Get("setting_progress").value("visible").toBool());
  std::vector<int> commands;
  ASSERT_TRUE(WaitFor(talvo, [&] {
    commands = SequenceCommands(talvo);
    return std::count(commands.begin(), commands.end(), 2) == 3;
  }));
  // The cursor macros; 16 + 6 + 5 × 4 = 42 bytes of macros in one chunk; the key map.
  EXPECT_EQ(Collapsed(commands), (std::vector<int>{1, 23, 2, 1, 21, 2, 1, 9, 2}));
  EXPECT_EQ(std::count(commands.begin(), commands.end(), 21), 1);
  const QByteArray memory =
      SimMemory(talvo, "macro");
  EXPECT_EQ(memory.left(22).toHex(), "aa552a00010000000000000000000000" "1200" "0500" "0000");
  EXPECT_EQ(memory.mid(22, 8).toHex(), "ffff8a0432000a04");
}

TEST_F(MacrosTest, CountsCostWhatTheFilesHold) {
  const QString folder = MouseFolder(folders_);
  WriteFile(folder + "/msMacro.ini",
            "[MACROCOUNT]\ncount=2000000000\n[MACRONAME]\n0=../escaped\n1=ok\n[CURSORCOUNT]\ncount=4\n");
  WriteFile(folder + "/ok.mac", "[MACROACTIONCOUNT]\ncount=4000000000\n[MACROACTION]\n0=1,0,129,1,1,mouse_key_left\n");
  TalvoRun& talvo = OpenMacroPage(Launch());
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("items").toArray(), (QJsonArray{"../escaped", "ok"}));
  talvo.Do({Check("ms_key_Op_tab"), Click("ms_key_butt_prosave")});
  WaitForKeyMapWrite(talvo);
  // Two macros, of no step and of the one step the file holds: 16 + 12 + 4 bytes.
  EXPECT_EQ(SimMemory(talvo, "macro").left(4).toHex(), "aa552000");
  EXPECT_TRUE(Messages(talvo).isEmpty());
}

TEST_F(MacrosTest, ImportsAndExportsThatCannotBeDoneAreToldAndChangeNothing) {
  const QString root = folders_.Root();
  QDir().mkpath(root + "/folder.mac");
  ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/fifo.mac").constData(), 0600), 0);
  WriteFile(root + "/huge.mac", QByteArray(5 * 1024 * 1024, ';'));
  // A file that claims a hundred million steps and holds none imports at once, empty.
  WriteFile(root + "/claims.mac", "[MACROACTIONCOUNT]\ncount=99999999\n[MACROSELECTNAME]\nname=claims\n");
  TalvoRun& talvo = OpenMacroPage(Launch());
  for (const QString& path : {root + "/folder.mac", root + "/fifo.mac", root + "/missing.mac", QString("/dev/zero"),
                              root + "/huge.mac", root + "/claims.mac"}) {
    talvo.Do({Dialog(path), Click("ms_macro_btn_import")});
    QJsonArray ids;
    for (const QJsonValue& shown : Messages(talvo)) ids.append(shown.toObject().value("text_id"));
    EXPECT_EQ(ids, path.endsWith("claims.mac") ? QJsonArray{} : QJsonArray{"message_text_27"}) << path.toStdString();
  }
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("items").toArray(), QJsonArray{"claims"});
  EXPECT_EQ(talvo.Get("ms_Macro_list").value("count").toInt(), 0);

  talvo.Do({Dialog(root + "/no/such/folder/out.mac"), Click("ms_macro_btn_export")});
  const QJsonArray shown = Messages(talvo);
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.at(0).toObject().value("text").toString().contains("/no/such/folder/out.mac"));
}

// Macros named as people name them keep their steps across a restart, and a
// deleted macro takes no key to another macro, in any profile file.
TEST_F(MacrosTest, NamesAndKeysSurviveARenameADeleteAndARestart) {
  {
    TalvoRun& talvo = OpenMacroPage(Launch());
    for (int i = 0; i < 3; ++i) talvo.Request(Click("ms_macro_btn_name_add"));
    talvo.Request(Check("ms_macro_keyboard_event"));
    for (const auto& [index, name] : {std::pair{1, "Burst..."}, std::pair{2, "trail "}})
      talvo.Do({Choose("ms_MacroName_list", index), Click("ms_macro_btn_redio"), Key(0x41, true),
                Click("ms_macro_btn_redio"), Click("ms_macro_btn_save"), Type("ms_macro_edit_macroname", name),
                Click("ms_macro_btn_savemacroname")});
    // Button 3 plays "Burst..." in the first device profile, button 4 "trail" in a second one.
    talvo.Do({Check("ms_key_Op_tab"), Check("ms_key_3"), Choose("ms_key_fct_combo", 9),
              Choose("ms_key_fct_combo_23", 1), Click("ms_profile_fun_spread_btn"), Click("ms_pro_device_add_btn"),
              Check("ms_key_4"), Choose("ms_key_fct_combo", 9), Choose("ms_key_fct_combo_23", 2),
              Choose("ms_device_profile_combo", 0), Check("ms_macro_Op_tab"), Choose("ms_MacroName_list", 0),
              QJsonObject{{"cmd", "answers"}, {"values", QJsonArray{1, 1}}}, Click("ms_macro_btn_name_sub"),
              QJsonObject{{"cmd", "quit"}}});
    ASSERT_TRUE(talvo.WaitForExit(kStartTimeoutMs));
  }
  TalvoRun& talvo = OpenMacroPage(Launch());
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("items").toArray(), (QJsonArray{"Burst...", "trail"}));
  for (int index : {0, 1}) {
    talvo.Request(Choose("ms_MacroName_list", index));
    EXPECT_EQ(talvo.Get("ms_Macro_list").value("count").toInt(), 1) << index;
  }
  talvo.Request(Check("ms_key_Op_tab"));
  EXPECT_EQ(talvo.Get("ms_key_3").value("text").toString(), "Burst...");
  talvo.Request(Choose("ms_device_profile_combo", 1));
  EXPECT_EQ(talvo.Get("ms_key_4").value("text").toString(), "trail");
}

TEST_F(MacrosTest, NamesThatArePathsStayOutOfTheFileSystem) {
  WriteFile(folders_.Root() + "/import.mac", "[MACROSELECTNAME]\nname=../../outside\n");
  TalvoRun& talvo = OpenMacroPage(Launch());
  talvo.Request(QJsonObject{{"cmd", "dialogs"}, {"paths", QJsonArray{folders_.Root() + "/import.mac"}}});
  talvo.Request(Command("click", "ms_macro_btn_import", "x", 0));
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("items").toArray(), QJsonArray{"name_1"});
  talvo.Request(QJsonObject{{"cmd", "type"}, {"name", "ms_macro_edit_macroname"}, {"text", "../renamed"}});
  talvo.Request(Command("click", "ms_macro_btn_savemacroname", "x", 0));
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("items").toArray(), QJsonArray{"name_1"});
  EXPECT_EQ(talvo.Get("ms_macro_edit_macroname").value("text").toString(), "name_1");
  QJsonArray ids;
  for (const QJsonValue& m : talvo.Request("messages").value("messages").toArray())
    ids.append(m.toObject().value("text_id"));
  EXPECT_EQ(ids, (QJsonArray{"message_text_23", "message_text_23"}));
  EXPECT_TRUE(QFile::exists(MouseFolder(folders_) + "/name_1.mac"));
  for (const char* outside : {"/home/Documents/outside.mac", "/home/Documents/Gaming MouseV1/renamed.mac"})
    EXPECT_FALSE(QFile::exists(folders_.Root() + outside)) << outside;
}

}  // namespace
}  // namespace talvo::e2e
