#include "app/remote/sdk_server.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtGlobal>

#include "profiles/main_settings.h"
#include "sdk/sdk_protocol.h"

namespace talvo::app {

namespace {

void Log(const QString& line) { qWarning("talvo: sdk server: %s", qUtf8Printable(line)); }

}  // namespace

SdkServer::SdkServer(pages::remote::SdkDevices& devices, QObject* parent) : QObject(parent), devices_(devices) {}

SdkServer::~SdkServer() { Stop(); }

bool SdkServer::Start(const QString& address, quint16 port) {
  Stop();
  if (!profiles::IsLoopbackAddress(address.toStdString())) {
    Log(QStringLiteral("%1 is not a loopback address; not listening").arg(address));
    return false;
  }
  auto server = std::make_unique<QTcpServer>();
  if (!server->listen(QHostAddress(address), port)) {
    Log(QStringLiteral("cannot listen on %1:%2: %3").arg(address).arg(port).arg(server->errorString()));
    return false;
  }
  connect(server.get(), &QTcpServer::newConnection, this, &SdkServer::Accept);
  server_ = std::move(server);
  return true;
}

void SdkServer::Stop() {
  while (!clients_.empty()) Drop(clients_.begin()->first);
  server_.reset();
}

bool SdkServer::Running() const { return server_ && server_->isListening(); }

quint16 SdkServer::Port() const { return Running() ? server_->serverPort() : 0; }

void SdkServer::Accept() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    if (clients_.size() >= size_t(kMaxClients)) {
      Log(QStringLiteral("a client over the limit of %1 was turned away").arg(kMaxClients));
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const int id = nextClient_++;
    Client client{.id = id, .host = devices_.HostFor(id), .connection = nullptr};
    client.connection = std::make_unique<sdk::SdkConnection>(*client.host, [id](std::string_view line) {
      Log(QStringLiteral("client %1: %2").arg(id).arg(QString::fromUtf8(line.data(), qsizetype(line.size()))));
    });
    clients_.emplace(socket, std::move(client));
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Drop(socket); });
  }
}

void SdkServer::Read(QTcpSocket* socket) {
  const auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  const QByteArray bytes = socket->readAll();
  const sdk::SdkConnection::Output out = it->second.connection->Receive(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
  if (!out.reply.empty()) socket->write(reinterpret_cast<const char*>(out.reply.data()), qint64(out.reply.size()));
  if (socket->bytesToWrite() > kMaxUnsent) {
    Log(QStringLiteral("client %1 does not read its replies; dropped").arg(it->second.id));
    Drop(socket);
    return;
  }
  if (out.close) {
    socket->flush();
    Drop(socket);
  }
}

void SdkServer::Drop(QTcpSocket* socket) {
  const auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  const int id = it->second.id;
  clients_.erase(it);
  socket->disconnect(this);
  socket->disconnectFromHost();
  socket->deleteLater();
  // Its devices show their own setting again.
  devices_.ClientLeft(id);
}

void SdkServer::DevicesChanged() {
  devices_.DevicesChanged();
  const std::vector<uint8_t> news = sdk::DeviceListUpdatedPacket();
  for (auto& [socket, client] : clients_)
    if (client.connection->ProtocolVersion() >= 1)
      socket->write(reinterpret_cast<const char*>(news.data()), qint64(news.size()));
}

}  // namespace talvo::app
