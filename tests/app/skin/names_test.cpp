// Names shared by the code and the skin folder: every control name the code
// looks up is in a layout, every text id it shows is in both language files,
// and every image a layout or style sheet names is in the skin folder. A typo
// on either side otherwise only shows as a silently empty control, a raw id
// on screen or a missing picture.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "app/windows/menus.h"
#include "pages/control_bindings.h"
#include "pages/cursor/cursor_macro_page.h"
#include "pages/keys/key_assignment_page.h"
#include "pages/lighting/keyboard_lighting_page.h"
#include "pages/lighting/mouse_lighting_page.h"
#include "pages/lighting/mousepad_lighting_page.h"
#include "pages/macros/macro_editor_page.h"
#include "pages/macros/macro_pages.h"
#include "pages/mouse/mouse_performance_page.h"
#include "pages/peripheral_traits.h"
#include "pages/profiles/profile_page.h"
#include "platform/ascii.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSkin = TALVO_SKIN_DIR;
const fs::path kSource = TALVO_SOURCE_DIR;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

using talvo::platform::AsciiLower;

// ---------------------------------------------------------------------------
// C++ source scan

struct Token {
  enum class Kind { Identifier, String, Other };
  Kind kind;
  std::string text;  // a string literal's value, without quotes or prefix
  int line;
};

// Tokens of C++ source without its comments. Enough of the language to find
// string literals and calls: raw strings, character literals and digit
// separators must not be taken for strings or swallow them.
std::vector<Token> Tokenize(const std::string& src) {
  std::vector<Token> tokens;
  int line = 1;
  size_t i = 0;
  const size_t n = src.size();
  auto isIdent = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  auto skipSuffix = [&] {
    while (i < n && isIdent(src[i])) ++i;
  };
  auto quoted = [&](char quote) {
    std::string value;
    ++i;
    while (i < n && src[i] != quote && src[i] != '\n') {
      if (src[i] == '\\' && i + 1 < n) ++i;
      value += src[i++];
    }
    ++i;
    return value;
  };
  while (i < n) {
    const char c = src[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (src.compare(i, 2, "//") == 0) {
      while (i < n && src[i] != '\n') ++i;
    } else if (src.compare(i, 2, "/*") == 0) {
      const size_t end = src.find("*/", i + 2);
      const size_t stop = end == std::string::npos ? n : end + 2;
      line += static_cast<int>(std::count(src.begin() + i, src.begin() + stop, '\n'));
      i = stop;
    } else if (c == '"') {
      const int at = line;
      std::string value = quoted('"');
      skipSuffix();
      tokens.push_back({Token::Kind::String, std::move(value), at});
    } else if (c == '\'') {
      quoted('\'');
      tokens.push_back({Token::Kind::Other, "'", line});
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      while (i < n && (isIdent(src[i]) || src[i] == '.' || src[i] == '\'')) ++i;
      tokens.push_back({Token::Kind::Other, "0", line});
    } else if (isIdent(c)) {
      const size_t start = i;
      while (i < n && isIdent(src[i])) ++i;
      std::string word = src.substr(start, i - start);
      if (i < n && src[i] == '"' && (word == "R" || word == "LR" || word == "uR" || word == "UR" || word == "u8R")) {
        // R"delim( … )delim"
        const size_t open = src.find('(', i);
        const std::string close = ")" + src.substr(i + 1, open - i - 1) + "\"";
        const size_t end = src.find(close, open);
        const size_t stop = end == std::string::npos ? n : end + close.size();
        const int at = line;
        line += static_cast<int>(std::count(src.begin() + i, src.begin() + stop, '\n'));
        std::string value = src.substr(open + 1, (end == std::string::npos ? n : end) - open - 1);
        i = stop;
        skipSuffix();
        tokens.push_back({Token::Kind::String, std::move(value), at});
      } else if (i < n && src[i] == '"' && (word == "u8" || word == "u" || word == "U" || word == "L")) {
        const int at = line;
        std::string value = quoted('"');
        skipSuffix();
        tokens.push_back({Token::Kind::String, std::move(value), at});
      } else if (i < n && src[i] == '\'' && (word == "u8" || word == "u" || word == "U" || word == "L")) {
        quoted('\'');
        tokens.push_back({Token::Kind::Other, "'", line});
      } else {
        tokens.push_back({Token::Kind::Identifier, std::move(word), line});
      }
    } else {
      tokens.push_back({Token::Kind::Other, std::string(1, c), line});
      ++i;
    }
  }
  return tokens;
}

struct Call {
  std::string function;
  int line;
  // Per argument: its value when the argument is a string literal and nothing
  // else (bare, or wrapped in std::string / std::string_view).
  std::vector<std::optional<std::string>> literals;
};

std::optional<std::string> LiteralArgument(const std::vector<Token>& arg) {
  std::string shape;
  std::string value;
  int strings = 0;
  for (const Token& t : arg) {
    if (t.kind == Token::Kind::String) {
      shape += '$';
      value = t.text;
      ++strings;
    } else {
      shape += t.text;
    }
  }
  static const std::set<std::string> kShapes = {"$",
                                               "std::string($)",
                                               "std::string{$}",
                                               "std::string_view($)",
                                               "std::string_view{$}"};
  if (strings != 1 || !kShapes.count(shape)) return std::nullopt;
  return value;
}

// Calls of functions whose name is accepted by wanted, with their arguments.
template <typename Wanted>
std::vector<Call> FindCalls(const std::vector<Token>& tokens, Wanted wanted) {
  std::vector<Call> calls;
  for (size_t i = 0; i + 1 < tokens.size(); ++i) {
    if (tokens[i].kind != Token::Kind::Identifier || tokens[i + 1].text != "(" || !wanted(tokens[i].text)) continue;
    Call call{tokens[i].text, tokens[i].line, {}};
    std::vector<Token> arg;
    int depth = 0;
    size_t j = i + 2;
    for (; j < tokens.size(); ++j) {
      const Token& t = tokens[j];
      const bool bracket = t.kind == Token::Kind::Other && t.text.size() == 1;
      if (bracket && (t.text == "(" || t.text == "[" || t.text == "{")) ++depth;
      if (bracket && (t.text == ")" || t.text == "]" || t.text == "}")) {
        if (depth == 0) break;
        --depth;
      }
      if (bracket && t.text == "," && depth == 0) {
        call.literals.push_back(LiteralArgument(arg));
        arg.clear();
        continue;
      }
      arg.push_back(t);
    }
    if (!arg.empty()) call.literals.push_back(LiteralArgument(arg));
    calls.push_back(std::move(call));
  }
  return calls;
}

struct Use {
  std::string name;
  std::string where;  // "file:line"
};

struct SourceUses {
  std::vector<Use> controls;
  std::vector<Use> textIds;
  std::set<std::string> literals;  // every string literal, for the page lines
};

bool IsMessageTextId(const std::string& s) {
  static const std::regex kId("message_text_[0-9]+");
  return std::regex_match(s, kId);
}

void ScanSource(const std::string& text, const std::string& file, SourceUses& uses) {
  const std::vector<Token> tokens = Tokenize(text);
  auto where = [&](int line) { return file + ":" + std::to_string(line); };
  for (const Token& t : tokens) {
    if (t.kind != Token::Kind::String) continue;
    uses.literals.insert(t.text);
    if (IsMessageTextId(t.text)) uses.textIds.push_back({t.text, where(t.line)});
  }
  for (const Call& call : FindCalls(tokens, [](const std::string& f) { return f == "FindControl"; })) {
    if (call.literals.size() == 1 && call.literals[0]) uses.controls.push_back({*call.literals[0], where(call.line)});
  }
  auto textCall = [](const std::string& f) {
    return f == "SetTextId" || f == "SetItemTextId" || f.rfind("ShowMessage", 0) == 0;
  };
  for (const Call& call : FindCalls(tokens, textCall)) {
    // SetTextId and SetItemTextId take only ids; a message box also takes
    // plain text and titles, so only what looks like an id counts there.
    const bool onlyIds = call.function == "SetTextId" || call.function == "SetItemTextId";
    for (const auto& literal : call.literals) {
      if (!literal || IsMessageTextId(*literal)) continue;  // message ids are taken above
      if (onlyIds || literal->ends_with("_text")) uses.textIds.push_back({*literal, where(call.line)});
    }
  }
}

const SourceUses& Source() {
  static const SourceUses uses = [] {
    SourceUses found;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
      const std::string ext = entry.path().extension().string();
      if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      ScanSource(ReadText(file), fs::relative(file, kSource).generic_string(), found);
    }
    return found;
  }();
  return uses;
}

// ---------------------------------------------------------------------------
// Skin folder

struct Reference {
  std::string value;
  std::string where;  // "file:line" or "file"
  std::string what;   // how the file names it
};

struct Layout {
  std::set<std::string> controls;
  std::set<std::string> elements;  // widget classes, to follow into pages
  std::vector<Reference> textIds;
  std::vector<Reference> images;
};

// Image paths in a property value or style sheet: url(…), file='…', or a
// value that is itself a .png or .svg path. "skin:" is the program's search
// path for the skin folder.
std::vector<std::string> ImagePaths(const QString& value) {
  std::vector<std::string> paths;
  static const QRegularExpression kUrl(QStringLiteral(R"re(url\(\s*["']?([^"')]*?)["']?\s*\))re"));
  static const QRegularExpression kFile(QStringLiteral(R"re(file\s*=\s*'([^']*)')re"));
  for (const QRegularExpression* pattern : {&kUrl, &kFile}) {
    for (auto it = pattern->globalMatch(value); it.hasNext();) {
      QString path = it.next().captured(1).trimmed();
      if (path.startsWith(QLatin1String("skin:"))) path = path.mid(5);
      paths.push_back(path.toStdString());
    }
  }
  const QString whole = value.trimmed();
  if (paths.empty() && (whole.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ||
                        whole.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))) {
    paths.push_back(whole.toStdString());
  }
  return paths;
}

// Reads a property or attribute element: its name and the text of whatever
// value element it holds (string, pixmap, iconset states …).
void ReadProperty(QXmlStreamReader& xml, const std::string& file, Layout& layout) {
  const std::string name = xml.attributes().value(QLatin1String("name")).toString().toStdString();
  const std::string where = file + ":" + std::to_string(xml.lineNumber());
  // One value per leaf: an iconset holds a path for each state.
  QStringList values;
  QString text;
  for (int depth = 1; depth > 0 && !xml.atEnd();) {
    xml.readNext();
    if (xml.isStartElement()) {
      ++depth;
      text.clear();
    } else if (xml.isCharacters()) {
      text += xml.text();
    } else if (xml.isEndElement()) {
      --depth;
      if (!text.trimmed().isEmpty()) values << text;
      text.clear();
    }
  }
  if (name == "textId" || name == "toolTipId")
    layout.textIds.push_back({values.value(0).trimmed().toStdString(), where, name});
  if (name == "itemTextIds")
    for (const QString& value : values) layout.textIds.push_back({value.trimmed().toStdString(), where, name});
  for (const QString& value : values) {
    for (std::string& path : ImagePaths(value)) layout.images.push_back({std::move(path), where, name});
  }
}

std::optional<Layout> ReadLayout(const QByteArray& bytes, const std::string& file) {
  QXmlStreamReader xml(bytes);
  if (!xml.readNextStartElement() || xml.name() != u"ui") return std::nullopt;
  Layout layout;
  while (!xml.atEnd()) {
    xml.readNext();
    if (!xml.isStartElement()) continue;
    if (xml.name() == u"widget") {
      layout.controls.insert(xml.attributes().value(QLatin1String("name")).toString().toStdString());
      layout.elements.insert(AsciiLower(xml.attributes().value(QLatin1String("class")).toString().toStdString()));
    } else if (xml.name() == u"property" || xml.name() == u"attribute") {
      ReadProperty(xml, file, layout);
    }
  }
  return layout;
}

struct Skin {
  std::map<std::string, Layout> layouts;  // by file name relative to the skin folder
  std::map<std::string, std::vector<talvo::app::MenuItem>> menus;
  std::vector<std::string> unreadableMenus;
  std::vector<Reference> styleImages;
};

const Skin& SkinFolder() {
  static const Skin skin = [] {
    Skin found;
    for (const auto& entry : fs::recursive_directory_iterator(kSkin)) {
      if (!entry.is_regular_file()) continue;
      const std::string name = fs::relative(entry.path(), kSkin).generic_string();
      QFile in(QString::fromStdString(entry.path().string()));
      if (!in.open(QIODevice::ReadOnly)) continue;
      const QByteArray bytes = in.readAll();
      if (name.ends_with(".qss")) {
        const QString sheet = QString::fromUtf8(bytes);
        for (std::string& path : ImagePaths(sheet)) found.styleImages.push_back({std::move(path), name, "url"});
        continue;
      }
      if (auto layout = ReadLayout(bytes, name)) {
        found.layouts.emplace(name, std::move(*layout));
        continue;
      }
      QXmlStreamReader root(bytes);
      if (root.readNextStartElement() && root.name() == u"menu") {
        if (auto items = talvo::app::ParseMenu(bytes)) {
          found.menus.emplace(name, std::move(*items));
        } else {
          found.unreadableMenus.push_back(name);
        }
      }
    }
    return found;
  }();
  return skin;
}

std::set<std::string> LanguageIds(const std::string& file) {
  std::set<std::string> ids;
  QFile in(QString::fromStdString((kSkin / file).string()));
  if (!in.open(QIODevice::ReadOnly)) return ids;
  QXmlStreamReader xml(&in);
  while (xml.readNextStartElement()) {
    if (xml.name() == u"text") {
      ids.insert(xml.attributes().value(QLatin1String("id")).toString().toStdString());
      xml.skipCurrentElement();
    }
  }
  return ids;
}

const std::map<std::string, std::set<std::string>>& Languages() {
  static const std::map<std::string, std::set<std::string>> languages = {
      {"lan_en.xml", LanguageIds("lan_en.xml")},
      {"lan_cn.xml", LanguageIds("lan_cn.xml")},
  };
  return languages;
}

void ExpectInBothLanguages(const std::string& id, const std::string& where, const std::string& what) {
  for (const auto& [file, ids] : Languages()) {
    if (!ids.count(id)) ADD_FAILURE() << where << ": " << what << " " << id << " is missing from " << file;
  }
}

// ---------------------------------------------------------------------------
// The list of names the code builds at run time

struct ListedName {
  std::string layout;
  std::string name;
  int line;
};

struct Page {
  std::string element;
  std::string layout;
  int line;
};

struct NameList {
  std::vector<ListedName> names;
  std::vector<Page> pages;
  std::vector<std::string> problems;
};

// "prefix_{0..3}" gives prefix_0 … prefix_3; several ranges multiply out.
bool Expand(const std::string& pattern, std::vector<std::string>& out) {
  static const std::regex kRange(R"(\{([0-9]+)\.\.([0-9]+)\})");
  std::smatch m;
  if (!std::regex_search(pattern, m, kRange)) {
    if (pattern.find_first_of("{}") != std::string::npos) return false;
    out.push_back(pattern);
    return true;
  }
  const int from = std::stoi(m[1]);
  const int to = std::stoi(m[2]);
  if (from > to) return false;
  for (int k = from; k <= to; ++k) {
    if (!Expand(m.prefix().str() + std::to_string(k) + m.suffix().str(), out)) return false;
  }
  return true;
}

NameList ParseNameList(const std::string& text) {
  NameList list;
  std::istringstream in(text);
  std::string row;
  for (int line = 1; std::getline(in, row); ++line) {
    std::istringstream fields(row);
    std::vector<std::string> words;
    for (std::string w; fields >> w;) words.push_back(w);
    if (words.empty() || words[0][0] == '#') continue;
    std::vector<std::string> names;
    if (words.size() == 3 && words[0] == "page") {
      list.pages.push_back({words[1], words[2], line});
    } else if (words.size() == 2 && Expand(words[1], names)) {
      for (std::string& name : names) list.names.push_back({words[0], std::move(name), line});
    } else {
      list.problems.push_back(std::to_string(line) + ": cannot read \"" + row + "\"");
    }
  }
  return list;
}

// Every tests/app/skin/data/control_names*.txt, by file name; each area of
// the program keeps its own list.
const std::map<std::string, NameList>& Listed() {
  static const std::map<std::string, NameList> lists = [] {
    std::map<std::string, NameList> found;
    for (const auto& entry : fs::directory_iterator(kSource / "tests/app/skin/data")) {
      const std::string file = entry.path().filename().string();
      if (file.rfind("control_names", 0) == 0 && entry.path().extension() == ".txt")
        found.emplace(file, ParseNameList(ReadText(entry.path())));
    }
    return found;
  }();
  return lists;
}

// The page lines of all lists: a page named in one list serves them all.
std::vector<Page> ListedPages() {
  std::vector<Page> pages;
  for (const auto& [file, list] : Listed()) pages.insert(pages.end(), list.pages.begin(), list.pages.end());
  return pages;
}

// The controls of a window: its layout and the pages its elements become.
std::set<std::string> WindowControls(const std::string& layoutFile, const std::vector<Page>& pages,
                                     std::set<std::string>& visited) {
  std::set<std::string> controls;
  const auto it = SkinFolder().layouts.find(layoutFile);
  if (it == SkinFolder().layouts.end() || !visited.insert(layoutFile).second) return controls;
  controls = it->second.controls;
  for (const Page& page : pages) {
    if (!it->second.elements.count(AsciiLower(page.element))) continue;
    controls.merge(WindowControls(page.layout, pages, visited));
  }
  return controls;
}

// ---------------------------------------------------------------------------
// The scanners themselves

TEST(NameScanner, TakesOnlyLiteralArgumentsOutsideComments) {
  SourceUses uses;
  ScanSource(R"cpp(
    // FindControl("in_a_comment");
    /* FindControl("in_a_block")
       SetTextId("block_text"); */
    auto* a = w.FindControl("plain");
    auto* b = w.FindControl(std::string("wrapped"));
    auto* c = w.FindControl(std::string_view{"viewed"});
    auto* d = w.FindControl("ms_dkey_" + std::to_string(i));
    auto* e = w.FindControl(name);
    const char* raw = R"x(FindControl("in_raw"))x";
    char quote = '"'; auto* f = w.FindControl("after_quote");
    int big = 1'000; auto* g = w.FindControl(
        "next_line");
    c->SetTextId("Key_Set");
    c->SetItemTextId(row, 0, "item_text");
    ShowMessage(toolkit, this, "A title", "save_text", true);
    toolkit.ShowMessageAutoClose(this, {}, "Saved!", false, true);
    Show(kIds[2] ? "message_text_7" : "x");
  )cpp",
             "snippet.cpp", uses);
  std::vector<std::string> controls, ids, wheres;
  for (const Use& u : uses.controls) controls.push_back(u.name);
  for (const Use& u : uses.textIds) ids.push_back(u.name);
  for (const Use& u : uses.controls) wheres.push_back(u.where);
  EXPECT_EQ(controls, (std::vector<std::string>{"plain", "wrapped", "viewed", "after_quote", "next_line"}));
  EXPECT_EQ(wheres.back(), "snippet.cpp:12");  // where the call starts
  EXPECT_EQ(ids, (std::vector<std::string>{"message_text_7", "Key_Set", "item_text", "save_text"}));
}

TEST(NameScanner, FindsImagesInEveryFormALayoutWritesThem) {
  auto paths = [](const char* value) { return ImagePaths(QString::fromUtf8(value)); };
  EXPECT_EQ(paths("common/skin_1.png"), std::vector<std::string>{"common/skin_1.png"});
  EXPECT_EQ(paths(" images/check.SVG "), std::vector<std::string>{"images/check.SVG"});
  EXPECT_EQ(paths("file='ms/key_left_down.png' corner='2,2,2,2'"), std::vector<std::string>{"ms/key_left_down.png"});
  EXPECT_EQ(paths("QPushButton { image: url(skin:images/a.png); } QLabel { border-image: url(\"b.png\") }"),
            (std::vector<std::string>{"images/a.png", "b.png"}));
  EXPECT_EQ(paths("https://example.org/"), std::vector<std::string>{});
}

TEST(NameScanner, ReadsTheNameListWithRangesAndPages) {
  const NameList list = ParseNameList(
      "# comment\n"
      "\n"
      "XML_MAIN closebtn\n"
      "XML_MAIN ms_dkey_{0..2}\n"
      "page MS_Deng_UI Mouse_deng.xml\n"
      "XML_MAIN key_{3..1}\n"
      "XML_MAIN lone\n"
      "XML_MAIN half_{1..\n"
      "XML_MAIN a b\n");
  std::vector<std::string> names;
  for (const ListedName& n : list.names) names.push_back(n.layout + " " + n.name + " @" + std::to_string(n.line));
  EXPECT_EQ(names, (std::vector<std::string>{"XML_MAIN closebtn @3", "XML_MAIN ms_dkey_0 @4", "XML_MAIN ms_dkey_1 @4",
                                             "XML_MAIN ms_dkey_2 @4", "XML_MAIN lone @7"}));
  ASSERT_EQ(list.pages.size(), 1u);
  EXPECT_EQ(list.pages[0].element, "MS_Deng_UI");
  EXPECT_EQ(list.pages[0].layout, "Mouse_deng.xml");
  EXPECT_EQ(list.problems.size(), 3u);  // the reversed range, the open brace, three words
}

// ---------------------------------------------------------------------------
// The tree

TEST(ControlNames, EveryNameTheCodeLooksUpIsInALayout) {
  ASSERT_FALSE(SkinFolder().layouts.empty()) << "no layouts in " << kSkin;
  EXPECT_FALSE(Source().controls.empty()) << "no FindControl calls found under " << kSource / "src";
  for (const Use& use : Source().controls) {
    const bool found = std::any_of(SkinFolder().layouts.begin(), SkinFolder().layouts.end(),
                                   [&](const auto& layout) { return layout.second.controls.count(use.name) > 0; });
    if (!found) ADD_FAILURE() << use.where << ": FindControl(\"" << use.name << "\"): no layout in skin/ has this control";
  }
}

TEST(ControlNames, EveryListedNameIsInItsWindow) {
  ASSERT_TRUE(Listed().count("control_names.txt")) << "no control_names.txt in tests/app/skin/data";
  const std::vector<Page> pages = ListedPages();
  std::map<std::string, std::set<std::string>> windows;
  for (const auto& [file, list] : Listed()) {
    EXPECT_FALSE(list.names.empty() && list.pages.empty()) << file << " lists nothing";
    for (const std::string& problem : list.problems) ADD_FAILURE() << file << ":" << problem;

    for (const Page& page : list.pages) {
      const std::string where = file + ":" + std::to_string(page.line) + ": page " + page.element + " " + page.layout;
      EXPECT_TRUE(SkinFolder().layouts.count(page.layout)) << where << ": no layout " << page.layout << " in skin/";
      EXPECT_TRUE(Source().literals.count(page.layout)) << where << ": src/ never names \"" << page.layout << "\"";
      const bool elementNamed =
          std::any_of(Source().literals.begin(), Source().literals.end(),
                      [&](const std::string& s) { return AsciiLower(s) == AsciiLower(page.element); });
      EXPECT_TRUE(elementNamed) << where << ": src/ never names \"" << page.element << "\"";
    }

    for (const ListedName& listed : list.names) {
      const std::string where = file + ":" + std::to_string(listed.line);
      if (!SkinFolder().layouts.count(listed.layout)) {
        ADD_FAILURE() << where << ": no layout " << listed.layout << " in skin/ (looking for " << listed.name << ")";
        continue;
      }
      if (!windows.count(listed.layout)) {
        std::set<std::string> visited;
        windows[listed.layout] = WindowControls(listed.layout, pages, visited);
      }
      if (!windows[listed.layout].count(listed.name))
        ADD_FAILURE() << where << ": " << listed.layout << " and its pages have no control named " << listed.name;
    }
  }
}

// Every row of every page's binding table, named by its page.
struct BoundRow {
  std::string page;
  talvo::pages::ControlName control;
};

template <typename Page>
void AddRows(std::vector<BoundRow>& rows, const std::string& page,
             std::span<const talvo::pages::ControlBinding<Page>> table) {
  for (const auto& row : table) rows.push_back({page, row.control});
}

std::vector<BoundRow> BoundRows() {
  using talvo::device::Peripheral;
  namespace lighting = talvo::lighting::pages;
  std::vector<BoundRow> rows;
  for (const Peripheral p : {Peripheral::Keyboard, Peripheral::Mouse}) {
    const std::string device = p == Peripheral::Keyboard ? " (keyboard)" : " (mouse)";
    AddRows(rows, "key assignment" + device, talvo::keys::pages::KeyAssignmentPage::Bindings(p));
    AddRows(rows, "macro editor" + device, talvo::macros::pages::MacroEditorPage::Bindings(p));
  }
  AddRows(rows, "macro upload", talvo::macros::pages::MacroPages::Bindings());
  AddRows(rows, "cursor macros", talvo::macros::pages::CursorMacroPage::Bindings());
  AddRows(rows, "keyboard lighting", lighting::KeyboardLightingPage::Bindings());
  AddRows(rows, "mouse lighting", lighting::MouseLightingPage::Bindings());
  AddRows(rows, "mousepad lighting", lighting::MousepadLightingPage::Bindings());
  AddRows(rows, "mouse settings", talvo::mouse::MousePerformancePage::Bindings());
  AddRows(rows, "profiles", talvo::pages::profiles::ProfilePage::Bindings());
  return rows;
}

// The router compares names ignoring case: an exact name must be a control,
// a family must have at least its first member, an ending must end one.
TEST(ControlNames, EveryBoundNameIsInALayout) {
  std::set<std::string> controls;
  for (const auto& [file, layout] : SkinFolder().layouts)
    for (const std::string& name : layout.controls) controls.insert(AsciiLower(name));
  const std::vector<BoundRow> rows = BoundRows();
  ASSERT_FALSE(rows.empty());
  for (const BoundRow& row : rows) {
    const std::string name = AsciiLower(row.control.name);
    bool found = false;
    switch (row.control.match) {
      case talvo::pages::NameMatch::Exact: found = controls.count(name) > 0; break;
      case talvo::pages::NameMatch::Family: found = controls.count(name + std::to_string(row.control.first)) > 0; break;
      case talvo::pages::NameMatch::Ending:
        found = std::any_of(controls.begin(), controls.end(), [&](const std::string& c) { return c.ends_with(name); });
        break;
    }
    if (!found)
      ADD_FAILURE() << row.page << " binds " << row.control.type << " of \"" << row.control.name
                    << "\", which no layout in skin/ has";
  }
}

// The peripheral table names controls and text ids no FindControl call
// spells out: each must be in a layout, each device's first mode in both
// languages.
TEST(ControlNames, ThePeripheralTableNamesControlsAndTextsThatExist) {
  for (const talvo::pages::PeripheralTraits& traits : talvo::pages::kPeripheralTraits) {
    for (const std::string_view control :
         {traits.tab, traits.modeCombo, traits.brightnessSlider, traits.speedSlider, traits.palette}) {
      const bool found = std::any_of(SkinFolder().layouts.begin(), SkinFolder().layouts.end(),
                                     [&](const auto& layout) { return layout.second.controls.count(std::string(control)) > 0; });
      EXPECT_TRUE(found) << traits.name << ": no layout in skin/ has " << control;
    }
    ExpectInBothLanguages(traits.ModeTextId(0), std::string(traits.name), "first mode text id");
  }
}

TEST(TextIds, EveryIdTheCodeShowsIsInBothLanguages) {
  ASSERT_FALSE(Languages().at("lan_en.xml").empty());
  ASSERT_FALSE(Languages().at("lan_cn.xml").empty());
  for (const Use& use : Source().textIds) ExpectInBothLanguages(use.name, use.where, "text id");
}

TEST(TextIds, EveryIdOfTheLayoutsAndMenusIsInBothLanguages) {
  for (const auto& [file, layout] : SkinFolder().layouts) {
    for (const Reference& ref : layout.textIds) ExpectInBothLanguages(ref.value, ref.where, ref.what);
  }
  EXPECT_FALSE(SkinFolder().menus.empty()) << "no menu files in " << kSkin;
  for (const std::string& file : SkinFolder().unreadableMenus) {
    ADD_FAILURE() << file << ": not a menu the program can read";
  }
  for (const auto& [file, items] : SkinFolder().menus) {
    for (const talvo::app::MenuItem& item : items) {
      ExpectInBothLanguages(item.text, file, "item " + item.name + " text id");
    }
  }
}

TEST(SkinImages, EveryImageTheLayoutsAndStyleSheetsNameExists) {
  std::vector<Reference> refs = SkinFolder().styleImages;
  for (const auto& [file, layout] : SkinFolder().layouts) refs.insert(refs.end(), layout.images.begin(), layout.images.end());
  for (const Reference& ref : refs) {
    const fs::path path = kSkin / ref.value;
    if (!fs::is_regular_file(path)) {
      ADD_FAILURE() << ref.where << ": " << ref.what << " names " << ref.value << ", which skin/ does not hold";
    } else if (AsciiLower(ref.value).ends_with(".png")) {
      EXPECT_FALSE(QImage(QString::fromStdString(path.string())).isNull())
          << ref.where << ": " << ref.what << " names " << ref.value << ", which is not a readable PNG";
    }
  }
}

}  // namespace
