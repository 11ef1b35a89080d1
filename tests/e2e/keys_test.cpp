// Giving the simulated mouse's buttons other functions on the key page and
// storing them on the mouse, as a user does.
#include <QDir>
#include <QFile>

#include <algorithm>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using KeysTest = E2eTest;

QJsonObject Named(const char* cmd, const char* name) { return QJsonObject{{"cmd", cmd}, {"name", name}}; }
QJsonObject Check(const char* name) {
  QJsonObject o = Named("check", name);
  o["on"] = true;
  return o;
}
QJsonObject Choose(const char* name, int index) {
  QJsonObject o = Named("select", name);
  o["index"] = index;
  return o;
}
QJsonObject Type(const char* name, const char* text) {
  QJsonObject o = Named("type", name);
  o["text"] = text;
  return o;
}

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

  ASSERT_TRUE(talvo.Request(Named("click", "ms_key_butt_prosave")).value("ok").toBool());
  std::vector<int> commands;
  ASSERT_TRUE(WaitFor(talvo, [&] {
    commands = SequenceCommands(talvo);
    return std::count(commands.begin(), commands.end(), 2) == 2;
  }));
  // The four factory cursor macros (2920 bytes), no macros, the key map.
  EXPECT_EQ(Collapsed(commands), (std::vector<int>{1, 23, 2, 1, 9, 2}));
  EXPECT_EQ(std::count(commands.begin(), commands.end(), 23), 53);
  const QByteArray cursor = QByteArray::fromHex(
      talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", "mouse"}, {"area", "cursor"}})
          .value("hex")
          .toString()
          .toLatin1());
  EXPECT_EQ(cursor.left(6).toHex(), "aa55680b0400");
  const QByteArray keymaps = QByteArray::fromHex(
      talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", "mouse"}, {"area", "keymaps"}})
          .value("hex")
          .toString()
          .toLatin1());
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

TEST_F(KeysTest, AnEditedBulletReachesTheMousesCursorMemory) {
  TalvoRun& talvo = Launch();
  OpenMouseTab(talvo, "ms_cursor_Op_tab");
  talvo.Request(Check("ms_gun_op_1"));
  talvo.Request(Check("ms_bullet_op_2"));
  talvo.Request(Check("ms_cursor_x_check"));
  talvo.Request(Type("ms_cursor_x_eidt", "300"));
  EXPECT_EQ(talvo.Get("ms_cursor_x_eidt").value("text").toString(), "255");
  talvo.Request(Named("click", "ms_bulletdate_save_btn"));
  ASSERT_TRUE(WaitFor(talvo, [&] { return Collapsed(SequenceCommands(talvo)) == std::vector<int>{1, 23, 2}; }));
  const QByteArray image = QByteArray::fromHex(
      talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", "mouse"}, {"area", "cursor"}})
          .value("hex")
          .toString()
          .toLatin1());
  // Gun 1's block, its step 6 × 2 + 4: the horizontal move of bullet 2.
  const int block = uint8_t(image[18]) | uint8_t(image[19]) << 8;
  EXPECT_EQ(image.mid(block + 4 + 16 * 4 + 2, 2).toHex(), "84ff");
}

}  // namespace
}  // namespace talvo::e2e
