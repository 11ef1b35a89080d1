#pragma once

#include <QDBusConnection>
#include <QObject>

namespace talvo::app {

// Follows the session manager's sleep notifications. Without a system bus
// (containers, minimal sessions) nothing ever arrives and the system counts
// as awake.
class SleepWatcher : public QObject {
  Q_OBJECT

 public:
  explicit SleepWatcher(QObject* parent = nullptr);
  // Watches on the given bus; tests hand in a private bus.
  explicit SleepWatcher(const QDBusConnection& bus, QObject* parent = nullptr);

  bool watching() const { return watching_; }
  bool awake() const { return awake_; }

 Q_SIGNALS:
  void suspending();
  void resumed();

 private Q_SLOTS:
  void OnPrepareForSleep(bool goingToSleep);

 private:
  bool watching_ = false;
  bool awake_ = true;
};

}  // namespace talvo::app
