// bench_foreground_switch: the time from a window's activation to the
// profile switch it causes. Two windows of two programs, linked to the
// mouse's second and third device profiles, are activated one after the other
// 20 times; the time runs from the activation request (xdotool windowactivate
// or swaymsg, whose own start is included) until the automation socket shows
// the list on the linked entry, asked without pause, so its resolution is one
// automation round trip. Talvo runs with --foreground=desktop.
//
//   bench_foreground_switch [TALVO_BINARY]
//     on a real X desktop it starts itself (Xvfb and openbox, two xmessage
//     windows);
//   bench_foreground_switch --sway PID_A PID_B [TALVO_BINARY]
//     on a running sway whose SWAYSOCK and WAYLAND_DISPLAY it is given, the
//     windows those processes show (bench/foreground_switch_sway.sh).
// TALVO_BINARY defaults to the talvo built with it.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <cstdio>
#include <vector>

#include "bench/talvo_process.h"
#include "tests/e2e/x_desktop.h"
#include "tools/automate/automation_client.h"

namespace {

using talvo::bench::Cmd;

constexpr int kSwitches = 20;
constexpr int kTimeoutMs = 10000;

QJsonObject Control(const char* cmd, const char* name) {
  return QJsonObject{{QStringLiteral("cmd"), QLatin1String(cmd)}, {QStringLiteral("name"), QLatin1String(name)}};
}

// The two windows to switch between and how Talvo is started beside them.
struct Session {
  QStringList programs;  // linked to entries 1 and 2
  QProcessEnvironment environment;
  std::function<void()> startWindows;  // after the links are made
  std::function<void(int)> activate;   // window 0 or 1, without waiting
};

// Talvo on the sway session the environment names; the windows are already
// there.
Session OnSway(const QString& root, const QString& pidA, const QString& pidB) {
  QProcessEnvironment env = talvo::bench::Isolated(root);
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE"));
  env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
  env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
  const QString socket = env.value(QStringLiteral("SWAYSOCK"));
  const QString pids[] = {pidA, pidB};
  return {{QFileInfo(QStringLiteral("/proc/%1/exe").arg(pidA)).canonicalFilePath(),
           QFileInfo(QStringLiteral("/proc/%1/exe").arg(pidB)).canonicalFilePath()},
          env, [] {},
          [socket, pids](int window) {
            QProcess swaymsg;
            swaymsg.setProgram(QStringLiteral("swaymsg"));
            swaymsg.setArguments({QStringLiteral("-s"), socket, QStringLiteral("[pid=%1] focus").arg(pids[window])});
            swaymsg.setStandardOutputFile(QProcess::nullDevice());
            swaymsg.startDetached();
          }};
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  const bool sway = !args.isEmpty() && args.first() == QStringLiteral("--sway");
  if (sway && (args.size() < 3 || qEnvironmentVariableIsEmpty("SWAYSOCK"))) {
    std::fputs("usage: SWAYSOCK=... WAYLAND_DISPLAY=... bench_foreground_switch --sway PID_A PID_B [TALVO]\n", stderr);
    return 2;
  }
  const qsizetype binaryAt = sway ? 3 : 0;
  const QString binary = args.size() > binaryAt ? args[binaryAt] : QStringLiteral(TALVO_BINARY);
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/talvo-switch-XXXXXX"));
  talvo::e2e::Desktop desktop;
  Session session;
  if (sway) {
    session = OnSway(root.path(), args[1], args[2]);
  } else {
    if (const QString error = desktop.Start(); !error.isEmpty()) {
      std::fprintf(stderr, "bench_foreground_switch: %s\n", qPrintable(error));
      return 1;
    }
    const QString first = QFileInfo(QStandardPaths::findExecutable(QStringLiteral("xmessage"))).canonicalFilePath();
    const QString second = root.path() + QStringLiteral("/second-client");
    QFile::copy(first, second);
    auto windows = std::make_shared<std::array<QString, 2>>();
    session = {{first, second}, desktop.Environment(talvo::bench::Isolated(root.path())),
               [&desktop, first, second, windows] {
                 desktop.StartClient(first, QStringLiteral("first"));
                 desktop.StartClient(second, QStringLiteral("second"));
                 *windows = {desktop.Window(QStringLiteral("first")), desktop.Window(QStringLiteral("second"))};
               },
               [&desktop, windows](int window) { desktop.Activate((*windows)[size_t(window)], false); }};
  }

  QProcess talvo;
  talvo.setProcessEnvironment(session.environment);
  talvo.setStandardOutputFile(QProcess::nullDevice());
  talvo.setStandardErrorFile(QProcess::nullDevice());
  const QString socket = root.path() + QStringLiteral("/s.sock");
  talvo.start(binary, {QStringLiteral("--simulate"), QStringLiteral("--automation"), socket,
                       QStringLiteral("--foreground=desktop")});
  talvo::tools::AutomationClient client;
  if (!client.Connect(socket, kTimeoutMs) || !client.Request(Cmd("ready"), kTimeoutMs)) {
    std::fputs("bench_foreground_switch: talvo did not start\n", stderr);
    return 1;
  }
  const auto request = [&](const QJsonObject& r) { return client.Request(r, kTimeoutMs).value_or(QJsonObject()); };
  request(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("check")},
                      {QStringLiteral("name"), QStringLiteral("ms_deng_Op_tab")},
                      {QStringLiteral("on"), true}});
  request(Control("click", "ms_profile_fun_spread_btn"));
  // Entries 1 and 2 linked to the two programs, entry 0 the user's choice.
  for (const QString& program : session.programs) {
    request(Control("click", "ms_pro_device_add_btn"));
    request(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("dialogs")},
                        {QStringLiteral("paths"), QJsonArray{program}}});
    request(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("check")},
                        {QStringLiteral("name"), QStringLiteral("ms_device_profile_link_check")},
                        {QStringLiteral("on"), true}});
  }
  request(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("select")},
                      {QStringLiteral("name"), QStringLiteral("ms_device_profile_combo")},
                      {QStringLiteral("index"), 0}});

  // The windows come once the links are made: a linked program in front
  // would take the list over while it is set up.
  session.startWindows();
  const auto shows = [&](int entry) {
    QElapsedTimer clock;
    clock.start();
    while (request(Control("get", "ms_device_profile_combo")).value(QStringLiteral("index")).toInt() != entry)
      if (clock.elapsed() > kTimeoutMs) return false;
    return true;
  };
  // The second window in front first, so the first switch is a switch.
  session.activate(1);
  if (!shows(2)) {
    std::fputs("bench_foreground_switch: the second window's profile was never shown\n", stderr);
    return 1;
  }
  std::vector<double> times;
  for (int n = 0; n < kSwitches; ++n) {
    QElapsedTimer clock;
    clock.start();
    session.activate(n % 2);
    if (!shows(1 + n % 2)) {
      std::fprintf(stderr, "bench_foreground_switch: switch %d to entry %d not seen\n", n + 1, 1 + n % 2);
      return 1;
    }
    times.push_back(double(clock.nsecsElapsed()) / 1e6);
  }
  request(Cmd("quit"));
  talvo.waitForFinished(kTimeoutMs);

  std::sort(times.begin(), times.end());
  const double median = (times[(times.size() - 1) / 2] + times[times.size() / 2]) / 2;
  std::printf("%s: activation to profile switch over %d switches: median %.1f ms, worst %.1f ms\n",
              sway ? "sway" : "X11", kSwitches, median, times.back());
  return 0;
}
