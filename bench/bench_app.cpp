// bench_app: how long talvo takes from the start of its process to the
// automation socket's `ready` reply (start-up including "windowinit"), and
// from plugging the simulated mouse in to its tab showing and to the end of
// its full read; and its resident memory with all three simulated devices,
// each device's tab visited. Beside each, the floor measured in the same
// run: a bare Qt Widgets program showing and painting a 1200x800 window
// (bench_bare_window), from process start to its first paint, and its
// resident memory then. Offscreen, each run in fresh user folders.
//
//   bench_app [RUNS]      (default 10; memory over at most 3 runs)
//
// TALVO_BIN names another talvo binary to measure (an older build, say).
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
#include <QRegularExpression>
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

QString TalvoBinary() { return qEnvironmentVariable("TALVO_BIN", QStringLiteral(TALVO_BINARY)); }

// Resident memory of a running process in MiB, 0 when it cannot be read.
double ResidentMiB(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
  return m.hasMatch() ? m.captured(1).toDouble() / 1024 : 0;
}

struct Floor {
  double paintMs = 0;  // process start to the first paint
  double rssMiB = 0;   // resident memory then
};

// One start of the bare window; nothing when it did not paint.
std::optional<Floor> MeasureBareWindow() {
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/talvo-bench-XXXXXX"));
  if (!root.isValid()) return std::nullopt;
  QProcess bare;
  bare.setProcessEnvironment(Isolated(root.path()));
  bare.setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  bare.start(QStringLiteral(BARE_WINDOW_BINARY));
  std::optional<Floor> floor;
  const QDeadlineTimer deadline(kTimeoutMs);
  while (!deadline.hasExpired() && bare.state() != QProcess::NotRunning) {
    if (bare.canReadLine() || bare.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
      if (bare.readLine().trimmed() == "painted") {
        floor = Floor{double(clock.nsecsElapsed()) / 1e6, ResidentMiB(bare.processId())};
        break;
      }
    }
  }
  bare.closeWriteChannel();
  if (!bare.waitForFinished(kTimeoutMs)) {
    bare.kill();
    bare.waitForFinished(5000);
  }
  return floor;
}

// Talvo's resident memory with all three simulated devices once each
// device's tab was shown; 0 when a step failed.
double MeasureMemory() {
  QTemporaryDir root(QDir::tempPath() + QStringLiteral("/talvo-bench-XXXXXX"));
  if (!root.isValid()) return 0;
  const QString socket = root.path() + QStringLiteral("/automation.sock");
  QProcess talvo;
  talvo.setProcessEnvironment(Isolated(root.path()));
  talvo.setStandardOutputFile(QProcess::nullDevice());
  talvo.setStandardErrorFile(QProcess::nullDevice());
  talvo.start(TalvoBinary(),
              {QStringLiteral("--simulate=mouse,keyboard,mousepad"), QStringLiteral("--automation"), socket});
  talvo::tools::AutomationClient client;
  double resident = 0;
  const auto wait = [&](int ms) {
    QJsonObject w = Cmd("wait");
    w[QStringLiteral("ms")] = ms;
    return client.Request(w, kTimeoutMs + ms).has_value();
  };
  if (client.Connect(socket, kTimeoutMs) && client.Request(Cmd("ready"), kTimeoutMs) && wait(2500)) {
    bool visited = true;
    for (const char* tab : {"kb_tab", "ms_tab", "mp_tab"}) {
      QJsonObject check = Cmd("check");
      check[QStringLiteral("name")] = QLatin1String(tab);
      check[QStringLiteral("on")] = true;
      const auto reply = client.Request(check, kTimeoutMs);
      visited = visited && reply && reply->value(QStringLiteral("ok")).toBool() && wait(500);
    }
    if (visited && wait(1000)) resident = ResidentMiB(talvo.processId());
  }
  if (client.Connected()) client.Request(Cmd("quit"), kTimeoutMs);
  if (!talvo.waitForFinished(kTimeoutMs)) {
    talvo.kill();
    talvo.waitForFinished(5000);
  }
  return resident;
}

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
  talvo.start(TalvoBinary(), {QStringLiteral("--simulate=none"), QStringLiteral("--automation"), socket});
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

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const size_t n = samples.size();
  return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

void Print(const char* what, std::vector<double> samples, const char* unit = "ms") {
  std::sort(samples.begin(), samples.end());
  std::printf("%s, %zu runs: min %.1f %s, median %.1f %s, max %.1f %s\n", what, samples.size(), samples.front(),
              unit, Median(samples), unit, samples.back(), unit);
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
  std::vector<double> ready, tab, fullRead, barePaint, bareMemory, memory;
  for (int i = 0; i < runs; ++i) {
    const std::optional<Floor> floor = MeasureBareWindow();
    if (!floor) {
      std::fprintf(stderr, "bench_app: run %d failed (the bare window did not paint)\n", i + 1);
      return 1;
    }
    barePaint.push_back(floor->paintMs);
    bareMemory.push_back(floor->rssMiB);
    const std::optional<Sample> sample = MeasureOnce();
    if (!sample) {
      std::fprintf(stderr, "bench_app: run %d failed (no ready, or the mouse was not attached and read)\n", i + 1);
      return 1;
    }
    ready.push_back(sample->readyMs);
    tab.push_back(sample->tabMs);
    fullRead.push_back(sample->fullReadMs);
  }
  for (int i = 0; i < std::min(runs, 3); ++i) {
    memory.push_back(MeasureMemory());
    if (memory.back() <= 0) {
      std::fprintf(stderr, "bench_app: memory run %d failed\n", i + 1);
      return 1;
    }
  }
  Print("bare window start-up to its first paint", barePaint);
  Print("talvo start-up to ready", ready);
  std::printf("  start-up / bare window (medians): %.1f\n", Median(ready) / Median(barePaint));
  Print("mouse plugged in to its tab visible", tab);
  Print("mouse plugged in to the end of its full read", fullRead);
  Print("bare window resident memory", bareMemory, "MiB");
  Print("talvo resident memory, three devices, each tab visited", memory, "MiB");
  std::printf("  memory / bare window (medians): %.2f\n", Median(memory) / Median(bareMemory));
  return 0;
}
