// Giving the simulated mouse's buttons other functions on the key page and
// storing them on the mouse, as a user does.
#include <QDir>
#include <QFile>

#include <algorithm>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using KeysTest = E2eTest;

// The three bytes of `key` in each of the mouse folder's files with `suffix`
// (after their 16-byte header).
QList<QByteArray> KeyInFiles(const UserFolders& folders, const QString& suffix, int key) {
  QList<QByteArray> out;
  const QDir dir(MouseFolder(folders));
  for (const QString& name : dir.entryList({"*" + suffix}, QDir::Files)) {
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::ReadOnly)) out.push_back(f.readAll().mid(16 + 3 * key, 3).toHex());
  }
  return out;
}

TalvoRun& OpenKeyPage(TalvoRun& talvo) {
  OpenMouseTab(talvo, "ms_key_Op_tab");
  return talvo;
}

TEST_F(KeysTest, WheelDownOnAButtonIsStoredOnTheMouseAndInTheProfiles) {
  TalvoRun& talvo = OpenKeyPage(Launch());
  talvo.Request(Check("ms_key_3"));
  talvo.Request(Choose("ms_key_fct_combo", 3));
  talvo.Request(Choose("ms_key_fct_combo_13", 1));
  talvo.Request(Type("ms_key_fct_edit_16", "1"));
  EXPECT_EQ(talvo.Get("ms_key_3").value("text_id").toString(), "mouse_key_down_Swing");

  ASSERT_TRUE(talvo.Request(Click("ms_key_butt_prosave")).value("ok").toBool());
  std::vector<int> commands;
  ASSERT_TRUE(WaitFor(talvo, [&] {
    commands = SequenceCommands(talvo);
    return std::count(commands.begin(), commands.end(), 2) == 2;
  }));
  // The four factory cursor macros (2920 bytes), no macros, the key map.
  EXPECT_EQ(Collapsed(commands), (std::vector<int>{1, 23, 2, 1, 9, 2}));
  EXPECT_EQ(std::count(commands.begin(), commands.end(), 23), 53);
  const QByteArray cursor = SimMemory(talvo, "cursor");
  EXPECT_EQ(cursor.left(6).toHex(), "aa55680b0400");
  const QByteArray keymaps = SimMemory(talvo, "keymaps");
  EXPECT_EQ(keymaps.mid(3 * 3, 3).toHex(), "1200ff") << "profile 0 is the active one";
  ASSERT_TRUE(WaitFor(talvo, [&] { return KeyInFiles(folders_, ".config", 3).contains("1200ff"); }));
  EXPECT_TRUE(KeyInFiles(folders_, ".pro", 3).contains("1200ff"));
}

TEST_F(KeysTest, TheOnlyLeftClickStaysAndACapturedKeyIsAssigned) {
  TalvoRun& talvo = OpenKeyPage(Launch());
  talvo.Request(Check("ms_key_1"));
  talvo.Request("messages");
  talvo.Request(Check("ms_key_0"));
  const QJsonArray shown = talvo.Request("messages").value("messages").toArray();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown.at(0).toObject().value("text_id").toString(), "message_text_6");
  EXPECT_FALSE(talvo.Get("ms_tab_function").value("enabled").toBool());

  talvo.Request(Check("ms_key_4"));
  EXPECT_TRUE(talvo.Get("ms_tab_function").value("enabled").toBool());
  talvo.Request(Choose("ms_key_fct_combo", 6));
  talvo.Request(QJsonObject{{"cmd", "key"}, {"vk", 0x41}, {"down", true}});
  talvo.Request(QJsonObject{{"cmd", "key"}, {"vk", 0x41}, {"down", false}});
  EXPECT_EQ(talvo.Get("ms_key_fct_edit_21").value("text_id").toString(), "keyboard_key_A");
  EXPECT_EQ(talvo.Get("ms_key_4").value("text_id").toString(), "keyboard_key_A");
  // Another function ends the capture: keys are no longer taken.
  talvo.Request(Choose("ms_key_fct_combo", 0));
  talvo.Request(QJsonObject{{"cmd", "key"}, {"vk", 0x42}, {"down", true}});
  EXPECT_EQ(talvo.Get("ms_key_4").value("text_id").toString(), "mouse_key_back");
}

// Onboard profile p's map is 126 bytes at p × 126, but a write carries 512:
// storing profile 0 must leave profile 1 as it was stored.
TEST_F(KeysTest, StoringOneOnboardProfileLeavesTheLaterOnesAsStored) {
  TalvoRun& talvo = OpenKeyPage(Launch());
  for (const char* profile : {"ms_profile_1", "ms_profile_0"}) {
    // The switch asks which profile is active, selects the new one and reads its block.
    talvo.Request(Click(profile));
    ASSERT_TRUE(WaitFor(talvo, [&] { return SequenceCommands(talvo) == std::vector<int>{5, 6, 5}; }));
    Pause(talvo, 100);
    // Button 6 wakes the computer in profile 1; profile 0 is stored unchanged.
    if (QLatin1String(profile) == QLatin1String("ms_profile_1"))
      talvo.Do({Check("ms_key_6"), Choose("ms_key_fct_combo", 8), Choose("ms_key_fct_combo_22", 2)});
    talvo.Request(Click("ms_key_butt_prosave"));
    WaitForKeyMapWrite(talvo);
    EXPECT_EQ(SimMemory(talvo, "keymaps").mid(126 + 3 * 6, 3).toHex(), "400400") << profile;
  }
}

// Before the mouse's first read its memory size is unknown and its key maps
// are about to be replaced: a store and a chosen key wait for the read.
TEST_F(KeysTest, StoreAndKeyChoiceWaitForTheMousesFirstRead) {
  QDir().mkpath(MouseFolder(folders_));
  QFile index(MouseFolder(folders_) + "/msMacro.ini"), macro(MouseFolder(folders_) + "/m.mac");
  ASSERT_TRUE(index.open(QIODevice::WriteOnly) && macro.open(QIODevice::WriteOnly));
  index.write("[MACROCOUNT]\ncount=1\n[MACRONAME]\n0=m\n");
  macro.write("[MACROACTIONCOUNT]\ncount=12\n[MACROACTION]\n");
  for (int i = 0; i < 12; ++i) macro.write(QByteArray::number(i) + "=1,0,129,1,1,mouse_key_left\n");
  index.close();
  macro.close();

  // Every request fails until the fault is cleared: the mouse's first read gets nothing.
  TalvoRun& talvo = Launch(Variables{}, "none");
  QJsonObject fault{{"cmd", "sim"}, {"op", "fault"}, {"device", "mouse"}, {"fault", "status_ff"}, {"count", 100000}};
  talvo.Do({fault, Sim("plug")});
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_tab").value("visible").toBool(); }));
  Pause(talvo, 1000);
  talvo.Do({Check("ms_tab"), Check("ms_key_Op_tab"), Check("ms_key_6")});
  EXPECT_FALSE(talvo.Get("ms_tab_function").value("enabled").toBool());
  Messages(talvo);
  fault["fault"] = "none";
  talvo.Do({Click("ms_key_butt_prosave"), fault, Sim("clear"),
            QJsonObject{{"cmd", "sim"}, {"op", "notify"}, {"device", "mouse"}, {"usage", 0x402}}});
  WaitForKeyMapWrite(talvo);
  EXPECT_TRUE(Messages(talvo).isEmpty()) << "no steps to remove";
  EXPECT_EQ(SimMemory(talvo, "macro").left(6).toHex(), "aa5546000100");
  EXPECT_TRUE(talvo.Get("ms_tab_function").value("enabled").toBool());
}

TEST_F(KeysTest, AnEditedBulletReachesTheMousesCursorMemory) {
  TalvoRun& talvo = Launch();
  OpenMouseTab(talvo, "ms_cursor_Op_tab");
  talvo.Request(Check("ms_gun_op_1"));
  talvo.Request(Check("ms_bullet_op_2"));
  talvo.Request(Check("ms_cursor_x_check"));
  talvo.Request(Type("ms_cursor_x_eidt", "300"));
  EXPECT_EQ(talvo.Get("ms_cursor_x_eidt").value("text").toString(), "255");
  talvo.Request(Click("ms_bulletdate_save_btn"));
  ASSERT_TRUE(WaitFor(talvo, [&] { return Collapsed(SequenceCommands(talvo)) == std::vector<int>{1, 23, 2}; }));
  const QByteArray image = SimMemory(talvo, "cursor");
  // Gun 1's block, its step 6 × 2 + 4: the horizontal move of bullet 2.
  const int block = uint8_t(image[18]) | uint8_t(image[19]) << 8;
  EXPECT_EQ(image.mid(block + 4 + 16 * 4 + 2, 2).toHex(), "84ff");
}

}  // namespace
}  // namespace talvo::e2e
