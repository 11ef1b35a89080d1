// A client of Talvo's automation socket: one JSON request per line out, one
// reply per line back.
#pragma once

#include <QJsonObject>
#include <QLocalSocket>
#include <QString>
#include <optional>

namespace talvo::tools {

class AutomationClient {
 public:
  // Connects to the socket at path (a relative one in the current folder),
  // retrying until it appears or timeoutMs has passed (the program may still
  // be starting).
  bool Connect(const QString& path, int timeoutMs);
  // Sends one request and waits for its reply; nothing on a broken
  // connection, a time-out or a reply that is not a JSON object.
  std::optional<QJsonObject> Request(const QJsonObject& request, int timeoutMs = 10000);
  // The same for a request already written as JSON text.
  std::optional<QJsonObject> RequestText(const QByteArray& json, int timeoutMs = 10000);
  bool Connected() const { return socket_.state() == QLocalSocket::ConnectedState; }

 private:
  QLocalSocket socket_;
  QByteArray pending_;
};

}  // namespace talvo::tools
