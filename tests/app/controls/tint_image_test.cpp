#include "app/controls/tint_image.h"

#include <gtest/gtest.h>

#include "app/toolkit/qt/qt_toolkit.h"
#include "controls_test_util.h"

namespace talvo::app {
namespace {

using test::Near;
using test::Render;

// A 40 x 20 preview on black showing a 10 x 10 white LED image, which fits
// as a centred 20 x 20 square.
class TintImageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.isValid());
    ASSERT_TRUE(test::WriteImage(skin.filePath("led.png"), {10, 10}, {0, 0, 10, 10}, Qt::white));
    led.setStyleSheet("background: #000000;");
    led.resize(40, 20);
    led.setProperty("image", "led.png");
  }

  QTemporaryDir skin;
  QtToolkit toolkit{skin.path()};
  CTintImageUI led{nullptr, &toolkit};
  const QPoint inside{20, 10};
  const QPoint beside{5, 10};
};

TEST_F(TintImageTest, ShowsTheImageAsItIsUntilAColourIsGiven) {
  EXPECT_EQ(led.ImageRect(), QRectF(10, 0, 20, 20));
  const QImage image = Render(led);
  EXPECT_TRUE(Near(image, inside, Qt::white));
  EXPECT_TRUE(Near(image, beside, Qt::black));
}

TEST_F(TintImageTest, ChangerColourTintsAtTheChangerAlphaAndTheSwitchTurnsItOff) {
  led.SetChangerColor(0x00FF8000);  // the alpha byte does not matter
  EXPECT_TRUE(Near(Render(led), inside, QColor(255, 128, 0)));
  led.SetChangerAlpha(128);
  EXPECT_TRUE(Near(Render(led), inside, QColor(128, 64, 0)));
  led.SetChangerAlpha(0);
  EXPECT_TRUE(Near(Render(led), inside, Qt::black));
  led.SetIsChangerColor(false);
  EXPECT_TRUE(Near(Render(led), inside, Qt::white));
}

TEST_F(TintImageTest, MissingImageDrawsOnlyTheBackground) {
  led.setProperty("image", "nothing.png");
  led.SetChangerColor(0xFFFF0000);
  EXPECT_TRUE(Near(Render(led), inside, Qt::black));
  EXPECT_TRUE(led.ImageRect().isNull());
}

}  // namespace
}  // namespace talvo::app
