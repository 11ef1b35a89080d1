#include "app/remote/sdk_server.h"

#include <unistd.h>

#include <QSocketNotifier>
#include <QTcpServer>
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

// Hands each accepted socket over as it is, so no Qt socket is made for it
// on the UI thread.
class SdkServer::Listener final : public QTcpServer {
 public:
  explicit Listener(std::function<void(qintptr)> accepted) : accepted_(std::move(accepted)) {}

 protected:
  void incomingConnection(qintptr socket) override { accepted_(socket); }

 private:
  std::function<void(qintptr)> accepted_;
};

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
  auto server = std::make_unique<Listener>([this](qintptr socket) { Accept(socket); });
  if (!server->listen(QHostAddress(address), port)) {
    hooks_.log(
        QStringLiteral("cannot listen on %1:%2: %3").arg(address).arg(port).arg(server->errorString()).toStdString());
    return false;
  }
  sockets_ = std::make_unique<SdkSockets>(SdkSockets::Limits{.maxUnsent = size_t(kMaxUnsent), .maxWaiting = kMaxWaiting});
  events_ = std::make_unique<QSocketNotifier>(sockets_->EventsFd(), QSocketNotifier::Read);
  connect(events_.get(), &QSocketNotifier::activated, this, &SdkServer::TakeEvents);
  server_ = std::move(server);
  return true;
}

void SdkServer::Stop() {
  while (!clients_.empty()) Drop(clients_.begin()->first);
  turnedAway_.Flush();
  server_.reset();
  events_.reset();
  // Joins the socket thread, which has the clients' LEDs, before the devices
  // behind them can go.
  sockets_.reset();
}

bool SdkServer::Running() const { return server_ && server_->isListening(); }

quint16 SdkServer::Port() const { return Running() ? server_->serverPort() : 0; }

void SdkServer::Accept(qintptr socket) {
  if (clients_.size() >= size_t(kMaxClients) && !DropIdlest()) {
    turnedAway_.Line("a client over the limit of " + std::to_string(kMaxClients) + " was turned away", hooks_.now());
    ::close(int(socket));
    return;
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
  clients_.emplace(id, std::move(client));
  sockets_->Add(id, int(socket), devices_.LedsFor(id));
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

void SdkServer::TakeEvents() {
  using Kind = SdkSockets::Event::Kind;
  // What each client's events asked, sent back once all are done.
  struct Done {
    std::vector<uint8_t> reply;
    size_t packets = 0;
    size_t size = 0;
  };
  std::map<int, Done> done;
  for (SdkSockets::Event& event : sockets_->TakeEvents()) {
    // The events of a client dropped meanwhile are let go.
    const auto it = clients_.find(event.client);
    if (it == clients_.end()) continue;
    Client& client = it->second;
    Done& answer = done[event.client];
    answer.size += event.Size();
    switch (event.kind) {
      case Kind::Packet:
        ++answer.packets;
        client.lastRequest = hooks_.now();
        client.connection->Handle(event.device, event.id, event.body, answer.reply);
        break;
      case Kind::Complaint:
        client.lastRequest = hooks_.now();
        client.connection->Complain(event.text);
        break;
      case Kind::Active: client.lastRequest = hooks_.now(); break;
      case Kind::Broken:
        client.connection->Close(event.text);
        sockets_->Send(event.client, std::move(answer.reply), 0, 0, true);
        done.erase(event.client);
        Forget(event.client);
        break;
      case Kind::Unread:
        client.log->Line("does not read its replies; dropped", hooks_.now());
        done.erase(event.client);
        Forget(event.client);
        break;
      case Kind::Gone:
        done.erase(event.client);
        Forget(event.client);
        break;
    }
  }
  for (auto& [id, answer] : done) sockets_->Send(id, std::move(answer.reply), answer.packets, answer.size, false);
}

void SdkServer::Forget(int id) {
  const auto it = clients_.find(id);
  if (it == clients_.end()) return;
  it->second.log->Flush();
  clients_.erase(it);
  // Its devices show their own setting again.
  devices_.ClientLeft(id);
}

void SdkServer::Drop(int id) {
  if (!clients_.count(id)) return;
  sockets_->Close(id);
  Forget(id);
}

void SdkServer::DevicesChanged() {
  devices_.DevicesChanged();
  const std::vector<uint8_t> news = sdk::DeviceListUpdatedPacket();
  for (auto& [id, client] : clients_)
    if (client.connection->ProtocolVersion() >= 1) sockets_->Send(id, news, 0, 0, false);
}

}  // namespace talvo::app
