// The program chooser: rows listed on a worker arrive in the open window, and
// a worker that outlasts the window is forgotten.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <future>

#include "app/windows/program_chooser.h"

namespace talvo::app {
namespace {

// Runs `step` on the open chooser once `ready` holds for it.
void Once(std::function<bool(QDialog&)> ready, std::function<void(QDialog&)> step) {
  QTimer::singleShot(10, [ready, step] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog && ready(*dialog))
      step(*dialog);
    else
      Once(ready, step);
  });
}

QTreeWidget& List(QDialog& d) { return *d.findChild<QTreeWidget*>("programs_list"); }

// A lister that answers once released.
toolkit::ProgramLister Held(std::shared_future<void> released) {
  return [released] {
    released.wait();
    return std::vector<toolkit::ProgramRow>{{"dota2", "steam:570"}, {"foo", "/usr/bin/foo"}};
  };
}

std::optional<std::string> Choose(const toolkit::ProgramLister& programs) {
  QtToolkit toolkit{TALVO_SKIN_DIR};
  toolkit.LoadLanguage("lan_en.xml");
  CProgramChooser chooser(toolkit, {});
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

TEST(ProgramChooser, RowsArriveWhileItIsOpenAndTheChosenRowGivesItsLink) {
  std::promise<void> release;
  QString listing;
  Once([](QDialog&) { return true; }, [&](QDialog& d) {
    listing = d.findChild<QLabel*>("programs_state_text")->text();
    release.set_value();
    Once([](QDialog& d) { return List(d).topLevelItemCount() == 2; }, [](QDialog& d) {
      EXPECT_EQ(List(d).topLevelItem(0)->text(1), "steam:570");
      EXPECT_FALSE(d.findChild<QAbstractButton*>("confirm_btn")->isEnabled());
      List(d).setCurrentItem(List(d).topLevelItem(1));
      d.findChild<QAbstractButton*>("confirm_btn")->click();
    });
  });
  EXPECT_EQ(Choose(Held(release.get_future().share())), "/usr/bin/foo");
  EXPECT_EQ(listing, "Looking for programs with a window…");
}

TEST(ProgramChooser, AListerStillRunningWhenItClosesIsForgotten) {
  std::promise<void> release;
  Once([](QDialog&) { return true; }, [](QDialog& d) { d.findChild<QAbstractButton*>("closebtn")->click(); });
  EXPECT_EQ(Choose(Held(release.get_future().share())), std::nullopt);
  release.set_value();
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::sendPostedEvents();
}

}  // namespace
}  // namespace talvo::app
