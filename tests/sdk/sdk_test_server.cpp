// A stand-alone SDK server for checking the protocol against real clients:
// listens on 127.0.0.1 (the port given, or one the system picks for 0, printed
// as "port N"), runs one SdkConnection per client, and prints every host call
// on stdout, one line each. Its three controllers stand in for the mouse
// (20 LEDs in a row), the keyboard (126 LEDs, 6 × 21 matrix) and the mousepad
// (15 LEDs in a row). Runs until killed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sdk/sdk_connection.h"

using namespace talvo::sdk;

namespace {

ControllerDescription Device(DeviceType type, const std::string& name, uint32_t rows, uint32_t columns) {
  ModeDescription direct;
  direct.name = "Direct";
  direct.flags = mode_flag::kHasPerLedColour;
  direct.colourMode = colour_mode::kPerLed;
  ModeDescription fixed;
  fixed.name = "Static";
  fixed.value = 1;
  fixed.flags = mode_flag::kHasBrightness | mode_flag::kHasModeSpecificColour;
  fixed.brightnessMax = 4;
  fixed.brightness = 4;
  fixed.coloursMin = 1;
  fixed.coloursMax = 1;
  fixed.colourMode = colour_mode::kModeSpecific;
  fixed.colours = {{255, 0, 0}};
  ModeDescription breathing;
  breathing.name = "Breathing";
  breathing.value = 2;
  breathing.flags = mode_flag::kHasSpeed | mode_flag::kHasBrightness | mode_flag::kHasModeSpecificColour |
                    mode_flag::kHasRandomColour;
  breathing.speedMin = 1;
  breathing.speedMax = 5;
  breathing.speed = 3;
  breathing.brightnessMax = 4;
  breathing.brightness = 4;
  breathing.coloursMin = 1;
  breathing.coloursMax = 2;
  breathing.colourMode = colour_mode::kModeSpecific;
  breathing.colours = {{0, 0, 255}};

  const uint32_t leds = rows * columns;
  ControllerDescription c;
  c.type = type;
  c.name = name;
  c.vendor = "Talvo";
  c.description = "Talvo test server " + name;
  c.version = "1.0";
  c.location = "test";
  c.activeMode = 1;
  c.modes = {direct, fixed, breathing};
  ZoneDescription zone{name, rows > 1 ? ZoneType::Matrix : ZoneType::Linear, leds, leds, leds, std::nullopt};
  if (rows > 1) {
    zone.matrix = MatrixMap{rows, columns, {}};
    for (uint32_t led = 0; led < leds; ++led) zone.matrix->leds.push_back(led);
  }
  c.zones = {zone};
  for (uint32_t led = 0; led < leds; ++led) c.leds.push_back({name + " LED " + std::to_string(led + 1), led});
  c.colours.resize(leds);
  return c;
}

std::string Hex(std::span<const Colour> colours) {
  std::string text;
  for (const Colour& c : colours) {
    char cell[8];
    std::snprintf(cell, sizeof cell, " %02x%02x%02x", c.red, c.green, c.blue);
    text += cell;
  }
  return text;
}

void Print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Keeps the controllers' active mode and colours, shared by all clients.
class PrintingHost : public SdkHost {
 public:
  explicit PrintingHost(std::vector<ControllerDescription>& controllers) : controllers_(controllers) {}

  uint32_t ControllerCount() override { return static_cast<uint32_t>(controllers_.size()); }
  std::optional<ControllerDescription> Describe(uint32_t c) override {
    if (c >= controllers_.size()) return std::nullopt;
    return controllers_[c];
  }
  void SetLeds(uint32_t c, uint32_t first, std::span<const Colour> colours) override {
    std::copy(colours.begin(), colours.end(), controllers_[c].colours.begin() + first);
    Print("leds " + std::to_string(c) + " " + std::to_string(first) + Hex(colours));
  }
  void SetMode(uint32_t c, uint32_t mode, const ModeSettings& s) override {
    controllers_[c].activeMode = static_cast<int32_t>(mode);
    Print("mode " + std::to_string(c) + " " + controllers_[c].modes[mode].name + " speed " + std::to_string(s.speed) +
          " brightness " + (s.brightness ? std::to_string(*s.brightness) : "none") + " direction " +
          std::to_string(s.direction) + " colour-mode " + std::to_string(s.colourMode) + " colours" +
          Hex(s.colours));
  }
  void SetCustomMode(uint32_t c) override {
    controllers_[c].activeMode = 0;
    Print("custom " + std::to_string(c));
  }
  void ClientNamed(std::string_view name) override { Print("named " + std::string(name)); }

 private:
  std::vector<ControllerDescription>& controllers_;
};

struct Client {
  int fd;
  std::unique_ptr<PrintingHost> host;
  std::unique_ptr<SdkConnection> connection;
};

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const long port = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (port < 0 || port > 65535) {
    std::fprintf(stderr, "usage: %s [port]\n", argv[0]);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 8) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("sdk_test_server");
    return 1;
  }
  Print("port " + std::to_string(ntohs(address.sin_port)));

  std::vector<ControllerDescription> controllers = {Device(DeviceType::Mouse, "Mouse", 1, 20),
                                                    Device(DeviceType::Keyboard, "Keyboard", 6, 21),
                                                    Device(DeviceType::Mousemat, "Mousepad", 1, 15)};
  std::vector<Client> clients;
  for (;;) {
    std::vector<pollfd> fds = {{listener, POLLIN, 0}};
    for (const Client& client : clients) fds.push_back({client.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    for (size_t i = fds.size(); i-- > 1;) {
      if (fds[i].revents == 0) continue;
      Client& client = clients[i - 1];
      uint8_t buffer[4096];
      const ssize_t n = recv(client.fd, buffer, sizeof buffer, 0);
      bool keep = n > 0;
      if (keep) {
        const SdkConnection::Output out = client.connection->Receive(std::span(buffer, size_t(n)));
        keep = SendAll(client.fd, out.reply) && !out.close;
      }
      if (!keep) {
        close(client.fd);
        clients.erase(clients.begin() + std::ptrdiff_t(i - 1));
      }
    }
    if (fds[0].revents & POLLIN) {
      const int fd = accept(listener, nullptr, nullptr);
      if (fd < 0) continue;
      auto host = std::make_unique<PrintingHost>(controllers);
      auto connection = std::make_unique<SdkConnection>(
          *host, [](std::string_view line) { std::fprintf(stderr, "%.*s\n", int(line.size()), line.data()); });
      clients.push_back({fd, std::move(host), std::move(connection)});
    }
  }
}
