#include "tests/support/private_bus.h"

#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QStandardPaths>

namespace talvo::test_support {
namespace {

constexpr int kWaitMs = 20000;

QString DaemonProgram() { return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")); }

}  // namespace

PrivateBus::~PrivateBus() {
  if (daemon_.state() == QProcess::NotRunning) return;
  daemon_.terminate();
  if (!daemon_.waitForFinished(kWaitMs)) {
    daemon_.kill();
    daemon_.waitForFinished(kWaitMs);
  }
}

bool PrivateBus::Available() { return !DaemonProgram().isEmpty(); }

bool PrivateBus::Start() {
  daemon_.start(DaemonProgram(), {"--session", "--nofork", "--nopidfile", "--print-address"});
  if (!daemon_.waitForStarted(kWaitMs)) {
    error_ = QStringLiteral("dbus-daemon did not start: ") + daemon_.errorString();
    return false;
  }
  // The address is the daemon's first line of output once it listens.
  const QDeadlineTimer deadline(kWaitMs);
  while (!daemon_.canReadLine() && !deadline.hasExpired() && daemon_.state() == QProcess::Running)
    daemon_.waitForReadyRead(100);
  address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
  if (address_.isEmpty()) {
    error_ = QStringLiteral("dbus-daemon printed no address: ") +
             QString::fromLocal8Bit(daemon_.readAllStandardError());
    return false;
  }
  return true;
}

SleepNotifier::SleepNotifier(const QString& busAddress, const QString& connectionName)
    : connectionName_(connectionName), connection_(QDBusConnection::connectToBus(busAddress, connectionName)) {
  ready_ = connection_.isConnected() && connection_.registerService(QStringLiteral("org.freedesktop.login1"));
}

SleepNotifier::~SleepNotifier() { QDBusConnection::disconnectFromBus(connectionName_); }

bool SleepNotifier::Send(bool goingToSleep) {
  QDBusMessage signal =
      QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                 QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
  signal << goingToSleep;
  return connection_.send(signal);
}

}  // namespace talvo::test_support
