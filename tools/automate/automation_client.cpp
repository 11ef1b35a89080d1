#include "tools/automate/automation_client.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QThread>

namespace talvo::tools {

bool AutomationClient::Connect(const QString& path, int timeoutMs) {
  // Qt looks for a socket named by a relative path in the temporary folder;
  // the user means the current one.
  const QString absolute = QDir::current().absoluteFilePath(path);
  const QDeadlineTimer deadline(timeoutMs);
  while (true) {
    socket_.connectToServer(absolute);
    if (socket_.waitForConnected(200)) return true;
    socket_.abort();
    if (deadline.hasExpired()) return false;
    QThread::msleep(20);
  }
}

std::optional<QJsonObject> AutomationClient::Request(const QJsonObject& request, int timeoutMs) {
  return RequestText(QJsonDocument(request).toJson(QJsonDocument::Compact), timeoutMs);
}

std::optional<QJsonObject> AutomationClient::RequestText(const QByteArray& json, int timeoutMs) {
  if (!Connected()) return std::nullopt;
  socket_.write(json + '\n');
  if (!socket_.waitForBytesWritten(timeoutMs)) return std::nullopt;
  const QDeadlineTimer deadline(timeoutMs);
  qsizetype end;
  while ((end = pending_.indexOf('\n')) < 0) {
    if (deadline.hasExpired() || !socket_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
      return std::nullopt;
    pending_ += socket_.readAll();
  }
  const QByteArray line = pending_.left(end);
  pending_.remove(0, end + 1);
  const QJsonDocument reply = QJsonDocument::fromJson(line);
  if (!reply.isObject()) return std::nullopt;
  return reply.object();
}

}  // namespace talvo::tools
