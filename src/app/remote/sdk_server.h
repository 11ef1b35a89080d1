// The lighting SDK server: other programs drive the devices' lights over
// the OpenRGB SDK protocol on a loopback TCP port. The protocol itself is in
// sdk/; the devices as controllers in pages/remote/sdk_devices. This is the
// sockets: one connection per client, bounded in number and in what waits
// to be sent, and the device-list news for every client when a device comes
// or goes. Runs on the UI thread.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <map>
#include <memory>

#include "pages/remote/sdk_devices.h"
#include "sdk/sdk_connection.h"

class QTcpServer;
class QTcpSocket;

namespace talvo::app {

class SdkServer : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxClients = 16;
  // A client that leaves this much unread is dropped.
  static constexpr qint64 kMaxUnsent = 4 * 1024 * 1024;

  // `devices` must outlive the server.
  explicit SdkServer(pages::remote::SdkDevices& devices, QObject* parent = nullptr);
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
    std::unique_ptr<sdk::SdkConnection> connection;
  };
  void Accept();
  void Read(QTcpSocket* socket);
  void Drop(QTcpSocket* socket);

  pages::remote::SdkDevices& devices_;
  std::unique_ptr<QTcpServer> server_;
  std::map<QTcpSocket*, Client> clients_;
  int nextClient_ = 1;
};

}  // namespace talvo::app
