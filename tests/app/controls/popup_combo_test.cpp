// Layout combos make their pop-up list only when it opens, and measure and
// look as Qt's own combo does under the same style sheet.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QTest>

#include "app/controls/custom_controls.h"

namespace talvo::app {
namespace {

// The stack takes the page (a restyle) and polishes it while unshown.
constexpr char kLayout[] = R"(<ui version="4.0"><widget class="QWidget" name="root">
 <property name="styleSheet"><string>QWidget#root { background: #202428; }</string></property>
 <layout class="QVBoxLayout" name="l"><item><widget class="QStackedWidget" name="stack">
  <widget class="QWidget" name="page"><layout class="QVBoxLayout" name="p"><item>
   <widget class="QComboBox" name="combo">
    <item><property name="text"><string>First</string></property></item>
    <item><property name="text"><string>A much longer second item</string></property></item>
   </widget></item></layout></widget></widget></item></layout></widget></ui>)";

class NoPages : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

struct Built {
  Built(const QString& folder, bool custom) : toolkit(folder), window(toolkit, handler) {
    if (custom) RegisterCustomControls(toolkit);
    if (window.Create("combo.ui", Qt::Window | Qt::FramelessWindowHint)) {
      window.Widget()->show();
      combo = window.Widget()->findChild<QComboBox*>("combo");
    }
  }
  QAbstractItemView* List() const { return combo->findChild<QAbstractItemView*>(); }
  QtToolkit toolkit;
  NoPages handler;
  QtWindow window;
  QComboBox* combo = nullptr;
};

TEST(PopupOnDemandComboTest, ListWaitsForOpeningAndAllMatchesQtsOwn) {
  QTemporaryDir skin;
  QFile file(skin.filePath("combo.ui"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kLayout) > 0);
  file.close();
  qApp->setStyleSheet("QComboBox { font-size: 15px; padding: 5px 28px 5px 10px; border: 1px solid #343942; }"
                      "QComboBox QAbstractItemView { background: #1e2126; color: #e6e8ec; padding: 4px; }");
  Built plain(skin.path(), false);
  Built lazy(skin.path(), true);
  ASSERT_TRUE(plain.combo && lazy.combo && dynamic_cast<PopupOnDemandCombo*>(lazy.combo));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(lazy.window.Widget()));
  EXPECT_STREQ(lazy.combo->metaObject()->className(), "QComboBox");
  EXPECT_TRUE(plain.List()) << "Qt's combo makes its list when restyled";
  EXPECT_FALSE(lazy.List());
  EXPECT_EQ(lazy.combo->minimumSizeHint(), plain.combo->minimumSizeHint());
  EXPECT_EQ(lazy.combo->geometry(), plain.combo->geometry());

  EXPECT_TRUE(lazy.window.FindControl("combo")->SelectItem(1));
  EXPECT_EQ(lazy.combo->currentIndex(), 1);
  EXPECT_FALSE(lazy.List());

  plain.combo->setCurrentIndex(1);
  for (Built* b : {&plain, &lazy}) b->combo->showPopup();
  ASSERT_TRUE(lazy.List());
  ASSERT_TRUE(QTest::qWaitFor([&] { return lazy.List()->isVisible() && plain.List()->isVisible(); }, 5000));
  EXPECT_EQ(lazy.List()->window()->grab().toImage(), plain.List()->window()->grab().toImage());

  // Once shown, a new font refits the combo as Qt's (the sheet keeps the size).
  const QSize before = lazy.combo->sizeHint();
  QFont wider = lazy.combo->font();
  wider.setLetterSpacing(QFont::AbsoluteSpacing, 4);
  for (Built* b : {&plain, &lazy}) b->combo->setFont(wider);
  EXPECT_EQ(lazy.combo->sizeHint(), plain.combo->sizeHint());
  EXPECT_GT(lazy.combo->sizeHint().width(), before.width());
  qApp->setStyleSheet({});
}

}  // namespace
}  // namespace talvo::app
