// Language files sit in the program folder where anyone may edit them: any
// bytes must parse to a table or a reason, never a crash.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "app/toolkit/qt/language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QString error;
  const auto table = talvo::app::ParseLanguage(bytes, &error);
  if (!table && error.isEmpty()) std::abort();  // a failure always says why
  return 0;
}
