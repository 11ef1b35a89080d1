// One client of the SDK server, from its first byte to its last: packets are
// reassembled from whatever slices the socket delivers, checked in full, and
// turned into host calls and replies. No sockets here; the server feeds the
// bytes it reads and sends what comes back.
//
// A header that is not ours (wrong magic, a body above kMaxBodySize) closes
// the connection: nothing after it can be framed. Anything else that is wrong
// in a packet drops that packet alone, with a log line, and the client stays.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/sdk_host.h"

namespace talvo::sdk {

// Longest client name kept, in bytes of UTF-8.
inline constexpr size_t kMaxClientNameBytes = 128;

// Cuts a client's stream, sliced anywhere, into whole packets.
class PacketFramer {
 public:
  struct Packet {
    uint32_t device = 0;
    uint32_t id = 0;
    std::span<const uint8_t> body;  // valid until the next call
  };

  // Takes bytes from the front of `bytes` up to the end of the next packet
  // and gives the packet once it is whole. After a header that is not ours
  // it takes nothing more, and Broken() says why.
  std::optional<Packet> Next(std::span<const uint8_t>& bytes);
  // Empty while the stream can be framed.
  const std::string& Broken() const { return broken_; }

 private:
  // Header and body of the packet being received; never more than the header
  // plus a body that passed the size check, and only as its bytes arrive.
  std::vector<uint8_t> pending_;
  bool whole_ = false;
  // The header of that packet, once pending_ holds it.
  uint32_t device_ = 0;
  uint32_t id_ = 0;
  uint32_t bodySize_ = 0;
  std::string broken_;
};

// UPDATELEDS, UPDATEZONELEDS and UPDATESINGLELED: requests that need no more
// than SdkLeds and are never answered, so a server may carry them out on a
// thread of their own.
bool IsLedUpdate(uint32_t id);

// Carries out LED updates as a connection does.
class LedUpdater {
 public:
  // What was wrong with the update, which then changed nothing; empty when
  // it was carried out.
  std::string Apply(SdkLeds& leds, uint32_t device, uint32_t id, std::span<const uint8_t> body);

 private:
  std::string UpdateLeds(SdkLeds& leds, uint32_t device, std::span<const uint8_t> body);
  std::string UpdateZoneLeds(SdkLeds& leds, uint32_t device, std::span<const uint8_t> body);
  std::string UpdateSingleLed(SdkLeds& leds, uint32_t device, std::span<const uint8_t> body);

  // The colours of the update being handled, its room kept for the next.
  std::vector<Colour> colours_;
};

class SdkConnection {
 public:
  using Log = std::function<void(std::string_view line)>;

  struct Output {
    std::vector<uint8_t> reply;  // to send to the client, possibly several packets
    bool close = false;          // send the reply, then close the socket
    size_t requests = 0;         // whole packets taken in, handled or dropped
  };

  SdkConnection(SdkHost& host, Log log);

  // Takes the next bytes of the stream, cut anywhere. Once closed, every call
  // answers close and looks at nothing.
  Output Receive(std::span<const uint8_t> bytes);

  // For a server that frames the stream itself: a whole packet, its replies
  // appended to `reply`; a complaint about the client, as a line naming it;
  // and the end of the stream that could not be framed further.
  void Handle(uint32_t device, uint32_t id, std::span<const uint8_t> body, std::vector<uint8_t>& reply);
  void Complain(std::string_view what) const;
  void Close(std::string_view why);

  // The version both sides speak: 0 until the client asks.
  uint32_t ProtocolVersion() const { return version_; }
  // Empty until the client gives a name that is accepted.
  const std::string& ClientName() const { return name_; }
  bool Closed() const { return closed_; }

 private:
  std::optional<ControllerDescription> Controller(uint32_t index, std::string_view request) const;
  void ControllerData(uint32_t device, std::span<const uint8_t> body, std::vector<uint8_t>& reply);
  void ProtocolVersionAsked(uint32_t device, std::span<const uint8_t> body, std::vector<uint8_t>& reply);
  void ClientNameGiven(std::span<const uint8_t> body);
  void UpdateMode(uint32_t device, std::string_view request, std::span<const uint8_t> body);

  SdkHost& host_;
  Log log_;
  PacketFramer framer_;
  uint32_t version_ = 0;
  std::string name_;
  bool closed_ = false;
  LedUpdater leds_;
};

}  // namespace talvo::sdk
