#include "app/instance/sleep_watcher.h"

#include "platform/debug.h"

namespace talvo::app {

SleepWatcher::SleepWatcher(QObject* parent) : SleepWatcher(QDBusConnection::systemBus(), parent) {}

SleepWatcher::SleepWatcher(const QDBusConnection& bus, QObject* parent) : QObject(parent) {
  if (!bus.isConnected()) {
    debug::Line("sleep watcher: no system bus; sleep notifications are not followed");
    return;
  }
  // QDBusConnection is a shared handle; connect() on a copy registers on the
  // same connection.
  QDBusConnection connection(bus);
  watching_ = connection.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                 QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                 this, SLOT(OnPrepareForSleep(bool)));
  if (!watching_) debug::Line("sleep watcher: cannot subscribe to PrepareForSleep");
}

void SleepWatcher::OnPrepareForSleep(bool goingToSleep) {
  // The notification can repeat (a suspend that fails and is retried); each
  // change of state is reported once.
  if (goingToSleep == !awake_) return;
  awake_ = !goingToSleep;
  if (goingToSleep)
    Q_EMIT suspending();
  else
    Q_EMIT resumed();
}

}  // namespace talvo::app
