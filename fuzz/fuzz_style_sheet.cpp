// Style sheets sit in the program folder and in layouts, where anyone may edit
// them: any text comes back with every url naming a special file or nothing
// replaced, and checking the result again changes nothing more.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "app/toolkit/qt/skin_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString sheet = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString skin = QStringLiteral("/nonexistent-skin");
  const QString checked = talvo::app::WithSafeImageUrls(sheet, skin);
  if (talvo::app::WithSafeImageUrls(checked, skin) != checked) std::abort();
  return 0;
}
