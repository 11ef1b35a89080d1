#include "app/controls/tint_image.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QTest>
#include <initializer_list>
#include <utility>

#include "app/controls/led_picture.h"
#include "app/controls/skin_image.h"

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

// Inside a window the preview paints opaque over a copy of what lies beneath
// it; what reaches the screen must be that picture, also after the picture
// beneath changed or the preview moved.
class TintImageInWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.isValid());
    ASSERT_TRUE(test::WriteImage(skin.filePath("led.png"), {10, 10}, {3, 3, 4, 4}, Qt::white));
    window.setObjectName("window");
    window.setStyleSheet("QWidget#window { background: #ff0000; }");
    window.resize(100, 60);
    led = new CTintImageUI(&window, &toolkit);
    led->setGeometry(10, 10, 20, 20);
    led->setProperty("image", "led.png");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  // The window as the screen shows it: its backing store, not a new render.
  QImage OnScreen() {
    QCoreApplication::processEvents();
    QTest::qWait(20);
    return QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
  }

  QTemporaryDir skin;
  QtToolkit toolkit{skin.path()};
  QWidget window;
  CTintImageUI* led = nullptr;
};

TEST_F(TintImageInWindowTest, ShowsThePictureBeneathAroundTheLightThroughChangesAndMoves) {
  led->SetChangerColor(0x0000FF00);
  QImage shown = OnScreen();
  EXPECT_TRUE(Near(shown, {20, 20}, Qt::green));
  EXPECT_TRUE(Near(shown, {12, 12}, Qt::red));

  // A new picture beneath: the copy is taken again at the next change.
  window.setStyleSheet("QWidget#window { background: #0000ff; }");
  led->SetChangerColor(0x00FFFFFF);
  shown = OnScreen();
  EXPECT_TRUE(Near(shown, {20, 20}, Qt::white));
  EXPECT_TRUE(Near(shown, {12, 12}, Qt::blue));

  // Moved without a colour change: the old spot is repainted and the new one
  // shows what lies beneath, never the copy from before.
  window.setStyleSheet("QWidget#window { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #000000, stop:1 #ffffff); }");
  led->SetChangerColor(0x00FF0000);
  led->move(60, 10);
  shown = OnScreen();
  EXPECT_TRUE(Near(shown, {70, 20}, Qt::red));
  EXPECT_TRUE(Near(shown, {20, 20}, shown.pixelColor(20, 40)));
  EXPECT_TRUE(Near(shown, {62, 12}, shown.pixelColor(62, 40)));
  led->SetChangerColor(0x0000FF00);
  shown = OnScreen();
  EXPECT_TRUE(Near(shown, {70, 20}, Qt::green));
  EXPECT_TRUE(Near(shown, {62, 12}, shown.pixelColor(62, 40)));
}

TEST_F(TintImageInWindowTest, AChangeWhileHiddenTakesNoCopyOfWhatAnotherPageShows) {
  // A second page over the same place, shown while the preview's is hidden.
  QWidget other(&window);
  other.setObjectName("other");
  other.setStyleSheet("QWidget#other { background: #00ff00; }");
  other.setGeometry(0, 0, 100, 60);
  other.show();
  led->hide();
  led->SetChangerColor(0x000000FF);

  other.hide();
  led->show();
  const QImage shown = OnScreen();
  EXPECT_TRUE(Near(shown, {20, 20}, Qt::blue));
  EXPECT_TRUE(Near(shown, {12, 12}, Qt::red));
}

// Counts the paints a widget is sent and the region they cover.
class Paints : public QObject {
 public:
  int count = 0;
  QRegion region;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++count;
      region += static_cast<QPaintEvent*>(e)->region();
    }
    return false;
  }
};

// Three LEDs in a row on the red window; a frame is the tints set as the
// previews set them, then the event loop's turn.
TEST_F(TintImageInWindowTest, AFrameRepaintsTheChangedLedsInOnePaintEachInItsTint) {
  CTintImageUI* leds[3] = {led, new CTintImageUI(&window, &toolkit), new CTintImageUI(&window, &toolkit)};
  for (int i = 1; i < 3; ++i) {
    leds[i]->setGeometry(10 + 30 * i, 10, 20, 20);
    leds[i]->setProperty("image", "led.png");
    leds[i]->show();
  }
  Paints picture, own;
  LedPicture::Of(&window)->installEventFilter(&picture);
  for (CTintImageUI* l : leds) l->installEventFilter(&own);
  const auto frame = [&](std::initializer_list<std::pair<int, uint32_t>> tints, int alpha = 255) {
    for (auto [i, colour] : tints) {
      leds[i]->SetChangerColor(colour);
      leds[i]->SetChangerAlpha(alpha);
    }
    picture.count = own.count = 0;
    picture.region = own.region = QRegion();
    return OnScreen();
  };

  frame({{0, 0x0000FF}, {1, 0x0000FF}, {2, 0x0000FF}});
  QImage shown = frame({{0, 0x00FF00}, {2, 0x00FF00}});
  EXPECT_EQ(picture.count, 1);
  // In the window: the two LEDs' places, not the one between.
  EXPECT_EQ(picture.region.translated(LedPicture::Of(&window)->pos()),
            QRegion(10, 10, 20, 20) + QRegion(70, 10, 20, 20));
  EXPECT_EQ(own.count, 0);
  EXPECT_TRUE(Near(shown, {20, 20}, Qt::green));
  EXPECT_TRUE(Near(shown, {50, 20}, Qt::blue));
  EXPECT_TRUE(Near(shown, {80, 20}, Qt::green));
  EXPECT_TRUE(Near(shown, {35, 20}, Qt::red));
  // The strength dims the tint over what lies beneath.
  shown = frame({{1, 0x0000FF}}, 128);
  EXPECT_TRUE(Near(shown, {50, 20}, QColor(127, 0, 128)));
  // A hidden LED leaves its place to what lies beneath.
  leds[2]->hide();
  shown = frame({{0, 0xFFFFFF}});
  EXPECT_TRUE(Near(shown, {80, 20}, Qt::red));
  EXPECT_TRUE(Near(shown, {20, 20}, Qt::white));
}

// The repaint tick shows a frame in a batch: the LEDs are on screen when it
// closes, with nothing left for a later pass of the event loop.
TEST_F(TintImageInWindowTest, AFrameInABatchIsPaintedWhenTheBatchCloses) {
  led->SetChangerColor(0x000000FF);
  OnScreen();
  Paints picture;
  LedPicture::Of(&window)->installEventFilter(&picture);
  {
    LedPicture::Batch batch;
    led->SetChangerColor(0x0000FF00);
    led->SetChangerAlpha(128);
    EXPECT_EQ(picture.count, 0);
  }
  EXPECT_EQ(picture.count, 1);
  EXPECT_TRUE(Near(QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage(), {20, 20},
                   QColor(127, 128, 0)));
  OnScreen();
  EXPECT_EQ(picture.count, 1);
}

// The picture draws every LED exactly as the LED would draw itself alone, at
// any place and strength: pixel for pixel what an LED of its own window shows
// over the same colour.
TEST_F(TintImageInWindowTest, ThePictureDrawsEachLedPixelForPixelAsTheLedItself) {
  // A white image whose alpha runs from clear to opaque, scaled up to the LED.
  QImage ramp(10, 10, QImage::Format_ARGB32);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ramp.setPixelColor(x, y, QColor(255, 255, 255, (y * 10 + x) * 255 / 99));
  ASSERT_TRUE(ramp.save(skin.filePath("ramp.png")));
  led->setProperty("image", "ramp.png");
  led->move(13, 7);
  CTintImageUI alone(nullptr, &toolkit);
  alone.setStyleSheet("background: #ff0000;");
  alone.setProperty("image", "ramp.png");
  alone.resize(led->size());
  alone.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&alone));
  const std::pair<uint32_t, int> frames[] = {{0x00FF8000u, 255}, {0x0000FF00u, 128}, {0x00FFFFFFu, 1}, {0x000080FFu, 200}};
  for (const auto& [colour, alpha] : frames) {
    for (CTintImageUI* l : {led, &alone}) {
      l->SetChangerColor(colour);
      l->SetChangerAlpha(alpha);
    }
    const QImage shown = OnScreen().copy(led->geometry()).convertToFormat(QImage::Format_ARGB32);
    const QImage own = QGuiApplication::primaryScreen()->grabWindow(alone.winId()).toImage();
    EXPECT_EQ(shown, own.convertToFormat(QImage::Format_ARGB32)) << "strength " << alpha;
  }
}

// Moved to another parent with a change its old picture never repainted, the
// LED still shows the changes that follow.
TEST_F(TintImageInWindowTest, ALedMovedWithAChangePendingShowsTheChangesAfter) {
  led->SetChangerColor(0x000000FF);
  OnScreen();
  QWidget other(&window);
  other.setGeometry(50, 0, 50, 60);
  other.show();
  led->SetChangerColor(0x0000FF00);
  led->setParent(&other);
  led->show();
  OnScreen();
  led->SetChangerColor(0x0000FFFF);
  EXPECT_TRUE(Near(OnScreen(), {70, 20}, Qt::cyan));
}

TEST(SharedTintTest, OneTintPerImageAndColour) {
  QImage white(4, 4, QImage::Format_ARGB32_Premultiplied);
  white.fill(Qt::white);
  const QImage green = SharedTint(white, 0xFF00FF00);
  EXPECT_EQ(green.pixelColor(1, 1), QColor(Qt::green));
  // The alpha byte does not matter.
  EXPECT_EQ(SharedTint(white, 0x0000FF00).cacheKey(), green.cacheKey());
  EXPECT_NE(SharedTint(white, 0xFFFF0000).cacheKey(), green.cacheKey());
  EXPECT_NE(SharedTint(white.copy(), 0xFF00FF00).cacheKey(), green.cacheKey());
}

}  // namespace
}  // namespace talvo::app
