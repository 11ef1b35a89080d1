// The controls as layouts and feature code meet them: registered with the
// toolkit, built from a layout file, reached through the Control interface
// and described by the automation socket.
#include "app/controls/custom_controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTest>

#include "app/automation/automation_server.h"
#include "app/automation/scripted_dialogs.h"
#include "app/controls/chart_view.h"
#include "app/controls/circle_progress.h"
#include "app/controls/device_key_button.h"
#include "app/controls/tint_image.h"
#include "app/controls/wnd_host.h"
#include "controls_test_util.h"

namespace talvo::app {
namespace {

class NoPages : public toolkit::WindowHandler {
 public:
  void Notify(const toolkit::Notification&) override {}
};

TEST(CustomControlRegistration, ClassesInOrderThenTheLayoutNames) {
  QtToolkit toolkit{"."};
  QStringList names;
  for (const auto& [name, factory] : CustomControlFactories(toolkit)) names << name;
  EXPECT_EQ(names, (QStringList{"CCircleProgressUI", "CChartViewUI", "CWndUI", "CDeviceKeyButtonUI", "TintImage",
                                "DeviceKeyButton", "CircleProgress", "QComboBox"}));

  RegisterCustomControls(toolkit);
  auto make = [&](const char* name) {
    const auto* factory = toolkit.FindFactory(name);
    return factory ? std::unique_ptr<QWidget>((*factory)(nullptr)) : nullptr;
  };
  EXPECT_TRUE(qobject_cast<CCircleProgressUI*>(make("CCircleProgressUI").get()));
  EXPECT_TRUE(qobject_cast<CCircleProgressUI*>(make("CircleProgress").get()));
  EXPECT_TRUE(qobject_cast<CChartViewUI*>(make("CChartViewUI").get()));
  EXPECT_TRUE(qobject_cast<CWndUI*>(make("CWndUI").get()));
  EXPECT_TRUE(qobject_cast<CDeviceKeyButtonUI*>(make("CDeviceKeyButtonUI").get()));
  EXPECT_TRUE(qobject_cast<CDeviceKeyButtonUI*>(make("DeviceKeyButton").get()));
  EXPECT_TRUE(qobject_cast<CTintImageUI*>(make("TintImage").get()));
  EXPECT_TRUE(dynamic_cast<PopupOnDemandCombo*>(make("QComboBox").get()));
}

class LayoutTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(skin.isValid());
    ASSERT_TRUE(QFile::copy(CONTROLS_TEST_DATA "/controls.ui", skin.filePath("controls.ui")));
    ASSERT_TRUE(test::WriteImage(skin.filePath("light.png"), {8, 8}, {0, 0, 8, 8}, Qt::white));
    ASSERT_TRUE(test::WriteImage(skin.filePath("led.png"), {8, 8}, {0, 0, 8, 8}, Qt::white));
    RegisterCustomControls(toolkit);
    ASSERT_TRUE(window.Create("controls.ui"));
  }
  template <typename T>
  T* Find(const char* name) {
    return window.Widget()->findChild<T*>(name);
  }

  QTemporaryDir skin;
  QtToolkit toolkit{skin.path()};
  NoPages handler;
  QtWindow window{toolkit, handler};
};

TEST_F(LayoutTest, LayoutNamesBuildTheControlsWithTheirAttributes) {
  auto* key = Find<CDeviceKeyButtonUI>("kb_key_1");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->LightImage(), "light.png");
  EXPECT_EQ(key->KeySetImage(), "mark.png");
  EXPECT_TRUE(Find<CDeviceKeyButtonUI>("kb_key_2"));
  auto* ring = Find<CCircleProgressUI>("setting_progress");
  ASSERT_TRUE(ring);
  EXPECT_EQ(ring->ForeColor(), QColor(10, 20, 30));
  EXPECT_TRUE(Find<CCircleProgressUI>("ring_2"));
  auto* chart = Find<CChartViewUI>("chart");
  ASSERT_TRUE(chart);
  EXPECT_EQ(chart->CurrentView(), CChartViewUI::View::Histogram);
  EXPECT_EQ(chart->PillarImageWidth(), 12);
  EXPECT_TRUE(Find<CWndUI>("host"));
  auto* led = Find<CTintImageUI>("ms_dkey_0");
  ASSERT_TRUE(led);
  EXPECT_EQ(led->Image(), "led.png");
}

TEST_F(LayoutTest, ControlInterfaceReachesKeyButtonsAndLeavesOthersAlone) {
  toolkit::Control* key = window.FindControl("kb_key_1");
  ASSERT_TRUE(key);
  key->SetLight(0x00AA0011, 90, true);
  key->SetKeySetHidden(false);
  auto* button = Find<CDeviceKeyButtonUI>("kb_key_1");
  EXPECT_EQ(button->LightColour(), 0x00AA0011u);
  EXPECT_EQ(button->LightAlpha(), 90);
  EXPECT_TRUE(button->LightOn());
  EXPECT_FALSE(button->KeySetHidden());
  EXPECT_EQ(key->LightColour(), 0x00AA0011u);
  EXPECT_EQ(key->LightAlpha(), 90);
  EXPECT_TRUE(key->IsLightOn());
  EXPECT_FALSE(key->IsKeySetHidden());

  toolkit::Control* led = window.FindControl("ms_dkey_0");
  led->SetLight(0x123456, 10, true);
  led->SetKeySetHidden(false);
  EXPECT_EQ(led->LightColour(), 0u);
  EXPECT_FALSE(led->IsLightOn());
  EXPECT_FALSE(Find<QWidget>("ms_dkey_0")->property("lightOn").isValid());
  // Previews report their tint through the changer properties.
  EXPECT_EQ(led->ChangerColor(), 0xFFFFFFFFu);
  EXPECT_EQ(led->ChangerAlpha(), 255);
  led->SetChangerColor(0xFF00FF00);
  led->SetChangerAlpha(150);
  EXPECT_EQ(Find<CTintImageUI>("ms_dkey_0")->ChangerColor(), 0xFF00FF00u);
  EXPECT_EQ(Find<CTintImageUI>("ms_dkey_0")->ChangerAlpha(), 150);
  // A control that does not declare them keeps them as its own.
  toolkit::Control* plain = window.FindControl("host");
  plain->SetChangerColor(0xFF123456);
  plain->SetChangerAlpha(20);
  EXPECT_EQ(plain->ChangerColor(), 0xFF123456u);
  EXPECT_EQ(plain->ChangerAlpha(), 20);
  EXPECT_EQ(Find<QWidget>("host")->property("changerColor").toUInt(), 0xFF123456u);
}

QJsonObject Ask(QLocalSocket& socket, const QByteArray& line) {
  socket.write(line + '\n');
  socket.flush();
  if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, 5000)) return {};
  return QJsonDocument::fromJson(socket.readLine()).object();
}

TEST_F(LayoutTest, AutomationDescribesKeyLightsAndPreviewTints) {
  ScriptedDialogs dialogs;
  AutomationServer server(window, dialogs, nullptr, nullptr);
  ASSERT_TRUE(server.Listen(skin.filePath("a.sock")));
  QLocalSocket socket;
  socket.connectToServer(skin.filePath("a.sock"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return socket.state() == QLocalSocket::ConnectedState; }, 5000));

  QJsonObject key = Ask(socket, R"({"cmd":"get","name":"kb_key_2"})");
  EXPECT_EQ(key.value("light_colour").toString(), "ffff0000") << "the default 255 is red";
  EXPECT_EQ(key.value("light_alpha").toInt(), 200);
  EXPECT_EQ(key.value("light_on").toBool(true), false);
  EXPECT_EQ(key.value("keyset_hidden").toBool(false), true);

  // red 0x11, green 0x22, blue 0x33 packed as page colours are.
  window.FindControl("kb_key_2")->SetLight(0x11 | 0x33 << 8 | 0x22 << 16, 150, true);
  window.FindControl("kb_key_2")->SetKeySetHidden(false);
  key = Ask(socket, R"({"cmd":"get","name":"kb_key_2"})");
  EXPECT_EQ(key.value("light_colour").toString(), "ff112233");
  EXPECT_EQ(key.value("light_alpha").toInt(), 150);
  EXPECT_EQ(key.value("light_on").toBool(false), true);
  EXPECT_EQ(key.value("keyset_hidden").toBool(true), false);

  const QJsonObject led = Ask(socket, R"({"cmd":"get","name":"ms_dkey_0"})");
  EXPECT_EQ(led.value("changer_colour").toString(), "ffffffff");
  EXPECT_EQ(led.value("changer_alpha").toInt(), 255);
  EXPECT_FALSE(led.contains("light_on"));
  EXPECT_FALSE(Ask(socket, R"({"cmd":"get","name":"chart"})").contains("light_colour"));
}

}  // namespace
}  // namespace talvo::app
