#include "app/controls/circle_progress.h"

#include <gtest/gtest.h>

#include "controls_test_util.h"

namespace talvo::app {
namespace {

using test::Near;
using test::Render;

const QColor kBack(0, 0, 200);
const QColor kFore(200, 0, 0);

// A 100 x 100 ring: the band 0..10 pixels in from the edge shows progress.
class CircleProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    ring.resize(100, 100);
    ring.SetBkColor(kBack);
    ring.SetForeColor(kFore);
    ring.setRange(0, 100);
  }
  QImage At(int value) {
    ring.setValue(value);
    return Render(ring);
  }

  CCircleProgressUI ring;
  const QPoint bottom{50, 95}, left{5, 50}, top{50, 5}, right{95, 50}, centre{50, 50};
};

TEST_F(CircleProgressTest, EmptyShowsTheBackgroundRingAroundAWhiteDisc) {
  const QImage image = At(0);
  for (QPoint p : {bottom, left, top, right}) EXPECT_TRUE(Near(image, p, kBack));
  EXPECT_TRUE(Near(image, centre, Qt::white));
  QImage bare(ring.size(), QImage::Format_ARGB32);
  bare.fill(Qt::transparent);
  ring.render(&bare, {}, {}, QWidget::DrawChildren);
  EXPECT_EQ(bare.pixelColor(0, 0).alpha(), 0) << "outside the ellipse stays unpainted";
  EXPECT_EQ(bare.pixelColor(50, 2).alpha(), 255);
}

TEST_F(CircleProgressTest, FullRangeFillsTheWholeRing) {
  const QImage image = At(100);
  for (QPoint p : {bottom, left, top, right}) EXPECT_TRUE(Near(image, p, kFore));
  EXPECT_TRUE(Near(image, centre, Qt::white));
}

TEST_F(CircleProgressTest, HalfStartsStraightDownAndRunsClockwiseThroughTheLeft) {
  const QImage image = At(50);
  EXPECT_TRUE(Near(image, left, kFore));
  EXPECT_TRUE(Near(image, right, kBack));
  // A quarter turn clockwise from the bottom is the left; just past the
  // start on the right-hand side of the bottom is still background.
  EXPECT_TRUE(Near(At(25), QPoint(20, 80), kFore));
  EXPECT_TRUE(Near(At(25), QPoint(80, 80), kBack));
}

TEST_F(CircleProgressTest, SweepIsTheValueOverTheRangeWidth) {
  ring.setRange(10, 110);
  ring.setValue(50);
  EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 180.0);
  ring.setRange(5, 5);
  EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 0.0);
  ring.setRange(0, 100);
  ring.reset();  // value below the minimum: nothing done yet
  EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 0.0);
  EXPECT_TRUE(Near(Render(ring), left, kBack));
}

TEST_F(CircleProgressTest, BackgroundColourSetThroughTheToolkitWins) {
  ring.setProperty("talvoBkColor", 0xFF00C000u);
  EXPECT_TRUE(Near(At(0), bottom, QColor(0, 0xC0, 0)));
}

}  // namespace
}  // namespace talvo::app
