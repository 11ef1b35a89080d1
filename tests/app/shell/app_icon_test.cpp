// The application icon reads each size when asked, and gives what an icon
// holding all its sizes gives.
#include "app/shell/app_icon.h"

#include <gtest/gtest.h>

namespace talvo::app {
namespace {

QIcon AllSizesRead() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/talvo/icons/%1x%1/talvo.png").arg(size), QSize(size, size));
  return icon;
}

TEST(AppIcon, GivesWhatAnIconOfAllSizesGives) {
  const QIcon lazy = AppIcon();
  const QIcon eager = AllSizesRead();
  ASSERT_FALSE(eager.availableSizes().isEmpty());
  EXPECT_EQ(lazy.availableSizes(), eager.availableSizes());
  EXPECT_EQ(lazy.availableSizes(QIcon::Disabled), eager.availableSizes(QIcon::Disabled));
  for (const QSize size : {QSize(16, 16), QSize(20, 20), QSize(22, 22), QSize(40, 40), QSize(256, 256),
                           QSize(300, 300), QSize(16, 40)}) {
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Selected}) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " mode " << mode);
      EXPECT_EQ(lazy.actualSize(size, mode), eager.actualSize(size, mode));
      const QImage got = lazy.pixmap(size, 1.0, mode).toImage();
      EXPECT_FALSE(got.isNull());
      EXPECT_EQ(got, eager.pixmap(size, 1.0, mode).toImage());
    }
  }
}

}  // namespace
}  // namespace talvo::app
