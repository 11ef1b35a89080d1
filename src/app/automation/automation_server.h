// The automation socket: a local socket that takes one JSON request per line
// and acts on the window exactly as a person would, raising the same
// notifications through the same routing as a click or a keystroke.
//
// Everything runs on the UI thread. A request that changes something raises
// its user action synchronously, so its notification has been handled when
// the reply is written. Each client's requests are answered in order: a
// request that replies later ("wait", "ready") holds back the ones after it.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <functional>
#include <deque>
#include <map>
#include <optional>

#include "app/automation/automation_request.h"

class QLocalServer;
class QLocalSocket;

namespace talvo::sim {
class SimulatedBackend;
}

namespace talvo::app {

class AutomationHost;
class QtWindow;
class ScriptedDialogs;

class AutomationServer final : public QObject {
  Q_OBJECT
 public:
  // host and backend may be null: their commands are then refused as bad
  // arguments.
  AutomationServer(QtWindow& window, ScriptedDialogs& dialogs, AutomationHost* host,
                   sim::SimulatedBackend* backend, QObject* parent = nullptr);
  // Removes the socket file.
  ~AutomationServer() override;

  // Listens at the path given (a relative one in the current folder),
  // readable and writable by this user only. A socket file left there by an
  // earlier run is replaced; any other file is left alone and listening
  // fails. The reason goes to stderr.
  bool Listen(const QString& given);

 private:
  using Reply = std::function<void(QJsonObject)>;
  struct Client {
    QByteArray partial;  // the line being received
    // Complete lines in arrival order; nothing stands for an overlong line.
    std::deque<std::optional<QByteArray>> lines;
    bool busy = false;        // a request is being answered
    bool discarding = false;  // skipping the rest of an overlong line
  };

  void OnConnection();
  void OnReadable(QLocalSocket* socket);
  // Answers the buffered complete lines until one must wait.
  void Pump(QLocalSocket* socket);
  void Answer(QLocalSocket* socket, const std::optional<QByteArray>& line);
  // Runs one request; reply is called exactly once, now or later.
  void Execute(const Request& r, const Reply& reply);
  QJsonObject ExecuteControl(const Request& r);
  QJsonObject ExecuteSim(const Request& r);
  QJsonObject ExecuteHost(const Request& r, const Reply& reply, bool& deferred);
  QJsonObject Screenshot(const QString& path);

  QtWindow& window_;
  ScriptedDialogs& dialogs_;
  AutomationHost* host_;
  sim::SimulatedBackend* backend_;
  QLocalServer* server_;
  std::map<QLocalSocket*, Client> clients_;
};

}  // namespace talvo::app
