#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocalSocket>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <memory>

#include "app/automation/automation_host.h"
#include "app/automation/automation_server.h"
#include "app/automation/scripted_dialogs.h"
#include "app/toolkit/qt/qt_toolkit.h"
#include "device/device_report.h"
#include "platform/hid_backend.h"
#include "sim/simulated_backend.h"

namespace talvo::app {
namespace {

using Strings = std::vector<std::string>;

class Recorder : public toolkit::WindowHandler {
 public:
  std::vector<toolkit::Notification> seen;
  void Notify(const toolkit::Notification& n) override { seen.push_back(n); }
  toolkit::CreatedControl CreateControl(std::string_view element) override {
    if (element == "TestPage") return toolkit::CreatedControl::FromLayout("page.ui");
    return {};
  }
  Strings Seen() const {
    Strings out;
    for (const auto& n : seen)
      if (n.type != "windowinit") out.push_back(n.type + ":" + n.sender + ":" + std::to_string(n.wParam));
    return out;
  }
  // Without hover and focus, which a shown window may raise on its own.
  Strings Actions() const {
    Strings out;
    for (const auto& n : seen)
      if (n.type != "windowinit" && n.type != "msenter" && n.type != "msleave" && n.type != "setfocus" &&
          n.type != "killfocus")
        out.push_back(n.type + ":" + n.sender);
    return out;
  }
};

class FakeHost : public AutomationHost {
 public:
  std::function<void()> pendingReady;
  Strings calls;
  int quits = 0;

  void WhenReady(std::function<void()> done) override { pendingReady = std::move(done); }
  bool Key(int vk, bool down, bool extended) override {
    calls.push_back("key " + std::to_string(vk) + (down ? " down" : " up") + (extended ? " ext" : ""));
    return true;
  }
  bool MouseButton(int message) override {
    calls.push_back("mouse " + std::to_string(message));
    return true;
  }
  bool ChooseMenuItem(const std::string& item) override {
    calls.push_back("menu " + item);
    return item == "exit" || item == "lan_en";
  }
  bool ClickTray(bool left) override {
    calls.push_back(left ? "tray left" : "tray right");
    return true;
  }
  WindowState Window() const override { return {true, false, true, false, "Talvo", true}; }
  void SetForeground(const std::string& path) override { calls.push_back("foreground " + path); }
  SystemState System() const override { return {std::nullopt, 3, "en"}; }
  void Quit() override { ++quits; }
};

class Client {
 public:
  explicit Client(const QString& path) {
    socket_.connectToServer(path);
    connected_ = QTest::qWaitFor([&] { return socket_.state() == QLocalSocket::ConnectedState; }, 5000);
  }
  bool Connected() const { return connected_; }
  void Send(const QByteArray& line) {
    socket_.write(line + '\n');
    socket_.flush();
  }
  QJsonObject Receive() {
    if (!QTest::qWaitFor([&] { return socket_.canReadLine(); }, 5000)) return {{"timeout", true}};
    return QJsonDocument::fromJson(socket_.readLine()).object();
  }
  QJsonObject Ask(const QByteArray& line) {
    Send(line);
    return Receive();
  }
  std::string Error(const QByteArray& line) { return Ask(line).value("error").toString().toStdString(); }
  void Close() {
    socket_.disconnectFromServer();
    if (socket_.state() != QLocalSocket::UnconnectedState) socket_.waitForDisconnected(1000);
  }

 private:
  QLocalSocket socket_;
  bool connected_ = false;
};

const QJsonObject kOk{{"ok", true}};

class AutomationServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(toolkit.LoadLanguage("lan_en.xml"));
    ASSERT_TRUE(window.Create("main.ui"));
    toolkit.SetDialogs(&dialogs);
    backend.SetLatency(std::chrono::microseconds(0));
    server = std::make_unique<AutomationServer>(window, dialogs, &host, &backend);
    ASSERT_TRUE(server->Listen(path));
    QApplication::processEvents();  // windowinit
    handler.seen.clear();
  }

  template <typename T>
  T* Widget(const char* name) {
    return window.Widget()->findChild<T*>(name);
  }

  QTemporaryDir dir;
  QString path = dir.filePath("automation.sock");
  QtToolkit toolkit{AUTOMATION_TEST_DATA};
  Recorder handler;
  QtWindow window{toolkit, handler};
  ScriptedDialogs dialogs;
  FakeHost host;
  sim::SimulatedBackend backend;
  std::unique_ptr<AutomationServer> server;
};

TEST_F(AutomationServerTest, RefusesMalformedRequestsAndUnusableControls) {
  Client c(path);
  ASSERT_TRUE(c.Connected());
  EXPECT_EQ(c.Error("not json"), "bad argument");
  EXPECT_EQ(c.Error(R"({"name":"closebtn"})"), "bad argument");
  EXPECT_EQ(c.Error(R"({"cmd":"jump"})"), "unknown command");
  EXPECT_EQ(c.Error(R"({"cmd":"click","name":"no_such_button"})"), "no such control");
  // On the stacked page that is not shown.
  EXPECT_EQ(c.Error(R"({"cmd":"click","name":"ms_key_butt_keysave"})"), "not visible");
  EXPECT_EQ(c.Error(R"({"cmd":"select","name":"closebtn","index":0})"), "bad argument");
  Widget<QWidget>("closebtn")->setEnabled(false);
  EXPECT_EQ(c.Error(R"({"cmd":"click","name":"closebtn"})"), "disabled");
  EXPECT_EQ(c.Error(R"({"cmd":"set_value","name":"plain_label","value":3})"), "bad argument");
  EXPECT_TRUE(handler.Seen().empty());
  // An overlong line is answered once and the next line still is.
  c.Send(QByteArray(kMaxRequestLine + 10, 'x'));
  EXPECT_EQ(c.Receive().value("error").toString(), "bad argument");
  EXPECT_EQ(c.Ask(R"({"cmd":"get","name":"closebtn"})").value("enabled"), false);
}

TEST_F(AutomationServerTest, ClickIsHandledBeforeTheReplyEvenWithTheWindowHidden) {
  Client c(path);
  EXPECT_EQ(c.Ask(R"({"cmd":"click","name":"closebtn"})"), kOk);
  EXPECT_EQ(handler.Seen(), (Strings{"click:closebtn:0"}));
  window.Widget()->show();
  handler.seen.clear();
  EXPECT_EQ(c.Ask(R"({"cmd":"click","name":"closebtn"})"), kOk);
  EXPECT_EQ(handler.Actions(), (Strings{"click:closebtn"}));
}

TEST_F(AutomationServerTest, UserActionsRaiseTheirNotifications) {
  auto* combo = Widget<QComboBox>("ms_report_fct_combo");
  combo->addItems({"a", "b", "c"});
  handler.seen.clear();
  Client c(path);
  EXPECT_EQ(c.Ask(R"({"cmd":"select","name":"ms_report_fct_combo","index":2})"), kOk);
  EXPECT_EQ(c.Error(R"({"cmd":"select","name":"ms_report_fct_combo","index":3})"), "bad argument");
  EXPECT_EQ(c.Ask(R"({"cmd":"check","name":"ms_Deng_7color_check","on":true})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"check","name":"ms_tab","on":true})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"set_value","name":"ms_DPI1_slider","value":40,"moving":true})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"set_value","name":"ms_DPI1_slider","value":60})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"type","name":"ms_gunlun_speed_edit","text":"12"})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"pick_colour","name":"ms_palette","argb":"ff00ff00"})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"hover","name":"closebtn","enter":true})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"hover","name":"closebtn","enter":false})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"focus","name":"ms_gunlun_speed_edit"})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"blur","name":"ms_gunlun_speed_edit"})"), kOk);
  EXPECT_EQ(handler.Seen(), (Strings{"itemselect:ms_report_fct_combo:2", "selectchanged:ms_Deng_7color_check:1",
                                     "selectchanged:ms_tab:1", "movevaluechanged:ms_DPI1_slider:40",
                                     "valuechanged:ms_DPI1_slider:60", "textchanged:ms_gunlun_speed_edit:0",
                                     "colorchanged:ms_palette:4278255360", "msenter:closebtn:0",
                                     "msleave:closebtn:0", "setfocus:ms_gunlun_speed_edit:0",
                                     "killfocus:ms_gunlun_speed_edit:0"}));
  EXPECT_EQ(Widget<QLineEdit>("ms_gunlun_speed_edit")->text(), "12");
  EXPECT_FALSE(Widget<QSlider>("ms_DPI1_slider")->isSliderDown());
  EXPECT_EQ(Widget<QSlider>("ms_DPI1_slider")->value(), 60);
}

TEST_F(AutomationServerTest, GetReportsTheControlsState) {
  Widget<QComboBox>("ms_report_fct_combo")->addItems({"one", "two"});
  Widget<QSlider>("ms_DPI1_slider")->setValue(25);
  toolkit::Control* title = window.FindControl("title_label");
  title->SetBkColor(0x80102030);
  title->SetToolTip("tip");
  title->SetUserData("u");
  handler.seen.clear();
  Client c(path);

  const QJsonObject label = c.Ask(R"({"cmd":"get","name":"title_label"})");
  EXPECT_EQ(label.value("exists"), true);
  EXPECT_EQ(label.value("class"), QString::fromStdString(title->ClassName()));
  EXPECT_EQ(label.value("text"), "Profile name exists");
  EXPECT_EQ(label.value("text_id"), "message_text_8");
  EXPECT_EQ(label.value("tooltip"), "tip");
  EXPECT_EQ(label.value("user_data"), "u");
  EXPECT_EQ(label.value("bkcolor"), "80102030");
  EXPECT_EQ(label.value("visible"), true);
  EXPECT_FALSE(label.contains("value"));

  const QJsonObject combo = c.Ask(R"({"cmd":"get","name":"ms_report_fct_combo"})");
  EXPECT_EQ(combo.value("count"), 2);
  EXPECT_EQ(combo.value("index"), 0);
  EXPECT_EQ(combo.value("items"), QJsonArray({"one", "two"}));

  const QJsonObject slider = c.Ask(R"({"cmd":"get","name":"ms_DPI1_slider"})");
  EXPECT_EQ(slider.value("value"), 25);
  EXPECT_EQ(slider.value("min"), 0);
  EXPECT_EQ(slider.value("max"), 100);

  EXPECT_EQ(c.Ask(R"({"cmd":"get","name":"kb_tab"})").value("checked"), true);
  EXPECT_EQ(c.Ask(R"({"cmd":"get","name":"tab_switch"})").value("page"), 0);
  const QJsonObject hidden = c.Ask(R"({"cmd":"get","name":"ms_key_butt_keysave"})");
  EXPECT_EQ(hidden.value("visible"), false);
  EXPECT_EQ(c.Ask(R"({"cmd":"get","name":"nothing"})"), (QJsonObject{{"ok", true}, {"exists", false}}));
  EXPECT_TRUE(handler.Seen().empty());
}

TEST_F(AutomationServerTest, MessageBoxesAnswerFromTheQueueAndAreRecorded) {
  Client c(path);
  EXPECT_EQ(c.Ask(R"({"cmd":"answers","values":[0,2]})"), kOk);
  EXPECT_EQ(toolkit.ShowMessage(&window, "message_text_8"), 0);
  EXPECT_EQ(toolkit.ShowMessage(&window, "Plain words", false), 2);
  EXPECT_EQ(toolkit.ShowMessage(&window, "message_text_8"), 1);
  const QJsonObject reply = c.Ask(R"({"cmd":"messages"})");
  EXPECT_EQ(reply.value("messages"),
            QJsonArray({QJsonObject{{"text_id", "message_text_8"}, {"text", "Profile name exists"}},
                        QJsonObject{{"text_id", ""}, {"text", "Plain words"}},
                        QJsonObject{{"text_id", "message_text_8"}, {"text", "Profile name exists"}}}));
  EXPECT_EQ(c.Ask(R"({"cmd":"messages"})").value("messages"), QJsonArray());
}

TEST_F(AutomationServerTest, FileDialogsReturnTheQueuedPaths) {
  Client c(path);
  EXPECT_EQ(c.Ask(R"({"cmd":"dialogs","paths":["/tmp/in.ini","","/tmp/out.ini"]})"), kOk);
  EXPECT_EQ(toolkit.OpenFile(&window, "Profile (*.ini)"), "/tmp/in.ini");
  EXPECT_EQ(toolkit.SaveFile(&window, "Profile (*.ini)", "a.ini"), std::nullopt);
  EXPECT_EQ(toolkit.SaveFile(&window, "Profile (*.ini)", "a.ini"), "/tmp/out.ini");
  EXPECT_EQ(toolkit.OpenFile(&window, "Profile (*.ini)"), std::nullopt);
}

TEST_F(AutomationServerTest, WaitKeepsTheEventLoopRunningAndHoldsBackLaterRequests) {
  bool fired = false;
  QTimer::singleShot(10, [&] { fired = true; });
  Client c(path);
  QElapsedTimer clock;
  clock.start();
  c.Send(R"({"cmd":"wait","ms":80})");
  c.Send(R"({"cmd":"click","name":"closebtn"})");
  const QJsonObject first = c.Receive();
  EXPECT_EQ(first, kOk);
  EXPECT_GE(clock.elapsed(), 80);
  EXPECT_TRUE(fired);
  EXPECT_EQ(c.Receive(), kOk);
  EXPECT_EQ(handler.Seen(), (Strings{"click:closebtn:0"}));
}

TEST_F(AutomationServerTest, ScreenshotWritesAPngOfTheHiddenWindow) {
  Client c(path);
  const QString png = dir.filePath("shot.png");
  EXPECT_EQ(c.Ask(QJsonDocument(QJsonObject{{"cmd", "screenshot"}, {"path", png}}).toJson(QJsonDocument::Compact)),
            kOk);
  QImage image;
  ASSERT_TRUE(image.load(png, "PNG"));
  EXPECT_GT(image.width(), 0);
  EXPECT_GT(image.height(), 0);
  EXPECT_EQ(c.Error(R"({"cmd":"screenshot","path":"/nonexistent-dir/shot.png"})"), "cannot write");
}

TEST_F(AutomationServerTest, SimOperationsActOnTheSimulatedDevices) {
  Client c(path);
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"plug","device":"mouse"})"), kOk);
  EXPECT_TRUE(backend.IsPlugged(sim::DeviceKind::Mouse));

  const std::vector<uint8_t> info = backend.Device(sim::DeviceKind::Mouse).Memory("info");
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"memory","device":"mouse","area":"info"})").value("hex"),
            QString::fromStdString(sim::HexString(info)));
  EXPECT_EQ(info.size(), 33u);
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"poke","device":"mouse","area":"info","offset":9,"hex":"3412"})"), kOk);
  EXPECT_EQ(backend.Device(sim::DeviceKind::Mouse).Memory("info")[9], 0x34);
  EXPECT_EQ(c.Error(R"({"cmd":"sim","op":"poke","device":"mouse","area":"info","offset":32,"hex":"0102"})"),
            "bad argument");
  EXPECT_EQ(c.Error(R"({"cmd":"sim","op":"memory","device":"mousepad","area":"keymaps"})"), "bad argument");
  EXPECT_EQ(c.Error(R"({"cmd":"sim","op":"notify","device":"mousepad","usage":1})"), "bad argument");
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"fault","device":"mouse","fault":"status_ff","count":2})"), kOk);
  EXPECT_EQ(backend.Device(sim::DeviceKind::Mouse).PendingFault(), sim::Fault::StatusFF);
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"fault","device":"mouse","fault":"none","count":0})"), kOk);

  // One raw exchange on the command collection.
  auto handle = backend.Open(sim::SimulatedBackend::PathOf(sim::DeviceKind::Mouse, sim::Collection::Command),
                             {.read = true, .write = true});
  ASSERT_TRUE(handle);
  std::array<uint8_t, 64> report{};
  report[0] = device::kReportId;
  report[device::report::kCommand] = 1;
  device::report::StoreChecksum(report);
  platform::AbortEvent abort;
  size_t moved = 0;
  ASSERT_EQ(handle->Write(report, 1000, abort, moved), platform::HidIo::Ok);
  std::array<uint8_t, 64> reply{};
  ASSERT_EQ(handle->Read(reply, 1000, abort, moved), platform::HidIo::Ok);

  const QJsonArray requests =
      c.Ask(R"({"cmd":"sim","op":"traffic","device":"mouse"})").value("requests").toArray();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].toObject().value("hex"), QString::fromStdString(sim::HexString(report)));
  EXPECT_GE(requests[0].toObject().value("t_ms").toInteger(), 0);
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"clear","device":"mouse"})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"traffic","device":"mouse"})").value("requests"), QJsonArray());
  EXPECT_EQ(c.Ask(R"({"cmd":"sim","op":"unplug","device":"mouse"})"), kOk);
  EXPECT_FALSE(backend.IsPlugged(sim::DeviceKind::Mouse));
}

TEST_F(AutomationServerTest, MainWindowCommandsGoToTheHost) {
  Client c(path);
  c.Send(R"({"cmd":"ready"})");
  c.Send(R"({"cmd":"key","vk":65,"down":true,"extended":true})");
  ASSERT_TRUE(QTest::qWaitFor([&] { return bool(host.pendingReady); }, 5000));
  QApplication::processEvents();
  EXPECT_TRUE(host.calls.empty());  // held back behind "ready"
  host.pendingReady();
  EXPECT_EQ(c.Receive(), kOk);
  EXPECT_EQ(c.Receive(), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"mouse_button","message":513})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"menu","item":"lan_en"})"), kOk);
  EXPECT_EQ(c.Error(R"({"cmd":"menu","item":"lan_xx"})"), "no such control");
  EXPECT_EQ(c.Ask(R"({"cmd":"tray","button":"right"})"), kOk);
  EXPECT_EQ(c.Ask(R"({"cmd":"foreground","path":"/usr/bin/game"})"), kOk);
  EXPECT_EQ(host.calls, (Strings{"key 65 down ext", "mouse 513", "menu lan_en", "menu lan_xx", "tray right",
                                 "foreground /usr/bin/game"}));
  EXPECT_EQ(c.Ask(R"({"cmd":"window"})"),
            (QJsonObject{{"ok", true}, {"visible", true}, {"minimized", false}, {"maximized", true},
                         {"active", false}, {"title", "Talvo"}, {"tray", true}}));
  EXPECT_EQ(c.Ask(R"({"cmd":"system"})"), (QJsonObject{{"ok", true}, {"pointer_speed", QJsonValue::Null},
                                                       {"wheel_lines", 3}, {"language", "en"}}));
  EXPECT_EQ(c.Ask(R"({"cmd":"quit"})"), kOk);
  EXPECT_TRUE(QTest::qWaitFor([&] { return host.quits == 1; }, 5000));
}

TEST(AutomationServerStandalone, WithoutHostOrSimulatorThoseCommandsAreRefused) {
  QTemporaryDir dir;
  QtToolkit toolkit{AUTOMATION_TEST_DATA};
  Recorder handler;
  QtWindow window{toolkit, handler};
  ASSERT_TRUE(window.Create("main.ui"));
  ScriptedDialogs dialogs;
  AutomationServer server(window, dialogs, nullptr, nullptr);
  ASSERT_TRUE(server.Listen(dir.filePath("a.sock")));
  Client c(dir.filePath("a.sock"));
  EXPECT_EQ(c.Error(R"({"cmd":"ready"})"), "bad argument");
  EXPECT_EQ(c.Error(R"({"cmd":"sim","op":"plug","device":"mouse"})"), "bad argument");
}

TEST_F(AutomationServerTest, ClientsOneAfterAnother) {
  {
    Client first(path);
    EXPECT_EQ(first.Ask(R"({"cmd":"click","name":"closebtn"})"), kOk);
    first.Close();
  }
  QApplication::processEvents();
  Client second(path);
  ASSERT_TRUE(second.Connected());
  EXPECT_EQ(second.Ask(R"({"cmd":"click","name":"closebtn"})"), kOk);
  EXPECT_EQ(handler.Seen(), (Strings{"click:closebtn:0", "click:closebtn:0"}));
}

TEST_F(AutomationServerTest, SocketIsPrivateReplacesAStaleOneAndIsRemovedAtTheEnd) {
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A socket file left by a run that did not close it is taken over.
  const QString stale = dir.filePath("stale.sock");
  {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(stale);
    ASSERT_LT(size_t(native.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  AutomationServer second(window, dialogs, &host, &backend);
  ASSERT_TRUE(second.Listen(stale));
  EXPECT_EQ(Client(stale).Ask(R"({"cmd":"get","name":"nothing"})").value("exists"), false);

  // Anything else at the path is not ours to delete.
  const QString file = dir.filePath("notes.txt");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep");
  }
  AutomationServer third(window, dialogs, &host, &backend);
  EXPECT_FALSE(third.Listen(file));
  EXPECT_TRUE(QFile::exists(file));

  server.reset();
  EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
}  // namespace talvo::app
