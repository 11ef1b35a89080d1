#include "sdk/sdk_connection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_controllers.h"

namespace talvo::sdk {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex(std::span<const Colour> colours) {
  std::string text;
  for (const Colour& c : colours) {
    char cell[8];
    std::snprintf(cell, sizeof cell, " %02x%02x%02x", c.red, c.green, c.blue);
    text += cell;
  }
  return text;
}

// Controller 0 the tiny one, controller 1 the strip; every call as a line.
class RecordingHost : public SdkHost {
 public:
  std::vector<std::string> calls;

  uint32_t ControllerCount() override { return 2; }
  std::optional<ControllerDescription> Describe(uint32_t c) override {
    if (c == 0) return test::TinyController();
    if (c == 1) return test::StripController();
    return std::nullopt;
  }
  void SetLeds(uint32_t c, uint32_t first, std::span<const Colour> colours) override {
    calls.push_back("leds " + std::to_string(c) + " " + std::to_string(first) + Hex(colours));
  }
  void SetMode(uint32_t c, uint32_t mode, const ModeSettings& s) override {
    calls.push_back("mode " + std::to_string(c) + " " + std::to_string(mode) + " speed " + std::to_string(s.speed) +
                    " brightness " + (s.brightness ? std::to_string(*s.brightness) : "none") + " direction " +
                    std::to_string(s.direction) + " colour-mode " + std::to_string(s.colourMode) + Hex(s.colours));
  }
  void SetCustomMode(uint32_t c) override { calls.push_back("custom " + std::to_string(c)); }
  void ClientNamed(std::string_view name) override { calls.push_back("named " + std::string(name)); }
};

struct Session {
  RecordingHost host;
  std::vector<std::string> log;
  SdkConnection connection{host, [this](std::string_view line) { log.emplace_back(line); }};
  Bytes replies;

  SdkConnection::Output Send(std::span<const uint8_t> bytes) {
    SdkConnection::Output out = connection.Receive(bytes);
    replies.insert(replies.end(), out.reply.begin(), out.reply.end());
    return out;
  }
};

Bytes Le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
Bytes Packet(uint32_t device, uint32_t id, const Bytes& body) { return EncodePacket(device, id, body); }
Bytes Colours(std::initializer_list<uint8_t> greys) {
  Bytes bytes;
  for (uint8_t g : greys) bytes.insert(bytes.end(), {g, g, g, 0});
  return bytes;
}
// data_size, count and colours, as UPDATELEDS and UPDATEZONELEDS end.
Bytes LedsBody(const Bytes& head, uint16_t count, const Bytes& colours) {
  return Join({Le32(uint32_t(4 + head.size() + 2 + colours.size())), head, Le16(count), colours});
}
Bytes Version(uint32_t v) { return Packet(0, packet::kRequestProtocolVersion, Le32(v)); }
Bytes Name(const std::string& name) {
  return Packet(0, packet::kSetClientName, Bytes(name.c_str(), name.c_str() + name.size() + 1));
}
// An UPDATEMODE body for `mode` in the layout of protocol `version`.
Bytes ModeBody(int32_t mode, uint32_t version, uint16_t colourCount, const Bytes& colours) {
  Bytes block = Join({Le32(uint32_t(mode)), Le16(10), Bytes{'B', 'r', 'e', 'a', 't', 'h', 'i', 'n', 'g', 0}, Le32(7),
                      Le32(0x51), Le32(0), Le32(4)});
  if (version >= 3) block = Join({block, Le32(0), Le32(4)});
  block = Join({block, Le32(1), Le32(2), Le32(2)});  // colours min, max, speed 2
  if (version >= 3) block = Join({block, Le32(3)});  // brightness 3
  block = Join({block, Le32(1), Le32(2), Le16(colourCount), colours});
  return Join({Le32(uint32_t(4 + block.size())), block});
}

TEST(sdkFraming, SessionCutAnywhereGivesTheSameCallsAndReplies) {
  const Bytes session = Join({Version(4), Name("Game"), Packet(0, packet::kRequestControllerCount, {}),
                              Packet(1, packet::kRequestControllerData, Le32(4)),
                              Packet(1, packet::kSetCustomMode, {}),
                              Packet(1, packet::kUpdateLeds, LedsBody({}, 5, Colours({1, 2, 3, 4, 5}))),
                              Packet(0, packet::kUpdateSingleLed, Join({Le32(2), Colours({9})}))});
  Session whole;
  whole.Send(session);
  ASSERT_EQ(whole.host.calls,
            (std::vector<std::string>{"named Game", "custom 1", "leds 1 0 010101 020202 030303 040404 050505",
                                      "leds 0 2 090909"}));
  ASSERT_TRUE(whole.log.empty());
  for (size_t cut = 1; cut < session.size(); ++cut) {
    Session split;
    EXPECT_FALSE(split.Send(std::span(session).first(cut)).close);
    // Only packets complete within the first part have reached the host.
    ASSERT_LE(split.host.calls.size(), whole.host.calls.size());
    EXPECT_TRUE(std::equal(split.host.calls.begin(), split.host.calls.end(), whole.host.calls.begin())) << cut;
    split.Send(std::span(session).subspan(cut));
    EXPECT_EQ(split.host.calls, whole.host.calls) << cut;
    EXPECT_EQ(split.replies, whole.replies) << cut;
  }
  Session byteByByte;
  for (uint8_t byte : session) byteByByte.Send(std::span(&byte, 1));
  EXPECT_EQ(byteByByte.host.calls, whole.host.calls);
  EXPECT_EQ(byteByByte.replies, whole.replies);
}

TEST(sdkFraming, HeaderThatIsNotOursClosesAtOnce) {
  const Bytes atLimit = Packet(0, 77, Bytes(kMaxBodySize, 0));
  const struct {
    const char* what;
    Bytes header;
    bool closes;
    const char* logged;
  } cases[] = {
      {"wrong magic", Join({Bytes{'O', 'R', 'G', 'C'}, Le32(0), Le32(0), Le32(0)}), true, "4F 52 47 43 is not ORGB"},
      {"size 0xFFFFFFFF", Join({Bytes{'O', 'R', 'G', 'B'}, Le32(0), Le32(1050), Le32(0xFFFFFFFF)}), true,
       "body of 4294967295 bytes"},
      {"size above the limit", Join({Bytes{'O', 'R', 'G', 'B'}, Le32(0), Le32(1050), Le32(kMaxBodySize + 1)}), true,
       "above the limit of 65536"},
      {"size at the limit", Bytes(atLimit.begin(), atLimit.begin() + kHeaderSize), false, nullptr},
  };
  for (const auto& c : cases) {
    Session s;
    EXPECT_EQ(s.Send(c.header).close, c.closes) << c.what;
    if (!c.closes) {
      EXPECT_TRUE(s.log.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(s.log.size(), 1u) << c.what;
    EXPECT_NE(s.log[0].find("SDK client (unnamed): "), std::string::npos) << s.log[0];
    EXPECT_NE(s.log[0].find(c.logged), std::string::npos) << s.log[0];
    EXPECT_NE(s.log[0].find("connection closed"), std::string::npos) << s.log[0];
    // What follows is never read.
    EXPECT_TRUE(s.Send(Join({Name("Late"), Packet(1, packet::kSetCustomMode, {})})).close) << c.what;
    EXPECT_TRUE(s.host.calls.empty()) << c.what;
    EXPECT_TRUE(s.replies.empty()) << c.what;
    EXPECT_EQ(s.log.size(), 1u) << c.what;
  }
}

TEST(sdkVersion, ClientGetsTheLowerOfItsVersionAndFour) {
  const struct {
    std::optional<uint32_t> offered;
    uint32_t agreed;
  } cases[] = {{std::nullopt, 0}, {0, 0}, {2, 2}, {4, 4}, {5, 4}, {0xFFFFFFFF, 4}};
  for (const auto& c : cases) {
    Session s;
    if (c.offered) {
      s.Send(Version(*c.offered));
      EXPECT_EQ(s.replies, Packet(0, packet::kRequestProtocolVersion, Le32(c.agreed)));
    }
    EXPECT_EQ(s.connection.ProtocolVersion(), c.agreed);
  }
}

TEST(sdkRequests, EachRequestReachesTheHostOrIsAnswered) {
  const Bytes breathingColours = Colours({10, 11});
  const struct {
    const char* what;
    uint32_t version;
    Bytes packet;
    std::vector<std::string> calls;
    Bytes reply;
  } cases[] = {
      {"whole device", 4, Packet(1, packet::kUpdateLeds, LedsBody({}, 5, Colours({1, 2, 3, 4, 5}))),
       {"leds 1 0 010101 020202 030303 040404 050505"}, {}},
      {"fewer colours than LEDs", 0, Packet(1, packet::kUpdateLeds, LedsBody({}, 2, Colours({1, 2}))),
       {"leds 1 0 010101 020202"}, {}},
      {"second zone", 4, Packet(1, packet::kUpdateZoneLeds, LedsBody(Le32(1), 3, Colours({7, 8, 9}))),
       {"leds 1 2 070707 080808 090909"}, {}},
      {"matrix zone", 4, Packet(0, packet::kUpdateZoneLeds, LedsBody(Le32(0), 3, Colours({7, 8, 9}))),
       {"leds 0 0 070707 080808 090909"}, {}},
      {"single LED", 4, Packet(1, packet::kUpdateSingleLed, Join({Le32(4), Colours({6})})), {"leds 1 4 060606"}, {}},
      {"custom mode", 0, Packet(1, packet::kSetCustomMode, {}), {"custom 1"}, {}},
      {"mode at 4", 4, Packet(1, packet::kUpdateMode, ModeBody(1, 4, 2, breathingColours)),
       {"mode 1 1 speed 2 brightness 3 direction 1 colour-mode 2 0a0a0a 0b0b0b"}, {}},
      {"mode at 2, no brightness", 2, Packet(1, packet::kUpdateMode, ModeBody(1, 2, 1, Colours({10}))),
       {"mode 1 1 speed 2 brightness none direction 1 colour-mode 2 0a0a0a"}, {}},
      {"saved mode at 3", 3, Packet(1, packet::kSaveMode, ModeBody(1, 3, 0, {})),
       {"mode 1 1 speed 2 brightness 3 direction 1 colour-mode 2"}, {}},
      {"name, NUL and what follows dropped", 0,
       Packet(0, packet::kSetClientName, Bytes{'S', 'p', 'i', 'e', 'l', 0xC3, 0xBC, 0, 'x'}), {"named Spiel\xC3\xBC"}, {}},
      {"zone resize", 0, Packet(1, packet::kResizeZone, Join({Le32(0), Le32(9)})), {}, {}},
      {"count", 0, Packet(0, packet::kRequestControllerCount, {}), {}, Packet(0, 0, Le32(2))},
      {"data at 3", 4, Packet(1, packet::kRequestControllerData, Le32(3)), {},
       Packet(1, 1, EncodeControllerData(test::StripController(), 3))},
      {"data without a version", 0, Packet(0, packet::kRequestControllerData, {}), {},
       Packet(0, 1, EncodeControllerData(test::TinyController(), 0))},
      {"profiles", 2, Packet(0, packet::kRequestProfileList, {}), {}, Packet(0, 150, Join({Le32(6), Le16(0)}))},
      {"plugins", 4, Packet(0, packet::kRequestPluginList, {}), {}, Packet(0, 200, Join({Le32(6), Le16(0)}))},
  };
  for (const auto& c : cases) {
    Session s;
    if (c.version > 0) s.Send(Version(c.version));
    s.replies.clear();
    EXPECT_FALSE(s.Send(c.packet).close) << c.what;
    EXPECT_EQ(s.host.calls, c.calls) << c.what;
    EXPECT_EQ(s.replies, c.reply) << c.what;
  }
}

TEST(sdkRequests, BadRequestIsLoggedAndChangesNothing) {
  const Bytes fiveColours = Colours({1, 2, 3, 4, 5});
  Bytes trailing = Join({ModeBody(1, 4, 0, {}), Bytes(2, 0)});
  trailing[0] = uint8_t(trailing.size());
  Bytes longName(kMaxClientNameBytes + 1, 'n');
  longName.push_back(0);
  const struct {
    const char* what;
    uint32_t version;
    Bytes packet;
    const char* logged;
  } cases[] = {
      {"unknown id", 4, Packet(0, 77, Bytes(3, 0)), "unknown packet id 77 (3 bytes)"},
      {"controller out of range", 4, Packet(2, packet::kUpdateLeds, LedsBody({}, 1, Colours({1}))),
       "UPDATELEDS: controller 2 out of range (2 controllers)"},
      {"custom mode, controller out of range", 4, Packet(9, packet::kSetCustomMode, {}), "controller 9 out of range"},
      {"data, controller out of range", 4, Packet(5, packet::kRequestControllerData, Le32(4)),
       "controller 5 out of range"},
      {"zone out of range", 4, Packet(1, packet::kUpdateZoneLeds, LedsBody(Le32(2), 1, Colours({1}))),
       "zone 2 out of range"},
      {"LED out of range", 4, Packet(1, packet::kUpdateSingleLed, Join({Le32(5), Colours({1})})),
       "LED 5 out of range"},
      {"negative LED", 4, Packet(1, packet::kUpdateSingleLed, Join({Le32(0xFFFFFFFF), Colours({1})})),
       "LED -1 out of range"},
      {"more colours than LEDs", 4, Packet(1, packet::kUpdateLeds, LedsBody({}, 6, Colours({1, 2, 3, 4, 5, 6}))),
       "6 colours for controller 1 of 5 LEDs"},
      {"more colours than the zone", 4, Packet(1, packet::kUpdateZoneLeds, LedsBody(Le32(0), 3, Colours({1, 2, 3}))),
       "3 colours for zone 0 of 2 LEDs"},
      {"count above the colours sent", 4, Packet(1, packet::kUpdateLeds, LedsBody({}, 5, Colours({1, 2, 3, 4}))),
       "5 colours announced with 16 bytes"},
      {"count below the colours sent", 4, Packet(1, packet::kUpdateLeds, LedsBody({}, 3, fiveColours)),
       "3 colours announced with 20 bytes"},
      {"data size off", 4, Packet(1, packet::kUpdateLeds, Join({Le32(99), Le16(1), Colours({1})})),
       "data size 99 in a body of 10 bytes"},
      {"colour list cut short", 4, Packet(1, packet::kUpdateLeds, Bytes{10, 0, 0}), "body of 3 bytes is too short"},
      {"single LED of 7 bytes", 4, Packet(1, packet::kUpdateSingleLed, Bytes(7, 0)), "of 7 bytes instead of 8"},
      {"mode out of range", 4, Packet(1, packet::kUpdateMode, ModeBody(2, 4, 1, Colours({1}))),
       "UPDATEMODE: mode 2 out of range (controller 1 has 2 modes)"},
      {"negative mode", 4, Packet(1, packet::kUpdateMode, ModeBody(-1, 4, 1, Colours({1}))), "mode -1 out of range"},
      {"mode name past the end", 4, Packet(1, packet::kUpdateMode, Join({Le32(10), Le32(1), Le16(0xFFFF)})),
       "the mode block runs past the 10-byte body"},
      {"mode colours past the end", 4, Packet(1, packet::kUpdateMode, ModeBody(1, 4, 3, Colours({1, 2}))),
       "runs past"},
      {"mode block of version 2 at 4", 4, Packet(1, packet::kUpdateMode, ModeBody(1, 2, 0, {})), "runs past"},
      {"bytes after the mode block", 4, Packet(1, packet::kUpdateMode, trailing),
       "data size 72 and a mode block of 70 bytes in a body of 72"},
      {"more colours than the mode takes", 4, Packet(1, packet::kUpdateMode, ModeBody(1, 4, 3, Colours({1, 2, 3}))),
       "3 colours for mode \"Breathing\", which takes 2 at most"},
      {"saved mode below 3", 2, Packet(1, packet::kSaveMode, ModeBody(1, 2, 0, {})), "SAVEMODE needs protocol 3"},
      {"profiles below 2", 1, Packet(0, packet::kRequestProfileList, {}), "REQUEST_PROFILE_LIST needs protocol 2"},
      {"version of 2 bytes", 4, Packet(0, packet::kRequestProtocolVersion, Bytes(2, 0)), "of 2 bytes instead of 4"},
      {"data request of 3 bytes", 4, Packet(0, packet::kRequestControllerData, Bytes(3, 0)), "instead of 0 or 4"},
      {"name with an escape", 4, Name("a\x1b[2Jb"), "client name refused: it holds control characters"},
      {"name with a C1 control", 4, Name("a\xC2\x9B" "2Jb"), "it holds control characters"},
      {"name not UTF-8", 4, Name("a\xC3"), "it is not UTF-8"},
      {"empty name", 4, Name(""), "it is empty"},
      {"long name", 4, Packet(0, packet::kSetClientName, longName), "longer than 128 bytes"},
  };
  for (const auto& c : cases) {
    Session s;
    s.Send(Join({Version(c.version), Name("tester")}));
    s.host.calls.clear();
    s.replies.clear();
    EXPECT_FALSE(s.Send(c.packet).close) << c.what;
    EXPECT_TRUE(s.host.calls.empty()) << c.what;
    EXPECT_TRUE(s.replies.empty()) << c.what;
    EXPECT_EQ(s.connection.ClientName(), "tester") << c.what;
    ASSERT_EQ(s.log.size(), 1u) << c.what;
    EXPECT_EQ(s.log[0].rfind("SDK client \"tester\": ", 0), 0u) << s.log[0];
    EXPECT_NE(s.log[0].find(c.logged), std::string::npos) << s.log[0];
  }
}

}  // namespace
}  // namespace talvo::sdk
