// Menu files sit in the program folder where anyone may edit them: any bytes
// give the menu's items or nothing, and every item given has a name.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "app/windows/menus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (const auto items = talvo::app::ParseMenu(bytes)) {
    for (const auto& item : *items) {
      if (item.name.empty()) std::abort();
    }
  }
  return 0;
}
