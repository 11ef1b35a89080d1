// What a user stores is there after a restart, on the pages and in the
// devices: the simulated devices keep their memory in a folder of their own
// (TALVO_SIM_STATE), as real ones keep it when unplugged.
#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using RestartTest = E2eTest;

TEST_F(RestartTest, WhatAUserStoredIsThereAfterARestart) {
  const Variables state{{"TALVO_SIM_STATE", folders_.Root() + "/devices"}};
  {
    TalvoRun& talvo = Launch(state, "mouse,keyboard,mousepad");
    ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
    OpenMouseTab(talvo, "ms_macro_Op_tab");
    // A macro recorded from a key press and release; button 6 plays it,
    // button 3 wakes the computer; stored on the mouse.
    const QJsonObject key{{"cmd", "key"}, {"vk", 0x41}, {"down", true}};
    QJsonObject release = key;
    release["down"] = false;
    talvo.Do({Click("ms_macro_btn_name_add"), Check("ms_macro_keyboard_event"), Click("ms_macro_btn_redio"), key,
               release, Click("ms_macro_btn_redio"), Click("ms_macro_btn_save"), Check("ms_key_Op_tab"),
               Check("ms_key_6"), Choose("ms_key_fct_combo", 9), Choose("ms_key_fct_combo_23", 0), Check("ms_key_3"),
               Choose("ms_key_fct_combo", 8), Choose("ms_key_fct_combo_22", 2), Click("ms_key_butt_prosave")});
    WaitForKeyMapWrite(talvo);
    // Lighting on the mouse and the keyboard, the mousepad's onboard profile,
    // a copy of the mouse's device profile, which becomes the chosen one.
    talvo.Do({Check("ms_deng_Op_tab"), Choose("ms_deng_combo_modeSelect2", 1), Check("kb_tab"),
               Check("kb_deng_Op_tab"), Choose("kb_deng_combo_modeSelect", 3), Check("mp_tab"),
               Choose("mp_deng_combo_profile", 2)});
    ASSERT_TRUE(WaitFor(talvo, [&] { return SimMemory(talvo, "settings", "mousepad").at(0) == 2; }));
    talvo.Do({Check("ms_tab"), Check("ms_deng_Op_tab"), Click("ms_profile_fun_spread_btn"),
               Click("ms_pro_device_copy_btn")});
    Pause(talvo, 300);  // the settings pushes
    talvo.Request("quit");
    ASSERT_TRUE(talvo.WaitForExit(kStartTimeoutMs));
  }

  TalvoRun& talvo = Launch(state, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_deng_combo_profile").value("index").toInt() == 2; }));
  OpenMouseTab(talvo, "ms_key_Op_tab");
  EXPECT_EQ(talvo.Get("ms_key_6").value("text").toString(), "name_1");
  EXPECT_EQ(talvo.Get("ms_key_3").value("text_id").toString(), "system_wake_up");
  EXPECT_EQ(talvo.Get("ms_deng_combo_modeSelect2").value("index").toInt(), 1);
  EXPECT_EQ(talvo.Get("kb_deng_combo_modeSelect").value("index").toInt(), 3);
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("items").toArray(), (QJsonArray{"配置1", "配置1 copy"}));
  EXPECT_EQ(talvo.Get("ms_device_profile_combo").value("index").toInt(), 1);
  talvo.Request(Check("ms_macro_Op_tab"));
  EXPECT_EQ(talvo.Get("ms_Macro_list").value("count").toInt(), 2);
  const QByteArray keys = SimMemory(talvo, "keymaps");
  EXPECT_EQ(keys.mid(3 * 3, 3).toHex(), "400400");
  EXPECT_EQ(keys.mid(3 * 6, 2).toHex(), "7000");
  // One macro of the two recorded steps: 16 + 6 + 8 bytes.
  EXPECT_EQ(SimMemory(talvo, "macro").left(6).toHex(), "aa551e000100");
}

}  // namespace
}  // namespace talvo::e2e
