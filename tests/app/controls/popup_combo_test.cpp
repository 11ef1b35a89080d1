// Combos built from layouts make their pop-up list only when it opens, and
// then look and measure as Qt's own combo does under the same style sheet.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTest>

#include "app/controls/custom_controls.h"

namespace talvo::app {
namespace {

// A styled root holding a stack whose first page holds a combo: the combo is
// restyled as the stack takes the page and polished while still unshown.
constexpr char kLayout[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <widget class="QWidget" name="root">
  <property name="styleSheet"><string>QWidget#root { background: #202428; }</string></property>
  <layout class="QVBoxLayout" name="rootLayout">
   <item><widget class="QStackedWidget" name="stack">
    <widget class="QWidget" name="page">
     <layout class="QVBoxLayout" name="pageLayout">
      <item><widget class="QComboBox" name="combo">
       <item><property name="text"><string>First</string></property></item>
       <item><property name="text"><string>A much longer second item</string></property></item>
      </widget></item>
     </layout>
    </widget>
   </widget></item>
  </layout>
 </widget>
</ui>
)";

constexpr char kSheet[] = R"(
QComboBox { font-size: 15px; padding: 5px 28px 5px 10px; border: 1px solid #343942; }
QComboBox QAbstractItemView { background-color: #1e2126; color: #e6e8ec; border: 1px solid #1ec8ff; padding: 4px; }
QComboBox QAbstractItemView::item { min-height: 26px; }
)";

class NoPages : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification& n) override {
    if (n.type == "itemselect") selected.push_back(int(n.wParam));
  }
  std::vector<int> selected;
};

// One window from kLayout, with the custom controls registered or not.
struct Built {
  Built(const QString& folder, bool custom) : toolkit(folder), window(toolkit, handler) {
    if (custom) RegisterCustomControls(toolkit);
    ok = window.Create("combo.ui", Qt::Window | Qt::FramelessWindowHint);
    if (ok) combo = window.Widget()->findChild<QComboBox*>("combo");
  }
  QAbstractItemView* List() const { return combo->findChild<QAbstractItemView*>(); }

  QtToolkit toolkit;
  NoPages handler;
  QtWindow window;
  bool ok = false;
  QComboBox* combo = nullptr;
};

class PopupComboTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.isValid());
    QFile file(skin.filePath("combo.ui"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kLayout);
    file.close();
    qApp->setStyleSheet(kSheet);
  }
  void TearDown() override { qApp->setStyleSheet({}); }

  QTemporaryDir skin;
};

TEST_F(PopupComboTest, ListIsMadeOnOpeningAndMatchesQtsOwn) {
  Built plain(skin.path(), false);
  Built lazy(skin.path(), true);
  ASSERT_TRUE(plain.ok && lazy.ok && plain.combo && lazy.combo);
  auto* onDemand = dynamic_cast<PopupOnDemandCombo*>(lazy.combo);
  ASSERT_TRUE(onDemand);
  EXPECT_STREQ(lazy.combo->metaObject()->className(), "QComboBox");
  for (Built* b : {&plain, &lazy}) {
    b->window.Widget()->resize(300, 200);
    b->window.Widget()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(b->window.Widget()));
  }
  EXPECT_TRUE(plain.List()) << "Qt's combo makes its list when restyled";
  EXPECT_FALSE(lazy.List());
  EXPECT_EQ(lazy.combo->sizeHint(), plain.combo->sizeHint());
  EXPECT_EQ(lazy.combo->minimumSizeHint(), plain.combo->minimumSizeHint());
  EXPECT_EQ(lazy.combo->geometry(), plain.combo->geometry());

  // Items and the current item work through the control without the list.
  toolkit::Control* control = lazy.window.FindControl("combo");
  ASSERT_TRUE(control);
  EXPECT_EQ(control->Count(), 2);
  EXPECT_EQ(control->ItemText(1), "A much longer second item");
  EXPECT_TRUE(control->SelectItem(1));
  EXPECT_EQ(lazy.combo->currentIndex(), 1);
  EXPECT_EQ(lazy.handler.selected, std::vector<int>{1});
  EXPECT_FALSE(lazy.List());

  plain.combo->setCurrentIndex(1);
  for (Built* b : {&plain, &lazy}) b->combo->showPopup();
  QAbstractItemView* list = lazy.List();
  ASSERT_TRUE(list);
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible() && plain.List()->isVisible(); }, 5000));
  EXPECT_TRUE(onDemand->HasPopup());
  EXPECT_STREQ(list->itemDelegate()->metaObject()->className(),
               plain.List()->itemDelegate()->metaObject()->className());
  EXPECT_EQ(list->font(), plain.List()->font());
  EXPECT_EQ(list->window()->size(), plain.List()->window()->size());
  EXPECT_EQ(list->window()->grab().toImage(), plain.List()->window()->grab().toImage());
}

TEST_F(PopupComboTest, FontChangedAfterShowingRefitsAsQtsOwn) {
  Built plain(skin.path(), false);
  Built lazy(skin.path(), true);
  ASSERT_TRUE(plain.ok && lazy.ok && plain.combo && lazy.combo);
  for (Built* b : {&plain, &lazy}) {
    b->window.Widget()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(b->window.Widget()));
  }
  const QSize before = lazy.combo->sizeHint();
  // Wider letters: the style sheet keeps the size it gives.
  QFont wider = lazy.combo->font();
  wider.setLetterSpacing(QFont::AbsoluteSpacing, 4);
  for (Built* b : {&plain, &lazy}) b->combo->setFont(wider);
  EXPECT_EQ(lazy.combo->sizeHint(), plain.combo->sizeHint());
  EXPECT_GT(lazy.combo->sizeHint().width(), before.width());
}

}  // namespace
}  // namespace talvo::app
