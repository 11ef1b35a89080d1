#include "language.h"

#include <QXmlStreamReader>

#include "app/toolkit/qt/skin_files.h"

namespace talvo::app {

// One pass without recursion: Qt's readElementText recurses per nested
// element, so a deeply nested file would overflow the stack.
std::optional<LanguageTable> ParseLanguage(const QByteArray& bytes, QString* error) {
  QXmlStreamReader xml(bytes);
  LanguageTable table;
  auto fail = [&](const QString& why) -> std::optional<LanguageTable> {
    if (error)
      *error = QStringLiteral("line %1, column %2: %3")
                   .arg(xml.lineNumber())
                   .arg(xml.columnNumber())
                   .arg(why);
    return std::nullopt;
  };
  int depth = 0;
  bool sawRoot = false;
  // The <text> element being read (depth 2), its id and its text so far,
  // children's text included.
  bool inText = false;
  QString id;
  QString text;
  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement:
        if (++depth > kMaxXmlDepth) return fail("elements nested too deeply");
        if (depth == 1) {
          if (xml.name() != QLatin1String("language")) return fail("root element is not <language>");
          sawRoot = true;
        } else if (depth == 2 && xml.name() == QLatin1String("text")) {
          inText = true;
          id = xml.attributes().value("id").toString();
          text.clear();
        }
        break;
      case QXmlStreamReader::Characters:
      case QXmlStreamReader::EntityReference:
        if (inText) text += xml.text();
        break;
      case QXmlStreamReader::EndElement:
        if (depth-- == 2 && inText) {
          inText = false;
          if (!id.isEmpty()) table.try_emplace(id.toStdString(), text.toStdString());
        }
        break;
      default:
        break;
    }
  }
  if (xml.hasError()) return fail(xml.errorString());
  if (!sawRoot) return fail("empty file");
  return table;
}

}  // namespace talvo::app
