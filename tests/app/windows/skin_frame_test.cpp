#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QStackedWidget>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/windows/skin_frame.h"
#include "profiles/main_settings.h"

namespace talvo::app {
namespace {

class Changes : public SkinReceiver {
 public:
  std::vector<SkinChange> seen;
  void OnSkinChanged(const SkinChange& change) override { seen.push_back(change); }
};

class FileChoice : public toolkit::Dialogs {
 public:
  std::optional<std::string> path;
  std::string filter;
  int ShowMessage(toolkit::Window*, const std::string&, bool) override { return 0; }
  std::optional<std::string> OpenFile(toolkit::Window*, const std::string& f) override {
    filter = f;
    return path;
  }
  std::optional<std::string> SaveFile(toolkit::Window*, const std::string&, const std::string&) override { return {}; }
};

// Each test gets its own home folder, so main.ini starts absent.
class SkinFrameTest : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() / ("talvo-skin-" + std::to_string(seed()));
    std::filesystem::create_directories(root_ / "config");
    setenv("HOME", root_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    toolkit.SetDialogs(&dialogs);
    ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
    SkinObserver::Instance().Add(&changes);
    frame = CSkinFrame::Open(toolkit, QRect(500, 40, 30, 20));
    ASSERT_NE(frame, nullptr);
    dialog = frame->Dialog();
  }
  void TearDown() override {
    SkinObserver::Instance().Remove(&changes);
    if (dialog) dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  std::vector<QAbstractButton*> Buttons(const char* name) {
    std::vector<QAbstractButton*> out;
    for (auto* b : dialog->findChildren<QAbstractButton*>(name)) out.push_back(b);
    return out;
  }
  void Click(const char* name, size_t index = 0) {
    const auto buttons = Buttons(name);
    ASSERT_LT(index, buttons.size()) << name;
    buttons[index]->click();
  }

  std::filesystem::path root_;
  QtToolkit toolkit{TALVO_SKIN_DIR};
  FileChoice dialogs;
  Changes changes;
  CSkinFrame* frame = nullptr;
  QPointer<QDialog> dialog;
};

TEST(SkinFramePlacement, TopRightCornerAtTheButtonsBottomRight) {
  EXPECT_EQ(SkinFramePosition(QRect(500, 40, 30, 20), QSize(300, 160)), QPoint(230, 60));
  EXPECT_EQ(SkinFramePosition(QRect(0, 0, 10, 10), QSize(300, 160)), QPoint(-290, 10));
}

TEST_F(SkinFrameTest, OpensBelowTheSkinButtonAndTheOptionsSwitchPages) {
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->pos() + QPoint(dialog->width(), 0), QPoint(530, 60));
  auto* tab = dialog->findChild<QStackedWidget*>("skin_tab");
  ASSERT_NE(tab, nullptr);
  Click("skin_color");
  EXPECT_EQ(tab->currentIndex(), 1);
  Click("skin_image");
  EXPECT_EQ(tab->currentIndex(), 0);
  EXPECT_TRUE(changes.seen.empty());
}

TEST_F(SkinFrameTest, ImageButtonsBroadcastAndStoreTheirImageAndResetStoresNoChoice) {
  ASSERT_EQ(Buttons("skin_image_btn").size(), 3u);
  Click("skin_image_btn", 1);
  ASSERT_EQ(changes.seen.size(), 1u);
  EXPECT_FALSE(changes.seen[0].isColour);
  EXPECT_EQ(changes.seen[0].image, "common/skin_2.png");
  EXPECT_TRUE(profiles::HasSkinImage());
  EXPECT_EQ(profiles::SkinImage(), "common/skin_2.png");

  // After a reset the next start keeps the layout's own background.
  Click("skin_reset");
  ASSERT_EQ(changes.seen.size(), 2u);
  EXPECT_EQ(changes.seen[1].image, kDefaultBackground);
  EXPECT_FALSE(profiles::HasSkinImage());
  EXPECT_EQ(profiles::SkinImage(), kDefaultBackground);
}

TEST_F(SkinFrameTest, ColourButtonsBroadcastTheirColourAndStoreNothing) {
  Click("skin_color_btn", 1);
  ASSERT_EQ(changes.seen.size(), 1u);
  EXPECT_TRUE(changes.seen[0].isColour);
  EXPECT_EQ(changes.seen[0].colour, 0xFF1EC8FFu);
  EXPECT_FALSE(std::filesystem::exists(profiles::MainIniPath()));
}

TEST_F(SkinFrameTest, CustomImageIsShownButNotStoredAndCancelChangesNothing) {
  Click("skin_Custom");
  EXPECT_TRUE(changes.seen.empty());
  EXPECT_EQ(dialogs.filter, CSkinFrame::kCustomFilter);

  dialogs.path = "/tmp/mine.png";
  Click("skin_Custom");
  ASSERT_EQ(changes.seen.size(), 1u);
  EXPECT_EQ(changes.seen[0].image, "/tmp/mine.png");
  EXPECT_FALSE(std::filesystem::exists(profiles::MainIniPath()));
}

TEST_F(SkinFrameTest, FreesItselfOnceClosed) {
  dialog->close();
  EXPECT_FALSE(dialog.isNull());  // not while its close is being handled
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(dialog.isNull());
}

TEST(SkinObserverTest, ReceiversMayLeaveWhileAChangeIsHandedOut) {
  struct Leaver : SkinReceiver {
    SkinReceiver* other = nullptr;
    int calls = 0;
    void OnSkinChanged(const SkinChange&) override {
      ++calls;
      SkinObserver::Instance().Remove(this);
      SkinObserver::Instance().Remove(other);
    }
  };
  Leaver leaver;
  Changes other;
  leaver.other = &other;
  SkinObserver::Instance().Add(&leaver);
  SkinObserver::Instance().Add(&leaver);  // once only
  SkinObserver::Instance().Add(&other);
  SkinObserver::Instance().Broadcast(SkinChange{true, 0xFF000000u, {}});
  SkinObserver::Instance().Broadcast(SkinChange{true, 0xFF000000u, {}});
  EXPECT_EQ(leaver.calls, 1);
  EXPECT_TRUE(other.seen.empty());  // removed before its turn came
}

}  // namespace
}  // namespace talvo::app
