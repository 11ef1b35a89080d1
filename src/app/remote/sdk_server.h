// The lighting SDK server: other programs drive the devices' lights over
// the OpenRGB SDK protocol on a loopback TCP port. The protocol itself is in
// sdk/; the devices as controllers in pages/remote/sdk_devices. This is the
// sockets: one connection per client, bounded in number and in what waits
// to be sent, and the device-list news for every client when a device comes
// or goes. Lives on the UI thread; the sockets are read and written on a
// thread of their own (SdkSockets), which carries out colour updates while
// the UI thread is busy.
//
// Any local user may connect, so no client can hold the server: when every
// place is taken, a new client takes the place of the one idle longest, if
// that one has sent no request for kIdleAfter; and what each client makes
// the server log is bounded (LogThrottle).
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "app/remote/log_throttle.h"
#include "app/remote/sdk_sockets.h"
#include "sdk/sdk_connection.h"
#include "sdk/sdk_host.h"

class QSocketNotifier;

namespace talvo::app {

class SdkServer : public QObject {
  Q_OBJECT

 public:
  using Clock = std::chrono::steady_clock;

  static constexpr int kMaxClients = 16;
  // A client that leaves this much unread is dropped.
  static constexpr qint64 kMaxUnsent = 4 * 1024 * 1024;
  // What of a client's requests may wait for the UI thread before its
  // socket is read no more until the UI thread catches up.
  static constexpr size_t kMaxWaiting = 1024 * 1024;
  // A client without a request for this long gives its place to a new one
  // when the server is full.
  static constexpr Clock::duration kIdleAfter = std::chrono::seconds(60);

  struct Hooks {
    // Where the server's lines go; warnings on stderr when empty.
    std::function<void(std::string_view line)> log;
    // What idleness is measured by; the steady clock when empty.
    std::function<Clock::time_point()> now;
  };

  // `devices` must outlive the server.
  explicit SdkServer(sdk::SdkHostSource& devices, Hooks hooks = {}, QObject* parent = nullptr);
  ~SdkServer() override;

  // Listens on a loopback address only; false (with a log line) for any
  // other address or when the port is taken.
  bool Start(const QString& address, quint16 port);
  void Stop();
  bool Running() const;
  quint16 Port() const;
  // Tells every client the device list changed.
  void DevicesChanged();

 private:
  struct Client {
    int id = 0;
    std::unique_ptr<sdk::SdkHost> host;
    std::unique_ptr<LogThrottle> log;
    std::unique_ptr<sdk::SdkConnection> connection;
    Clock::time_point lastRequest;
  };
  class Listener;

  void Accept(qintptr socket);
  // Closes the client idle longest if it has been idle kIdleAfter; false
  // when none has.
  bool DropIdlest();
  // What the socket thread handed over: requests to carry out, clients gone.
  void TakeEvents();
  // Forgets the client; Drop() also closes its socket.
  void Forget(int client);
  void Drop(int client);

  sdk::SdkHostSource& devices_;
  Hooks hooks_;
  std::unique_ptr<Listener> server_;
  std::unique_ptr<SdkSockets> sockets_;
  std::unique_ptr<QSocketNotifier> events_;
  std::map<int, Client> clients_;
  // The clients turned away while the server is full.
  LogThrottle turnedAway_;
  int nextClient_ = 1;
};

}  // namespace talvo::app
