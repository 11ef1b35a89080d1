// Macros as a user makes them with the simulated mouse: recorded from key
// events, edited, saved, stored in the mouse's memory; and macro files that
// try to reach outside the mouse's folder or size things by a huge count.
#include <QDir>
#include <QFile>
#include <QJsonArray>

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
      QByteArray::fromHex(talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", "mouse"},
                                                    {"area", "macro"}})
                              .value("hex")
                              .toString()
                              .toLatin1());
  EXPECT_EQ(memory.left(22).toHex(), "aa552a00010000000000000000000000" "1200" "0500" "0000");
  EXPECT_EQ(memory.mid(22, 8).toHex(), "ffff8a0432000a04");
}

TEST_F(MacrosTest, HugeCountsAreBoundedAndNothingIsSent) {
  const QString folder = MouseFolder(folders_);
  WriteFile(folder + "/msMacro.ini",
            "[MACROCOUNT]\ncount=2000000000\n[MACRONAME]\n0=../escaped\n1=ok\n[CURSORCOUNT]\ncount=4\n");
  WriteFile(folder + "/ok.mac", "[MACROACTIONCOUNT]\ncount=4000000000\n");
  TalvoRun& talvo = OpenMacroPage(Launch());
  // As many entries as a key can name (256), "ok" with 65535 steps: 263692
  // bytes against the mouse's 4096.
  EXPECT_EQ(talvo.Get("ms_MacroName_list").value("count").toInt(), 256);
  talvo.Request(Command("check", "ms_key_Op_tab", "on", true));
  talvo.Request("messages");
  talvo.Request(Command("click", "ms_key_butt_prosave", "x", 0));
  const QJsonArray shown = talvo.WaitForMessages(kWaitTimeoutMs);
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown.at(0).toObject().value("text").toString().contains("64900"));
  // Only the cursor macros go: no macros and no key map naming them.
  Pause(talvo, 300);
  EXPECT_EQ(Collapsed(SequenceCommands(talvo)), (std::vector<int>{1, 23, 2}));
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
