// Layout files sit in the skin folder where anyone may edit them: reading
// which widgets a page names must never crash on any bytes.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "app/toolkit/qt/layout_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (const auto names = talvo::app::ReadLayoutNames(bytes); names && names->widgets.contains(QString()))
    std::abort();  // only named widgets are listed
  return 0;
}
