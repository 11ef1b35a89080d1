// The SDK server against clients of its own machine that hold its places or
// flood it: real sockets on the loopback, the server's clock in the test's hand.
#include "app/remote/sdk_server.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTcpSocket>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sdk/sdk_protocol.h"
#include "sdk/wire.h"
#include "tests/sdk/test_controllers.h"
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

QByteArray Packet(uint32_t id, std::span<const uint8_t> body = {}) {
  const std::vector<uint8_t> bytes = sdk::EncodePacket(0, id, body);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// UPDATELEDS for the first LED of controller 0, its red telling it apart.
QByteArray FirstLed(uint8_t red) {
  sdk::wire::Writer body;
  body.U32(10);
  body.U16(1);
  const sdk::Colour colour{red, 0, 0};
  body.Colours({&colour, 1});
  return Packet(sdk::packet::kUpdateLeds, body.Take());
}

// The calls that reach the devices, from whichever thread makes them.
class Calls {
 public:
  void Add(std::string call) {
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    changed_.notify_all();
  }
  std::vector<std::string> Made() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // Waits without running the event loop, as a busy UI thread would.
  bool WaitFor(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_.size() >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
};

std::string Led(std::span<const sdk::Colour> colours) { return "leds " + std::to_string(colours[0].red); }

// The strip controller of the SDK tests, on the UI thread.
class StripHost final : public sdk::SdkHost {
 public:
  explicit StripHost(Calls& calls) : calls_(calls) {}
  uint32_t ControllerCount() override { return 1; }
  std::optional<sdk::ControllerDescription> Describe(uint32_t) override { return sdk::test::StripController(); }
  void SetLeds(uint32_t, uint32_t, std::span<const sdk::Colour> colours) override { calls_.Add(Led(colours)); }
  void SetMode(uint32_t, uint32_t, const sdk::ModeSettings&) override {}
  void SetCustomMode(uint32_t) override { calls_.Add("custom"); }
  void ClientNamed(std::string_view) override {}

 private:
  Calls& calls_;
};

// Its LEDs, on the socket thread.
class StripLeds final : public sdk::SdkLeds {
 public:
  explicit StripLeds(Calls& calls) : calls_(calls) {}
  uint32_t ControllerCount() override { return 1; }
  std::optional<sdk::LedLayout> Leds(uint32_t) override { return sdk::LedLayout{.leds = 5, .zoneLeds = zones_}; }
  void SetLeds(uint32_t, uint32_t, std::span<const sdk::Colour> colours) override { calls_.Add(Led(colours)); }

 private:
  Calls& calls_;
  const uint32_t zones_[2] = {2, 3};
};

class Strip final : public sdk::SdkHostSource {
 public:
  Calls calls;
  std::unique_ptr<sdk::SdkHost> HostFor(int) override { return std::make_unique<StripHost>(calls); }
  std::unique_ptr<sdk::SdkLeds> LedsFor(int) override { return std::make_unique<StripLeds>(calls); }
  void ClientLeft(int) override {}
  void DevicesChanged() override {}
};

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

  // Whether the socket's bytes are handed to the kernel; no further events run.
  static bool Flushed(QTcpSocket& socket) {
    while (socket.bytesToWrite() > 0)
      if (!socket.waitForBytesWritten(2000)) return false;
    return true;
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

// Colours reach the devices while the UI thread is busy; those behind a
// request the UI thread carries out wait for it, so they land in the
// client's order.
TEST_F(SdkServerSockets, ColourUpdatesDoNotWaitForABusyUiThreadUnlessARequestBeforeThemDoes) {
  Strip strip;
  SdkServer server(strip, {.log = [](std::string_view) {}, .now = {}});
  ASSERT_TRUE(server.Start(QStringLiteral("127.0.0.1"), 0));
  QTcpSocket client;
  client.connectToHost(QHostAddress::LocalHost, server.Port());
  ASSERT_TRUE(ProcessEventsUntil([&] { return client.state() == QAbstractSocket::ConnectedState; }));
  ASSERT_TRUE(Served(client));

  for (int red = 1; red <= 50; ++red) client.write(FirstLed(uint8_t(red)));
  ASSERT_TRUE(Flushed(client));
  ASSERT_TRUE(strip.calls.WaitFor(50));
  std::vector<std::string> burst;
  for (int red = 1; red <= 50; ++red) burst.push_back("leds " + std::to_string(red));
  EXPECT_EQ(strip.calls.Made(), burst);

  client.write(Packet(sdk::packet::kSetCustomMode) + FirstLed(99));
  ASSERT_TRUE(Flushed(client));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(strip.calls.Made().size(), 50u);
  ASSERT_TRUE(ProcessEventsUntil([&] { return strip.calls.Made().size() >= 52; }));
  const std::vector<std::string> made = strip.calls.Made();
  EXPECT_EQ(std::vector<std::string>(made.begin() + 50, made.end()), (std::vector<std::string>{"custom", "leds 99"}));
}

}  // namespace
}  // namespace talvo::app
