// What a user stores is there after a restart, on the pages and in the
// devices: the simulated devices keep their memory in a folder of their own
// (TALVO_SIM_STATE), as real ones keep it when unplugged.
#include <QJsonArray>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using RestartTest = E2eTest;

QJsonObject Named(const char* cmd, const char* name) { return QJsonObject{{"cmd", cmd}, {"name", name}}; }
QJsonObject Check(const char* name) { return QJsonObject{{"cmd", "check"}, {"name", name}, {"on", true}}; }
QJsonObject Choose(const char* name, int index) {
  return QJsonObject{{"cmd", "select"}, {"name", name}, {"index", index}};
}

QByteArray Memory(TalvoRun& talvo, const char* device, const char* area) {
  return QByteArray::fromHex(
      talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", device}, {"area", area}})
          .value("hex")
          .toString()
          .toLatin1());
}

TEST_F(RestartTest, WhatAUserStoredIsThereAfterARestart) {
  const Variables state{{"TALVO_SIM_STATE", folders_.Root() + "/devices"}};
  {
    TalvoRun& talvo = Launch(state, "mouse,keyboard,mousepad");
    ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
    OpenMouseTab(talvo, "ms_macro_Op_tab");

    // A macro recorded from key presses.
    talvo.Request(Named("click", "ms_macro_btn_name_add"));
    talvo.Request(Check("ms_macro_keyboard_event"));
    talvo.Request(Named("click", "ms_macro_btn_redio"));
    for (bool down : {true, false}) talvo.Request(QJsonObject{{"cmd", "key"}, {"vk", 0x41}, {"down", down}});
    talvo.Request(Named("click", "ms_macro_btn_redio"));
    talvo.Request(Named("click", "ms_macro_btn_save"));

    // Button 6 plays it, button 3 wakes the computer; stored on the mouse.
    talvo.Request(Check("ms_key_Op_tab"));
    talvo.Request(Check("ms_key_6"));
    talvo.Request(Choose("ms_key_fct_combo", 9));
    talvo.Request(Choose("ms_key_fct_combo_23", 0));
    talvo.Request(Check("ms_key_3"));
    talvo.Request(Choose("ms_key_fct_combo", 8));
    talvo.Request(Choose("ms_key_fct_combo_22", 2));
    talvo.Request(Named("click", "ms_key_butt_prosave"));
    ASSERT_TRUE(WaitFor(talvo, [&] {
      const std::vector<int> commands = Collapsed(SequenceCommands(talvo));
      return commands.size() >= 3 && commands[commands.size() - 2] == 9;
    }));

    // Lighting on the mouse and the keyboard, the mousepad's onboard profile.
    talvo.Request(Check("ms_deng_Op_tab"));
    talvo.Request(Choose("ms_deng_combo_modeSelect2", 1));
    for (const char* tab : {"kb_tab", "kb_deng_Op_tab"}) talvo.Request(Check(tab));
    talvo.Request(Choose("kb_deng_combo_modeSelect", 3));
    talvo.Request(Check("mp_tab"));
    talvo.Request(Choose("mp_deng_combo_profile", 2));
    ASSERT_TRUE(WaitFor(talvo, [&] { return Memory(talvo, "mousepad", "settings").at(0) == 2; }));

    // A copy of the mouse's device profile, which becomes the chosen one.
    for (const char* tab : {"ms_tab", "ms_deng_Op_tab"}) talvo.Request(Check(tab));
    talvo.Request(Named("click", "ms_profile_fun_spread_btn"));
    talvo.Request(Named("click", "ms_pro_device_copy_btn"));
    Pause(talvo, 300);  // the settings pushes
    talvo.Request("quit");
    ASSERT_TRUE(talvo.WaitForExit(kStartTimeoutMs));
  }

  TalvoRun& talvo = Launch(state, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_deng_combo_profile").value("index").toInt() == 2; }))
      << Memory(talvo, "mousepad", "settings").left(1).toHex().toStdString() << " "
      << talvo.Get("mp_deng_combo_profile").value("index").toInt();
  OpenMouseTab(talvo, "ms_key_Op_tab");
  EXPECT_EQ(talvo.Get("ms_key_6").value("text").toString(), "name_1");
  EXPECT_EQ(talvo.Get("ms_key_3").value("text_id").toString(), "system_wake_up");
  EXPECT_EQ(talvo.Get("ms_deng_combo_modeSelect2").value("index").toInt(), 1);
  EXPECT_EQ(talvo.Get("kb_deng_combo_modeSelect").value("index").toInt(), 3);
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("items").toArray(), (QJsonArray{"配置1", "配置1 copy"}));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 1);
  talvo.Request(Check("ms_macro_Op_tab"));
  EXPECT_EQ(talvo.Get("ms_Macro_list").value("count").toInt(), 2);

  const QByteArray keys = Memory(talvo, "mouse", "keymaps");
  EXPECT_EQ(keys.mid(3 * 3, 3).toHex(), "400400");
  EXPECT_EQ(keys.mid(3 * 6, 2).toHex(), "7000");
  // One macro of the two recorded steps: 16 + 6 + 8 bytes.
  EXPECT_EQ(Memory(talvo, "mouse", "macro").left(6).toHex(), "aa551e000100");
  EXPECT_EQ(Memory(talvo, "mousepad", "settings").at(0), 2);
}

}  // namespace
}  // namespace talvo::e2e
