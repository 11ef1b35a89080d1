// bench_startup: how long talvo takes from the start of its process to the
// automation socket's `ready` reply (start-up including "windowinit"),
// offscreen with the simulated mouse, each run in fresh user folders.
//
//   bench_startup [RUNS]      (default 10)
//
// A plain program rather than a Google Benchmark: every sample is a whole
// process, and the spread between runs is what matters.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "tools/automate/automation_client.h"

namespace {

constexpr int kTimeoutMs = 15000;

QProcessEnvironment Isolated(const QString& root) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"TALVO_TRAY", "TALVO_AUTOMATION", "TALVO_DEBUG"}) env.remove(QLatin1String(name));
  const std::pair<const char*, const char*> folders[] = {{"HOME", "home"},
                                                         {"XDG_RUNTIME_DIR", "run"},
                                                         {"XDG_CONFIG_HOME", "config"},
                                                         {"XDG_CONFIG_DIRS", "system"},
                                                         {"XDG_DATA_HOME", "data"}};
  for (const auto& [name, folder] : folders) {
    const QString path = root + QLatin1Char('/') + QLatin1String(folder);
    QDir().mkpath(path);
    env.insert(QLatin1String(name), path);
  }
  // The single-instance socket is only trusted in a private runtime folder.
  QFile::setPermissions(root + QStringLiteral("/run"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  return env;
}

// One start: milliseconds until `ready` answered, nothing when it failed.
std::optional<double> MeasureOnce() {
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/talvo-bench-XXXXXX"));
  if (!root.isValid()) return std::nullopt;
  const QString socket = root.path() + QStringLiteral("/automation.sock");
  QProcess talvo;
  talvo.setProcessEnvironment(Isolated(root.path()));
  talvo.setStandardOutputFile(QProcess::nullDevice());
  talvo.setStandardErrorFile(QProcess::nullDevice());

  QElapsedTimer clock;
  clock.start();
  talvo.start(QStringLiteral(TALVO_BINARY), {QStringLiteral("--simulate"), QStringLiteral("--automation"), socket});
  // The client's own retry pause is coarse for a measurement: wait for the
  // socket file in short steps, then connect once it is there.
  const QDeadlineTimer deadline(kTimeoutMs);
  while (!QFileInfo::exists(socket)) {
    if (deadline.hasExpired() || talvo.waitForFinished(0) || talvo.state() == QProcess::NotRunning) {
      talvo.kill();
      talvo.waitForFinished(5000);
      return std::nullopt;
    }
    QThread::usleep(500);
  }
  talvo::tools::AutomationClient client;
  std::optional<QJsonObject> ready;
  if (client.Connect(socket, int(std::max<qint64>(1, deadline.remainingTime()))))
    ready = client.Request(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("ready")}}, kTimeoutMs);
  const double ms = double(clock.nsecsElapsed()) / 1e6;

  if (client.Connected()) client.Request(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("quit")}}, kTimeoutMs);
  if (!talvo.waitForFinished(kTimeoutMs)) {
    talvo.kill();
    talvo.waitForFinished(5000);
  }
  if (!ready || !ready->value(QStringLiteral("ok")).toBool()) return std::nullopt;
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 10;
  if (argc == 2) runs = std::atoi(argv[1]);
  if (argc > 2 || runs <= 0) {
    std::fputs("usage: bench_startup [RUNS]\n", stderr);
    return 2;
  }
  std::vector<double> samples;
  for (int i = 0; i < runs; ++i) {
    const std::optional<double> ms = MeasureOnce();
    if (!ms) {
      std::fprintf(stderr, "bench_startup: run %d did not answer ready\n", i + 1);
      return 1;
    }
    samples.push_back(*ms);
  }
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  std::printf("talvo start-up to ready, %zu runs: min %.1f ms, median %.1f ms, max %.1f ms\n", n, samples.front(),
              median, samples.back());
  return 0;
}
