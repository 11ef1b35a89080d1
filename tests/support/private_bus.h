// A D-Bus daemon of a test's own, standing in for the system bus, and a
// connection on it that plays logind's sleep notifications. Tests that
// follow suspend and resume use these instead of the machine's buses.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

namespace talvo::test_support {

// dbus-daemon started with the session configuration (anyone may own any
// name) on a fresh address; stopped with the object.
class PrivateBus {
 public:
  PrivateBus() = default;
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Whether dbus-daemon is installed; without it tests skip rather than fail.
  static bool Available();
  // Starts the daemon and waits for its address; false (with Error()) when
  // it does not come up.
  bool Start();
  // The address for QDBusConnection::connectToBus or DBUS_SYSTEM_BUS_ADDRESS.
  const QString& Address() const { return address_; }
  const QString& Error() const { return error_; }

 private:
  QProcess daemon_;
  QString address_;
  QString error_;
};

// A connection that owns "org.freedesktop.login1" and sends its
// PrepareForSleep signal, as logind does around a suspend.
class SleepNotifier {
 public:
  // connectionName: the name Qt keeps the connection under in this process.
  SleepNotifier(const QString& busAddress, const QString& connectionName);
  ~SleepNotifier();
  SleepNotifier(const SleepNotifier&) = delete;
  SleepNotifier& operator=(const SleepNotifier&) = delete;

  // Connected and owning the name.
  bool Ready() const { return ready_; }
  bool Send(bool goingToSleep);

 private:
  QString connectionName_;
  QDBusConnection connection_;
  bool ready_ = false;
};

}  // namespace talvo::test_support
