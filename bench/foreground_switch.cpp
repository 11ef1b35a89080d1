// bench_foreground_switch: the time from a window's activation to the
// profile switch it causes, on a real X desktop (Xvfb and openbox). Two
// xmessage windows, whose programs are linked to the mouse's second and third
// device profiles, are activated one after the other 20 times; the time runs
// from the activation request (xdotool windowactivate, whose own start is
// included) until the automation socket shows the list on the linked entry,
// asked without pause, so its resolution is one automation round trip.
// Talvo runs with --foreground=desktop.
//
//   bench_foreground_switch [TALVO_BINARY]   (default: the talvo built with it)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
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

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString binary = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(TALVO_BINARY);
  talvo::e2e::Desktop desktop;
  if (const QString error = desktop.Start(); !error.isEmpty()) {
    std::fprintf(stderr, "bench_foreground_switch: %s\n", qPrintable(error));
    return 1;
  }
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/talvo-switch-XXXXXX"));
  const QString first = QFileInfo(QStandardPaths::findExecutable(QStringLiteral("xmessage"))).canonicalFilePath();
  const QString second = root.path() + QStringLiteral("/second-client");
  QFile::copy(first, second);

  QProcess talvo;
  talvo.setProcessEnvironment(desktop.Environment(talvo::bench::Isolated(root.path())));
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
  for (const QString& program : {first, second}) {
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
  desktop.StartClient(first, QStringLiteral("first"));
  desktop.StartClient(second, QStringLiteral("second"));
  const QString windows[] = {desktop.Window(QStringLiteral("first")), desktop.Window(QStringLiteral("second"))};
  std::vector<double> times;
  for (int n = 0; n < kSwitches; ++n) {
    const int entry = 1 + n % 2;
    QElapsedTimer clock;
    clock.start();
    desktop.Activate(windows[n % 2], false);
    while (request(Control("get", "ms_device_profile_combo")).value(QStringLiteral("index")).toInt() != entry) {
      if (clock.elapsed() > kTimeoutMs) {
        std::fprintf(stderr, "bench_foreground_switch: switch %d to entry %d not seen\n", n + 1, entry);
        return 1;
      }
    }
    times.push_back(double(clock.nsecsElapsed()) / 1e6);
  }
  request(Cmd("quit"));
  talvo.waitForFinished(kTimeoutMs);

  std::sort(times.begin(), times.end());
  const double median = (times[(times.size() - 1) / 2] + times[times.size() / 2]) / 2;
  std::printf("activation to profile switch over %d switches: median %.1f ms, worst %.1f ms\n", kSwitches, median,
              times.back());
  return 0;
}
