#include "app/controls/device_key_button.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLinearGradient>
#include <QScreen>
#include <QPaintEvent>
#include <QTest>
#include <utility>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"
#include "controls_test_util.h"

namespace talvo::app {
namespace {

using test::Near;
using test::Render;

// Page colours are packed red | blue << 8 | green << 16.
constexpr uint32_t Packed(int red, int green, int blue) { return uint32_t(red | blue << 8 | green << 16); }

// A 40 x 40 key on black. The light image is white all over; the marker
// is green in the top-left 10 x 10 corner and transparent elsewhere.
class KeyButtonTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.isValid());
    ASSERT_TRUE(test::WriteImage(skin.filePath("light.png"), {20, 20}, {0, 0, 20, 20}, Qt::white));
    ASSERT_TRUE(test::WriteImage(skin.filePath("mark.png"), {40, 40}, {0, 0, 10, 10}, Qt::green));
    key.setStyleSheet("QPushButton { background: #000000; border: none; }");
    key.resize(40, 40);
  }

  QTemporaryDir skin;
  QtToolkit toolkit{skin.path()};
  CDeviceKeyButtonUI key{nullptr, &toolkit};
  const QPoint centre{30, 30};
  const QPoint corner{5, 5};
};

TEST_F(KeyButtonTest, StartsUnlitRedAtAlpha200WithTheMarkerHidden) {
  EXPECT_FALSE(key.LightOn());
  EXPECT_EQ(key.LightColour(), 255u);
  EXPECT_EQ(key.LightAlpha(), 200);
  EXPECT_TRUE(key.KeySetHidden());
  key.setProperty("lightimage", "light.png");
  key.setProperty("keysetimage", "mark.png");
  const QImage image = Render(key);
  EXPECT_TRUE(Near(image, centre, Qt::black));
  EXPECT_TRUE(Near(image, corner, Qt::black));
}

TEST_F(KeyButtonTest, LitKeyShowsTheLightImageInTheUnpackedColourAtItsStrength) {
  key.setProperty("lightimage", "light.png");
  key.SetLight(Packed(0x10, 0x80, 0xF0), 255, true);
  EXPECT_TRUE(Near(Render(key), centre, QColor(0x10, 0x80, 0xF0)));
  key.SetLight(Packed(0, 0, 200), 128, true);
  EXPECT_TRUE(Near(Render(key), centre, QColor(0, 0, 100)));
  key.SetLight(Packed(0, 0, 200), 0, true);
  EXPECT_TRUE(Near(Render(key), centre, Qt::black));
  key.SetLight(Packed(255, 255, 255), 255, false);
  EXPECT_TRUE(Near(Render(key), centre, Qt::black));
}

TEST_F(KeyButtonTest, LitKeyWithoutALightImageDrawsNothingExtra) {
  const QImage plain = Render(key);
  key.SetLight(Packed(255, 0, 0), 255, true);
  EXPECT_EQ(Render(key), plain);
  key.setProperty("lightimage", "missing.png");
  EXPECT_EQ(Render(key), plain);
}

TEST_F(KeyButtonTest, MarkerIsDrawnUntintedOverTheLightOnlyWhileShown) {
  key.setProperty("lightimage", "light.png");
  key.setProperty("keysetimage", "mark.png");
  key.SetLight(Packed(0, 0, 255), 255, true);
  key.SetKeySetHidden(false);
  QImage image = Render(key);
  EXPECT_TRUE(Near(image, corner, Qt::green));
  EXPECT_TRUE(Near(image, centre, Qt::blue));
  key.SetKeySetHidden(true);
  EXPECT_TRUE(Near(Render(key), corner, Qt::blue));
}

TEST_F(KeyButtonTest, LayoutAttributesIgnoreCaseAndAcceptImageStrings) {
  key.setProperty("LightImage", "file='light.png' corner='2,2,2,2'");
  key.setProperty("KEYSETIMAGE", "mark.png");
  key.setProperty("gmNameTextColor", "#FF00FF");
  EXPECT_EQ(key.LightImage(), "file='light.png' corner='2,2,2,2'");
  EXPECT_EQ(key.KeySetImage(), "mark.png");
  key.SetLight(Packed(0, 255, 0), 255, true);
  key.SetKeySetHidden(false);
  const QImage image = Render(key);
  EXPECT_TRUE(Near(image, centre, Qt::green));
  EXPECT_TRUE(Near(image, corner, Qt::green));
  key.setProperty("lightImage", "");
  EXPECT_TRUE(Near(Render(key), centre, Qt::black));
}

TEST_F(KeyButtonTest, ImagesResolveThroughTheSkinSearchPathWithoutAToolkit) {
  QDir::setSearchPaths("skin", {skin.path()});
  CDeviceKeyButtonUI loose;
  loose.setStyleSheet("QPushButton { background: #000000; border: none; }");
  loose.resize(40, 40);
  loose.setProperty("lightimage", "light.png");
  loose.SetLight(Packed(255, 0, 0), 255, true);
  EXPECT_TRUE(Near(Render(loose), centre, Qt::red));
  QDir::setSearchPaths("skin", {});
}

// A window that counts how often its background is drawn.
class CountingWindow : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    QPainter(this).fillRect(rect(), Qt::red);
  }
};

// Collects the regions the keys' picture is asked to paint.
class PaintRegions : public QObject {
 public:
  QRegion painted;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

// Three keys on a red window, the first two close, the third far off, each
// with a yellow border (white while checked) and a light spot in its middle.
TEST(KeyPictureTest, AFrameRepaintsTheChangedKeysAloneAndKeysKeepTheirOwnLook) {
  QTemporaryDir skin;
  ASSERT_TRUE(test::WriteImage(skin.filePath("spot.png"), {40, 40}, {10, 10, 20, 20}, Qt::white));
  QtToolkit toolkit{skin.path()};
  CountingWindow window;
  window.resize(200, 60);
  window.setStyleSheet("QPushButton { background: transparent; border: 3px solid yellow; color: white; font-size: 34px; }"
                       "QPushButton:checked { border-color: white; }"
                       "QPushButton:hover { border-color: blue; }");
  CDeviceKeyButtonUI* keys[3];
  for (int i = 0; i < 3; ++i) {
    keys[i] = new CDeviceKeyButtonUI(&window, &toolkit);
    keys[i]->setGeometry(i < 2 ? 10 + 50 * i : 150, 10, 40, 40);
    keys[i]->setProperty("lightimage", "spot.png");
    keys[i]->setCheckable(true);
  }
  PaintRegions regions, keyPaints;
  KeyPicture::Of(&window)->installEventFilter(&regions);
  for (CDeviceKeyButtonUI* key : keys) key->installEventFilter(&keyPaints);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const auto onScreen = [&] {
    QCoreApplication::processEvents();
    QTest::qWait(20);
    return QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
  };
  const auto frame = [&](std::initializer_list<std::pair<int, uint32_t>> lights, bool on = true) {
    for (auto [key, colour] : lights) keys[key]->SetLight(colour, 255, on);
    keys[0]->RepaintLights();
    regions.painted = keyPaints.painted = QRegion();
    return onScreen();
  };

  frame({{0, Packed(0, 255, 0)}, {1, Packed(0, 255, 0)}});
  const int paints = window.paints;
  QImage shown = frame({{1, Packed(0, 0, 255)}});
  EXPECT_EQ(regions.painted, QRegion(60, 10, 40, 40));
  EXPECT_EQ(window.paints, paints);
  EXPECT_TRUE(keyPaints.painted.isEmpty());
  EXPECT_TRUE(Near(shown, {30, 30}, Qt::green));
  EXPECT_TRUE(Near(shown, {80, 30}, Qt::blue, 8));
  EXPECT_TRUE(Near(shown, {61, 11}, Qt::yellow));
  // Two keys far apart: two rectangles, each drawn whole, the gap left alone.
  shown = frame({{0, Packed(255, 0, 255)}, {2, Packed(0, 255, 255)}});
  EXPECT_EQ(regions.painted, QRegion(10, 10, 40, 40) + QRegion(150, 10, 40, 40));
  EXPECT_TRUE(Near(shown, {30, 30}, Qt::magenta, 8));
  EXPECT_TRUE(Near(shown, {170, 30}, Qt::cyan, 8));
  // Two keys close: the one rectangle around them, the gap drawn as it was.
  shown = frame({{0, Packed(255, 0, 255)}, {1, Packed(0, 255, 255)}});
  EXPECT_EQ(regions.painted, QRegion(10, 10, 90, 40));
  EXPECT_TRUE(Near(shown, {80, 30}, Qt::cyan, 8));
  EXPECT_TRUE(Near(shown, {55, 30}, Qt::red));
  EXPECT_TRUE(Near(shown, {120, 30}, Qt::red));

  // A key's own look changing repaints it over the lights.
  keys[0]->setChecked(true);
  shown = onScreen();
  EXPECT_TRUE(Near(shown, {11, 11}, Qt::white));
  EXPECT_TRUE(Near(shown, {30, 30}, Qt::magenta, 8));
  // So does hover, and a new text, which reaches no event of the key.
  QTest::mouseMove(&window, {80, 30});
  EXPECT_TRUE(Near(onScreen(), {61, 11}, Qt::blue));
  QTest::mouseMove(&window, {55, 55});
  EXPECT_TRUE(Near(onScreen(), {61, 11}, Qt::yellow));
  const QImage plain = onScreen();
  keys[0]->setText("W");
  EXPECT_NE(onScreen().copy(10, 10, 40, 40), plain.copy(10, 10, 40, 40));

  // Unlit, the key is the button over what lies beneath; hidden, it is gone.
  shown = frame({{1, Packed(0, 0, 255)}}, false);
  EXPECT_TRUE(Near(shown, {80, 30}, Qt::red));
  EXPECT_TRUE(Near(shown, {61, 11}, Qt::yellow));
  keys[0]->hide();
  shown = onScreen();
  EXPECT_TRUE(Near(shown, {30, 30}, Qt::red));
  EXPECT_TRUE(Near(shown, {11, 11}, Qt::red));
}

// A backdrop of many colours, each pixel its own whatever part of the
// window a paint covers (a gradient's rounding follows where its spans
// start), beneath keys that draw themselves.
class PatternWindow : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    if (pattern_.size() != size()) {
      pattern_ = QImage(size(), QImage::Format_RGB32);
      for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x) pattern_.setPixel(x, y, qRgb(250 - 2 * x, 20 + 2 * y, (x * y) % 256));
    }
    QPainter(this).drawImage(0, 0, pattern_);
  }

 private:
  QImage pattern_;
};

// Odd-sized keys whose rows overlap, with a half-transparent look and a
// light of every strength and shade, on a picture inside a window and
// drawing themselves: the same pixels, frame after frame, whether the
// picture draws straight into the window's pixels or through a painter (in a
// paint into an image of another format).
TEST(KeyPictureTest, ThePictureDrawsThePixelsTheKeysWouldPaintThemselves) {
  QTemporaryDir skin;
  QImage light(27, 34, QImage::Format_ARGB32);
  for (int y = 0; y < light.height(); ++y)
    for (int x = 0; x < light.width(); ++x) light.setPixel(x, y, qRgba(255 - 9 * x, 7 * y, 128, 9 * x + y));
  ASSERT_TRUE(light.save(skin.filePath("glow.png")));
  ASSERT_TRUE(test::WriteImage(skin.filePath("mark.png"), {27, 34}, {0, 0, 9, 9}, QColor(0, 255, 0, 140)));
  QtToolkit toolkit{skin.path()};
  PatternWindow windows[2];
  std::vector<CDeviceKeyButtonUI*> keys[2];
  for (int w = 0; w < 2; ++w) {
    windows[w].resize(110, 90);
    windows[w].setStyleSheet("QPushButton { background: rgba(0, 0, 255, 90); border: 2px solid rgba(255, 255, 0, 200);"
                             " color: white; }");
    // The keys' parent away from the window's corner, as a page's is.
    auto* board = new QWidget(&windows[w]);
    board->setGeometry(7, 5, 100, 80);
    for (int i = 0; i < 6; ++i) {
      auto* key = new CDeviceKeyButtonUI(board, &toolkit);
      key->setGeometry(5 + 30 * (i % 3), 5 + 30 * (i / 3), 27, 34);
      key->setProperty("lightimage", "glow.png");
      key->setProperty("keysetimage", "mark.png");
      key->setText(QString::number(i));
      // Some keys opaque, as the skin's are.
      if (i % 2) key->setStyleSheet("QPushButton { background: rgb(30, 60, 90); }");
      keys[w].push_back(key);
    }
    windows[w].show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&windows[w]));
  }
  const auto throughPainter = [](QWidget& window) {
    QImage image(window.size(), QImage::Format_ARGB32);
    image.fill(0);
    window.render(&image);
    return image;
  };
  // Each frame changes some keys; only the first window's picture is told.
  for (int strength = 255; strength >= 0; --strength) {
    for (int w = 0; w < 2; ++w) {
      // A key with its mark shown is drawn by a painter.
      keys[w][4]->SetKeySetHidden(strength % 64 > 32);
      // Every third frame a whole row or all six: the rectangle around them.
      for (int i = strength % 6; i < 6; i += strength % 3 ? 2 : 1)
        keys[w][i]->SetLight(Packed(40 * i, 255 - strength, 17 * i + 3), strength, strength % 7 != 0);
    }
    keys[0][0]->RepaintLights();
    QCoreApplication::processEvents();
    EXPECT_EQ(windows[0].grab().toImage(), windows[1].grab().toImage()) << "strength " << strength;
    if (strength % 16 == 0) {
      EXPECT_EQ(throughPainter(windows[0]), throughPainter(windows[1])) << "strength " << strength;
    }
  }
}

}  // namespace
}  // namespace talvo::app
