// Style sheets sit in the program folder and in layouts, where anyone may edit
// them: from any text, every url( left is one Qt reads and names a resource
// (the skin folder here holds nothing), Qt cannot take the text for a file's
// name, and checking the result again changes nothing.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "app/toolkit/qt/skin_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString sheet = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString skin = QStringLiteral("/nonexistent-skin");
  const QString checked = talvo::app::WithSafeImageUrls(sheet, skin);
  for (const talvo::app::StyleSheetUrl& url : talvo::app::StyleSheetUrls(checked))
    if (!url.read || !url.name.startsWith(QLatin1Char(':'))) std::abort();
  if (checked.startsWith(QLatin1String("file:///"))) std::abort();
  if (talvo::app::WithSafeImageUrls(checked, skin) != checked) std::abort();
  return 0;
}
