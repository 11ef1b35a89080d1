#include "app/instance/single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <cerrno>
#include <string>

#include "platform/debug.h"

namespace talvo::app {
namespace {

// Starts racing each other settle within a few hundred milliseconds; the
// bound only matters when a live process holds the lock and never answers.
constexpr int kAcquireBudgetMs = 5000;
constexpr int kRetryPauseMs = 25;
constexpr int kSocketWaitMs = 1000;
// Longer than any line of the protocol.
constexpr qsizetype kMaxPendingLine = 64;

void Debug(const QString& text) { debug::Line(text.toStdString()); }

// Without $XDG_RUNTIME_DIR the socket goes into a folder of our own under the
// temporary folder: a name directly in a shared, world-writable folder could
// be taken first by another user, who would then receive our activations or
// keep us from starting.
QString PrivateTempFolder() {
  const QString folder = QDir::tempPath() + QStringLiteral("/talvo-%1").arg(::getuid());
  const std::string native = QFile::encodeName(folder).toStdString();
  if (::mkdir(native.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (::lstat(native.c_str(), &st) != 0) return {};
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) return {};
  return folder;
}

QString SocketPathIn(QString runtimeDir) {
  if (runtimeDir.isEmpty()) runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  // A relative runtime folder is to be ignored, as for any XDG variable.
  if (runtimeDir.isEmpty() || !QDir::isAbsolutePath(runtimeDir)) runtimeDir = PrivateTempFolder();
  if (runtimeDir.isEmpty()) return {};
  return runtimeDir + QLatin1Char('/') + QLatin1String(SingleInstance::kName);
}

}  // namespace

int TakeActivations(QByteArray& buffer, bool& overflow) {
  const QByteArrayView activation(SingleInstance::kActivation);
  int count = 0;
  qsizetype start = 0;
  for (qsizetype end = buffer.indexOf('\n', start); end >= 0; end = buffer.indexOf('\n', start)) {
    if (QByteArrayView(buffer.constData() + start, end - start) == activation) ++count;
    start = end + 1;
  }
  buffer.remove(0, start);
  overflow = buffer.size() > kMaxPendingLine;
  if (overflow) buffer.clear();
  return count;
}

SingleInstance::SingleInstance(QString runtimeDir, QObject* parent)
    : QObject(parent), socketPath_(SocketPathIn(std::move(runtimeDir))) {}

SingleInstance::~SingleInstance() {
  // The socket goes before the lock: once the lock is free a new start may
  // listen on the same name, and closing our server afterwards would remove
  // its socket.
  server_.reset();
  lock_.reset();
}

SingleInstance::Role SingleInstance::Acquire() {
  if (server_) return Role::Primary;
  if (socketPath_.isEmpty()) {
    Debug(QStringLiteral("single instance: no private folder for the socket; running unguarded"));
    return Role::Primary;
  }
  lock_ = std::make_unique<QLockFile>(socketPath_ + QStringLiteral(".lock"));
  // The primary holds the lock for its whole life, so age must never make it
  // stale; a lock whose owner died is still recognised by its process id.
  lock_->setStaleLockTime(0);

  const QDeadlineTimer deadline(kAcquireBudgetMs);
  do {
    if (SendActivation()) {
      lock_.reset();
      return Role::Secondary;
    }
    if (lock_->tryLock(0)) {
      if (!Listen()) Debug(QStringLiteral("single instance: cannot listen on %1; running unguarded").arg(socketPath_));
      return Role::Primary;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
      Debug(QStringLiteral("single instance: cannot create %1; running unguarded").arg(socketPath_ + ".lock"));
      lock_.reset();
      return Role::Primary;
    }
    // Another start holds the lock and is about to listen.
    QThread::msleep(kRetryPauseMs);
  } while (!deadline.hasExpired());

  // A live process holds the name but never answers: starting a second
  // program next to it would have two of them driving the same devices.
  Debug(QStringLiteral("single instance: %1 is held by a process that does not answer").arg(socketPath_));
  lock_.reset();
  return Role::Secondary;
}

bool SingleInstance::SendActivation() const {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(kSocketWaitMs)) return false;
  socket.write(kActivation);
  socket.write("\n");
  socket.waitForBytesWritten(kSocketWaitMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kSocketWaitMs);
  return true;
}

bool SingleInstance::Listen() {
  // Whatever is at the path now was left by an instance that died without
  // closing it: we hold the lock, so no live instance owns it.
  QLocalServer::removeServer(socketPath_);
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(socketPath_)) {
    Debug(QStringLiteral("single instance: %1").arg(server_->errorString()));
    server_.reset();
    return false;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
  return true;
}

void SingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    auto pending = std::make_shared<QByteArray>();
    auto drain = [this, socket, pending] {
      pending->append(socket->readAll());
      bool overflow = false;
      const int count = TakeActivations(*pending, overflow);
      if (overflow) {
        Debug(QStringLiteral("single instance: dropping a peer that sends no line end"));
        socket->abort();
      }
      for (int i = 0; i < count; ++i) Q_EMIT activated();
    };
    connect(socket, &QLocalSocket::readyRead, this, drain);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // A second start may have written and gone before the connection was
    // taken from the queue: its bytes are already waiting.
    drain();
    if (socket->state() == QLocalSocket::UnconnectedState) socket->deleteLater();
  }
}

}  // namespace talvo::app
