// The two language files: well-formed, the same ids in both, a real text for
// every id, and every text id the program shows resolvable in either language.
#include <QFile>
#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "keys/function_tables.h"
#include "keys/labels.h"

namespace {

struct LanguageFile {
  std::string code;
  std::map<std::string, std::string> texts;
  std::vector<std::string> problems;  // parse errors, duplicates, stray elements
};

LanguageFile Load(const std::string& name) {
  LanguageFile file;
  QFile in(QString::fromStdString(std::string(TALVO_SKIN_DIR) + "/" + name));
  if (!in.open(QIODevice::ReadOnly)) {
    file.problems.push_back("cannot open " + name);
    return file;
  }
  QXmlStreamReader xml(&in);
  bool seenRoot = false;
  while (xml.readNextStartElement()) {
    if (!seenRoot) {
      seenRoot = true;
      if (xml.name() != u"language") file.problems.push_back("root is not <language>");
      file.code = xml.attributes().value(QLatin1String("code")).toString().toStdString();
      continue;
    }
    if (xml.name() != u"text") {
      file.problems.push_back("unexpected element " + xml.name().toString().toStdString());
      xml.skipCurrentElement();
      continue;
    }
    const std::string id = xml.attributes().value(QLatin1String("id")).toString().toStdString();
    const std::string text = xml.readElementText().toStdString();
    if (id.empty()) file.problems.push_back("text without id");
    if (!file.texts.emplace(id, text).second) file.problems.push_back("duplicate id " + id);
  }
  if (xml.hasError()) file.problems.push_back(name + ": " + xml.errorString().toStdString());
  return file;
}

const LanguageFile& English() {
  static const LanguageFile file = Load("lan_en.xml");
  return file;
}
const LanguageFile& Chinese() {
  static const LanguageFile file = Load("lan_cn.xml");
  return file;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// Every text id the key pages, labels, key capture and macro recording show.
std::set<std::string> KeyTextIds() {
  std::set<std::string> ids;
  auto addRows = [&](const auto& rows) {
    for (const auto& row : rows) {
      if (!row.textId.empty()) ids.emplace(row.textId);
    }
  };
  using namespace talvo::keys;
  addRows(kMouseButtonRows);
  addRows(kTiltRows);
  addRows(kWheelRows);
  addRows(kDpiRows);
  addRows(kShortcutRows);
  addRows(kMediaRows);
  addRows(kSystemRows);
  addRows(kCursorSlotRows);
  addRows(KeyCodeTable);
  for (const FunctionTableEntry& entry : {kFireEntry, kPointerMoveEntry, kMouseDpiCycleEntry}) {
    if (!entry.textId.empty()) ids.emplace(entry.textId);
  }
  ids.emplace(kFireKeyTextId);
  ids.emplace(kMouseClosedTextId);
  return ids;
}

// Ids shown by the message box, the macro editor, the lighting pages and the
// key tooltips, which name them in their own code rather than in tables.
const std::vector<std::string> kFeatureTextIds = {
    "message_text_1",  "message_text_2",  "message_text_3",  "message_text_4",  "message_text_5",
    "message_text_6",  "message_text_7",  "message_text_8",  "message_text_9",  "message_text_11",
    "message_text_12", "message_text_13", "message_text_14", "message_text_15", "message_text_16",
    "message_text_17", "message_text_18", "message_text_20", "message_text_23", "message_text_24",
    "message_text_25", "message_text_26", "profile_link_unsupported_text", "profile_link_unreachable_text",
    "profile_link_gnome_extension_text",
    "macro_btn_star_redio_text", "macro_btn_stop_redio_text",
    "mouse_move_to_left_text", "mouse_move_to_right_text", "mouse_move_to_up_text",
    "mouse_move_to_down_text", "mouse_cursor_text",
    "Deng_FXL_text", "Deng_FXR_text", "Deng_FXU_text", "Deng_FXD_text", "Deng_FXJ_text",
    "Deng_FXK_text", "Key_Set",
};

TEST(LanguageFiles, AreWellFormedWithTheirLanguageCodes) {
  EXPECT_EQ(English().problems, std::vector<std::string>{});
  EXPECT_EQ(Chinese().problems, std::vector<std::string>{});
  EXPECT_EQ(English().code, "en");
  EXPECT_EQ(Chinese().code, "cn_zh");
  EXPECT_FALSE(English().texts.empty());
}

TEST(LanguageFiles, HoldTheSameIdsAndNoBlankText) {
  std::vector<std::string> onlyEnglish, onlyChinese;
  for (const auto& [id, text] : English().texts) {
    if (!Chinese().texts.count(id)) onlyEnglish.push_back(id);
    EXPECT_FALSE(IsBlank(text)) << "lan_en.xml: " << id;
  }
  for (const auto& [id, text] : Chinese().texts) {
    if (!English().texts.count(id)) onlyChinese.push_back(id);
    EXPECT_FALSE(IsBlank(text)) << "lan_cn.xml: " << id;
  }
  EXPECT_EQ(onlyEnglish, std::vector<std::string>{});
  EXPECT_EQ(onlyChinese, std::vector<std::string>{});
}

TEST(LanguageFiles, ResolveEveryTextIdTheProgramShows) {
  std::set<std::string> wanted = KeyTextIds();
  wanted.insert(kFeatureTextIds.begin(), kFeatureTextIds.end());
  for (const std::string& id : wanted) {
    EXPECT_TRUE(English().texts.count(id)) << "lan_en.xml lacks " << id;
    EXPECT_TRUE(Chinese().texts.count(id)) << "lan_cn.xml lacks " << id;
  }
}

// The macro count limit and the steps to remove are printed into these two
// texts; any other conversion would read an argument that is not there.
TEST(LanguageFiles, FormatTextsHoldExactlyOneIntegerPlaceholder) {
  for (const LanguageFile* file : {&English(), &Chinese()}) {
    for (const char* id : {"message_text_16", "message_text_17"}) {
      const auto found = file->texts.find(id);
      ASSERT_NE(found, file->texts.end()) << id;
      const std::string& text = found->second;
      std::vector<std::string> conversions;
      for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 2)) {
        conversions.push_back(text.substr(at, 2));
      }
      EXPECT_EQ(conversions, std::vector<std::string>{"%d"}) << file->code << " " << id;
    }
  }
}

}  // namespace
