#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <atomic>
#include <thread>

#include "app/toolkit/qt/colour_palette.h"
#include "app/toolkit/qt/language.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "tests/support/fifo_guard.h"

namespace talvo::app {
namespace {

class Recorder : public toolkit::WindowHandler {
 public:
  std::vector<toolkit::Notification> seen;
  std::vector<std::pair<int, QThread*>> ticks;
  std::string pageLayout = "page.ui";
  std::map<std::string, std::string> queried;

  void Notify(const toolkit::Notification& n) override { seen.push_back(n); }
  void OnTimer(int id) override { ticks.emplace_back(id, QThread::currentThread()); }
  toolkit::CreatedControl CreateControl(std::string_view element) override {
    if (element == "TestPage") return toolkit::CreatedControl::FromLayout(pageLayout);
    return {};
  }
  std::optional<std::string> QueryControlText(std::string_view id) override {
    const auto it = queried.find(std::string(id));
    if (it == queried.end()) return std::nullopt;
    return it->second;
  }

  // Notifications other than hover and focus, which a shown window may
  // raise on its own.
  std::vector<toolkit::Notification> ActionNotes() const {
    std::vector<toolkit::Notification> out;
    for (const auto& n : seen)
      if (n.type != "msenter" && n.type != "msleave" && n.type != "setfocus" && n.type != "killfocus")
        out.push_back(n);
    return out;
  }
  std::vector<std::string> Actions() const {
    std::vector<std::string> out;
    for (const auto& n : ActionNotes()) out.push_back(n.type + ":" + n.sender);
    return out;
  }
};

using Strings = std::vector<std::string>;

class ToolkitTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create("main.ui"));
    window.Widget()->show();
    QApplication::processEvents();
    handler.seen.clear();
  }
  template <typename T>
  T* Widget(const char* name) {
    return window.Widget()->findChild<T*>(name);
  }

  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  Recorder handler;
  QtWindow window{toolkit, handler};
};

TEST_F(ToolkitTest, FindsControlsByNameIncludingPagesAndCustomClasses) {
  toolkit::Control* combo = window.FindControl("ms_report_fct_combo");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->Name(), "ms_report_fct_combo");
  EXPECT_EQ(window.FindControl("ms_report_fct_combo"), combo);  // stable identity
  EXPECT_NE(window.FindControl("root"), nullptr);
  EXPECT_EQ(window.FindControl("no_such_control"), nullptr);
  EXPECT_EQ(window.FindControl(""), nullptr);

  // The page element takes the element's name and holds the page's controls.
  ASSERT_NE(window.FindControl("MS_Page_UI"), nullptr);
  EXPECT_NE(window.FindControl("ms_key_butt_keysave"), nullptr);
  EXPECT_EQ(window.FindControl("page_root"), nullptr);
  EXPECT_EQ(window.FindControl("ms_palette")->ClassName(), "ColorPalette");
}

// Pages are built the first time they show or a control they hold is looked
// for, once, wired and with their texts; a name no page holds builds nothing.
TEST(ToolkitPages, AreBuiltWhenFirstShownOrLookedInto) {
  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  toolkit.LoadLanguage("lan_en.xml");
  struct Builds : Recorder {
    Strings built;
    void OnPageBuilt(std::string_view page) override { built.emplace_back(page); }
  };
  {
    Builds handler;
    QtWindow window{toolkit, handler};
    ASSERT_TRUE(window.Create("main.ui"));
    window.Widget()->show();
    QApplication::processEvents();
    EXPECT_FALSE(window.IsPageBuilt("MS_Page_UI"));
    EXPECT_EQ(window.FindControl("no_such_control"), nullptr);
    EXPECT_FALSE(window.IsPageBuilt("MS_Page_UI"));

    toolkit::Control* save = window.FindControl("ms_key_butt_keysave");
    ASSERT_NE(save, nullptr);
    EXPECT_TRUE(window.IsPageBuilt("MS_Page_UI"));
    EXPECT_EQ(save->Text(), *toolkit.LanguageText("save_text"));
    EXPECT_FALSE(save->IsVisibleInWindow());
    handler.seen.clear();
    window.Widget()->findChild<QAbstractButton*>("ms_key_butt_keysave")->click();
    EXPECT_EQ(handler.Actions(), Strings{"click:ms_key_butt_keysave"});
    EXPECT_EQ(window.FindControl("ms_key_butt_keysave"), save);
    EXPECT_EQ(handler.built, Strings{"MS_Page_UI"});
  }
  {
    Builds handler;
    QtWindow window{toolkit, handler};
    ASSERT_TRUE(window.Create("main.ui"));
    window.Widget()->show();
    window.FindControl("tab_switch")->SelectPage(1);
    QApplication::processEvents();
    EXPECT_EQ(handler.built, Strings{"MS_Page_UI"});
    EXPECT_TRUE(window.FindControl("ms_key_butt_keysave")->IsVisibleInWindow());
  }
}

TEST(ToolkitWindowInit, RaisedOnceFromTheEventLoop) {
  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  Recorder handler;
  QtWindow window{toolkit, handler};
  ASSERT_TRUE(window.Create("main.ui"));
  EXPECT_TRUE(handler.seen.empty());
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(handler.Actions(), Strings{"windowinit:root"});
}

TEST_F(ToolkitTest, ComboNotifiesUserAndRequestedSelectionsOnly) {
  toolkit::Control* c = window.FindControl("ms_report_fct_combo");
  EXPECT_EQ(c->AddItem("125 Hz", "8"), 0);
  EXPECT_EQ(c->AddItem("500 Hz", "2"), 1);
  EXPECT_EQ(c->AddItem("1000 Hz", "1"), 2);
  EXPECT_EQ(c->Count(), 3);
  EXPECT_EQ(c->CurrentIndex(), -1);  // adding never selects
  EXPECT_EQ(c->ItemUserData(1), "2");
  EXPECT_TRUE(handler.seen.empty());

  EXPECT_TRUE(c->SelectItem(1, false));
  EXPECT_EQ(c->CurrentIndex(), 1);
  EXPECT_TRUE(handler.seen.empty());

  QTest::keyClick(Widget<QComboBox>("ms_report_fct_combo"), Qt::Key_Down);  // the user picks item 2
  ASSERT_EQ(handler.Actions(), Strings{"itemselect:ms_report_fct_combo"});
  EXPECT_EQ(handler.ActionNotes().back().wParam, 2);
  EXPECT_EQ(handler.ActionNotes().back().lParam, 1);
  EXPECT_EQ(handler.ActionNotes().back().control, c);

  handler.seen.clear();
  EXPECT_TRUE(c->SelectItem(0));
  EXPECT_TRUE(c->SelectItem(0));  // already selected: nothing more
  ASSERT_EQ(handler.Actions(), Strings{"itemselect:ms_report_fct_combo"});
  EXPECT_EQ(handler.ActionNotes().back().wParam, 0);
  EXPECT_FALSE(c->SelectItem(3));

  handler.seen.clear();
  EXPECT_TRUE(c->RemoveItem(0));  // the selected one
  EXPECT_EQ(c->CurrentIndex(), -1);
  EXPECT_EQ(c->ItemText(0), "500 Hz");
  c->RemoveAllItems();
  EXPECT_EQ(c->Count(), 0);
  EXPECT_TRUE(handler.seen.empty());
}

TEST_F(ToolkitTest, ListClickRaisesItemClickAndItemSelect) {
  toolkit::Control* list = window.FindControl("ms_Macro_list");
  list->AddItem("first");
  list->AddItem("second");
  list->SetItemText(1, "renamed");
  list->SetItemUserData(1, "7");
  list->SetItemHeight(1, 30);
  EXPECT_TRUE(handler.seen.empty());

  auto* w = Widget<QListWidget>("ms_Macro_list");
  QTest::mouseClick(w->viewport(), Qt::LeftButton, {}, w->visualItemRect(w->item(1)).center());
  EXPECT_EQ(handler.Actions(), (Strings{"itemselect:ms_Macro_list", "itemclick:ms_Macro_list"}));
  EXPECT_EQ(list->CurrentIndex(), 1);
  EXPECT_EQ(list->ItemText(1), "renamed");
  EXPECT_EQ(list->ItemUserData(1), "7");
  EXPECT_EQ(w->item(1)->sizeHint().height(), 30);

  handler.seen.clear();
  EXPECT_TRUE(list->RemoveItem(0));  // shifts the selection, quietly
  EXPECT_EQ(list->CurrentIndex(), 0);
  EXPECT_EQ(list->InsertItem(0, "zeroth", "z"), 0);  // so does an insert before it
  EXPECT_EQ(list->CurrentIndex(), 1);
  EXPECT_EQ(list->InsertItem(2, "last"), 2);
  EXPECT_EQ(list->InsertItem(4, "beyond"), -1);
  EXPECT_EQ(list->CurrentIndex(), 1);
  EXPECT_EQ(list->ItemUserData(0), "z");
  EXPECT_TRUE(handler.seen.empty());
}

TEST_F(ToolkitTest, ColumnItemsCarryTextsStylesAndTextIds) {
  toolkit.RegisterItemStyle("macro_label_down_style", ItemLook{0xFF00FF00, 0, true});
  toolkit::Control* steps = window.FindControl("ms_macro_steps");
  EXPECT_EQ(steps->AddItem("A", "0A"), 0);
  EXPECT_EQ(steps->AddItem("B", "0B"), 1);
  steps->SetItemColumnText(1, 1, "down");
  steps->SetItemColumnText(1, 2, "40");
  steps->SetItemTextId(1, 0, "save_text");
  steps->SetItemStyle(1, "macro_label_down_style", 1);
  steps->SetItemStyle(0, "unknown_style");
  EXPECT_EQ(steps->ItemColumnText(1, 1), "down");
  EXPECT_EQ(steps->ItemColumnText(1, 2), "40");
  EXPECT_EQ(steps->ItemColumnText(1, 7), "");
  EXPECT_EQ(steps->ItemUserData(1), "0B");
  EXPECT_EQ(steps->ItemStyle(1, 1), "macro_label_down_style");
  EXPECT_EQ(steps->ItemStyle(1, 0), "");
  EXPECT_EQ(steps->ItemStyle(0, 0), "unknown_style");
  EXPECT_EQ(steps->CurrentIndex(), -1);
  EXPECT_TRUE(handler.seen.empty());

  auto* tree = Widget<QTreeWidget>("ms_macro_steps");
  EXPECT_EQ(tree->topLevelItem(1)->foreground(1).color(), QColor(0, 255, 0));
  EXPECT_TRUE(tree->topLevelItem(1)->font(1).bold());
  EXPECT_FALSE(tree->topLevelItem(1)->font(0).bold());

  EXPECT_EQ(steps->ItemText(1), "save_text");
  ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
  EXPECT_EQ(steps->ItemText(1), "Save");
  steps->SetItemText(1, "plain");
  ASSERT_TRUE(toolkit.LoadLanguage("lan_cn.xml"));
  EXPECT_EQ(steps->ItemText(1), "plain");

  tree->scrollToItem(tree->topLevelItem(1));
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(tree->topLevelItem(1)).center());
  EXPECT_EQ(handler.Actions(), (Strings{"itemselect:ms_macro_steps", "itemclick:ms_macro_steps"}));
  EXPECT_EQ(steps->CurrentIndex(), 1);
}

TEST_F(ToolkitTest, ExclusiveOptionsNotifyOnlyForTheNewSelection) {
  toolkit::Control* kb = window.FindControl("kb_tab");
  toolkit::Control* ms = window.FindControl("ms_tab");
  QTest::mouseClick(Widget<QAbstractButton>("ms_tab"), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(handler.Actions(), (Strings{"selectchanged:ms_tab", "click:ms_tab"}));
  EXPECT_TRUE(ms->IsSelected());
  EXPECT_FALSE(kb->IsSelected());

  handler.seen.clear();
  kb->SetCheck(true, false);
  EXPECT_TRUE(kb->IsSelected());
  EXPECT_FALSE(ms->IsSelected());
  EXPECT_TRUE(handler.seen.empty());

  ms->SetCheck(true);
  EXPECT_EQ(handler.Actions(), Strings{"selectchanged:ms_tab"});

  // The program may clear the selected option of a group.
  handler.seen.clear();
  ms->SetCheck(false, false);
  EXPECT_FALSE(ms->IsSelected());
  EXPECT_FALSE(kb->IsSelected());
  EXPECT_TRUE(handler.seen.empty());
  ms->SetCheck(true, false);
  ms->SetCheck(false);
  ASSERT_EQ(handler.Actions(), Strings{"selectchanged:ms_tab"});
  EXPECT_EQ(handler.ActionNotes().back().wParam, 0);
  ms->SetCheck(true, false);  // the group still works afterwards
  kb->SetCheck(true, false);
  EXPECT_FALSE(ms->IsSelected());
}

TEST_F(ToolkitTest, CheckBoxNotifiesBothWays) {
  toolkit::Control* check = window.FindControl("ms_Deng_7color_check");
  auto* w = Widget<QAbstractButton>("ms_Deng_7color_check");
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(handler.Actions(), (Strings{"selectchanged:ms_Deng_7color_check", "click:ms_Deng_7color_check",
                                        "selectchanged:ms_Deng_7color_check", "click:ms_Deng_7color_check"}));
  EXPECT_EQ(handler.ActionNotes()[0].wParam, 1);
  EXPECT_EQ(handler.ActionNotes()[2].wParam, 0);

  handler.seen.clear();
  check->SetCheck(true, false);
  check->SetCheck(true);  // no change, no notification
  EXPECT_TRUE(check->IsSelected());
  EXPECT_TRUE(handler.seen.empty());
}

TEST_F(ToolkitTest, EditNotifiesUserTypingOnly) {
  toolkit::Control* edit = window.FindControl("ms_gunlun_speed_edit");
  edit->SetText("3");
  EXPECT_TRUE(handler.seen.empty());
  auto* w = Widget<QLineEdit>("ms_gunlun_speed_edit");
  w->selectAll();
  QTest::keyClick(w, Qt::Key_7);
  EXPECT_EQ(handler.Actions(), Strings{"textchanged:ms_gunlun_speed_edit"});
  EXPECT_EQ(edit->Text(), "7");
}

TEST_F(ToolkitTest, SliderSeparatesDraggingFromCommittedValues) {
  toolkit::Control* slider = window.FindControl("ms_DPI1_slider");
  slider->SetValue(40);
  slider->SetMinValue(10);
  slider->SetMaxValue(90);
  EXPECT_EQ(slider->Value(), 40);
  EXPECT_EQ(slider->MinValue(), 10);
  EXPECT_EQ(slider->MaxValue(), 90);
  EXPECT_TRUE(handler.seen.empty());

  auto* w = Widget<QSlider>("ms_DPI1_slider");
  QTest::keyClick(w, Qt::Key_Right);  // a committed step
  ASSERT_EQ(handler.Actions(), Strings{"valuechanged:ms_DPI1_slider"});
  EXPECT_EQ(handler.ActionNotes().back().wParam, 41);

  handler.seen.clear();
  w->setSliderDown(true);  // dragging the handle
  w->setSliderPosition(50);
  w->setSliderPosition(60);
  w->setSliderDown(false);
  EXPECT_EQ(handler.Actions(), (Strings{"movevaluechanged:ms_DPI1_slider", "movevaluechanged:ms_DPI1_slider",
                                        "valuechanged:ms_DPI1_slider"}));
  EXPECT_EQ(handler.ActionNotes().back().wParam, 60);

  toolkit::Control* progress = window.FindControl("progress");
  progress->SetMaxValue(10);
  progress->SetValue(50);
  EXPECT_EQ(progress->Value(), 10);
}

TEST_F(ToolkitTest, PaletteNotifiesPicksNotSettings) {
  toolkit::Control* palette = window.FindControl("ms_palette");
  palette->SetSelectColor(0xFF00FF00);
  EXPECT_EQ(palette->SelectColor(), 0xFF00FF00u);
  EXPECT_TRUE(handler.seen.empty());

  auto* w = Widget<ColourPalette>("ms_palette");
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, w->height() / 2));
  ASSERT_EQ(handler.Actions(), Strings{"colorchanged:ms_palette"});
  EXPECT_EQ(uint32_t(handler.ActionNotes().back().wParam), palette->SelectColor());
  EXPECT_EQ(palette->SelectColor() >> 24, 0xFFu);
  EXPECT_NE(palette->SelectColor(), 0xFF00FF00u);
}

TEST_F(ToolkitTest, HoverAndFocusBecomeNotifications) {
  QWidget* w = Widget<QWidget>("ms_gunlun_speed_edit");
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QEvent leave(QEvent::Leave);
  QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
  QApplication::sendEvent(w, &enter);
  QApplication::sendEvent(w, &leave);
  QApplication::sendEvent(w, &in);
  QApplication::sendEvent(w, &out);
  Strings types;
  for (const auto& n : handler.seen)
    if (n.sender == "ms_gunlun_speed_edit") types.push_back(n.type);
  EXPECT_EQ(types, (Strings{"msenter", "msleave", "setfocus", "killfocus"}));
}

TEST_F(ToolkitTest, VisibilityEnabledAndLookAreReachable) {
  toolkit::Control* button = window.FindControl("ms_key_butt_keysave");
  toolkit::Control* page = window.FindControl("tab_switch");
  EXPECT_EQ(page->CurrentPage(), 0);
  EXPECT_FALSE(button->IsVisibleInWindow());  // its page is not shown
  EXPECT_TRUE(button->IsVisible());
  EXPECT_TRUE(page->SelectPage(1));
  EXPECT_FALSE(page->SelectPage(2));
  EXPECT_EQ(page->CurrentPage(), 1);
  EXPECT_TRUE(button->IsVisibleInWindow());

  button->SetEnabled(false);
  EXPECT_FALSE(button->IsEnabled());
  button->SetVisible(false);
  EXPECT_FALSE(button->IsVisibleInWindow());

  toolkit::Control* label = window.FindControl("plain_label");
  label->SetBkColor(0xFF102030);
  label->SetBorderSize(2);
  label->SetBorderColor(0xFFFFFFFF);
  label->SetTextColor(0x80FF0000);
  label->SetBkImage("file='ms/key_left_down.png'");
  label->SetToolTip("tip");
  label->SetUserData("150");
  EXPECT_EQ(label->BkColor(), 0xFF102030u);
  EXPECT_EQ(label->BorderSize(), 2);
  EXPECT_EQ(label->BorderColor(), 0xFFFFFFFFu);
  EXPECT_EQ(label->TextColor(), 0x80FF0000u);
  EXPECT_EQ(label->BkImage(), "file='ms/key_left_down.png'");
  EXPECT_EQ(label->ToolTip(), "tip");
  EXPECT_EQ(label->UserData(), "150");
  const QString sheet = Widget<QWidget>("plain_label")->styleSheet();
  EXPECT_TRUE(sheet.contains("background-color: rgba(16,32,48,255)")) << sheet.toStdString();
  EXPECT_TRUE(sheet.contains("border: 2px solid rgba(255,255,255,255)")) << sheet.toStdString();
  EXPECT_TRUE(sheet.contains("color: rgba(255,0,0,128)")) << sheet.toStdString();
  EXPECT_TRUE(sheet.contains("background-image: url()")) << sheet.toStdString();
  EXPECT_FALSE(sheet.contains("key_left_down")) << sheet.toStdString();

  label->SetBorderSize(0);
  label->SetBkImage("");
  EXPECT_FALSE(Widget<QWidget>("plain_label")->styleSheet().contains("border:"));
  EXPECT_FALSE(Widget<QWidget>("plain_label")->styleSheet().contains("background-image"));

  label->SetChangerColor(0xFF00FF00);
  label->SetChangerAlpha(120);
  label->SetIsChangerColor(true);
  EXPECT_EQ(label->ChangerColor(), 0xFF00FF00u);
  EXPECT_EQ(label->ChangerAlpha(), 120);
  EXPECT_TRUE(label->IsChangerColor());
  EXPECT_EQ(Widget<QWidget>("plain_label")->property("changerAlpha").toInt(), 120);
  EXPECT_TRUE(handler.Actions().empty());
}

TEST_F(ToolkitTest, BackgroundImageIsPaintedCentredAndItsNameNeverBecomesStyleSheetText) {
  QTemporaryDir dir;
  const QString red = dir.filePath("red.png");
  QImage square(10, 10, QImage::Format_ARGB32);
  square.fill(Qt::red);
  ASSERT_TRUE(square.save(red));
  test_support::FifoGuard fifo(dir.filePath("fifo.png").toStdString());
  ASSERT_TRUE(fifo.Created());

  // The layout's own image for the label, which a set image replaces.
  const QString blue = dir.filePath("blue.png");
  QImage wide(30, 10, QImage::Format_ARGB32);
  wide.fill(Qt::blue);
  ASSERT_TRUE(wide.save(blue));
  window.Widget()->setStyleSheet("QLabel#plain_label { background-image: url(" + blue +
                                 "); background-repeat: no-repeat; background-position: center; }");

  toolkit::Control* label = window.FindControl("plain_label");
  QWidget* w = Widget<QWidget>("plain_label");
  label->SetText("");
  auto colourAt = [&](int dx, int dy) {
    return w->grab().toImage().pixelColor(w->width() / 2 + dx, w->height() / 2 + dy);
  };
  auto redAt = [&](int dx, int dy) { return colourAt(dx, dy) == QColor(Qt::red); };
  EXPECT_EQ(colourAt(-12, 0), QColor(Qt::blue));
  auto sheets = [&] { return window.Widget()->styleSheet() + w->styleSheet() + qApp->styleSheet(); };

  label->SetBkImage("file='" + red.toStdString() + "'");
  EXPECT_TRUE(redAt(0, 0));
  EXPECT_TRUE(redAt(-5, -5));
  EXPECT_TRUE(redAt(4, 4));
  EXPECT_FALSE(redAt(-6, 0));
  EXPECT_FALSE(redAt(0, 5));
  EXPECT_NE(colourAt(-12, 0), QColor(Qt::blue));
  EXPECT_FALSE(sheets().contains("red.png")) << sheets().toStdString();

  const std::string hostile = "x.png\"); } * { background: red; } #root { x: url(\"";
  label->SetBkImage(hostile);
  EXPECT_EQ(label->BkImage(), hostile);
  EXPECT_FALSE(redAt(0, 0));
  EXPECT_FALSE(sheets().contains("x.png")) << sheets().toStdString();
  EXPECT_FALSE(sheets().contains("background: red")) << sheets().toStdString();

  label->SetBkImage(fifo.Path().string());
  EXPECT_FALSE(redAt(0, 0));
  EXPECT_FALSE(fifo.Released()) << "the image load blocked on a FIFO";

  label->SetBkImage(red.toStdString());
  EXPECT_TRUE(redAt(0, 0));
  label->SetBkImage("");
  EXPECT_FALSE(redAt(0, 0));
  EXPECT_EQ(colourAt(-12, 0), QColor(Qt::blue));
  EXPECT_FALSE(w->styleSheet().contains("background-image")) << w->styleSheet().toStdString();
}

TEST_F(ToolkitTest, LanguageReloadReResolvesTextIds) {
  toolkit::Control* title = window.FindControl("title_label");
  toolkit::Control* save = window.FindControl("ms_key_butt_keysave");
  EXPECT_EQ(title->Text(), "message_text_8");  // nothing loaded yet
  EXPECT_EQ(title->TextId(), "message_text_8");

  ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
  EXPECT_EQ(title->Text(), "Profile name exists");
  EXPECT_EQ(save->Text(), "Save");
  ASSERT_TRUE(toolkit.LoadLanguage("lan_cn.xml"));
  EXPECT_EQ(QApplication::font().families().value(1), "Noto Sans CJK SC");
  EXPECT_EQ(title->Text(), "配置名称已存在");
  EXPECT_EQ(save->Text(), "保存");
  // Combo items the layout gives as ids follow the language too.
  toolkit::Control* rates = window.FindControl("rate_combo");
  ASSERT_EQ(rates->Count(), 2);
  EXPECT_EQ(rates->ItemText(0), "保存");
  EXPECT_EQ(rates->ItemText(1), "配置名称已存在");

  // A file that cannot be loaded leaves the texts as they are.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(toolkit.LoadLanguage("lan_bad.xml"));
  EXPECT_FALSE(toolkit.LoadLanguage("lan_missing.xml"));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("lan_bad.xml"), std::string::npos) << err;
  EXPECT_EQ(save->Text(), "保存");

  // The window's own texts come first; plain texts are left alone.
  handler.queried["save_text"] = "Keep";
  toolkit::Control* plain = window.FindControl("plain_label");
  plain->SetTextId("message_text_8");
  window.FindControl("title_label")->SetText("fixed");
  ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
  EXPECT_EQ(save->Text(), "Keep");
  EXPECT_EQ(plain->Text(), "Profile name exists");
  EXPECT_EQ(title->Text(), "fixed");
  EXPECT_EQ(title->TextId(), "");
  EXPECT_TRUE(handler.Actions().empty());
}

TEST(UiFonts, PutASemiCondensedLatinStandInSecondWhereNotoSansIsMissingExceptInChinese) {
  const QString noto = "Noto Sans", sc = "Noto Sans CJK SC", wqy = "WenQuanYi Micro Hei", dejavu = "DejaVu Sans";
  const struct {
    const char* code;
    bool hasNoto;
    QString systemSans;
    QStringList families;
    int stretch;
  } cases[] = {
      {"en", false, dejavu, {noto, dejavu, sc, wqy}, QFont::SemiCondensed},
      {"en", true, dejavu, {noto, sc, wqy}, QFont::AnyStretch},
      {"cn_zh", false, dejavu, {noto, sc, wqy}, QFont::AnyStretch},
      {"en", false, sc, {noto, sc, wqy}, QFont::AnyStretch},  // sans-serif is the CJK font
  };
  for (const auto& c : cases) {
    const QFont font = UiFont(QFont(), QString::fromLatin1(c.code), c.hasNoto, [&] { return c.systemSans; });
    EXPECT_EQ(font.families(), c.families) << c.code << c.hasNoto;
    EXPECT_EQ(font.stretch(), c.stretch) << c.code << c.hasNoto;
  }
}

TEST_F(ToolkitTest, SendRunsDirectlyOnTheUiThreadAndWaitsFromWorkers) {
  bool ran = false;
  EXPECT_TRUE(toolkit.IsUiThread());
  EXPECT_TRUE(toolkit.Send([&] { ran = true; }));
  EXPECT_TRUE(ran);  // no event loop turn was needed

  QThread* ranOn = nullptr;
  std::atomic<bool> returned{false};
  std::atomic<bool> result{false};
  std::jthread worker([&] {
    EXPECT_FALSE(toolkit.IsUiThread());
    result = toolkit.Send([&] { ranOn = QThread::currentThread(); });
    returned = true;
  });
  // Without a turn of the event loop the work cannot run, so the worker
  // cannot have returned.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(returned);
  EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 10000));
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ranOn, QThread::currentThread());

  std::atomic<int> posted{0};
  std::jthread poster([&] { toolkit.Post([&] { ++posted; }); });
  poster.join();
  EXPECT_EQ(posted, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return posted == 1; }, 10000));
}

TEST(ToolkitSend, GivesUpWhenStopIsRequested) {
  // A worker being stopped must not hang in Send while the UI thread is busy
  // (here: not running its loop at all, as when it waits for the worker).
  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::jthread stopped([&](std::stop_token stop) { result = toolkit.Send([&] { ran = true; }, stop); });
  stopped.request_stop();
  stopped.join();
  EXPECT_EQ(result, 0);
  QApplication::processEvents();
  EXPECT_FALSE(ran);  // withdrawn work never runs
}

TEST_F(ToolkitTest, TimersFireOnTheUiThreadUntilKilled) {
  window.SetTimer(2, 5);
  window.SetTimer(11, 5, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return handler.ticks.size() >= 4; }, 10000));
  window.KillTimer(2);
  const auto count = [&](int id) {
    return std::count_if(handler.ticks.begin(), handler.ticks.end(), [&](auto& t) { return t.first == id; });
  };
  EXPECT_GE(count(2), 3);
  for (const auto& [id, thread] : handler.ticks) EXPECT_EQ(thread, QThread::currentThread());

  // A timer set from a worker still fires on the UI thread.
  std::jthread([&] { window.SetTimer(12, 1, true); }).join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return count(12) == 1; }, 10000));
  const auto ticksOf2 = count(2);
  QTest::qWait(30);
  EXPECT_EQ(count(2), ticksOf2);
  EXPECT_EQ(count(11), 1);
  EXPECT_EQ(count(12), 1);
  EXPECT_EQ(handler.ticks.back().second, QThread::currentThread());
}

TEST(ToolkitLayoutErrors, NameTheFileAndLineAndFailTheLoad) {
  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  Recorder handler;
  {
    QtWindow window{toolkit, handler};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.Create("broken.ui"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("broken.ui:6:"), std::string::npos) << err;
    EXPECT_EQ(window.FindControl("root"), nullptr);
  }
  {
    QtWindow window{toolkit, handler};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.Create("missing.ui"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("missing.ui"), std::string::npos);
  }
  {
    // A broken page says so when it is built, and the window goes on.
    handler.pageLayout = "broken.ui";
    QtWindow window{toolkit, handler};
    ASSERT_TRUE(window.Create("main.ui"));
    window.Widget()->show();
    testing::internal::CaptureStderr();
    window.FindControl("tab_switch")->SelectPage(1);
    QApplication::processEvents();
    EXPECT_EQ(window.FindControl("ms_key_butt_keysave"), nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("broken.ui:6:"), std::string::npos) << err;
    EXPECT_NE(err.find("page TestPage could not be built"), std::string::npos) << err;
    EXPECT_NE(window.FindControl("ms_palette"), nullptr);
  }
  {
    // Unknown element classes are an error, not a silently missing control.
    handler.pageLayout = "page.ui";
    struct NoPages : Recorder {
      toolkit::CreatedControl CreateControl(std::string_view) override { return {}; }
    } bare;
    QtWindow window{toolkit, bare};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.Create("main.ui"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown control class TestPage"), std::string::npos);
    QApplication::processEvents();
    EXPECT_TRUE(bare.seen.empty());  // no windowinit for a failed window
  }
}

TEST(ToolkitCustomControls, RegisteredClassesBuildElements) {
  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  int made = 0;
  toolkit.RegisterControl("TestPage", [&](QWidget* parent) {
    ++made;
    return new QWidget(parent);
  });
  struct NoPages : Recorder {
    toolkit::CreatedControl CreateControl(std::string_view) override { return {}; }
  } handler;
  QtWindow window{toolkit, handler};
  ASSERT_TRUE(window.Create("main.ui"));
  EXPECT_EQ(made, 1);
  toolkit::Control* page = window.FindControl("MS_Page_UI");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->ClassName(), "TestPage");
}

TEST(LanguageFile, ParsesIdsAndRejectsMalformedFiles) {
  QString error;
  auto table = ParseLanguage(
      "<language><text id='a'>A &amp; B</text><text>no id</text><other/><text id='a'>second</text>"
      "<text id='b'></text></language>",
      &error);
  ASSERT_TRUE(table) << error.toStdString();
  EXPECT_EQ(table->size(), 2u);
  EXPECT_EQ(table->at("a"), "A & B");
  EXPECT_EQ(table->at("b"), "");

  EXPECT_FALSE(ParseLanguage("", &error));
  EXPECT_FALSE(ParseLanguage("<strings><text id='a'>x</text></strings>", &error));
  EXPECT_FALSE(ParseLanguage("<language><text id='a'>x</language>", &error));
  EXPECT_TRUE(error.contains("line 1")) << error.toStdString();
  EXPECT_FALSE(ParseLanguage("<language/><language/>", &error));
}

}  // namespace
}  // namespace talvo::app
