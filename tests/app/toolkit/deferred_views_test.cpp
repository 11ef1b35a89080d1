#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"
#include "pages/deferred_views.h"

namespace talvo::app {
namespace {

using Strings = std::vector<std::string>;

// What the program shows on a page not built yet waits for its build: the
// latest of each kind, in the order asked; on a built page, or on anything
// built with the window, it shows at once.
TEST(DeferredViews, ShowWhatWaitedOnceThePageIsBuilt) {
  QtToolkit toolkit{TOOLKIT_TEST_DATA};
  struct Handler : toolkit::WindowHandler {
    pages::DeferredViews* views = nullptr;
    void Notify(const toolkit::Notification&) override {}
    toolkit::CreatedControl CreateControl(std::string_view element) override {
      if (element == "TestPage") return toolkit::CreatedControl::FromLayout("page.ui");
      return {};
    }
    void OnPageBuilt(std::string_view page) override { views->Built(page); }
  } handler;
  QtWindow window{toolkit, handler};
  ASSERT_TRUE(window.Create("main.ui"));
  pages::DeferredViews views{window};
  handler.views = &views;

  Strings shown;
  views.Show("MS_Page_UI", "text", [&] { shown.push_back("first text"); });
  views.Show("MS_Page_UI", "colour", [&] { shown.push_back("colour"); });
  views.Show("MS_Page_UI", "text", [&] { shown.push_back("second text"); });
  views.Show("kb_page", "text", [&] { shown.push_back("with the window"); });
  EXPECT_EQ(shown, Strings{"with the window"});

  ASSERT_NE(window.FindControl("ms_key_butt_keysave"), nullptr);
  EXPECT_EQ(shown, (Strings{"with the window", "colour", "second text"}));
  views.Show("MS_Page_UI", "text", [&] { shown.push_back("built"); });
  EXPECT_EQ(shown.back(), "built");
}

}  // namespace
}  // namespace talvo::app
