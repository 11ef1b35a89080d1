// The application icon, read a size at a time, gives what an icon holding
// all its sizes gives.
#include "app/shell/app_icon.h"

#include <gtest/gtest.h>

namespace talvo::app {
namespace {

TEST(AppIcon, GivesWhatAnIconOfAllSizesGives) {
  QIcon eager;
  for (int side : {16, 22, 24, 32, 48, 64, 128, 256})
    eager.addFile(QStringLiteral(":/talvo/icons/%1x%1/talvo.png").arg(side), QSize(side, side));
  const QIcon lazy = AppIcon();
  ASSERT_EQ(eager.availableSizes().size(), 8);
  EXPECT_EQ(lazy.availableSizes(), eager.availableSizes());
  EXPECT_EQ(lazy.availableSizes(QIcon::Disabled), eager.availableSizes(QIcon::Disabled));
  for (const QSize size : {QSize(16, 16), QSize(20, 20), QSize(40, 40), QSize(300, 300), QSize(16, 40)}) {
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " mode " << mode);
      EXPECT_EQ(lazy.actualSize(size, mode), eager.actualSize(size, mode));
      EXPECT_EQ(lazy.pixmap(size, 1.0, mode).toImage(), eager.pixmap(size, 1.0, mode).toImage());
    }
  }
}

}  // namespace
}  // namespace talvo::app
