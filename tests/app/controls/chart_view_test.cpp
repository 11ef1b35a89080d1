#include "app/controls/chart_view.h"

#include <gtest/gtest.h>

#include "app/toolkit/qt/qt_toolkit.h"
#include "controls_test_util.h"

namespace talvo::app {
namespace {

using test::Near;
using test::Render;

const QColor kBack(0x20, 0x20, 0x20);

class ChartViewTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.isValid());
    chart.setStyleSheet("background: #202020; color: #ffffff;");
  }
  QColor Slice(size_t i) const { return CChartViewUI::kPalette[i % 18]; }

  QTemporaryDir skin;
  QtToolkit toolkit{skin.path()};
  CChartViewUI chart{nullptr, &toolkit};
};

TEST_F(ChartViewTest, WithoutItemsOnlyTheBackgroundIsPainted) {
  chart.resize(120, 80);
  for (const char* view : {"pie", "histpgram"}) {
    chart.setProperty("view", view);
    const QImage image = Render(chart);
    for (int y = 0; y < image.height(); y += 7)
      for (int x = 0; x < image.width(); x += 7) ASSERT_TRUE(Near(image, {x, y}, kBack, 0)) << view;
  }
}

TEST_F(ChartViewTest, PieSlicesRunClockwiseFromThreeOClockInPaletteColours) {
  chart.resize(210, 210);
  chart.setProperty("showtext", "false");
  chart.AddItem("a", 1);
  chart.AddItem("b", 2);
  chart.AddItem("c", 1);
  ASSERT_EQ(chart.PieRect(), QRect(5, 5, 200, 200));
  const QImage image = Render(chart);
  EXPECT_TRUE(Near(image, {150, 150}, Slice(0)));  // 0..90: lower right
  EXPECT_TRUE(Near(image, {60, 105}, Slice(1)));   // 90..270: left half
  EXPECT_TRUE(Near(image, {150, 60}, Slice(2)));   // 270..360: upper right
  // The shadow discs show in a ring up to 4 pixels outside the pie.
  EXPECT_FALSE(Near(image, {4, 105}, kBack, 3));
  EXPECT_TRUE(Near(image, {0, 105}, kBack, 0));
}

TEST_F(ChartViewTest, PieLegendStandsRightOfThePieVerticallyCentredAndColoursWrapAfter18) {
  chart.resize(300, 200);
  chart.AddItem("one", 1);
  chart.AddItem("two", 1);
  // 100 pixels of legend: the pie keeps the rest, 5 pixels in.
  EXPECT_EQ(chart.PieRect(), QRect(5, 5, 190, 190));
  // Two rows of 18 with 4 between: 40 pixels centred in 200.
  EXPECT_EQ(chart.LegendSquare(0), QRect(205, 80, 18, 18));
  EXPECT_EQ(chart.LegendSquare(1), QRect(205, 102, 18, 18));
  QImage image = Render(chart);
  EXPECT_TRUE(Near(image, chart.LegendSquare(1).center(), Slice(1), 0));

  chart.ClearItems();
  for (int i = 0; i < 19; ++i) chart.AddItem(QString::number(i), 1);
  chart.resize(300, 300);
  // 19 rows need 414 pixels: they start at the top margin instead.
  EXPECT_EQ(chart.LegendSquare(0).top(), 5);
  chart.resize(300, 500);
  image = Render(chart);
  EXPECT_TRUE(Near(image, chart.LegendSquare(18).center(), Slice(0), 0));
}

TEST_F(ChartViewTest, LegendLabelsAreDrawnAsPlainOrHtmlText) {
  chart.resize(300, 200);
  chart.AddItem("<b>WWWW</b>", 1);
  auto lit = [&](const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) count += image.pixelColor(x, y).lightness() > 128;
    return count;
  };
  const QRect label(chart.LegendSquare(0).right() + 6, 80, 60, 18);
  const int plain = lit(Render(chart), label);
  chart.setProperty("ShowHtml", "true");
  const int html = lit(Render(chart), label);
  EXPECT_GT(plain, 0);
  EXPECT_GT(html, 0);
  EXPECT_NE(plain, html) << "markup shown literally in one and applied in the other";
  // Without text the pie takes the legend's room; right of it stays empty.
  chart.setProperty("showtext", "false");
  EXPECT_EQ(chart.PieRect(), QRect(55, 5, 190, 190));
  EXPECT_EQ(lit(Render(chart), QRect(250, 0, 50, 200)), 0);
}

TEST_F(ChartViewTest, HistogramPillarsStandOnTheMarginSpacedByTwiceTheFitCount) {
  chart.resize(200, 125);
  chart.setProperty("VIEW", "histpgram");
  chart.setProperty("pillarimagewidth", 20);
  chart.AddItem("a", 2);
  chart.AddItem("b", 1);
  // gap = 2 * (200 / 20) = 20; the 25-pixel label margin leaves 100.
  EXPECT_EQ(chart.PillarRect(0), QRect(20, 0, 20, 100));
  EXPECT_EQ(chart.PillarRect(1), QRect(60, 50, 20, 50));
  QImage image = Render(chart);
  EXPECT_TRUE(Near(image, {30, 95}, Slice(0), 0));
  EXPECT_TRUE(Near(image, {70, 95}, Slice(1), 0));
  EXPECT_TRUE(Near(image, {70, 30}, kBack, 0));
  EXPECT_TRUE(Near(image, {30, 101}, kBack, 0)) << "the margin is below the pillar";

  chart.setProperty("showtext", "false");
  EXPECT_EQ(chart.PillarRect(0), QRect(20, 0, 20, 125));
}

TEST_F(ChartViewTest, HistogramImagesAreUsedAndForgottenWhenTheyCannotBeDrawn) {
  ASSERT_TRUE(test::WriteImage(skin.filePath("pillar.png"), {4, 4}, {0, 0, 4, 4}, QColor(0, 0, 255)));
  ASSERT_TRUE(test::WriteImage(skin.filePath("floor.png"), {4, 4}, {0, 0, 4, 4}, QColor(0, 255, 0)));
  chart.resize(200, 125);
  chart.setProperty("view", "histpgram");
  chart.setProperty("pillarimage", "pillar.png");
  chart.setProperty("shadowimage", "floor.png");
  chart.setProperty("shadowimageheight", 6);
  chart.AddItem("a", 1);
  QImage image = Render(chart);
  EXPECT_TRUE(Near(image, {30, 50}, Qt::blue, 0));
  EXPECT_TRUE(Near(image, {150, 97}, Qt::green, 0)) << "shadow band just above the margin";
  EXPECT_TRUE(Near(image, {150, 92}, kBack, 0));

  chart.setProperty("pillarimage", "gone.png");
  chart.setProperty("shadowimage", "gone.png");
  image = Render(chart);
  EXPECT_TRUE(chart.PillarImage().isEmpty());
  EXPECT_TRUE(chart.ShadowImage().isEmpty());
  EXPECT_TRUE(Near(image, {30, 50}, Slice(0), 0));
  EXPECT_TRUE(Near(image, {150, 97}, kBack, 0));
}

}  // namespace
}  // namespace talvo::app
