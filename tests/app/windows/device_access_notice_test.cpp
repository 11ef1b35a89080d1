#include "app/windows/device_access_notice.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {
namespace {

using device::Peripheral;

TEST(DeviceAccessNotice, FillsTheDeviceAndTheRuleInAsTextOnly) {
  struct Case {
    const char* pattern;
    const char* device;
    const char* rule;
    const char* expected;
  };
  const Case cases[] = {
      {"%s: copy %s, then reload", "Mouse", "/r/70-talvo.rules", "Mouse: copy /r/70-talvo.rules, then reload"},
      // What is filled in is never read as a pattern.
      {"100%% %s and %s", "%s%d%%", "%s", "100% %s%d%% and %s"},
      {"%s %s %s %d end%", "a", "b", "a b %s %d end%"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeviceAccessNotice::FormatText(c.pattern, c.device, c.rule), c.expected) << c.pattern;
}

// Shows no window: records the texts and lets a test act while a box is open.
class RecordingDialogs final : public Dialogs {
 public:
  std::vector<std::string> shown;
  std::function<void()> whileShowing;

  int ShowMessage(Window*, const std::string& text, bool) override {
    shown.push_back(text);
    if (whileShowing) std::exchange(whileShowing, nullptr)();
    return 1;
  }
  std::optional<std::string> OpenFile(Window*, const std::string&) override { return std::nullopt; }
  std::optional<std::string> SaveFile(Window*, const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

class NoQueries : public WindowHandler {
 public:
  void Notify(const Notification&) override {}
};

TEST(DeviceAccessNotice, OneBoxAtATimeAndNoSecondOneForADeviceWhoseBoxIsOpen) {
  QtToolkit toolkit{TALVO_SKIN_DIR};
  ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
  RecordingDialogs dialogs;
  toolkit.SetDialogs(&dialogs);
  NoQueries handler;
  QtWindow window(toolkit, handler);
  ASSERT_TRUE(window.Create("XML_MSG"));
  DeviceAccessNotice notice(toolkit, window, "/rules/70-talvo.rules");

  dialogs.whileShowing = [&] {
    notice.Denied(Peripheral::Mouse);
    notice.Denied(Peripheral::Keyboard);
    EXPECT_EQ(dialogs.shown.size(), 1u) << "a second box opened over the first";
  };
  notice.Denied(Peripheral::Mouse);

  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_TRUE(dialogs.shown[0].starts_with("Mouse: ")) << dialogs.shown[0];
  EXPECT_TRUE(dialogs.shown[1].starts_with("Keyboard: ")) << dialogs.shown[1];

  // Once its box is closed, a device told about again gets a new one.
  notice.Denied(Peripheral::Mouse);
  EXPECT_EQ(dialogs.shown.size(), 3u);
}

}  // namespace
}  // namespace talvo::app
