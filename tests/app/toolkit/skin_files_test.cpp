// Files of the program folder, trusted but possibly broken: a FIFO or other
// special file in a file's place never blocks, and sizes and nesting are
// bounded before Qt parses or decodes anything.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <vector>

#include "app/toolkit/qt/language.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "app/toolkit/qt/skin_files.h"
#include "tests/support/fifo_guard.h"

namespace talvo::app {
namespace {

using test_support::FifoGuard;

class NoControls : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

// A skin folder of its own, with a FIFO named fifo.png in it.
class SkinFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(fifo_.Created());
    ASSERT_TRUE(QImage(8, 6, QImage::Format_ARGB32).save(Path("ok.png")));
  }
  void TearDown() override { EXPECT_FALSE(fifo_.Released()) << "a FIFO blocked a reader"; }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  void Write(const QString& name, const QByteArray& bytes) const {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  QTemporaryDir dir_;
  FifoGuard fifo_{dir_.filePath("fifo.png").toStdString()};
};

QByteArray Nested(const QByteArray& open, const QByteArray& close, int depth) {
  return open.repeated(depth) + close.repeated(depth);
}

TEST_F(SkinFilesTest, ImagesAreReadOnlyFromRegularFilesWithinTheCaps) {
  ASSERT_TRUE(QImage(kMaxImageSide + 1, 1, QImage::Format_Mono).save(Path("wide.png")));
  ASSERT_TRUE(QImage(1, kMaxImageSide + 1, QImage::Format_Mono).save(Path("tall.png")));
  ASSERT_TRUE(QImage(kMaxImageSide, 1, QImage::Format_Mono).save(Path("edge.png")));
  Write("junk.png", "not an image");
  // Decodes as it is; only its size is over the cap.
  ASSERT_TRUE(QFile::copy(Path("ok.png"), Path("huge.png")));
  std::filesystem::resize_file(Path("huge.png").toStdString(), kMaxImageFileBytes + 1);
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.png"));
  for (const auto& [name, size] : std::vector<std::pair<QString, QSize>>{{"ok.png", {8, 6}},
                                                                         {"edge.png", {kMaxImageSide, 1}},
                                                                         {"fifo.png", {}},
                                                                         {"wide.png", {}},
                                                                         {"tall.png", {}},
                                                                         {"junk.png", {}},
                                                                         {"huge.png", {}},
                                                                         {"folder.png", {}},
                                                                         {"missing.png", {}}}) {
    const QImage image = ReadImageFile(Path(name));
    EXPECT_EQ(image.isNull() ? QSize() : image.size(), size) << name.toStdString();
  }
}

// However a url( is spelt, Qt opens what it names; only resources and regular
// files inside the skin folder stay.
TEST_F(SkinFilesTest, StyleSheetUrlsOfAnythingButSkinFilesAndResourcesBecomeNone) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.png"));
  const QString fifo = Path("fifo.png");
  const QString ok = Path("ok.png");
  const QString outside = QCoreApplication::applicationFilePath();
  for (const auto& [in, out] : std::vector<std::pair<QString, QString>>{
           {"a { image: url(skin:ok.png); }", "a { image: url(skin:ok.png); }"},
           {"a { image: url(skin:fifo.png); }", "a { image: none; }"},
           {"a { image: URL( \"skin:fifo.png\" ) }", "a { image: none }"},
           {"a { image: url('skin:folder.png') }", "a { image: none }"},
           {"a { image: url(skin:missing.png) }", "a { image: none }"},
           {"a { image: url(" + ok + ") }", "a { image: url(" + ok + ") }"},
           {"a { image: url(" + fifo + ") }", "a { image: none }"},
           {"a { image: url(:/talvo/x.png) }", "a { image: url(:/talvo/x.png) }"},
           {"a { image: url(" + outside + ") }", "a { image: none }"},
           {"a { image: url(qrc:/x.png) }", "a { image: none }"},  // to Qt a folder named "qrc:"
           {R"(a { image: u\rl(skin:fifo.png) })", "a { image: none }"},
           {R"(a { image: \75rl(skin:fifo.png) })", "a { image: none }"},
           // Qt reads the name " url('')" here, not " none".
           {"a { image: url(' url('')') }", "a { image: none }"},
           // Read whole, the outer url( would name what dropping the inner one leaves.
           {"a { image: url(skin:ok.png url(skin:fifo.png) }", "a { image: none(skin:ok.png none }"},
           {"file:///fifo.png", " file:///fifo.png"},
           {"a { image: url(skin:ok.png) } b { background-image: url(skin:fifo.png); color: red }",
            "a { image: url(skin:ok.png) } b { background-image: none; color: red }"},
           {"no images here", "no images here"}}) {
    EXPECT_EQ(WithSafeImageUrls(in, dir_.path()).toStdString(), out.toStdString()) << in.toStdString();
  }
}

// The names read are those Qt 6 shows an image from where it shows one
// (checked against Qt once); the rest follow from its scanner and parser.
TEST(StyleSheetUrls, AreFoundAndNamedAsQtReadsThem) {
  const QString unread = "<not read>";
  for (const auto& [sheet, names] : std::vector<std::pair<QString, QStringList>>{
           {R"(url( "a" ))", {"a\""}},  // the space before ")" belongs to the name
           {"url(/**/a)", {"a"}},
           {"url(a/**/)", {"a/**/"}},
           {"url(a(b)c)", {"a(b)c"}},
           {"url({)})", {"{)}"}},
           {"url('a'b)", {"a'"}},
           {R"(url(fi\6c e))", {"fil e"}},
           {R"(u\rl(b) \75rl(c) URL(d))", {"b", "c", "d"}},  // URL( only after @import
           {R"(url(a\29 x)", {"a"}},
           {R"(url('x\'y'))", {"x'y"}},
           {"url(a", {unread}},
           {"url(a}", {unread}},
           {"url(a url(b))", {unread, "b"}},
           {"\"url(a)\" xurl(a) 5url(a) -url(a)", {}},
           {"\u00e9 url(a)", {"a"}},  // Qt stops at the é; read on regardless
       }) {
    QStringList found;
    for (const StyleSheetUrl& url : StyleSheetUrls(sheet)) found << (url.read ? url.name : unread);
    EXPECT_EQ(found, names) << sheet.toStdString();
  }
}

TEST_F(SkinFilesTest, StyleSheetFileThatIsAFifoIsNotReadAndOneNamingAFifoPolishesWithoutBlocking) {
  EXPECT_FALSE(ReadStyleSheet(Path("fifo.png"), dir_.path()));
  Write("style.qss", "QLabel#shown { background-image: u\\rl(" + Path("fifo.png").toUtf8() + "); }");
  const auto sheet = ReadStyleSheet(Path("style.qss"), dir_.path());
  ASSERT_TRUE(sheet);
  EXPECT_FALSE(sheet->contains("fifo.png")) << sheet->toStdString();
  QLabel label;
  label.setObjectName("shown");
  label.setStyleSheet(*sheet);
  label.resize(20, 20);
  label.grab();
}

TEST_F(SkinFilesTest, LanguageFilesThatAreFifosOrNestTooDeeplyLeaveThePreviousTexts) {
  Write("lan_en.xml", "<language><text id='a'>English</text></language>");
  Write("lan_deep.xml", "<language><text id='a'>" + Nested("<b>", "</b>", 100000) + "</text></language>");
  QtToolkit toolkit{dir_.path()};
  ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(toolkit.LoadLanguage("fifo.png"));
  EXPECT_FALSE(toolkit.LoadLanguage("lan_deep.xml"));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("fifo.png"), std::string::npos) << err;
  EXPECT_NE(err.find("lan_deep.xml: line 1"), std::string::npos) << err;
  EXPECT_EQ(toolkit.LanguageText("a"), "English");
}

TEST(LanguageNesting, TextOfModestlyNestedElementsCountsAndDeepNestingIsRefused) {
  QString error;
  const auto table = ParseLanguage("<language><text id='a'>x" + Nested("<b>y", "</b>", 60) + "z</text></language>",
                                   &error);
  ASSERT_TRUE(table) << error.toStdString();
  EXPECT_EQ(table->at("a"), "x" + std::string(60, 'y') + "z");

  EXPECT_FALSE(ParseLanguage("<language>" + Nested("<text id='a'>", "</text>", 100000) + "</language>", &error));
  EXPECT_TRUE(error.contains("nested")) << error.toStdString();
}

TEST_F(SkinFilesTest, LayoutsThatAreFifosOrNestTooDeeplyFailNamingTheFile) {
  const QByteArray deep = "<ui version='4.0'><widget class='QWidget' name='root'>" +
                          Nested("<widget class='QWidget'>", "</widget>", 100000) + "</widget></ui>";
  Write("deep.ui", deep);
  QtToolkit toolkit{dir_.path()};
  NoControls handler;
  for (const auto& [file, said] : std::vector<std::pair<QString, std::string>>{
           {"fifo.png", "fifo.png: cannot read"}, {"deep.ui", "deep.ui:1:"}}) {
    QtWindow window{toolkit, handler};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.Create(file));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(said), std::string::npos) << err;
  }
}

TEST_F(SkinFilesTest, LayoutImagesThatAreNotRegularFilesAreLeftOutAndTheRestLoads) {
  const QByteArray fifo = Path("fifo.png").toUtf8();
  Write("icons.ui", R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <widget class="QWidget" name="root">
  <property name="styleSheet"><string>QLabel#styled { background-image: url()" + fifo + R"(); } QLabel { color: red; }</string></property>
  <layout class="QVBoxLayout" name="rootLayout">
   <item><widget class="QPushButton" name="good"><property name="icon"><iconset><normaloff>ok.png</normaloff></iconset></property></widget></item>
   <item><widget class="QPushButton" name="bad"><property name="icon"><iconset><normaloff>fifo.png</normaloff><normalon>ok.png</normalon></iconset></property></widget></item>
   <item><widget class="QLabel" name="picture"><property name="pixmap"><pixmap>fifo.png</pixmap></property></widget></item>
   <item><widget class="QLabel" name="styled"><property name="text"><string>a &amp; b</string></property></widget></item>
  </layout>
 </widget>
</ui>
)");
  QtToolkit toolkit{dir_.path()};
  NoControls handler;
  QtWindow window{toolkit, handler};
  ASSERT_TRUE(window.Create("icons.ui"));
  QWidget* root = window.Widget();
  root->grab();
  EXPECT_FALSE(root->styleSheet().contains("fifo.png")) << root->styleSheet().toStdString();
  EXPECT_TRUE(root->styleSheet().contains("QLabel { color: red; }")) << root->styleSheet().toStdString();
  EXPECT_FALSE(root->findChild<QAbstractButton*>("good")->icon().isNull());
  EXPECT_FALSE(root->findChild<QAbstractButton*>("bad")->icon().isNull());  // its other state stays
  EXPECT_EQ(root->findChild<QLabel*>("styled")->text(), "a & b");
}

}  // namespace
}  // namespace talvo::app
