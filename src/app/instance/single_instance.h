#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace talvo::app {

// One running Talvo per user session. The first start listens on a local
// socket named after the instance mutex; a later start connects, sends the
// activation line and leaves. A lock file beside the socket decides between
// starts that race each other, and lets a start take over the socket a killed
// instance left behind.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Role { Primary, Secondary };

  static constexpr const char* kName = "KAVLENDRVER1";
  static constexpr const char* kActivation = "ORVANTIS_004";

  // runtimeDir overrides $XDG_RUNTIME_DIR (tests run side by side with
  // their own folder).
  explicit SingleInstance(QString runtimeDir = {}, QObject* parent = nullptr);
  ~SingleInstance() override;

  Role Acquire();

  // Where the socket lives; empty when no private folder could be had.
  QString socketPath() const { return socketPath_; }

  // Primary whose socket listens; a primary that could not listen runs
  // unguarded rather than refusing to start.
  bool listening() const { return server_ && server_->isListening(); }

 Q_SIGNALS:
  void activated();

 private:
  bool SendActivation() const;
  bool Listen();
  void OnNewConnection();

  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  std::unique_ptr<QLocalServer> server_;
};

// Takes complete lines off the front of buffer and returns how many were the
// activation line. A peer that sends more than a line's worth without a line
// end is not speaking our protocol: overflow is set and the buffer cleared.
int TakeActivations(QByteArray& buffer, bool& overflow);

}  // namespace talvo::app
