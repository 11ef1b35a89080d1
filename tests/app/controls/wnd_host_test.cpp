#include "app/controls/wnd_host.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWindow>

namespace talvo::app {
namespace {

// A window holding a panel at (30, 40), and in it the host at (10, 5).
class WndHostTest : public testing::Test {
 protected:
  void SetUp() override {
    window.setGeometry(200, 100, 300, 200);
    panel->setGeometry(30, 40, 200, 100);
    host->setGeometry(10, 5, 80, 60);
  }
  void TearDown() override { delete loose; }

  QWidget window;
  QWidget* panel = new QWidget(&window);
  CWndUI* host = new CWndUI(panel);
  QWidget* sibling = new QWidget(&window);
  QWidget* loose = new QWidget;
};

TEST_F(WndHostTest, ChildWindowFollowsTheHostWithinTheSameWindow) {
  host->Attach(sibling);
  window.show();
  EXPECT_EQ(sibling->geometry(), QRect(40, 45, 80, 60));
  EXPECT_TRUE(sibling->isVisible());
  host->move(20, 15);
  EXPECT_EQ(sibling->geometry(), QRect(50, 55, 80, 60));
  panel->move(0, 0);
  EXPECT_EQ(sibling->geometry(), QRect(20, 15, 80, 60));
  host->resize(50, 30);
  EXPECT_EQ(sibling->size(), QSize(50, 30));
}

TEST_F(WndHostTest, ShownExactlyWhileTheHostIsVisible) {
  host->Attach(sibling);
  window.show();
  host->hide();
  EXPECT_FALSE(sibling->isVisible());
  host->show();
  EXPECT_TRUE(sibling->isVisible());
  panel->hide();
  EXPECT_FALSE(sibling->isVisible()) << "hidden with an ancestor";
  panel->show();
  EXPECT_TRUE(sibling->isVisible());
  window.hide();
  window.show();
  EXPECT_TRUE(sibling->isVisible());
}

TEST_F(WndHostTest, SeparateWindowIsPlacedInScreenCoordinates) {
  host->Attach(loose);
  window.show();
  EXPECT_EQ(loose->geometry().topLeft(), host->mapToGlobal(QPoint(0, 0)));
  EXPECT_EQ(loose->size(), QSize(80, 60));
  EXPECT_TRUE(loose->isVisible());
  EXPECT_TRUE(loose->testAttribute(Qt::WA_ShowWithoutActivating));
  window.move(250, 150);
  QCoreApplication::processEvents();
  EXPECT_EQ(loose->geometry().topLeft(), host->mapToGlobal(QPoint(0, 0)));
  window.hide();
  EXPECT_FALSE(loose->isVisible());
}

TEST_F(WndHostTest, NativeWindowFollowsAndDetachingLetsGo) {
  QWindow native;
  host->Attach(&native);
  window.show();
  EXPECT_EQ(native.geometry(), QRect(host->mapToGlobal(QPoint(0, 0)), QSize(80, 60)));
  EXPECT_TRUE(native.isVisible());
  host->hide();
  EXPECT_FALSE(native.isVisible());
  host->Attach(static_cast<QWindow*>(nullptr));
  host->show();
  host->move(0, 0);
  EXPECT_FALSE(native.isVisible());
  EXPECT_NE(native.geometry().topLeft(), host->mapToGlobal(QPoint(0, 0)));
}

}  // namespace
}  // namespace talvo::app
