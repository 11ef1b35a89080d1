// bench_ui_stall: how long the window stops answering while the simulated
// mouse (1 ms per report) is plugged in and read, re-read on its own request
// (usage 0x402), switched to another onboard profile, re-read while it
// has stopped answering, and given a key profile whose macros fill its macro
// memory, and while a macro file claiming 99,999,999 steps is imported; how
// long a start takes with macro files that claim 999,999 entries beside an
// ordinary start; and how many profile files a one-second slider drag
// writes. The window's answer time is that of an automation `get` sent every
// 5 ms, which the UI thread handles between everything else it does.
//
//   bench_ui_stall [TALVO_BINARY ...]   (default: the talvo built with it)
//
// Several binaries (e.g. an older build) are measured in one run, one after
// the other, each scenario in fresh user folders.
#include <sys/inotify.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/talvo_process.h"
#include "tools/automate/automation_client.h"

namespace {

using talvo::bench::Cmd;
using talvo::bench::SimOp;

constexpr int kTimeoutMs = 60000;
constexpr int kProbeEveryMs = 5;

// A talvo process in private folders with its automation client.
class Talvo {
 public:
  // `prepare` writes into the mouse's folder before the start.
  Talvo(const QString& binary, const char* simulate, const std::function<void(const QString&)>& prepare = {})
      : root_(QDir::tempPath() + QStringLiteral("/talvo-stall-XXXXXX")) {
    if (prepare) {
      QDir().mkpath(MouseFolder());
      prepare(MouseFolder());
    }
    process_.setProcessEnvironment(talvo::bench::Isolated(root_.path()));
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    const QString socket = root_.path() + QStringLiteral("/s.sock");
    QElapsedTimer clock;
    clock.start();
    process_.start(binary,
                   {QStringLiteral("--simulate=") + QLatin1String(simulate), QStringLiteral("--automation"), socket});
    const auto ready = client_.Connect(socket, kTimeoutMs) ? client_.Request(Cmd("ready"), kTimeoutMs) : std::nullopt;
    ok_ = ready && ready->value(QStringLiteral("ok")).toBool();
    startMs_ = double(clock.nsecsElapsed()) / 1e6;
  }
  ~Talvo() {
    if (client_.Connected()) client_.Request(Cmd("quit"), 5000);
    if (!process_.waitForFinished(15000)) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  bool Ok() const { return ok_; }
  // From the start of the process to its answer to `ready`.
  double StartMs() const { return startMs_; }
  QString Folder(const char* name) const { return root_.path() + QLatin1Char('/') + QLatin1String(name); }
  QString MouseFolder() const { return Folder("home") + QStringLiteral("/Documents/Gaming MouseV1/ms"); }

  // A request; with `timed`, how long its answer took counts towards
  // Longest(). The bench's own look at the traffic log is not timed: its
  // answer grows with the log.
  std::optional<QJsonObject> Request(const QJsonObject& request, bool timed = true) {
    QElapsedTimer clock;
    clock.start();
    auto reply = client_.Request(request, kTimeoutMs);
    if (timed) longest_ = std::max(longest_, double(clock.nsecsElapsed()) / 1e6);
    return reply;
  }
  // The longest answer time since the last call.
  double Longest() { return std::exchange(longest_, 0.0); }

  // Sends a `get` every 5 ms for `forMs`, or until done() holds (asked
  // every 100 ms).
  void Probe(int forMs, const std::function<bool()>& done = {}) {
    QJsonObject get = Cmd("get");
    get[QStringLiteral("name")] = QStringLiteral("ms_tab");
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; clock.elapsed() < forMs; ++n) {
      if (done && n % 20 == 19 && done()) break;
      Request(get);
      QThread::msleep(kProbeEveryMs);
    }
  }

  // Commands the mouse received since the last clear.
  std::vector<int> Commands() {
    std::vector<int> out;
    if (const auto reply = Request(SimOp("traffic"), false))
      for (const QJsonValue& v : reply->value(QStringLiteral("requests")).toArray())
        out.push_back(
            QByteArray::fromHex(v.toObject().value(QStringLiteral("hex")).toString().mid(6, 2).toLatin1()).at(0) &
            0xFF);
    return out;
  }
  // A full read (begin, information block, …, end) has reached the mouse.
  bool FullReadDone() {
    bool info = false;
    for (int c : Commands()) {
      info = info || c == 3;
      if (info && c == 2) return true;
    }
    return false;
  }

 private:
  QTemporaryDir root_;
  QProcess process_;
  talvo::tools::AutomationClient client_;
  bool ok_ = false;
  double startMs_ = 0;
  double longest_ = 0;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

QJsonObject Notify(int usage) {
  QJsonObject o = SimOp("notify");
  o[QStringLiteral("usage")] = usage;
  return o;
}

// A started talvo whose mouse has been read once.
std::unique_ptr<Talvo> WithMouseRead(const QString& binary) {
  auto talvo = std::make_unique<Talvo>(binary, "mouse");
  if (!talvo->Ok()) return nullptr;
  const QDeadlineTimer deadline(kTimeoutMs);
  while (!talvo->FullReadDone()) {
    if (deadline.hasExpired()) return nullptr;
    QThread::msleep(20);
  }
  QThread::msleep(500);
  talvo->Request(SimOp("clear"));
  return talvo;
}

// The same probing while nothing is asked of the mouse: what painting the
// window and the machine itself cost.
std::optional<double> NothingAsked(const QString& binary) {
  const auto talvo = WithMouseRead(binary);
  if (!talvo) return std::nullopt;
  talvo->Longest();
  talvo->Probe(2000);
  return talvo->Longest();
}

std::optional<double> PlugAndRead(const QString& binary) {
  Talvo talvo(binary, "none");
  if (!talvo.Ok()) return std::nullopt;
  talvo.Longest();
  talvo.Request(SimOp("plug"));
  // Attach, the full read 500 ms later, and its end.
  talvo.Probe(3000, [&] { return talvo.FullReadDone(); });
  return talvo.Longest();
}

std::optional<double> RereadOnRequest(const QString& binary, int silentRequests) {
  const auto talvo = WithMouseRead(binary);
  if (!talvo) return std::nullopt;
  if (silentRequests > 0) {
    QJsonObject fault = SimOp("fault");
    fault[QStringLiteral("fault")] = QStringLiteral("no_reply");
    fault[QStringLiteral("count")] = silentRequests;
    talvo->Request(fault);
  }
  talvo->Longest();
  talvo->Request(Notify(0x402));
  // Each unanswered request costs four tries of 300 ms.
  talvo->Probe(1000 + silentRequests * 300, [&] { return talvo->FullReadDone(); });
  return talvo->Longest();
}

std::optional<double> SwitchProfile(const QString& binary) {
  const auto talvo = WithMouseRead(binary);
  if (!talvo) return std::nullopt;
  QJsonObject click = Cmd("click");
  click[QStringLiteral("name")] = QStringLiteral("ms_profile_1");
  talvo->Longest();
  talvo->Request(click);
  talvo->Probe(500);
  return talvo->Longest();
}

// The key page's store button with one macro that fills the mouse's 4096
// bytes of macro memory: 74 image chunks and the key map.
std::optional<double> StoreFullMacroMemory(const QString& binary) {
  const auto talvo = WithMouseRead(binary);
  if (!talvo) return std::nullopt;
  constexpr int kSteps = (4096 - 16 - 6) / 4;
  QFile index(talvo->MouseFolder() + QStringLiteral("/msMacro.ini"));
  QFile macro(talvo->MouseFolder() + QStringLiteral("/full.mac"));
  if (!index.open(QIODevice::WriteOnly) || !macro.open(QIODevice::WriteOnly)) return std::nullopt;
  index.write("[MACROCOUNT]\ncount=1\n[MACRONAME]\n0=full\n[CURSORCOUNT]\ncount=4\n");
  macro.write(QByteArray("[MACROACTIONCOUNT]\ncount=") + QByteArray::number(kSteps) + "\n[MACROACTION]\n");
  for (int i = 0; i < kSteps; ++i)
    macro.write(QByteArray::number(i) + "=10,0," + QByteArray::number(i % 2 ? 4 : 132) + ",4,0,keyboard_key_A\n");
  index.close();
  macro.close();
  QJsonObject tab = Cmd("check");
  tab[QStringLiteral("name")] = QStringLiteral("ms_key_Op_tab");
  tab[QStringLiteral("on")] = true;
  talvo->Request(tab);
  QJsonObject click = Cmd("click");
  click[QStringLiteral("name")] = QStringLiteral("ms_key_butt_prosave");
  talvo->Longest();
  talvo->Request(click);
  talvo->Probe(3000, [&] {
    const std::vector<int> commands = talvo->Commands();
    return commands.size() > 80 && commands.back() == 2;
  });
  return talvo->Longest();
}

// Importing a 60-byte macro file that claims 99,999,999 steps and holds none.
std::optional<double> ImportClaimingFile(const QString& binary) {
  const auto talvo = WithMouseRead(binary);
  if (!talvo) return std::nullopt;
  const QString source = talvo->Folder("claims.mac");
  WriteFile(source, "[MACROACTIONCOUNT]\ncount=99999999\n[MACROSELECTNAME]\nname=claims\n");
  for (const char* tab : {"ms_tab", "ms_macro_Op_tab"}) {
    QJsonObject check = Cmd("check");
    check[QStringLiteral("name")] = QLatin1String(tab);
    check[QStringLiteral("on")] = true;
    talvo->Request(check);
  }
  QJsonObject dialogs = Cmd("dialogs");
  dialogs[QStringLiteral("paths")] = QJsonArray{source};
  talvo->Request(dialogs);
  QJsonObject click = Cmd("click");
  click[QStringLiteral("name")] = QStringLiteral("ms_macro_btn_import");
  talvo->Longest();
  talvo->Request(click);
  talvo->Probe(500);
  return talvo->Longest();
}

// A start with an index claiming 999,999 macros and naming none (each then
// reads as "0") beside a "0.mac" claiming 999,999 steps and holding one, or
// with an ordinary folder; until the window answers.
std::optional<double> StartWith(const QString& binary, bool claiming) {
  const Talvo talvo(binary, "none", [claiming](const QString& folder) {
    if (!claiming) return;
    WriteFile(folder + QStringLiteral("/msMacro.ini"), "[MACROCOUNT]\ncount=999999\n");
    WriteFile(folder + QStringLiteral("/0.mac"), "[MACROACTIONCOUNT]\ncount=999999\n[MACROACTION]\n0=1,0,129,1,1,x\n");
  });
  return talvo.Ok() ? std::optional(talvo.StartMs()) : std::nullopt;
}

// Profile files written while a slider is dragged through 100 steps in a
// second, and in the 300 ms after.
std::optional<int> DragWrites(const QString& binary) {
  const auto talvo = WithMouseRead(binary);
  if (!talvo) return std::nullopt;
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || ::inotify_add_watch(watch, talvo->MouseFolder().toLocal8Bit().constData(), IN_MOVED_TO) < 0)
    return std::nullopt;
  QElapsedTimer clock;
  clock.start();
  for (int step = 0; step < 100; ++step) {
    QJsonObject set = Cmd("set_value");
    set[QStringLiteral("name")] = QStringLiteral("ms_deng_light_slider");
    set[QStringLiteral("value")] = step % 5;
    talvo->Request(set);
    const qint64 next = (step + 1) * 10;
    if (clock.elapsed() < next) QThread::msleep(unsigned(next - clock.elapsed()));
  }
  QThread::msleep(300);
  int writes = 0;
  alignas(inotify_event) std::array<char, 1 << 16> buffer;
  for (ssize_t n; (n = ::read(watch, buffer.data(), buffer.size())) > 0;)
    for (ssize_t at = 0; at < n;
         at += ssize_t(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer.data() + at)->len))
      ++writes;
  ::close(watch);
  return writes;
}

void Row(const char* what, const std::vector<std::optional<double>>& values, const char* unit) {
  std::printf("%-44s", what);
  for (const auto& v : values) {
    if (v) {
      std::printf(" %12.1f %-5s", *v, unit);
    } else {
      std::printf(" %18s", "failed");
    }
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<QString> binaries;
  for (int i = 1; i < argc; ++i) binaries.push_back(QString::fromLocal8Bit(argv[i]));
  if (binaries.empty()) binaries.push_back(QStringLiteral(TALVO_BINARY));

  std::printf("%-44s", "longest UI stall / writes");
  for (const QString& b : binaries) std::printf(" %18s", qPrintable(QFileInfo(b).absoluteFilePath().right(18)));
  std::printf("\n");
  const auto each = [&](const std::function<std::optional<double>(const QString&)>& measure) {
    std::vector<std::optional<double>> out;
    for (const QString& b : binaries) out.push_back(measure(b));
    return out;
  };
  Row("nothing asked (for reference)", each(NothingAsked), "ms");
  Row("mouse plugged in and fully read", each(PlugAndRead), "ms");
  Row("full read on usage 0x402", each([](const QString& b) { return RereadOnRequest(b, 0); }), "ms");
  Row("onboard profile switch", each(SwitchProfile), "ms");
  Row("0x402 read, mouse silent for 10 requests", each([](const QString& b) { return RereadOnRequest(b, 10); }), "ms");
  Row("0x402 read, mouse silent for 50 requests", each([](const QString& b) { return RereadOnRequest(b, 50); }), "ms");
  Row("key profile stored, macro memory full", each(StoreFullMacroMemory), "ms");
  Row(".mac claiming 99999999 steps imported", each(ImportClaimingFile), "ms");
  Row("start to ready, ordinary folder", each([](const QString& b) { return StartWith(b, false); }), "ms");
  Row("start to ready, files claiming 999999", each([](const QString& b) { return StartWith(b, true); }), "ms");
  Row("profile files written, 1 s slider drag", each([](const QString& b) -> std::optional<double> {
        const auto writes = DragWrites(b);
        return writes ? std::optional<double>(*writes) : std::nullopt;
      }),
      "files");
  return 0;
}
