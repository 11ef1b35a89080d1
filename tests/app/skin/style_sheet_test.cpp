// The style sheet: Qt accepts it as a whole (a parse error drops every rule
// silently), and each image it names exists in the skin folder and loads.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace {

QString SkinPath(const QString& name) { return QStringLiteral(TALVO_SKIN_DIR "/") + name; }

QString ReadStyleSheet() {
  QFile file(SkinPath("style.qss"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QStringList g_warnings;

void CollectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg) g_warnings << message;
}

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_skin";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

TEST(StyleSheet, ParsesWithoutWarnings) {
  const QString sheet = ReadStyleSheet();
  ASSERT_FALSE(sheet.isEmpty());
  QApplication& app = App();
  g_warnings.clear();
  QtMessageHandler previous = qInstallMessageHandler(CollectWarnings);
  app.setStyleSheet(sheet);
  QPushButton button;
  button.ensurePolished();
  qInstallMessageHandler(previous);
  app.setStyleSheet({});
  for (const QString& warning : g_warnings) {
    ADD_FAILURE() << warning.toStdString();
  }
}

TEST(StyleSheet, NamesOnlyImagesTheSkinFolderHolds) {
  const QString sheet = ReadStyleSheet();
  ASSERT_FALSE(sheet.isEmpty());
  QRegularExpression url(QStringLiteral(R"re(url\(\s*"?([^")]*)"?\s*\))re"));
  int images = 0;
  for (auto it = url.globalMatch(sheet); it.hasNext();) {
    const QString target = it.next().captured(1);
    ++images;
    // Relative paths would depend on the working folder; the program points
    // the "skin:" search path at its skin folder instead.
    ASSERT_TRUE(target.startsWith(QStringLiteral("skin:"))) << target.toStdString();
    EXPECT_FALSE(QImage(SkinPath(target.mid(5))).isNull()) << target.toStdString();
  }
  EXPECT_GT(images, 0);
}

}  // namespace
