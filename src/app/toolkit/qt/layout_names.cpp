#include "app/toolkit/qt/layout_names.h"

#include <QXmlStreamReader>

#include "app/toolkit/qt/skin_files.h"

namespace talvo::app {

std::optional<LayoutNames> ReadLayoutNames(const QByteArray& bytes) {
  QXmlStreamReader xml(bytes);
  LayoutNames found;
  int depth = 0;
  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::StartElement:
        if (++depth > kMaxXmlDepth) return std::nullopt;
        if (xml.name() == QLatin1String("widget")) {
          const QXmlStreamAttributes attributes = xml.attributes();
          if (const auto name = attributes.value(QLatin1String("name")); !name.isEmpty())
            found.widgets.insert(name.toString());
          if (const auto cls = attributes.value(QLatin1String("class")); !cls.isEmpty())
            found.classes.insert(cls.toString());
        }
        break;
      case QXmlStreamReader::EndElement:
        --depth;
        break;
      default:
        break;
    }
  }
  if (xml.hasError()) return std::nullopt;
  return found;
}

}  // namespace talvo::app
