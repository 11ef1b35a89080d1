// Requests the program must refuse without falling over.
#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using BadInputTest = E2eTest;

TEST_F(BadInputTest, RefusedRequestsLeaveTheProgramAnswering) {
  TalvoRun& talvo = Launch();
  ASSERT_TRUE(talvo.Request("ready").value("ok").toBool());

  const QJsonObject notJson = talvo.RequestText("this is not json");
  EXPECT_FALSE(notJson.value("ok").toBool(true));
  EXPECT_FALSE(notJson.value("error").toString().isEmpty());

  const QJsonObject truncated = talvo.RequestText(R"({"cmd":"click","name":)");
  EXPECT_FALSE(truncated.value("ok").toBool(true));
  EXPECT_FALSE(truncated.value("error").toString().isEmpty());

  const QJsonObject missing = talvo.Request(QJsonObject{{"cmd", "click"}, {"name", "no_such_control_here"}});
  EXPECT_FALSE(missing.value("ok").toBool(true));
  EXPECT_EQ(missing.value("error").toString(), "no such control");

  const QJsonObject unknown = talvo.Request("no_such_command");
  EXPECT_FALSE(unknown.value("ok").toBool(true));
  EXPECT_EQ(unknown.value("error").toString(), "unknown command");

  EXPECT_TRUE(talvo.Request("ready").value("ok").toBool());
}

}  // namespace
}  // namespace talvo::e2e
