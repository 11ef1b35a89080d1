// talvo: the application. One instance per user session lives in the tray;
// `--hidden` keeps its window there at start, `--simulate` runs it against a
// simulated mouse, `--automation PATH` lets a scripted client drive it over a
// local socket.
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/automation/automation_server.h"
#include "app/automation/scripted_dialogs.h"
#include "app/instance/single_instance.h"
#include "app/shell/main_automation_host.h"
#include "app/shell/main_window.h"
#include "app/toolkit/qt/skin_files.h"
#include "app/windows/message_box.h"
#include "platform/folders.h"
#include "platform/hidraw_backend.h"
#include "sim/simulated_backend.h"

namespace {

using namespace talvo;

struct Arguments {
  bool simulate = false;
  // The simulated devices plugged in at start.
  std::vector<sim::DeviceKind> plugged;
  // The folder where they keep their memory between runs; none: factory memory.
  std::string simState;
  QString automation;
  bool sdk = false;
  std::optional<uint16_t> sdkPort;
  bool hidden = false;
  // Under automation the program in front is the one the client names,
  // unless the desktop's own source is asked for.
  bool desktopForeground = false;
};

constexpr const char* kUsage =
    "usage: talvo [--hidden] [--simulate[=DEVICES]] [--sdk[=PORT]] [--automation PATH]\n"
    "             [--foreground=desktop]\n"
    "       talvo --version | --help\n"
    "  --hidden           start in the system tray without showing the window (the login\n"
    "                     entry uses it); without a tray, start minimized\n"
    "  --simulate         use a simulated mouse instead of the devices plugged in\n"
    "  --simulate=LIST    the simulated devices plugged in at start, comma-separated:\n"
    "                     mouse, keyboard, mousepad, or none (plug them later over automation)\n"
    "  --sdk[=PORT]       run the lighting SDK server (OpenRGB protocol) on the loopback\n"
    "                     address, on PORT or the one main.ini names (6742 unless set)\n"
    "  --automation PATH  let a scripted client drive the window over a local socket at PATH\n"
    "                     (also TALVO_AUTOMATION=PATH)\n"
    "  --foreground=desktop  follow the program in front as the desktop tells it, also under\n"
    "                     automation (where the client names it otherwise)\n"
    "  --version          print the version and exit\n"
    "  --help             print this help and exit\n"
    "environment: TALVO_TRAY=0|1 overrides whether a system tray is used;\n"
    "             TALVO_SIM_STATE=FOLDER keeps the simulated devices' memory there between runs;\n"
    "             TALVO_DEBUG=1 writes diagnostic lines to stderr\n";

std::optional<Arguments> Parse(const QStringList& args) {
  Arguments a;
  a.automation = qEnvironmentVariable("TALVO_AUTOMATION");
  a.simState = qgetenv("TALVO_SIM_STATE").toStdString();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == QLatin1String("--simulate")) {
      a.simulate = true;
      a.plugged = {sim::DeviceKind::Mouse};
    } else if (arg.startsWith(QLatin1String("--simulate="))) {
      a.simulate = true;
      a.plugged.clear();
      for (const QString& name : arg.mid(int(std::strlen("--simulate="))).split(QLatin1Char(','))) {
        if (name == QLatin1String("mouse")) {
          a.plugged.push_back(sim::DeviceKind::Mouse);
        } else if (name == QLatin1String("keyboard")) {
          a.plugged.push_back(sim::DeviceKind::Keyboard);
        } else if (name == QLatin1String("mousepad")) {
          a.plugged.push_back(sim::DeviceKind::Mousepad);
        } else if (name != QLatin1String("none")) {
          std::fprintf(stderr, "talvo: no simulated device %s\n%s", qPrintable(name), kUsage);
          return std::nullopt;
        }
      }
    } else if (arg == QLatin1String("--sdk")) {
      a.sdk = true;
    } else if (arg.startsWith(QLatin1String("--sdk="))) {
      bool ok = false;
      const uint port = arg.mid(int(std::strlen("--sdk="))).toUInt(&ok);
      if (!ok || port == 0 || port > 65535) {
        std::fprintf(stderr, "talvo: --sdk needs a port from 1 to 65535\n%s", kUsage);
        return std::nullopt;
      }
      a.sdk = true;
      a.sdkPort = uint16_t(port);
    } else if (arg == QLatin1String("--automation") && i + 1 < args.size()) {
      a.automation = args[++i];
    } else if (arg.startsWith(QLatin1String("--automation="))) {
      a.automation = arg.mid(int(std::strlen("--automation=")));
    } else if (arg == QLatin1String("--hidden")) {
      a.hidden = true;
    } else if (arg == QLatin1String("--foreground=desktop")) {
      a.desktopForeground = true;
    } else {
      std::fprintf(stderr, "talvo: unknown argument %s\n%s", qPrintable(arg), kUsage);
      return std::nullopt;
    }
  }
  return a;
}

// --help and --version are answered before Qt starts, so they need no
// display; the exit code when one was asked for.
std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::fputs("talvo " TALVO_VERSION "\n", stdout);
      return 0;
    }
    // The socket's path is not an option, whatever it looks like.
    if (arg == "--automation") ++i;
  }
  return std::nullopt;
}

bool UseTray() {
  const QString forced = qEnvironmentVariable("TALVO_TRAY");
  if (forced == QLatin1String("0")) return false;
  if (forced == QLatin1String("1")) return true;
  return QSystemTrayIcon::isSystemTrayAvailable();
}

// SIGTERM and SIGINT end the program as the tray menu's exit item does, so
// threads stop and the automation socket goes away. The handler only writes
// a byte; the event loop does the rest.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

std::unique_ptr<QSocketNotifier> EndOnSignals(talvo::app::CMainWnd& window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return nullptr;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, &window, [&window] {
    char byte;
    [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
    window.Close();
  });
  return notifier;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto answered = AnswerWithoutWindow(argc, argv)) return *answered;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("talvo"));
  QApplication::setApplicationDisplayName(QStringLiteral("Talvo"));
  QGuiApplication::setDesktopFileName(QStringLiteral("talvo"));
  // The program lives on in the tray when its window is hidden.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::optional<Arguments> args = Parse(QApplication::arguments());
  if (!args) return 2;

  app::SingleInstance instance;
  if (instance.Acquire() == app::SingleInstance::Role::Secondary) return 0;

  const QString skin = QString::fromStdString((platform::ProgramFolder() / "skin").string());
  if (!QFile::exists(skin + QLatin1String("/") + QLatin1String(app::CMainWnd::kLayout))) {
    std::fprintf(stderr, "talvo: no skin folder with the main window's layout at %s\n", qPrintable(skin));
    return 1;
  }
  QDir::addSearchPath(QStringLiteral("skin"), skin);
  if (const auto style = app::ReadStyleSheet(skin + QLatin1String("/style.qss"), skin)) app.setStyleSheet(*style);

  app::QtToolkit toolkit(skin);

  std::unique_ptr<platform::HidBackend> backend;
  sim::SimulatedBackend* simulated = nullptr;
  if (args->simulate) {
    auto sim = std::make_unique<sim::SimulatedBackend>(args->simState);
    for (sim::DeviceKind kind : args->plugged) sim->Plug(kind);
    simulated = sim.get();
    backend = std::move(sim);
  } else {
    backend = std::make_unique<platform::HidrawBackend>();
  }

  // Under automation pointer settings are recorded, never applied to the desktop.
  const auto recordedPointer = std::make_shared<platform::RecordingPointerSettings>();
  // ... and the program in front is the one the client names.
  const auto scriptedForeground = std::make_shared<platform::ScriptedForegroundProgram>();
  app::CMainWnd window(toolkit, *backend,
                       {.tray = UseTray(),
                        .workers = {},
                        .watchSleep = true,
                        .pointerSettings = args->automation.isEmpty()
                                               ? std::shared_ptr<platform::PointerSettings>()
                                               : recordedPointer,
                        .foreground = args->automation.isEmpty() || args->desktopForeground
                                          ? std::shared_ptr<platform::ForegroundProgram>()
                                          : scriptedForeground,
                        .sessionBus = true,
                        .sdkServer = args->sdk,
                        .sdkPort = args->sdkPort,
                        .startHidden = args->hidden});
  if (!window.Create()) return 1;

  app::QtDialogs realDialogs(toolkit);
  app::ScriptedDialogs scriptedDialogs;
  std::unique_ptr<app::MainAutomationHost> host;
  std::unique_ptr<app::AutomationServer> automation;
  if (!args->automation.isEmpty()) {
    toolkit.SetDialogs(&scriptedDialogs);
    host = std::make_unique<app::MainAutomationHost>(window, *recordedPointer, *scriptedForeground);
    automation = std::make_unique<app::AutomationServer>(window.Window(), scriptedDialogs, host.get(), simulated);
    if (!automation->Listen(args->automation)) return 1;
  } else {
    toolkit.SetDialogs(&realDialogs);
  }

  QObject::connect(&instance, &app::SingleInstance::activated, &window, &app::CMainWnd::ActivateRequest);
  QObject::connect(&window, &app::CMainWnd::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
  // The session is ending: leave as the exit item does.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, &app::CMainWnd::Close);
  const auto signalWatch = EndOnSignals(window);

  return app.exec();
}
