// Runs the real talvo program for end-to-end tests: a private set of user
// folders, the process itself with its automation client, and the fixture
// that owns both so no program outlives its test.
#pragma once

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "tools/automate/automation_client.h"

namespace talvo::e2e {

// How long a start may take before the test gives up on it; starts take well
// under a second, the margin is for loaded machines and sanitizer builds.
inline constexpr int kStartTimeoutMs = 15000;
// How long a test waits for something the program does on its own (a device
// read, a tab appearing) before calling it missing.
inline constexpr int kWaitTimeoutMs = 5000;

// The folders Talvo keeps its state in (home, runtime, configuration, system
// configuration, data), all under one temporary folder removed afterwards.
class UserFolders {
 public:
  UserFolders();
  bool Valid() const { return valid_; }
  QString Root() const { return root_.path(); }
  QString RuntimeDir() const { return Root() + QStringLiteral("/run"); }
  // A further runtime folder, for a program that must not see this one's
  // single-instance socket.
  QString NewRuntimeDir(const QString& name);
  // The test's own environment with every user folder pointing here and the
  // offscreen platform chosen.
  QProcessEnvironment Environment() const;

 private:
  QTemporaryDir root_;
  bool valid_ = false;
};

// The mouse's profile folder among those folders.
inline QString MouseFolder(const UserFolders& folders) {
  return folders.Root() + QStringLiteral("/home/Documents/Gaming MouseV1/ms");
}

// One talvo process started with --simulate and an automation socket.
class TalvoRun {
 public:
  // simulated: the devices plugged in at start, as --simulate= takes them.
  // extraArguments follow the simulation and automation ones.
  TalvoRun(QProcessEnvironment environment, QString socketPath, QString logPath,
           const QString& simulated = QStringLiteral("mouse"), const QStringList& extraArguments = {});
  ~TalvoRun();
  TalvoRun(const TalvoRun&) = delete;
  TalvoRun& operator=(const TalvoRun&) = delete;

  // Starts the program and connects to its automation socket; false when it
  // exited or did not listen in time.
  bool Start();
  // Sends a request and returns the reply; a missing reply is a test failure
  // and gives an empty object.
  QJsonObject Request(const QJsonObject& request);
  QJsonObject Request(const char* cmd) { return Request(QJsonObject{{"cmd", cmd}}); }
  // Several requests in order, their replies unread.
  void Do(std::initializer_list<QJsonObject> requests) {
    for (const QJsonObject& request : requests) Request(request);
  }
  // The state of the control `name` (the `get` command).
  QJsonObject Get(const char* name) { return Request(QJsonObject{{"cmd", "get"}, {"name", name}}); }
  QJsonObject RequestText(const QByteArray& line);
  // The message boxes shown so far, polling until at least one is there or
  // timeoutMs has passed (activations from outside arrive asynchronously).
  QJsonArray WaitForMessages(int timeoutMs);

  // SIGTERM, as the session manager sends it.
  void Terminate() { process_.terminate(); }
  bool WaitForExit(int timeoutMs);
  bool ExitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
  int ExitCode() const { return process_.exitCode(); }
  const QString& SocketPath() const { return socketPath_; }
  qint64 Pid() const { return process_.processId(); }
  // The program's diagnostic output (TALVO_DEBUG=1), for failure reports.
  QString Log() const;

 private:
  QProcess process_;
  tools::AutomationClient client_;
  QString socketPath_;
  QString logPath_;
};

// A `sim` request: `op` on the simulated `device`.
inline QJsonObject Sim(const char* op, const char* device = "mouse") {
  return QJsonObject{{"cmd", "sim"}, {"op", op}, {"device", device}};
}

// A user's action on a control, as a request.
inline QJsonObject Click(const char* name) { return QJsonObject{{"cmd", "click"}, {"name", name}}; }
inline QJsonObject Check(const char* name, bool on = true) {
  return QJsonObject{{"cmd", "check"}, {"name", name}, {"on", on}};
}
inline QJsonObject Choose(const char* name, int index) {
  return QJsonObject{{"cmd", "select"}, {"name", name}, {"index", index}};
}
inline QJsonObject Type(const char* name, const QString& text) {
  return QJsonObject{{"cmd", "type"}, {"name", name}, {"text", text}};
}
// The next file dialog's answer.
inline QJsonObject Dialog(const QString& path) { return QJsonObject{{"cmd", "dialogs"}, {"paths", QJsonArray{path}}}; }

// A memory area of a simulated device.
QByteArray SimMemory(TalvoRun& talvo, const char* area, const char* device = "mouse");
// The message boxes shown since the last look.
QJsonArray Messages(TalvoRun& talvo);

// Polls `done` until it holds or timeoutMs has passed; between polls the
// program's event loop runs on (the `wait` command).
bool WaitFor(TalvoRun& talvo, const std::function<bool()>& done, int timeoutMs = kWaitTimeoutMs);
// Lets the program run for ms milliseconds.
void Pause(TalvoRun& talvo, int ms);

// Commands the simulated device received since the last clear, in order,
// without the lighting frames that flow on their own.
std::vector<int> SequenceCommands(TalvoRun& talvo, const char* device = "mouse");
// The same with each run of one command (the chunks of a write) as one entry.
std::vector<int> Collapsed(const std::vector<int>& commands);
// Up with the mouse's start-up read ended, its page and `tab` shown, and the
// mouse's log cleared.
void OpenMouseTab(TalvoRun& talvo, const char* tab);
// Waits until the simulated mouse has taken a key map (a store ends with
// one), then clears its log.
void WaitForKeyMapWrite(TalvoRun& talvo);

// Owns the folders and every program a test starts; on teardown kills what
// is still running and, when the test failed, prints the programs' output.
class E2eTest : public testing::Test {
 protected:
  using Variables = std::vector<std::pair<QString, QString>>;

  void SetUp() override;
  void TearDown() override;

  // Starts talvo in this test's folders with the given extra environment; a
  // start that does not come up is a test failure, and the requests then
  // fail at once.
  TalvoRun& Launch(const Variables& variables = {}, const QString& simulated = QStringLiteral("mouse"));
  TalvoRun& Launch(const QProcessEnvironment& environment, const QString& simulated = QStringLiteral("mouse"),
                   const QStringList& extraArguments = {});
  // The environment Launch uses, for a start that changes more than a few
  // variables.
  QProcessEnvironment Environment(const Variables& variables = {}) const;

  UserFolders folders_;
  std::vector<std::unique_ptr<TalvoRun>> runs_;
};

}  // namespace talvo::e2e
