#include "language.h"

#include <QXmlStreamReader>

#include "app/toolkit/qt/skin_files.h"

namespace talvo::app {

// One pass without recursion: Qt's readElementText recurses per nested
// element, so a deeply nested file would overflow the stack.
std::optional<LanguageTable> ParseLanguage(const QByteArray& bytes, QString* error, QString* code) {
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
          if (code) *code = xml.attributes().value("code").toString();
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

QFont UiFont(QFont base, QStringView code, bool hasNotoSans, const std::function<QString()>& systemSans) {
  QStringList families{QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK SC"),
                       QStringLiteral("WenQuanYi Micro Hei")};
  const bool chinese = code.startsWith(u"cn") || code.startsWith(u"zh");
  const QString latin = chinese || hasNotoSans ? QString() : systemSans();
  const bool standIn = !latin.isEmpty() && !families.contains(latin);
  if (standIn) families.insert(1, latin);
  base.setFamilies(families);
  base.setStretch(standIn ? QFont::SemiCondensed : QFont::AnyStretch);
  return base;
}

}  // namespace talvo::app
