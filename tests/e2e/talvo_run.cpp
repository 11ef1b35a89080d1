#include "tests/e2e/talvo_run.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QThread>
#include <cstdio>

namespace talvo::e2e {
namespace {

constexpr int kPollPauseMs = 20;

bool MakePrivateFolder(const QString& path) {
  // The single-instance socket is only trusted in a folder no one else can
  // enter, as a real runtime folder is.
  return QDir().mkpath(path) &&
         QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace

UserFolders::UserFolders() : root_(QDir::tempPath() + QStringLiteral("/talvo-e2e-XXXXXX")) {
  if (!root_.isValid()) return;
  QDir root(root_.path());
  valid_ = root.mkpath(QStringLiteral("home")) && root.mkpath(QStringLiteral("config")) &&
           root.mkpath(QStringLiteral("system")) && root.mkpath(QStringLiteral("data")) &&
           MakePrivateFolder(RuntimeDir());
}

QString UserFolders::NewRuntimeDir(const QString& name) {
  const QString path = Root() + QLatin1Char('/') + name;
  return MakePrivateFolder(path) ? path : QString();
}

QProcessEnvironment UserFolders::Environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // Whatever the caller's shell chose must not steer the program under test.
  for (const char* name : {"TALVO_TRAY", "TALVO_AUTOMATION"}) env.remove(QLatin1String(name));
  env.insert(QStringLiteral("HOME"), Root() + QStringLiteral("/home"));
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), RuntimeDir());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), Root() + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_CONFIG_DIRS"), Root() + QStringLiteral("/system"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), Root() + QStringLiteral("/data"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("TALVO_DEBUG"), QStringLiteral("1"));
  // No session bus unless a test brings its own: the program under test
  // never offers its service on the bus of the desktop running the tests.
  env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
             QStringLiteral("unix:path=") + Root() + QStringLiteral("/no-bus"));
  return env;
}

TalvoRun::TalvoRun(QProcessEnvironment environment, QString socketPath, QString logPath, const QString& simulated,
                   const QStringList& extraArguments)
    : socketPath_(std::move(socketPath)), logPath_(std::move(logPath)) {
  process_.setProgram(QStringLiteral(TALVO_BINARY));
  process_.setArguments(QStringList{QStringLiteral("--simulate=") + simulated, QStringLiteral("--automation"),
                                    socketPath_} +
                        extraArguments);
  process_.setProcessEnvironment(environment);
  // Into files rather than pipes: nothing here reads the pipes while the
  // program runs, and a full pipe would stall it.
  process_.setStandardOutputFile(logPath_, QIODevice::Append);
  process_.setStandardErrorFile(logPath_, QIODevice::Append);
}

TalvoRun::~TalvoRun() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool TalvoRun::Start() {
  process_.start();
  if (!process_.waitForStarted(kStartTimeoutMs)) return false;
  const QDeadlineTimer deadline(kStartTimeoutMs);
  while (!deadline.hasExpired()) {
    if (client_.Connect(socketPath_, 100)) return true;
    // Updates the state when the program has already given up.
    if (process_.waitForFinished(0) || process_.state() == QProcess::NotRunning) return false;
  }
  return false;
}

QJsonObject TalvoRun::Request(const QJsonObject& request) {
  return RequestText(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

QJsonObject TalvoRun::RequestText(const QByteArray& line) {
  const auto reply = client_.RequestText(line);
  if (!reply) {
    ADD_FAILURE() << "no reply to " << line.constData();
    return {};
  }
  return *reply;
}

QJsonArray TalvoRun::WaitForMessages(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  while (true) {
    const QJsonObject reply = Request("messages");
    const QJsonArray messages = reply.value(QLatin1String("messages")).toArray();
    if (!messages.isEmpty() || reply.isEmpty() || deadline.hasExpired()) return messages;
    QThread::msleep(kPollPauseMs);
  }
}

bool TalvoRun::WaitForExit(int timeoutMs) {
  return process_.state() == QProcess::NotRunning || process_.waitForFinished(timeoutMs);
}

QString TalvoRun::Log() const {
  QFile file(logPath_);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool WaitFor(TalvoRun& talvo, const std::function<bool()>& done, int timeoutMs) {
  constexpr int kStepMs = 50;
  for (int waited = 0; waited < timeoutMs; waited += kStepMs) {
    if (done()) return true;
    Pause(talvo, kStepMs);
  }
  return done();
}

void Pause(TalvoRun& talvo, int ms) { talvo.Request(QJsonObject{{"cmd", "wait"}, {"ms", ms}}); }

std::vector<int> SequenceCommands(TalvoRun& talvo, const char* device) {
  constexpr int kFrame = 18;
  std::vector<int> out;
  for (const QJsonValue& v : talvo.Request(Sim("traffic", device)).value("requests").toArray()) {
    const int command = QByteArray::fromHex(v.toObject().value("hex").toString().mid(6, 2).toLatin1()).at(0) & 0xFF;
    if (command != kFrame) out.push_back(command);
  }
  return out;
}

std::vector<int> Collapsed(const std::vector<int>& commands) {
  std::vector<int> out;
  for (int c : commands)
    if (out.empty() || out.back() != c) out.push_back(c);
  return out;
}

QByteArray SimMemory(TalvoRun& talvo, const char* area, const char* device) {
  const QJsonObject reply =
      talvo.Request(QJsonObject{{"cmd", "sim"}, {"op", "memory"}, {"device", device}, {"area", area}});
  return QByteArray::fromHex(reply.value("hex").toString().toLatin1());
}

QJsonArray Messages(TalvoRun& talvo) { return talvo.Request("messages").value("messages").toArray(); }

void WaitForKeyMapWrite(TalvoRun& talvo) {
  EXPECT_TRUE(WaitFor(talvo, [&] {
    const std::vector<int> commands = Collapsed(SequenceCommands(talvo));
    return commands.size() >= 3 && commands[commands.size() - 2] == 9;
  }));
  talvo.Request(Sim("clear"));
}

void OpenMouseTab(TalvoRun& talvo, const char* tab) {
  // The full read ends the start-up traffic: over a hundred requests, the
  // last one ending the transfer.
  EXPECT_TRUE(WaitFor(talvo, [&] {
    const std::vector<int> commands = SequenceCommands(talvo);
    return commands.size() > 100 && commands.back() == 2;
  }));
  for (const char* name : {"ms_tab", tab}) talvo.Request(QJsonObject{{"cmd", "check"}, {"name", name}, {"on", true}});
  talvo.Request(Sim("clear"));
}

void E2eTest::SetUp() {
  ASSERT_TRUE(folders_.Valid()) << "cannot create the user folders under " << qPrintable(QDir::tempPath());
}

void E2eTest::TearDown() {
  if (HasFailure()) {
    for (const auto& run : runs_)
      std::fprintf(stderr, "--- talvo output (%s)\n%s", qPrintable(run->SocketPath()), qPrintable(run->Log()));
  }
  runs_.clear();
}

QProcessEnvironment E2eTest::Environment(const Variables& variables) const {
  QProcessEnvironment env = folders_.Environment();
  for (const auto& [name, value] : variables) env.insert(name, value);
  return env;
}

TalvoRun& E2eTest::Launch(const Variables& variables, const QString& simulated) {
  return Launch(Environment(variables), simulated);
}

TalvoRun& E2eTest::Launch(const QProcessEnvironment& environment, const QString& simulated,
                          const QStringList& extraArguments) {
  const int n = int(runs_.size()) + 1;
  const QString base = folders_.Root() + QStringLiteral("/talvo-%1").arg(n);
  auto& run = runs_.emplace_back(std::make_unique<TalvoRun>(environment, base + QStringLiteral(".sock"),
                                                            base + QStringLiteral(".log"), simulated, extraArguments));
  EXPECT_TRUE(run->Start()) << "talvo did not come up; its output:\n" << qPrintable(run->Log());
  return *run;
}

}  // namespace talvo::e2e
