#include "language.h"

#include <QXmlStreamReader>

namespace talvo::app {

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
  if (!xml.readNextStartElement()) return fail(xml.hasError() ? xml.errorString() : "empty file");
  if (xml.name() != QLatin1String("language")) return fail("root element is not <language>");
  while (xml.readNextStartElement()) {
    if (xml.name() != QLatin1String("text")) {
      xml.skipCurrentElement();
      continue;
    }
    const QString id = xml.attributes().value("id").toString();
    const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
    if (!id.isEmpty()) table.try_emplace(id.toStdString(), text.toStdString());
  }
  // Trailing content after the root must be well-formed too.
  while (!xml.atEnd()) xml.readNext();
  if (xml.hasError()) return fail(xml.errorString());
  return table;
}

}  // namespace talvo::app
