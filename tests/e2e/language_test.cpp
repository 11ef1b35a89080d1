// Switching the language from the menu: the texts shown, the system setting
// written, and the choice kept across a restart.
#include <QFile>
#include <QXmlStreamReader>

#include "tests/e2e/talvo_run.h"

namespace talvo::e2e {
namespace {

using LanguageTest = E2eTest;

// The text a language file gives a text id, read from the skin the program
// is built with.
QString LanguageText(const char* file, const QString& id) {
  QFile xml(QStringLiteral(TALVO_SKIN_DIR "/") + QLatin1String(file));
  if (!xml.open(QIODevice::ReadOnly)) return {};
  QXmlStreamReader reader(&xml);
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement() && reader.name() == QLatin1String("text") &&
        reader.attributes().value(QLatin1String("id")) == id)
      return reader.readElementText();
  }
  return {};
}

QString WaitingTitle(TalvoRun& talvo) {
  return talvo.Get("waiting_title").value("text").toString();
}

QString SystemLanguage(TalvoRun& talvo) { return talvo.Request("system").value("language").toString(); }

void Choose(TalvoRun& talvo, const char* item) {
  EXPECT_TRUE(talvo.Request(QJsonObject{{"cmd", "menu"}, {"item", item}}).value("ok").toBool()) << item;
}

void QuitAndWait(TalvoRun& talvo) {
  talvo.Request("quit");
  ASSERT_TRUE(talvo.WaitForExit(10000));
}

TEST_F(LanguageTest, MenuSwitchesTextsAndSystemSettingAndTheChoiceSurvivesRestarts) {
  const QString chinese = LanguageText("lan_cn.xml", "waiting_title_text");
  const QString english = LanguageText("lan_en.xml", "waiting_title_text");
  ASSERT_FALSE(chinese.isEmpty());
  ASSERT_FALSE(english.isEmpty());
  ASSERT_NE(chinese, english);

  TalvoRun& first = Launch();
  first.Request("ready");
  Choose(first, "lan_cn");
  EXPECT_EQ(WaitingTitle(first), chinese);
  EXPECT_EQ(SystemLanguage(first), "2020");
  ASSERT_NO_FATAL_FAILURE(QuitAndWait(first));

  TalvoRun& second = Launch();
  second.Request("ready");
  EXPECT_EQ(WaitingTitle(second), chinese);
  Choose(second, "lan_en");
  EXPECT_EQ(WaitingTitle(second), english);
  EXPECT_EQ(SystemLanguage(second), "1010");
  ASSERT_NO_FATAL_FAILURE(QuitAndWait(second));

  TalvoRun& third = Launch();
  third.Request("ready");
  EXPECT_EQ(WaitingTitle(third), english);
}

}  // namespace
}  // namespace talvo::e2e
