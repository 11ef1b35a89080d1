#include "app/capture/device_hook.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QShortcut>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <vector>

namespace talvo::capture {
namespace {

using platform::CaptureMode;

struct Delivered {
  int message;
  int code;  // virtual-key code or mouse message
  bool down;

  friend bool operator==(const Delivered&, const Delivered&) = default;
};

class RecordingSink final : public platform::CaptureSink {
 public:
  void OnCaptureKey(int message, const platform::CapturedKey& key) override {
    got.push_back({message, key.vk, key.down});
  }
  void OnCaptureMouse(int message, int mouseMessage) override { got.push_back({message, mouseMessage, true}); }
  std::vector<Delivered> got;
};

// A widget that takes the keys it is given.
class KeyTarget final : public QWidget {
 public:
  KeyTarget() {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(100, 40);
  }
  std::vector<int> keys;
  int mousePresses = 0;

 protected:
  void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
  void mousePressEvent(QMouseEvent*) override { ++mousePresses; }
};

class DeviceHookTest : public testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&top_);
    layout->addWidget(target_ = new KeyTarget);
    layout->addWidget(edit_ = new QLineEdit);
    top_.show();
    top_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&top_));
    target_->setFocus();
  }

  // A key as the desktop delivers it: to the window, with the evdev code
  // as an xkb key code.
  void SendKey(uint32_t evdev, int qtKey, bool press, const QString& text = {}, bool autoRepeat = false) {
    QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier, evdev + 8, 0, 0, text,
                autoRepeat);
    QCoreApplication::sendEvent(top_.windowHandle(), &e);
  }

  QWidget top_;
  KeyTarget* target_ = nullptr;
  QLineEdit* edit_ = nullptr;
  RecordingSink sink_;
  CDeviceHook hook_;
};

struct KeyCase {
  const char* name;
  uint32_t evdev;
  int qtKey;
  int vk;  // 0: the key has none
  bool reachesWidget;
};

class FilteredKeyTest : public DeviceHookTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(FilteredKeyTest, GoesToTheHandlerAndOnlyLockKeysGoOn) {
  const KeyCase& c = GetParam();
  hook_.Install(CaptureMode::kMouseMacro, sink_, true, false);
  SendKey(c.evdev, c.qtKey, true);
  const std::vector<Delivered> expected =
      c.vk ? std::vector<Delivered>{{platform::kMsgMouseMacroKey, c.vk, true}} : std::vector<Delivered>{};
  EXPECT_EQ(sink_.got, expected);
  EXPECT_EQ(target_->keys.size(), c.reachesWidget ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Keys, FilteredKeyTest,
                         testing::Values(KeyCase{"A", KEY_A, Qt::Key_A, 0x41, false},
                                         KeyCase{"LeftCtrl", KEY_LEFTCTRL, Qt::Key_Control, 0xA2, false},
                                         KeyCase{"KeypadEnter", KEY_KPENTER, Qt::Key_Enter, 0x101, false},
                                         KeyCase{"WithoutVirtualKey", KEY_MENU, Qt::Key_Menu, 0, false},
                                         KeyCase{"CapsLock", KEY_CAPSLOCK, Qt::Key_CapsLock, 0x14, true},
                                         KeyCase{"NumLock", KEY_NUMLOCK, Qt::Key_NumLock, 0x90, true},
                                         KeyCase{"ScrollLock", KEY_SCROLLLOCK, Qt::Key_ScrollLock, 0x91, true}),
                         [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(DeviceHookTest, HeldKeyRepeatsAsPressesOnly) {
  hook_.Install(CaptureMode::kKeyboardMacro, sink_, true, false);
  SendKey(KEY_A, Qt::Key_A, true);
  SendKey(KEY_A, Qt::Key_A, false, {}, true);
  SendKey(KEY_A, Qt::Key_A, true, {}, true);
  SendKey(KEY_A, Qt::Key_A, false);
  const int m = platform::kMsgKeyboardMacroKey;
  EXPECT_EQ(sink_.got, (std::vector<Delivered>{{m, 0x41, true}, {m, 0x41, true}, {m, 0x41, false}}));
}

TEST_F(DeviceHookTest, TextEntryKeepsTypingOnlyDuringSingleKeyCapture) {
  edit_->setFocus();
  hook_.Install(CaptureMode::kMouseSingleKey, sink_, true, false);
  SendKey(KEY_A, Qt::Key_A, true, "a");
  EXPECT_EQ(edit_->text(), "a");
  EXPECT_TRUE(sink_.got.empty());
  hook_.Install(CaptureMode::kKeyboardMacro, sink_, true, false);
  SendKey(KEY_B, Qt::Key_B, true, "b");
  EXPECT_EQ(edit_->text(), "a") << "recording takes every key";
  EXPECT_EQ(sink_.got.size(), 1u);
}

TEST_F(DeviceHookTest, WindowShortcutsDoNotFire) {
  int fired = 0;
  QShortcut shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &top_);
  QObject::connect(&shortcut, &QShortcut::activated, [&] { ++fired; });
  QTest::keyClick(top_.windowHandle(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(fired, 1) << "the shortcut works without capture";
  hook_.Install(CaptureMode::kKeyboardSingleKey, sink_, true, false);
  QTest::keyClick(top_.windowHandle(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);
}

TEST_F(DeviceHookTest, MouseButtonsGoToTheHandlerAndOnToTheWidget) {
  hook_.Install(CaptureMode::kKeyboardMacro, sink_, false, true);
  const QPoint at = target_->mapTo(&top_, target_->rect().center());
  QTest::mousePress(top_.windowHandle(), Qt::RightButton, {}, at);
  QTest::mouseRelease(top_.windowHandle(), Qt::RightButton, {}, at);
  const int m = platform::kMsgKeyboardMacroMouse;
  EXPECT_EQ(sink_.got,
            (std::vector<Delivered>{{m, platform::kWmRButtonDown, true}, {m, platform::kWmRButtonUp, true}}));
  EXPECT_EQ(target_->mousePresses, 1);
  SendKey(KEY_A, Qt::Key_A, true);
  EXPECT_EQ(target_->keys.size(), 1u) << "without the keyboard part keys are not taken";
}

TEST_F(DeviceHookTest, CapturePausesWhileAnotherProgramIsInFront) {
  hook_.Install(CaptureMode::kKeyboardMacro, sink_, true, true);
  Q_EMIT qApp->applicationStateChanged(Qt::ApplicationInactive);
  EXPECT_FALSE(hook_.KeyboardOn());
  EXPECT_FALSE(hook_.MouseOn());
  SendKey(KEY_A, Qt::Key_A, true);
  EXPECT_TRUE(sink_.got.empty());
  EXPECT_EQ(target_->keys.size(), 1u);
  Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
  SendKey(KEY_B, Qt::Key_B, true);
  EXPECT_EQ(sink_.got, (std::vector<Delivered>{{platform::kMsgKeyboardMacroKey, 0x42, true}}));
  hook_.Remove();
  Q_EMIT qApp->applicationStateChanged(Qt::ApplicationInactive);
  Q_EMIT qApp->applicationStateChanged(Qt::ApplicationActive);
  EXPECT_FALSE(hook_.KeyboardOn()) << "a removed capture stays off";
}

struct ModeCase {
  const char* name;
  CaptureMode mode;
  int keyMessage;
  int mouseMessage;  // 0: mouse events are not handed on
};

class ScriptedEventTest : public DeviceHookTest, public testing::WithParamInterface<ModeCase> {};

// Scripted events enter where the desktop's do.
TEST_P(ScriptedEventTest, ArriveAsTheModesMessages) {
  const ModeCase& c = GetParam();
  hook_.Install(c.mode, sink_, true, true);
  EXPECT_TRUE(hook_.KeyEvent({.vk = 0x41, .down = true}));
  EXPECT_FALSE(hook_.KeyEvent({.vk = 0x14, .down = true})) << "Caps Lock goes on";
  hook_.MouseButton(platform::kWmLButtonDown);
  std::vector<Delivered> expected{{c.keyMessage, 0x41, true}, {c.keyMessage, 0x14, true}};
  if (c.mouseMessage) expected.push_back({c.mouseMessage, platform::kWmLButtonDown, true});
  EXPECT_EQ(sink_.got, expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScriptedEventTest,
                         testing::Values(ModeCase{"KeyboardSingleKey", CaptureMode::kKeyboardSingleKey, 0x801, 0},
                                         ModeCase{"KeyboardMacro", CaptureMode::kKeyboardMacro, 0x803, 0x804},
                                         ModeCase{"MouseSingleKey", CaptureMode::kMouseSingleKey, 0x810, 0},
                                         ModeCase{"MouseMacro", CaptureMode::kMouseMacro, 0x812, 0x813}),
                         [](const testing::TestParamInfo<ModeCase>& info) { return info.param.name; });

}  // namespace
}  // namespace talvo::capture
