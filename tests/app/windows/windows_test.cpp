#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/windows/about_window.h"
#include "app/windows/menus.h"
#include "app/windows/message_box.h"
#include "tests/support/fifo_guard.h"

namespace talvo::app {
namespace {

// What the open message box showed.
struct Seen {
  bool shown = false;
  QString title;
  QString text;
};

// Cancels a box still open after a generous period so a broken close fails
// the test instead of hanging the suite; stops when it goes out of scope.
class HangGuard {
 public:
  HangGuard() {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      fired = true;
      if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->done(-99);
    });
    timer_.start(5000);
  }
  bool fired = false;

 private:
  QTimer timer_;
};

class WindowsTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml")); }

  // Runs the box with a click scheduled; seen is filled while the box runs.
  int Answer(const char* button, Seen& seen, const std::string& title, const std::string& text, bool textIsId) {
    QTimer::singleShot(0, [&seen, button] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box) return;
      seen.shown = true;
      if (auto* t = box->findChild<QLabel*>("MessageTitle")) seen.title = t->text();
      if (auto* t = box->findChild<QLabel*>("MessageText")) seen.text = t->text();
      if (auto* b = box->findChild<QAbstractButton*>(button)) b->click();
    });
    HangGuard guard;
    return ShowMessage(toolkit, nullptr, title, text, textIsId);
  }

  QtToolkit toolkit{TALVO_SKIN_DIR};
};

TEST_F(WindowsTest, MessageBoxReturnsTheCodeOfTheButtonClicked) {
  Seen seen;
  EXPECT_EQ(Answer("confirm_btn", seen, "", "message_text_8", true), 1);
  EXPECT_TRUE(seen.shown);
  EXPECT_EQ(seen.title, "Notice");  // no title given: the layout's stays
  EXPECT_EQ(seen.text, "A required file is missing or cannot be opened.");

  seen = {};
  EXPECT_EQ(Answer("cancel_btn", seen, "Talvo", "Plain words", false), 0);
  EXPECT_EQ(seen.title, "Talvo");
  EXPECT_EQ(seen.text, "Plain words");

  seen = {};
  EXPECT_EQ(Answer("closebtn", seen, "", "", true), 0);
  EXPECT_TRUE(seen.shown);
  EXPECT_EQ(seen.text, "");
}

TEST_F(WindowsTest, MessageBoxFollowsTheLoadedLanguage) {
  ASSERT_TRUE(toolkit.LoadLanguage("lan_cn.xml"));
  Seen seen;
  EXPECT_EQ(Answer("confirm_btn", seen, "", "message_text_8", true), 1);
  EXPECT_EQ(seen.title, "提示");
  EXPECT_EQ(seen.text, "所需的文件不存在或无法打开。");
}

TEST(MessageBoxButtons, NamesAreComparedCaseInsensitively) {
  QtToolkit toolkit{WINDOWS_TEST_DATA};
  for (const auto& [button, code] : std::vector<std::pair<const char*, int>>{
           {"Confirm_Btn", 1}, {"CANCEL_BTN", 0}, {"CloseBtn", 0}}) {
    QTimer::singleShot(0, [button = button] {
      if (QWidget* box = QApplication::activeModalWidget())
        if (auto* b = box->findChild<QAbstractButton*>(button)) b->click();
    });
    HangGuard guard;
    EXPECT_EQ(ShowMessage(toolkit, nullptr, "", "x", false), code) << button;
  }
}

TEST(MessageBoxLayout, MissingLayoutConfirmsNothing) {
  QtToolkit toolkit{"/nonexistent/skin"};
  EXPECT_EQ(ShowMessage(toolkit, nullptr, "", "message_text_8", true), 0);
  QtDialogs dialogs(toolkit);
  EXPECT_EQ(dialogs.ShowMessage(nullptr, "message_text_8", true), 0);
}

TEST_F(WindowsTest, AutoCloseClosesTheBoxWithItsTimer) {
  bool shown = false;
  QTimer::singleShot(0, [&] { shown = QApplication::activeModalWidget() != nullptr; });
  HangGuard guard;
  ShowMessageAutoClose(toolkit, nullptr, "", "message_text_6", true, true);
  EXPECT_TRUE(shown);
  EXPECT_FALSE(guard.fired);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(WindowsTest, MessageBoxWithoutAutoCloseWaitsForTheUser) {
  bool stillOpen = false;
  QTimer::singleShot(1000, [&] {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    stillOpen = box != nullptr;
    if (box) box->findChild<QAbstractButton*>("confirm_btn")->click();
  });
  HangGuard guard;
  ShowMessageAutoClose(toolkit, nullptr, "", "message_text_6", true, false);
  EXPECT_TRUE(stillOpen);
}

int VisibleBoxes() {
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QDialog*>(w) && w->isVisible()) ++boxes;
  return boxes;
}

// A cause that repeats while its box is open (a cable plugged in and out
// again and again) must not stack modal boxes: one box per text id at a time.
TEST_F(WindowsTest, ATextIdIsNotShownAgainWhileItsBoxIsOpen) {
  int again = -1;
  int boxesWhileOpen = 0;
  bool stacked = false;
  bool returned = false;
  Seen other;
  Seen literal;
  int otherCode = -1;
  QTimer::singleShot(0, [&] {
    QWidget* first = QApplication::activeModalWidget();
    if (!first) return;
    again = ShowMessage(toolkit, nullptr, "", "message_text_20", true);
    boxesWhileOpen = VisibleBoxes();
    // Had the call opened a box, this would run inside it.
    QTimer::singleShot(0, [&] {
      if (returned) return;
      stacked = true;
      if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->done(0);
    });
    ShowMessageAutoClose(toolkit, nullptr, "", "message_text_20", true, false);
    returned = true;
    otherCode = Answer("confirm_btn", other, "", "message_text_8", true);
    Answer("confirm_btn", literal, "", "message_text_20", false);
    first->findChild<QAbstractButton*>("confirm_btn")->click();
  });
  HangGuard guard;
  EXPECT_EQ(ShowMessage(toolkit, nullptr, "", "message_text_20", true), 1);
  EXPECT_EQ(again, 0);
  EXPECT_EQ(boxesWhileOpen, 1);
  EXPECT_FALSE(stacked);
  EXPECT_EQ(otherCode, 1);
  EXPECT_TRUE(other.shown);
  EXPECT_TRUE(literal.shown);  // literal texts are never held back
  EXPECT_EQ(literal.text, "message_text_20");
  EXPECT_FALSE(guard.fired);

  Seen later;
  EXPECT_EQ(Answer("confirm_btn", later, "", "message_text_20", true), 1);
  EXPECT_TRUE(later.shown);
}

TEST(MenuFile, ParsesItemsInOrder) {
  const auto items = ParseMenu(R"(<?xml version="1.0"?>
<menu>
  <item name="lan_en" text="menu_lan_en_text" userdata="en"/>
  <item name="About_setting" text="menu_about_text"></item>
</menu>)");
  ASSERT_TRUE(items);
  EXPECT_EQ(*items, (std::vector<MenuItem>{{"lan_en", "menu_lan_en_text", "en", true},
                                           {"About_setting", "menu_about_text", "", true}}));
  EXPECT_EQ(ParseMenu("<menu/>"), std::vector<MenuItem>{});
}

TEST(MenuFile, RejectsMalformedMenus) {
  EXPECT_FALSE(ParseMenu(""));
  EXPECT_FALSE(ParseMenu("<menu><item name=\"a\" text=\"t\"/>"));  // unterminated
  EXPECT_FALSE(ParseMenu("<items><item name=\"a\"/></items>"));
  EXPECT_FALSE(ParseMenu("<menu><item text=\"t\"/></menu>"));  // no name
  EXPECT_FALSE(ParseMenu("<menu><entry name=\"a\"/></menu>"));
  EXPECT_FALSE(ParseMenu("<menu></menu><menu></menu>"));
}

class NoQueries : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

TEST_F(WindowsTest, SkinMenusLoadAndTheTrayMenuStartsWithExit) {
  const std::vector<MenuItem> main = LoadMenu(toolkit, kMainMenuFile, false);
  ASSERT_FALSE(main.empty());
  EXPECT_EQ(main.front().name, "lan_en");

  const std::vector<MenuItem> tray = LoadMenu(toolkit, kTrayMenuFile, true);
  ASSERT_GE(tray.size(), 2u);
  EXPECT_EQ(tray.front(), (MenuItem{"exit", "关闭", "", false}));
  EXPECT_EQ(tray[1].name, "lan_en");

  // An unreadable file still gives the tray its way out.
  EXPECT_EQ(LoadMenu(toolkit, "no_such_menu.xml", true), (std::vector<MenuItem>{{"exit", "关闭", "", false}}));
  EXPECT_TRUE(LoadMenu(toolkit, "no_such_menu.xml", false).empty());
}

TEST(MenuFile, AFifoInPlaceOfAMenuIsNotWaitedFor) {
  QTemporaryDir dir;
  test_support::FifoGuard fifo(dir.filePath("menu.xml").toStdString());
  ASSERT_TRUE(fifo.Created());
  QtToolkit toolkit{dir.path()};
  EXPECT_EQ(LoadMenu(toolkit, "menu.xml", true), (std::vector<MenuItem>{{"exit", "关闭", "", false}}));
  EXPECT_FALSE(fifo.Released()) << "the menu was read from a FIFO";
}

TEST_F(WindowsTest, BuiltMenuShowsResolvedTextsAndReportsTheChosenItem) {
  NoQueries handler;
  QtWindow owner(toolkit, handler);
  ASSERT_TRUE(owner.Create("XML_MSG"));
  const std::unique_ptr<QMenu> menu(BuildMenu(LoadMenu(toolkit, kTrayMenuFile, true), owner));
  const QList<QAction*> actions = menu->actions();
  ASSERT_GE(actions.size(), 4);
  EXPECT_EQ(actions[0]->text(), "关闭");
  EXPECT_EQ(actions[1]->text(), "English");
  EXPECT_EQ(actions[3]->text(), "About");
  EXPECT_EQ(ItemOf(actions[0]), (MenuItem{"exit", "关闭", "", false}));
  EXPECT_EQ(ItemOf(actions[2]), (MenuItem{"lan_cn", "menu_lan_cn_text", "cn_zh", true}));

  ASSERT_TRUE(toolkit.LoadLanguage("lan_cn.xml"));
  const std::unique_ptr<QMenu> chinese(BuildMenu(LoadMenu(toolkit, kTrayMenuFile, true), owner));
  EXPECT_EQ(chinese->actions()[0]->text(), "关闭");
  EXPECT_EQ(chinese->actions()[3]->text(), "关于");

  // A check item shows its state and hands it back; the others have none.
  const MenuItem check{"autostart", "menu_autostart_text", "", true, true};
  const std::unique_ptr<QMenu> checks(BuildMenu({check, {"lan_en", "menu_lan_en_text", "en"}}, owner));
  EXPECT_TRUE(checks->actions()[0]->isCheckable());
  EXPECT_TRUE(checks->actions()[0]->isChecked());
  EXPECT_EQ(ItemOf(checks->actions()[0]), check);
  EXPECT_FALSE(checks->actions()[1]->isCheckable());
  EXPECT_EQ(ItemOf(checks->actions()[1]).checked, std::nullopt);
}

TEST(MenuActions, ItemNamesMapToTheirActions) {
  EXPECT_EQ(ActionForMenuItem("lan_en"), MenuAction::ApplyEnglish);
  EXPECT_EQ(ActionForMenuItem("lan_cn"), MenuAction::ApplyChinese);
  EXPECT_EQ(ActionForMenuItem("About_setting"), MenuAction::OpenAbout);
  EXPECT_EQ(ActionForMenuItem("autostart"), MenuAction::ToggleStartAtLogin);
  EXPECT_EQ(ActionForMenuItem("exit"), MenuAction::Exit);
  EXPECT_EQ(ActionForMenuItem("qianting"), MenuAction::Nothing);
  EXPECT_EQ(ActionForMenuItem("Menu_Import"), MenuAction::Nothing);
  EXPECT_EQ(ActionForMenuItem("Menu_Export"), MenuAction::Nothing);
  EXPECT_EQ(ActionForMenuItem("help"), MenuAction::ShowItemText);
  EXPECT_EQ(ActionForMenuItem("Exit"), MenuAction::ShowItemText);  // names are exact
  EXPECT_EQ(ActionForMenuItem(""), MenuAction::ShowItemText);
}

TEST(AboutPlacement, DoubleLeftAndHalfBottomLessEighty) {
  EXPECT_EQ(AboutWindowPosition(QRect(100, 200, 900, 600)), QPoint(200, 320));  // bottom 800
  EXPECT_EQ(AboutWindowPosition(QRect(0, 0, 1000, 101)), QPoint(0, -30));      // bottom 101 halves down
  EXPECT_EQ(AboutWindowPosition(QRect(-50, 10, 10, 10)), QPoint(-100, -70));
}

TEST_F(WindowsTest, AboutWindowShowsNameVersionLicenceAndOnlyARealLinkAndFreesItselfWhenClosed) {
  struct Case {
    const char* language;
    QString website;
    QString title;
    QString licence;
  };
  const Case cases[] = {
      {"lan_en.xml", QStringLiteral("https://example.org/talvo"), "About Talvo", "Licence: GPL-3.0-or-later"},
      {"lan_cn.xml", QString(), "关于 Talvo", "许可证：GPL-3.0-or-later"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(toolkit.LoadLanguage(c.language));
    std::vector<QUrl> opened;
    Ccopyright* about =
        Ccopyright::Open(toolkit, QRect(100, 200, 900, 600), c.website, [&](const QUrl& u) { opened.push_back(u); });
    ASSERT_NE(about, nullptr);
    QPointer<QDialog> dialog = about->Dialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle(), c.title);
    EXPECT_EQ(dialog->size(), QSize(800, 572));
    EXPECT_EQ(dialog->pos(), QPoint(200, 320));
    EXPECT_EQ(dialog->findChild<QLabel*>("about_version")->text(), QStringLiteral("Talvo " TALVO_VERSION));
    EXPECT_EQ(dialog->findChild<QLabel*>("about_licence")->text(), c.licence);

    auto* link = dialog->findChild<QAbstractButton*>("NetText");
    EXPECT_EQ(link->isVisibleTo(dialog), !c.website.isEmpty()) << c.language;
    link->click();
    if (c.website.isEmpty()) {
      EXPECT_TRUE(opened.empty());
    } else {
      EXPECT_EQ(opened, std::vector<QUrl>{QUrl(c.website)});
    }

    dialog->findChild<QAbstractButton*>("closebtn")->click();
    EXPECT_FALSE(dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
  }
}

TEST(AboutLayout, MissingLayoutOpensNothing) {
  QtToolkit toolkit{"/nonexistent/skin"};
  EXPECT_EQ(Ccopyright::Open(toolkit, QRect(0, 0, 10, 10)), nullptr);
}

}  // namespace
}  // namespace talvo::app
