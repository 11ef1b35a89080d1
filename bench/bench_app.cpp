// bench_app: how long talvo takes from the start of its process to the
// automation socket's `ready` reply (start-up including "windowinit"), and
// from plugging the simulated mouse in to its tab showing and to the end of
// its full read; offscreen, each run in fresh user folders.
//
//   bench_app [RUNS]      (default 10)
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
#include <QJsonArray>
#include <algorithm>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "bench/talvo_process.h"
#include "tools/automate/automation_client.h"

namespace {

using talvo::bench::Cmd;
using talvo::bench::Isolated;
using talvo::bench::SimOp;

constexpr int kTimeoutMs = 15000;

struct Sample {
  double readyMs = 0;       // process start to `ready`
  double tabMs = 0;         // `sim plug` to the mouse tab visible
  double fullReadMs = 0;    // `sim plug` to the full read's last request
};

// Whether the mouse has received a whole full read: its information block
// request (command 3) followed, later, by the end of the transfer (command 2).
bool FullReadDone(talvo::tools::AutomationClient& client) {
  const auto reply = client.Request(SimOp("traffic"), kTimeoutMs);
  if (!reply) return false;
  bool sawInfo = false;
  for (const QJsonValue& v : reply->value(QStringLiteral("requests")).toArray()) {
    const QString hex = v.toObject().value(QStringLiteral("hex")).toString();
    const QString command = hex.mid(6, 2);
    if (command == QLatin1String("03")) sawInfo = true;
    if (sawInfo && command == QLatin1String("02")) return true;
  }
  return false;
}

// Polls done() until it holds; milliseconds on `clock` then, nothing on time-out.
std::optional<double> Until(const QElapsedTimer& clock, const std::function<bool()>& done) {
  const QDeadlineTimer deadline(kTimeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return std::nullopt;
    QThread::usleep(500);
  }
  return double(clock.nsecsElapsed()) / 1e6;
}

// One start: the sample, nothing when a step failed.
std::optional<Sample> MeasureOnce() {
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/talvo-bench-XXXXXX"));
  if (!root.isValid()) return std::nullopt;
  const QString socket = root.path() + QStringLiteral("/automation.sock");
  QProcess talvo;
  talvo.setProcessEnvironment(Isolated(root.path()));
  talvo.setStandardOutputFile(QProcess::nullDevice());
  talvo.setStandardErrorFile(QProcess::nullDevice());

  QElapsedTimer clock;
  clock.start();
  talvo.start(QStringLiteral(TALVO_BINARY),
              {QStringLiteral("--simulate=none"), QStringLiteral("--automation"), socket});
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
  Sample sample;
  sample.readyMs = double(clock.nsecsElapsed()) / 1e6;
  std::optional<double> tab, fullRead;
  if (ready && ready->value(QStringLiteral("ok")).toBool()) {
    QElapsedTimer plugged;
    plugged.start();
    client.Request(SimOp("plug"), kTimeoutMs);
    QJsonObject get = Cmd("get");
    get[QStringLiteral("name")] = QStringLiteral("ms_tab");
    tab = Until(plugged, [&] {
      const auto reply = client.Request(get, kTimeoutMs);
      return reply && reply->value(QStringLiteral("visible")).toBool();
    });
    fullRead = Until(plugged, [&] { return FullReadDone(client); });
  }

  if (client.Connected()) client.Request(Cmd("quit"), kTimeoutMs);
  if (!talvo.waitForFinished(kTimeoutMs)) {
    talvo.kill();
    talvo.waitForFinished(5000);
  }
  if (!ready || !ready->value(QStringLiteral("ok")).toBool() || !tab || !fullRead) return std::nullopt;
  sample.tabMs = *tab;
  sample.fullReadMs = *fullRead;
  return sample;
}

void Print(const char* what, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
  std::printf("%s, %zu runs: min %.1f ms, median %.1f ms, max %.1f ms\n", what, n, samples.front(), median,
              samples.back());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 10;
  if (argc == 2) runs = std::atoi(argv[1]);
  if (argc > 2 || runs <= 0) {
    std::fputs("usage: bench_app [RUNS]\n", stderr);
    return 2;
  }
  std::vector<double> ready, tab, fullRead;
  for (int i = 0; i < runs; ++i) {
    const std::optional<Sample> sample = MeasureOnce();
    if (!sample) {
      std::fprintf(stderr, "bench_app: run %d failed (no ready, or the mouse was not attached and read)\n", i + 1);
      return 1;
    }
    ready.push_back(sample->readyMs);
    tab.push_back(sample->tabMs);
    fullRead.push_back(sample->fullReadMs);
  }
  Print("talvo start-up to ready", ready);
  Print("mouse plugged in to its tab visible", tab);
  Print("mouse plugged in to the end of its full read", fullRead);
  return 0;
}
