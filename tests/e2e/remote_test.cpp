// Other programs driving a running Talvo: a lighting program through the
// SDK server (the public openrgb-sdk client, run by node) and scripts
// through talvoctl on the session bus. Each change must reach the device
// and the page exactly as the same change made on the page does.
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/talvo_run.h"
#include "tests/support/private_bus.h"

namespace talvo::e2e {
namespace {

// Every request but the lighting frames the device received since the clear.
QStringList Requests(TalvoRun& talvo, const char* device) {
  QStringList out;
  for (const QJsonValue& v : talvo.Request(Sim("traffic", device)).value("requests").toArray()) {
    const QString hex = v.toObject().value("hex").toString();
    if (hex.mid(6, 2) != QLatin1String("12")) out << hex;
  }
  return out;
}

// The brightness levels of slider positions 0..4, as the mouse scales.
int Scaled(int component, int sliderPosition) {
  static constexpr int kLevels[] = {0, 90, 150, 200, 255};
  return component * (kLevels[sliderPosition] + 1) >> 8;
}

// An SDK packet header: magic, device index, packet id, body size.
QByteArray Header(uint32_t device, uint32_t id, uint32_t size) {
  QByteArray h("ORGB");
  for (uint32_t v : {device, id, size})
    for (int i = 0; i < 4; ++i) h += char(v >> (8 * i));
  return h;
}

// At least `n` bytes from the socket, or what came before the time-out.
QByteArray ReadAtLeast(QTcpSocket& s, int n) {
  QByteArray bytes = s.readAll();
  while (bytes.size() < n && s.waitForReadyRead(kWaitTimeoutMs)) bytes += s.readAll();
  return bytes;
}

quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

// A mouse lighting mode chosen on its page.
void ChooseMouseMode(TalvoRun& talvo, int index) {
  for (const char* tab : {"ms_tab", "ms_deng_Op_tab"})
    talvo.Request(QJsonObject{{"cmd", "check"}, {"name", tab}, {"on", true}});
  talvo.Request(QJsonObject{{"cmd", "select"}, {"name", "ms_deng_combo_modeSelect2"}, {"index", index}});
}

// The lighting program: tests/e2e/sdk_client.js over stdin and stdout.
class SdkClient {
 public:
  bool Start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NODE_PATH"), QStringLiteral(TALVO_NODE_MODULES));
    node_.setProcessEnvironment(env);
    node_.start(QStringLiteral("node"), {QStringLiteral(TALVO_SDK_CLIENT)});
    return node_.waitForStarted(kStartTimeoutMs);
  }
  QJsonObject Ask(const QJsonObject& command) {
    node_.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    while (!node_.canReadLine())
      if (!node_.waitForReadyRead(kWaitTimeoutMs)) return {{"ok", false}, {"error", "no answer"}};
    return QJsonDocument::fromJson(node_.readLine()).object();
  }
  ~SdkClient() {
    node_.closeWriteChannel();
    if (!node_.waitForFinished(2000)) node_.kill();
  }

 private:
  QProcess node_;
};

class SdkServerTest : public E2eTest {
 protected:
  TalvoRun& LaunchAll() {
    port_ = FreePort();
    TalvoRun& talvo = Launch(Environment(), QStringLiteral("mouse,keyboard,mousepad"),
                             {QStringLiteral("--sdk=%1").arg(port_)});
    EXPECT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
    Pause(talvo, 1500);  // past the full reads
    return talvo;
  }
  quint16 port_ = 0;
};

TEST_F(SdkServerTest, ALightingProgramListsStreamsToAndSwitchesTheDevicesAsThePageDoes) {
  TalvoRun& talvo = LaunchAll();
  SdkClient client;
  ASSERT_TRUE(client.Start());
  ASSERT_TRUE(client.Ask({{"cmd", "connect"}, {"port", port_}}).value("ok").toBool());

  // Three controllers with their LEDs, the page's modes and Direct.
  const QJsonArray controllers = client.Ask({{"cmd", "list"}}).value("controllers").toArray();
  ASSERT_EQ(controllers.size(), 3);
  const int leds[] = {20, 126, 15};
  for (int i = 0; i < 3; ++i) {
    const QJsonObject c = controllers[i].toObject();
    EXPECT_EQ(c.value("leds").toInt(), leds[i]) << i;
    EXPECT_EQ(c.value("modes").toArray().last().toString(), "Direct") << i;
  }
  const QJsonArray mouseModes = controllers[0].toObject().value("modes").toArray();
  const QJsonArray pageModes = talvo.Get("ms_deng_combo_modeSelect2").value("items").toArray();
  EXPECT_EQ(mouseModes.size(), pageModes.size() + 1);
  EXPECT_EQ(mouseModes[2].toString(), pageModes[2].toString());
  EXPECT_EQ(controllers[1].toObject().value("zones").toArray()[0].toObject().value("matrix").toArray(),
            (QJsonArray{6, 23}));

  // Direct: the client's colour on every LED of the mouse, scaled by its
  // brightness, and on the page; then one LED alone.
  const int brightness = talvo.Get("ms_deng_light_slider").value("value").toInt();
  ASSERT_TRUE(client.Ask({{"cmd", "mode"}, {"device", 0}, {"mode", "Direct"}}).value("ok").toBool());
  client.Ask({{"cmd", "leds"}, {"device", 0}, {"colour", "ff8000"}});
  const QByteArray orange = QByteArray(1, char(Scaled(255, brightness))) + char(Scaled(128, brightness)) + char(0);
  EXPECT_TRUE(WaitFor(talvo, [&] { return SimMemory(talvo, "frame", "mouse").left(60) == orange.repeated(20); }))
      << SimMemory(talvo, "frame", "mouse").left(60).toHex().toStdString();
  EXPECT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_dkey_0").value("changer_colour").toString() == "ffff8000"; }));
  client.Ask({{"cmd", "led"}, {"device", 0}, {"led", 19}, {"colour", "0000ff"}});
  EXPECT_TRUE(WaitFor(talvo, [&] {
    const QByteArray frame = SimMemory(talvo, "frame", "mouse");
    return frame.mid(54, 6) == orange + QByteArray(2, 0) + char(Scaled(255, brightness));
  }));

  // A device mode chosen by the client: the same pushes as choosing it on
  // the page, and the page shows it.
  talvo.Request(Sim("clear", "mouse"));
  ASSERT_TRUE(client.Ask({{"cmd", "mode"}, {"device", 0}, {"mode", pageModes[2].toString()}}).value("ok").toBool());
  ASSERT_TRUE(WaitFor(talvo, [&] { return !Requests(talvo, "mouse").isEmpty(); }));
  Pause(talvo, 300);
  const QStringList byClient = Requests(talvo, "mouse");
  EXPECT_EQ(talvo.Get("ms_deng_combo_modeSelect2").value("index").toInt(), 2);
  ChooseMouseMode(talvo, 0);
  Pause(talvo, 300);
  talvo.Request(Sim("clear", "mouse"));
  ChooseMouseMode(talvo, 2);
  Pause(talvo, 400);
  EXPECT_EQ(Requests(talvo, "mouse"), byClient);

  // The mousepad streamed, then given back when the client leaves.
  client.Ask({{"cmd", "custom"}, {"device", 2}});
  client.Ask({{"cmd", "zone"}, {"device", 2}, {"zone", 0}, {"colour", "00ff00"}, {"count", 15}});
  const int padBrightness = talvo.Get("mp_deng_light_slider").value("value").toInt();
  const QByteArray green = QByteArray(1, 0) + char(Scaled(255, padBrightness)) + char(0);
  ASSERT_TRUE(WaitFor(talvo, [&] { return SimMemory(talvo, "frame", "mousepad").left(45) == green.repeated(15); }))
      << SimMemory(talvo, "frame", "mousepad").left(45).toHex().toStdString();

  // The keyboard unplugged: a client of protocol 1 or later hears the list
  // changed (the npm client drops that news unless a request of its own is
  // waiting, so the news is read off a socket of the test's own).
  QTcpSocket listener;
  listener.connectToHost(QHostAddress::LocalHost, port_);
  ASSERT_TRUE(listener.waitForConnected(kWaitTimeoutMs));
  listener.write(Header(0, 40, 4) + QByteArray("\x04\0\0\0", 4));
  ASSERT_EQ(ReadAtLeast(listener, 20).size(), 20);
  talvo.Request(Sim("unplug", "keyboard"));
  EXPECT_EQ(ReadAtLeast(listener, 16).left(16), Header(0, 100, 0));
  EXPECT_TRUE(WaitFor(talvo, [&] { return client.Ask({{"cmd", "list"}}).value("controllers").toArray().size() == 2; }));

  client.Ask({{"cmd", "quit"}});
  EXPECT_TRUE(WaitFor(talvo, [&] { return SimMemory(talvo, "frame", "mousepad").left(45) != green.repeated(15); }))
      << "the mousepad's own effect did not come back";
}

// Bytes no client of ours sends: the connection is closed or the packet
// dropped, and another client is served all the while.
TEST_F(SdkServerTest, HostilePacketsCloseOnlyTheirOwnConnection) {
  TalvoRun& talvo = LaunchAll();
  const auto count = [&](QTcpSocket& s) -> int {
    s.write(Header(0, 0, 0));
    const QByteArray reply = ReadAtLeast(s, 20);
    return reply.size() >= 20 ? uint8_t(reply[16]) : -1;
  };
  QTcpSocket steady;
  steady.connectToHost(QHostAddress::LocalHost, port_);
  ASSERT_TRUE(steady.waitForConnected(kWaitTimeoutMs));
  EXPECT_EQ(count(steady), 3);

  QTcpSocket huge;
  huge.connectToHost(QHostAddress::LocalHost, port_);
  ASSERT_TRUE(huge.waitForConnected(kWaitTimeoutMs));
  huge.write(Header(0, 1050, 0xFFFFFFFF) + QByteArray(64, 'x'));
  EXPECT_TRUE(huge.state() == QAbstractSocket::UnconnectedState || huge.waitForDisconnected(kWaitTimeoutMs))
      << "a 4 GiB packet did not close its connection";

  QTcpSocket halfway;
  halfway.connectToHost(QHostAddress::LocalHost, port_);
  ASSERT_TRUE(halfway.waitForConnected(kWaitTimeoutMs));
  halfway.write(Header(0, 9999, 0) + Header(7, 1052, 8).left(10));  // unknown id, then cut mid-header
  halfway.waitForBytesWritten(kWaitTimeoutMs);
  halfway.abort();

  EXPECT_EQ(count(steady), 3);
  EXPECT_TRUE(talvo.Request("ready").value("ok").toBool());
}

// talvoctl with a private session bus in place of the desktop's.
class BusServiceTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    if (HasFatalFailure()) return;
    if (!test_support::PrivateBus::Available()) GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(bus_.Start()) << qPrintable(bus_.Error());
  }
  struct Result {
    int exit = -1;
    QString out;
    QString err;
  };
  Result Ctl(const QStringList& arguments) {
    QProcess ctl;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.Address());
    ctl.setProcessEnvironment(env);
    ctl.start(QStringLiteral(TALVOCTL_BINARY), arguments);
    if (!ctl.waitForFinished(kWaitTimeoutMs)) return {};
    return {ctl.exitCode(), QString::fromUtf8(ctl.readAllStandardOutput()),
            QString::fromUtf8(ctl.readAllStandardError())};
  }
  test_support::PrivateBus bus_;
};

TEST_F(BusServiceTest, TalvoctlChangesThePageAndTheDeviceAsThePageDoes) {
  TalvoRun& talvo = Launch(Variables{{"DBUS_SESSION_BUS_ADDRESS", bus_.Address()}}, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
  Pause(talvo, 1500);  // past the full reads

  const Result status = Ctl({"status", "--json"});
  ASSERT_EQ(status.exit, 0) << qPrintable(status.err);
  const QJsonArray devices = QJsonDocument::fromJson(status.out.toUtf8()).object().value("devices").toArray();
  ASSERT_EQ(devices.size(), 3);
  EXPECT_EQ(devices[0].toObject().value("device").toString(), "mouse");

  // A lighting change by script, then the same change by hand from where
  // the page was: the mouse holds the same settings and the page shows the same.
  const QByteArray before = SimMemory(talvo, "settings", "mouse");
  const int mode = talvo.Get("ms_deng_combo_modeSelect2").value("index").toInt();
  const int brightness = talvo.Get("ms_deng_light_slider").value("value").toInt();
  const Result light = Ctl({"light", "mouse", "2", "--brightness", "4", "--colour", "0a141e"});
  ASSERT_EQ(light.exit, 0) << qPrintable(light.err);
  Pause(talvo, 400);
  const QByteArray byScript = SimMemory(talvo, "settings", "mouse");
  EXPECT_NE(byScript, before);
  EXPECT_EQ(talvo.Get("ms_deng_combo_modeSelect2").value("index").toInt(), 2);
  EXPECT_EQ(talvo.Get("ms_deng_light_slider").value("value").toInt(), 4);
  // Back by hand, then the same change by hand.
  ChooseMouseMode(talvo, mode);
  talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "ms_deng_light_slider"}, {"value", brightness}});
  talvo.Request(QJsonObject{{"cmd", "pick_colour"}, {"name", "ms_deng_Color_Pallet"}, {"argb", "ffff0000"}});
  Pause(talvo, 400);
  ASSERT_NE(SimMemory(talvo, "settings", "mouse"), byScript);
  ChooseMouseMode(talvo, 2);
  talvo.Request(QJsonObject{{"cmd", "set_value"}, {"name", "ms_deng_light_slider"}, {"value", 4}});
  talvo.Request(QJsonObject{{"cmd", "pick_colour"}, {"name", "ms_deng_Color_Pallet"}, {"argb", "ff0a141e"}});
  Pause(talvo, 400);
  EXPECT_EQ(SimMemory(talvo, "settings", "mouse").toHex(), byScript.toHex());

  // DPI, onboard profile and storing keys go through the page too.
  const Result dpi = Ctl({"dpi", "1", "1000"});
  ASSERT_EQ(dpi.exit, 0) << qPrintable(dpi.err);
  EXPECT_TRUE(WaitFor(talvo, [&] {
    const QJsonArray stages = QJsonDocument::fromJson(Ctl({"status", "--json"}).out.toUtf8())
                                  .object().value("devices").toArray()[0].toObject()
                                  .value("dpi").toObject().value("stages").toArray();
    return !stages.isEmpty() && stages[0].toInt() == 1000;
  }));
  talvo.Request(Sim("clear", "mouse"));
  ASSERT_EQ(Ctl({"onboard", "mouse", "2"}).exit, 0);
  EXPECT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_profile_1").value("checked").toBool(); }));
  talvo.Request(Sim("clear", "mouse"));
  ASSERT_EQ(Ctl({"store", "mouse"}).exit, 0);
  EXPECT_TRUE(WaitFor(talvo, [&] {
    const auto commands = SequenceCommands(talvo, "mouse");
    return std::find(commands.begin(), commands.end(), 9) != commands.end();
  })) << "the key map was not written";

  // A profile chosen by name, as in its list.
  const QJsonObject keyList = talvo.Get("ms_key_profile_combo");
  const QString keyProfile = keyList.value("items").toArray().last().toString();
  ASSERT_EQ(Ctl({"profile", "select", "mouse", "key", keyProfile}).exit, 0);
  EXPECT_EQ(talvo.Get("ms_key_profile_combo").value("text").toString(), keyProfile);

  // Refusals: a reason, and nothing changed.
  QByteArray settled;
  ASSERT_TRUE(WaitFor(talvo, [&] {
    const QByteArray now = SimMemory(talvo, "settings", "mouse");
    const bool still = now == settled;
    settled = now;
    Pause(talvo, 300);
    return still;
  })) << "the store did not settle";
  for (const QStringList& bad : {QStringList{"light", "mouse", "No such mode"}, QStringList{"dpi", "1", "1001"},
                                 QStringList{"profile", "select", "mousepad", "key", "x"}}) {
    const Result refused = Ctl(bad);
    EXPECT_EQ(refused.exit, 3) << qPrintable(bad.join(' '));
    EXPECT_FALSE(refused.err.trimmed().isEmpty()) << qPrintable(bad.join(' '));
  }
  Pause(talvo, 300);
  EXPECT_EQ(SimMemory(talvo, "settings", "mouse").toHex().toStdString(), settled.toHex().toStdString());
}

// A script calling faster than the devices work: a burst of stores stores
// once, and the others are refused at once rather than queued for minutes;
// an argument of a megabyte is refused before it is looked at, and the
// refusal quotes no more than its start.
TEST_F(BusServiceTest, ABurstOfStoresStoresOnceAndAnOverlongArgumentIsRefusedShort) {
  TalvoRun& talvo = Launch(Variables{{"DBUS_SESSION_BUS_ADDRESS", bus_.Address()}});
  OpenMouseTab(talvo, "ms_key_tab");
  QDBusConnection bus = QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("script"));
  ASSERT_TRUE(bus.isConnected());
  const auto call = [](const char* method, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.talvo.Talvo1"),
                                                          QStringLiteral("/org/talvo/Talvo1"),
                                                          QStringLiteral("org.talvo.Talvo1"), QLatin1String(method));
    message.setArguments(arguments);
    return message;
  };

  std::vector<QDBusPendingCall> stores;
  for (int i = 0; i < 100; ++i) stores.push_back(bus.asyncCall(call("Store", {QStringLiteral("mouse")})));
  int stored = 0;
  for (QDBusPendingCall& store : stores) {
    store.waitForFinished();
    stored += !store.isError();
    EXPECT_TRUE(!store.isError() || store.error().message() == "the mouse is still storing; ask again once it is done")
        << qPrintable(store.error().message());
  }
  EXPECT_TRUE(stored == 1 || stored == 2) << stored;
  ASSERT_TRUE(WaitFor(talvo, [&] { return !talvo.Get("setting_progress").value("visible").toBool(); }, 20000));
  const std::vector<int> commands = Collapsed(SequenceCommands(talvo));
  EXPECT_EQ(std::count(commands.begin(), commands.end(), 9), stored) << "key map writes";

  const QString huge(1 << 20, QLatin1Char('n'));
  for (const QDBusMessage& overlong :
       {call("SelectProfile", {QStringLiteral("mouse"), QStringLiteral("key"), huge}),
        call("SetLighting", {QStringLiteral("mouse"), huge, -1, -1, QString()}),
        call("Store", {huge})}) {
    const QDBusMessage reply = bus.call(overlong);
    EXPECT_EQ(reply.errorName(), "org.talvo.Talvo1.Error.InvalidArgument") << qPrintable(overlong.member());
    EXPECT_LT(reply.errorMessage().size(), 120) << qPrintable(overlong.member());
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("script"));
}

// What a script meets with all three devices: the status of each, mode
// names in English while the window speaks Chinese, and every DPI stage
// the performance page shows.
TEST_F(BusServiceTest, TalvoctlReadsEveryDeviceAndTakesEnglishModesAndEveryDpiStage) {
  TalvoRun& talvo = Launch(Variables{{"DBUS_SESSION_BUS_ADDRESS", bus_.Address()}}, "mouse,keyboard,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("mp_tab").value("visible").toBool(); }));
  Pause(talvo, 1500);  // past the full reads

  const Result status = Ctl({"status"});
  EXPECT_EQ(status.exit, 0) << qPrintable(status.err);
  EXPECT_TRUE(status.out.contains(QStringLiteral("\nmousepad: onboard profile ")) &&
              status.out.contains(QStringLiteral("\n  profiles: lighting ")))
      << qPrintable(status.out);

  ASSERT_TRUE(talvo.Request(QJsonObject{{"cmd", "menu"}, {"item", "lan_cn"}}).value("ok").toBool());
  for (const auto& [name, index] : std::initializer_list<std::pair<QString, int>>{
           {"wave", 4}, {QStringLiteral("呼吸"), 1}, {"Static", 2}}) {
    EXPECT_EQ(Ctl({"light", "mouse", name}).exit, 0) << qPrintable(name);
    EXPECT_EQ(talvo.Get("ms_deng_combo_modeSelect2").value("index").toInt(), index) << qPrintable(name);
  }

  const Result dpi = Ctl({"--json", "dpi", "6", "1000"});
  EXPECT_EQ(dpi.out.trimmed(), "{\"ok\":true}") << qPrintable(dpi.err);
  const QJsonArray stages = QJsonDocument::fromJson(Ctl({"status", "--json"}).out.toUtf8())
                                .object().value("devices").toArray()[0].toObject()
                                .value("dpi").toObject().value("stages").toArray();
  ASSERT_EQ(stages.size(), 6);
  EXPECT_EQ(stages[5].toInt(), 1000);
  EXPECT_EQ(talvo.Get("ms_DPI6_label_value").value("text").toString(), "1000");
}

// Pages are built when first shown or looked into: pages never shown answer
// the automation socket with what the devices hold, and a change through the
// bus service lands on them as on a page that was shown.
TEST_F(BusServiceTest, PagesNeverShownShowWhatTheDevicesHold) {
  TalvoRun& talvo = Launch(Variables{{"DBUS_SESSION_BUS_ADDRESS", bus_.Address()}}, "mouse,mousepad");
  ASSERT_TRUE(WaitFor(talvo, [&] { return talvo.Get("ms_tab").value("visible").toBool(); }));
  Pause(talvo, 1500);  // past the full reads
  const auto status = [&] {
    QJsonObject byDevice;
    for (const QJsonValue& d :
         QJsonDocument::fromJson(Ctl({"status", "--json"}).out.toUtf8()).object().value("devices").toArray())
      byDevice[d.toObject().value("device").toString()] = d;
    return byDevice;
  };
  // The mouse reports another report rate than its page was made with, and
  // is read again.
  QJsonObject poke = Sim("poke");
  poke["area"] = "settings";
  poke["offset"] = 14;
  poke["hex"] = "01";
  ASSERT_TRUE(talvo.Request(poke).value("ok").toBool());
  QJsonObject everythingChanged = Sim("notify");
  everythingChanged["usage"] = 0x402;
  ASSERT_TRUE(talvo.Request(everythingChanged).value("ok").toBool());
  Pause(talvo, 1500);
  const QJsonObject before = status();
  const QJsonArray stages = before.value("mouse").toObject().value("dpi").toObject().value("stages").toArray();
  ASSERT_FALSE(stages.isEmpty());

  // Through the bus service: a DPI stage set on the mouse's performance
  // page, never shown; the page shows the stages the mouse read and the new one.
  ASSERT_EQ(Ctl({"dpi", "2", "1200"}).exit, 0);
  EXPECT_FALSE(talvo.Get("ms_DPI1_label_value").value("visible").toBool());
  EXPECT_EQ(talvo.Get("ms_DPI1_label_value").value("text").toString(), QString::number(stages[0].toInt()));
  EXPECT_EQ(talvo.Get("ms_DPI2_label_value").value("text").toString(), "1200");
  EXPECT_EQ(talvo.Get("ms_report_fct_combo").value("index").toInt(), 1);
  // Through the automation socket: the mousepad's lighting page, never shown.
  EXPECT_FALSE(talvo.Get("mp_deng_combo_modeSelect").value("visible").toBool());
  EXPECT_EQ(talvo.Get("mp_deng_combo_modeSelect").value("index").toInt(),
            before.value("mousepad").toObject().value("lighting").toObject().value("mode").toInt());
  EXPECT_EQ(status().value("mouse").toObject().value("dpi").toObject().value("stages").toArray()[1].toInt(), 1200);
}

// A script's relative socket path names a socket in its current folder, for
// the program and for its client alike.
TEST_F(E2eTest, ARelativeAutomationSocketIsInTheCurrentFolder) {
  QProcess program;
  program.setWorkingDirectory(folders_.Root());
  program.setProcessEnvironment(folders_.Environment());
  program.setStandardOutputFile(QProcess::nullDevice());
  program.setStandardErrorFile(QProcess::nullDevice());
  program.start(QStringLiteral(TALVO_BINARY), {QStringLiteral("--simulate=none"), QStringLiteral("--automation"),
                                               QStringLiteral("automation.sock")});
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folders_.Root()));
  tools::AutomationClient client;
  const bool connected = client.Connect(QStringLiteral("automation.sock"), kStartTimeoutMs);
  QDir::setCurrent(before);
  ASSERT_TRUE(connected);
  EXPECT_TRUE(QFileInfo(folders_.Root() + QStringLiteral("/automation.sock")).exists());
  EXPECT_TRUE(client.Request(QJsonObject{{"cmd", "quit"}}).value_or(QJsonObject{}).value("ok").toBool());
  EXPECT_TRUE(program.waitForFinished(kWaitTimeoutMs));
}

}  // namespace
}  // namespace talvo::e2e
