#include "app/shell/app_icon.h"

namespace talvo::app {

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/talvo/icons/%1x%1/talvo.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace talvo::app
