#include "app/remote/sdk_server.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtGlobal>
#include <algorithm>
#include <string>

#include "profiles/main_settings.h"
#include "sdk/sdk_protocol.h"

namespace talvo::app {

namespace {

void Warn(std::string_view line) {
  qWarning("talvo: sdk server: %.*s", int(line.size()), line.data());
}

}  // namespace

SdkServer::SdkServer(sdk::SdkHostSource& devices, Hooks hooks, QObject* parent)
    : QObject(parent),
      devices_(devices),
      hooks_(std::move(hooks)),
      turnedAway_([this](std::string_view line) { hooks_.log(line); }) {
  if (!hooks_.log) hooks_.log = Warn;
  if (!hooks_.now) hooks_.now = [] { return Clock::now(); };
}

SdkServer::~SdkServer() { Stop(); }

bool SdkServer::Start(const QString& address, quint16 port) {
  Stop();
  if (!profiles::IsLoopbackAddress(address.toStdString())) {
    hooks_.log(QStringLiteral("%1 is not a loopback address; not listening").arg(address).toStdString());
    return false;
  }
  auto server = std::make_unique<QTcpServer>();
  if (!server->listen(QHostAddress(address), port)) {
    hooks_.log(
        QStringLiteral("cannot listen on %1:%2: %3").arg(address).arg(port).arg(server->errorString()).toStdString());
    return false;
  }
  connect(server.get(), &QTcpServer::newConnection, this, &SdkServer::Accept);
  server_ = std::move(server);
  return true;
}

void SdkServer::Stop() {
  while (!clients_.empty()) Drop(clients_.begin()->first);
  turnedAway_.Flush();
  server_.reset();
}

bool SdkServer::Running() const { return server_ && server_->isListening(); }

quint16 SdkServer::Port() const { return Running() ? server_->serverPort() : 0; }

void SdkServer::Accept() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    if (clients_.size() >= size_t(kMaxClients) && !DropIdlest()) {
      turnedAway_.Line("a client over the limit of " + std::to_string(kMaxClients) + " was turned away", hooks_.now());
      socket->abort();
      socket->deleteLater();
      continue;
    }
    const int id = nextClient_++;
    Client client{.id = id,
                  .host = devices_.HostFor(id),
                  .log = std::make_unique<LogThrottle>([this, id](std::string_view line) {
                    hooks_.log("client " + std::to_string(id) + ": " + std::string(line));
                  }),
                  .connection = nullptr,
                  .lastRequest = hooks_.now()};
    client.connection = std::make_unique<sdk::SdkConnection>(
        *client.host, [this, log = client.log.get()](std::string_view line) { log->Line(line, hooks_.now()); });
    clients_.emplace(socket, std::move(client));
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Drop(socket); });
  }
}

bool SdkServer::DropIdlest() {
  const auto idlest = std::min_element(clients_.begin(), clients_.end(), [](const auto& a, const auto& b) {
    return a.second.lastRequest < b.second.lastRequest;
  });
  if (idlest == clients_.end()) return false;
  const Clock::duration idle = hooks_.now() - idlest->second.lastRequest;
  if (idle < kIdleAfter) return false;
  idlest->second.log->Line(
      "no request for " + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(idle).count()) +
          " s; closed to make room for a new client",
      hooks_.now());
  Drop(idlest->first);
  return true;
}

void SdkServer::Read(QTcpSocket* socket) {
  const auto it = clients_.find(socket);
  if (it == clients_.end()) return;
  Client& client = it->second;
  const QByteArray bytes = socket->readAll();
  const sdk::SdkConnection::Output out = client.connection->Receive(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
  if (out.requests > 0) client.lastRequest = hooks_.now();
  if (!out.reply.empty()) socket->write(reinterpret_cast<const char*>(out.reply.data()), qint64(out.reply.size()));
  if (socket->bytesToWrite() > kMaxUnsent) {
    client.log->Line("does not read its replies; dropped", hooks_.now());
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
  it->second.log->Flush();
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
