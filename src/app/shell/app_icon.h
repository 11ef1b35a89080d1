#pragma once

#include <QIcon>

namespace talvo::app {

// The application's icon in every size it is drawn at (window, tray). Each
// size is read from its file when it is asked for and not kept: the window
// system copies what it needs, once, and most sizes are never drawn.
QIcon AppIcon();

}  // namespace talvo::app
