// The SDK server against clients of its own machine that hold its places or
// flood it: real sockets on the loopback, the server's clock in the test's hand.
#include "app/remote/sdk_server.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpSocket>
#include <memory>
#include <string>
#include <vector>

#include "sdk/sdk_protocol.h"
#include "tests/support/event_wait.h"

namespace talvo::app {
namespace {

using namespace std::chrono_literals;
using test_support::ProcessEventsUntil;

class NoControllers final : public sdk::SdkHost {
 public:
  uint32_t ControllerCount() override { return 0; }
  std::optional<sdk::ControllerDescription> Describe(uint32_t) override { return std::nullopt; }
  void SetLeds(uint32_t, uint32_t, std::span<const sdk::Colour>) override {}
  void SetMode(uint32_t, uint32_t, const sdk::ModeSettings&) override {}
  void SetCustomMode(uint32_t) override {}
  void ClientNamed(std::string_view) override {}
};

class Devices final : public sdk::SdkHostSource {
 public:
  std::vector<int> left;
  std::unique_ptr<sdk::SdkHost> HostFor(int) override { return std::make_unique<NoControllers>(); }
  void ClientLeft(int client) override { left.push_back(client); }
  void DevicesChanged() override {}
};

QByteArray Packet(uint32_t id) {
  const std::vector<uint8_t> bytes = sdk::EncodePacket(0, id, {});
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

class SdkServerSockets : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_app_remote";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }
  void SetUp() override { ASSERT_TRUE(server_.Start(QStringLiteral("127.0.0.1"), 0)); }

  // A client once the server has taken or refused it.
  std::unique_ptr<QTcpSocket> Connect() {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, server_.Port());
    EXPECT_TRUE(ProcessEventsUntil([&] {
      return socket->state() == QAbstractSocket::ConnectedState || socket->state() == QAbstractSocket::UnconnectedState;
    }));
    return socket;
  }
  // Whether the client's request for the controller count is answered.
  bool Served(QTcpSocket& socket) {
    socket.write(Packet(sdk::packet::kRequestControllerCount));
    QByteArray reply;
    ProcessEventsUntil(
        [&] {
          reply += socket.readAll();
          return reply.size() >= 20 || socket.state() != QAbstractSocket::ConnectedState;
        },
        2000);
    return reply.size() >= 20;
  }

  SdkServer::Clock::time_point now_{};
  std::vector<std::string> log_;
  Devices devices_;
  SdkServer server_{devices_, {.log = [this](std::string_view line) { log_.emplace_back(line); },
                               .now = [this] { return now_; }}};
};

TEST_F(SdkServerSockets, ANewClientTakesThePlaceOfOneIdleAMinuteWhenAllAreTaken) {
  // Sixteen clients, each a second after the last, then silent.
  std::vector<std::unique_ptr<QTcpSocket>> idle;
  for (int i = 0; i < SdkServer::kMaxClients; ++i) {
    idle.push_back(Connect());
    ASSERT_TRUE(Served(*idle.back())) << i;
    now_ += 1s;
  }
  // The first went quiet 16 s ago: nobody has been idle long enough.
  auto early = Connect();
  EXPECT_FALSE(Served(*early));

  // 61 s after the first client's request, 59 s after the third's: the
  // first two give their places, the next new client is turned away.
  now_ += 45s;
  auto fresh = Connect(), second = Connect(), late = Connect();
  EXPECT_TRUE(Served(*fresh));
  EXPECT_TRUE(Served(*second));
  EXPECT_FALSE(Served(*late));
  EXPECT_EQ(devices_.left, (std::vector<int>{1, 2}));
  EXPECT_TRUE(ProcessEventsUntil([&] { return idle[0]->state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(SdkServerSockets, AFloodOfBadPacketsWritesAFewLinesAndCountsTheRest) {
  auto flood = Connect();
  const auto send = [&](int packets) {
    flood->write(Packet(9999).repeated(packets));
    // Answered after every bad packet before it: the client stays served.
    ASSERT_TRUE(Served(*flood));
  };
  send(1000);
  ASSERT_EQ(log_.size(), LogThrottle::kWrittenLines);
  EXPECT_EQ(log_[0], "client 1: SDK client (unnamed): unknown packet id 9999 (0 bytes) ignored");
  now_ += LogThrottle::kSummaryEvery;
  send(1);
  send(10);
  flood->disconnectFromHost();
  ASSERT_TRUE(ProcessEventsUntil([&] { return !devices_.left.empty(); }));
  const std::vector<std::string> tail(log_.begin() + LogThrottle::kWrittenLines, log_.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"client 1: ... 996 more like this", "client 1: ... 10 more like this"}));
}

}  // namespace
}  // namespace talvo::app
