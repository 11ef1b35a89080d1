// The program chooser: rows listed on a worker arrive in an open window, and
// the answer is the chosen row's link or the browsed path.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <future>

#include "app/windows/program_chooser.h"

namespace talvo::app {
namespace {

using toolkit::ProgramRow;

// Runs `step` on the open chooser once `ready` holds for it, polling the
// event loop the chooser runs.
void Once(std::function<bool(QDialog&)> ready, std::function<void(QDialog&)> step) {
  QTimer::singleShot(10, [ready, step] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog && ready(*dialog))
      step(*dialog);
    else
      Once(ready, step);
  });
}

void Click(QDialog& dialog, const char* button) { dialog.findChild<QAbstractButton*>(button)->click(); }
QTreeWidget& List(QDialog& dialog) { return *dialog.findChild<QTreeWidget*>("programs_list"); }
QString State(QDialog& dialog) { return dialog.findChild<QLabel*>("programs_state_text")->text(); }

class ProgramChooserTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml")); }

  std::optional<std::string> Run(const toolkit::ProgramLister& programs, CProgramChooser::Browse browse = {}) {
    CProgramChooser chooser(toolkit, std::move(browse));
    if (!chooser.Create(nullptr)) return "no layout";
    chooser.List(programs);
    // A broken close fails the test instead of hanging the suite.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->done(0);
    });
    guard.start(5000);
    return chooser.ShowModal();
  }

  QtToolkit toolkit{TALVO_SKIN_DIR};
};

TEST_F(ProgramChooserTest, RowsArriveWhileTheChooserIsOpenAndTheChosenRowGivesItsLink) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const toolkit::ProgramLister slow = [released] {
    released.wait();
    return std::vector<ProgramRow>{{"dota2", "steam:570"}, {"foo", "/usr/bin/foo"}};
  };
  QString listing;
  Once([](QDialog&) { return true; }, [&](QDialog& dialog) {
    listing = State(dialog);
    EXPECT_FALSE(dialog.findChild<QAbstractButton*>("confirm_btn")->isEnabled());
    release.set_value();
    Once([](QDialog& d) { return List(d).topLevelItemCount() == 2; }, [](QDialog& d) {
      EXPECT_EQ(List(d).topLevelItem(0)->text(1), "steam:570");
      EXPECT_TRUE(d.findChild<QLabel*>("programs_state_text")->isHidden());
      List(d).setCurrentItem(List(d).topLevelItem(1));
      Click(d, "confirm_btn");
    });
  });
  EXPECT_EQ(Run(slow), "/usr/bin/foo");
  EXPECT_EQ(listing, "Looking for programs with a window…");
}

TEST_F(ProgramChooserTest, BrowseGivesThePathACancelledBrowseStaysAndNothingListedIsSaid) {
  const toolkit::ProgramLister none = [] { return std::vector<ProgramRow>{}; };
  std::vector<std::optional<std::string>> browsed{std::nullopt, "/opt/game/run"};
  const auto browse = [&](toolkit::Window*) {
    auto path = browsed.front();
    browsed.erase(browsed.begin());
    return path;
  };
  QString empty;
  Once([](QDialog& d) { return State(d).startsWith("No program"); }, [&](QDialog& d) {
    empty = State(d);
    Click(d, "browse_btn");
    Click(d, "browse_btn");
  });
  EXPECT_EQ(Run(none, browse), "/opt/game/run");
  EXPECT_EQ(empty, "No program has a window now. Start the program, or browse for it.");

  Once([](QDialog&) { return true; }, [](QDialog& d) { Click(d, "cancel_btn"); });
  EXPECT_EQ(Run(none, browse), std::nullopt);
}

TEST_F(ProgramChooserTest, AListerStillRunningWhenTheChooserClosesIsForgotten) {
  std::promise<void> release;
  const toolkit::ProgramLister slow = [released = release.get_future().share()] {
    released.wait();
    return std::vector<ProgramRow>{{"foo", "/usr/bin/foo"}};
  };
  Once([](QDialog&) { return true; }, [](QDialog& d) { Click(d, "closebtn"); });
  EXPECT_EQ(Run(slow), std::nullopt);
  // Its rows, coming after the chooser has gone, have nowhere to go.
  release.set_value();
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::sendPostedEvents();
}

}  // namespace
}  // namespace talvo::app
