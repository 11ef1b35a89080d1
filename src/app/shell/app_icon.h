#pragma once

#include <QIcon>

namespace talvo::app {

// The application's icon in every size it is drawn at (window, tray).
QIcon AppIcon();

}  // namespace talvo::app
