#include <gtest/gtest.h>

#include "app/automation/automation_request.h"

namespace talvo::app {
namespace {

std::string ErrorOf(const char* line) {
  const ParsedRequest p = ParseRequest(line);
  return p.ok ? "ok" : p.error;
}

TEST(AutomationRequest, RefusesWhatIsNotAWellTypedRequest) {
  EXPECT_EQ(ErrorOf("click closebtn"), "bad argument");
  EXPECT_EQ(ErrorOf("[{\"cmd\":\"click\"}]"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"name\":\"closebtn\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":7}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"fly\"}"), "unknown command");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"click\",\"name\":3}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"select\",\"name\":\"c\",\"index\":1.5}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"select\",\"name\":\"c\",\"index\":-1}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"set_value\",\"name\":\"s\",\"value\":1e12}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"check\",\"name\":\"c\",\"on\":1}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"pick_colour\",\"name\":\"p\",\"argb\":\"ff00ff\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"pick_colour\",\"name\":\"p\",\"argb\":\"ff00ffzz\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"answers\",\"values\":[1,\"2\"]}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"tray\",\"button\":\"middle\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"plug\",\"device\":\"toaster\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"melt\",\"device\":\"mouse\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"deny_open\",\"device\":\"mouse\"}"), "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"deny_open\",\"device\":\"mouse\",\"denied\":1}"),
            "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"fault\",\"device\":\"mouse\",\"fault\":\"fire\",\"count\":1}"),
            "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"poke\",\"device\":\"mouse\",\"area\":\"info\",\"offset\":0,"
                    "\"hex\":\"abc\"}"),
            "bad argument");
  EXPECT_EQ(ErrorOf("{\"cmd\":\"sim\",\"op\":\"poke\",\"device\":\"mouse\",\"area\":\"info\",\"offset\":-1,"
                    "\"hex\":\"ab\"}"),
            "bad argument");
}

TEST(AutomationRequest, DecodesArgumentsAndDefaults) {
  ParsedRequest p = ParseRequest(R"({"cmd":"pick_colour","name":"ms_palette","argb":"Ff102030"})");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.request.command, Command::PickColour);
  EXPECT_EQ(p.request.argb, 0xFF102030u);

  p = ParseRequest(R"({"cmd":"set_value","name":"s","value":-3})");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.request.value, -3);
  EXPECT_FALSE(p.request.moving);

  p = ParseRequest(R"({"cmd":"sim","op":"poke","device":"keyboard","area":"info","offset":9,"hex":"3A12"})");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.request.op, SimOp::Poke);
  EXPECT_EQ(p.request.device, sim::DeviceKind::Keyboard);
  EXPECT_EQ(p.request.offset, 9);
  EXPECT_EQ(p.request.bytes, (std::vector<uint8_t>{0x3A, 0x12}));

  p = ParseRequest(R"({"cmd":"dialogs","paths":["/tmp/a.ini",""]})");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.request.paths, (std::vector<std::string>{"/tmp/a.ini", ""}));

  p = ParseRequest(R"({"cmd":"key","vk":257,"down":true})");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.request.vk, 257);
  EXPECT_FALSE(p.request.extended);
}

TEST(AutomationRequest, RefusesOverlongLines) {
  std::string line = R"({"cmd":"type","name":"e","text":")";
  line += std::string(kMaxRequestLine, 'x') + "\"}";
  EXPECT_EQ(ErrorOf(line.c_str()), "bad argument");
}

}  // namespace
}  // namespace talvo::app
