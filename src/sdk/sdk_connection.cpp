#include "sdk/sdk_connection.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <type_traits>

#include "platform/utf8.h"
#include "sdk/wire.h"

namespace talvo::sdk {

namespace {

template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string text;
  const auto append = [&text](const auto& part) {
    if constexpr (std::is_arithmetic_v<std::decay_t<decltype(part)>>) {
      text += std::to_string(part);
    } else {
      text += std::string_view(part);
    }
  };
  (append(parts), ...);
  return text;
}

struct PacketKind {
  uint32_t id;
  std::string_view name;
  uint32_t sinceVersion;
  int bodySize;  // -1: variable, checked by the packet's own decoder
};

constexpr PacketKind kPacketKinds[] = {
    {packet::kRequestControllerCount, "REQUEST_CONTROLLER_COUNT", 0, 0},
    {packet::kRequestControllerData, "REQUEST_CONTROLLER_DATA", 0, -1},
    // Asked before any version is agreed, so it is open to all.
    {packet::kRequestProtocolVersion, "REQUEST_PROTOCOL_VERSION", 0, 4},
    {packet::kSetClientName, "SET_CLIENT_NAME", 0, -1},
    {packet::kRequestProfileList, "REQUEST_PROFILE_LIST", 2, 0},
    {packet::kSaveProfile, "SAVE_PROFILE", 2, -1},
    {packet::kLoadProfile, "LOAD_PROFILE", 2, -1},
    {packet::kDeleteProfile, "DELETE_PROFILE", 2, -1},
    {packet::kRequestPluginList, "REQUEST_PLUGIN_LIST", 4, 0},
    {packet::kPluginSpecific, "PLUGIN_SPECIFIC", 4, -1},
    {packet::kResizeZone, "RESIZEZONE", 0, 8},
    {packet::kUpdateLeds, "UPDATELEDS", 0, -1},
    {packet::kUpdateZoneLeds, "UPDATEZONELEDS", 0, -1},
    {packet::kUpdateSingleLed, "UPDATESINGLELED", 0, 8},
    {packet::kSetCustomMode, "SETCUSTOMMODE", 0, 0},
    {packet::kUpdateMode, "UPDATEMODE", 0, -1},
    {packet::kSaveMode, "SAVEMODE", 3, -1},
};

const PacketKind* FindKind(uint32_t id) {
  const auto* kind = std::find_if(std::begin(kPacketKinds), std::end(kPacketKinds),
                                  [id](const PacketKind& k) { return k.id == id; });
  return kind == std::end(kPacketKinds) ? nullptr : kind;
}

// Why a packet is dropped before its body is read, or nothing.
std::string KindProblem(const PacketKind* kind, uint32_t id, uint32_t version, std::span<const uint8_t> body) {
  if (kind == nullptr) return Cat("unknown packet id ", id, " (", body.size(), " bytes) ignored");
  if (version < kind->sinceVersion)
    return Cat(kind->name, " needs protocol ", kind->sinceVersion, ", the client speaks ", version, "; ignored");
  if (kind->bodySize >= 0 && body.size() != size_t(kind->bodySize))
    return Cat(kind->name, " of ", body.size(), " bytes instead of ", kind->bodySize, "; ignored");
  return {};
}

std::vector<uint8_t> U32Body(uint32_t value) {
  wire::Writer body;
  body.U32(value);
  return body.Take();
}

// The reply of a server that keeps no profiles or plugins: data_size (counting
// itself) and a count of 0.
std::vector<uint8_t> EmptyListBody() {
  wire::Writer body;
  body.U32(6);
  body.U16(0);
  return body.Take();
}

// Why a client name cannot be shown in a log line as it is, or nothing.
std::string NameProblem(std::string_view name) {
  if (name.empty()) return "it is empty";
  if (name.size() > kMaxClientNameBytes) return Cat("it is longer than ", kMaxClientNameBytes, " bytes");
  while (!name.empty()) {
    const size_t length = platform::Utf8SequenceLength(name);
    if (length == 0) return "it is not UTF-8";
    const auto lead = static_cast<uint8_t>(name[0]);
    // C0 controls and DEL, and C1 controls (U+0080..U+009F, C2 80..C2 9F).
    if (lead < 0x20 || lead == 0x7F || (lead == 0xC2 && static_cast<uint8_t>(name[1]) < 0xA0)) {
      return "it holds control characters";
    }
    name.remove_prefix(length);
  }
  return {};
}

}  // namespace

std::optional<PacketFramer::Packet> PacketFramer::Next(std::span<const uint8_t>& bytes) {
  if (!broken_.empty()) return std::nullopt;
  if (whole_) {
    pending_.clear();
    whole_ = false;
  }
  if (pending_.size() < kHeaderSize) {
    const size_t take = std::min(kHeaderSize - pending_.size(), bytes.size());
    pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + take);
    bytes = bytes.subspan(take);
    if (pending_.size() < kHeaderSize) return std::nullopt;
    if (!std::equal(kMagic.begin(), kMagic.end(), pending_.begin())) {
      char shown[16];
      std::snprintf(shown, sizeof shown, "%02X %02X %02X %02X", pending_[0], pending_[1], pending_[2], pending_[3]);
      broken_ = Cat("packet magic ", shown, " is not ORGB");
    } else {
      wire::Reader header{std::span<const uint8_t>(pending_).subspan(kMagic.size())};
      device_ = header.U32();
      id_ = header.U32();
      bodySize_ = header.U32();
      if (bodySize_ > kMaxBodySize)
        broken_ = Cat("packet announces a body of ", bodySize_, " bytes, above the limit of ", kMaxBodySize);
    }
    if (!broken_.empty()) {
      pending_.clear();
      pending_.shrink_to_fit();
      return std::nullopt;
    }
  }
  const size_t take = std::min(kHeaderSize + bodySize_ - pending_.size(), bytes.size());
  pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + take);
  bytes = bytes.subspan(take);
  if (pending_.size() < kHeaderSize + bodySize_) return std::nullopt;
  whole_ = true;
  return Packet{.device = device_, .id = id_, .body = std::span<const uint8_t>(pending_).subspan(kHeaderSize)};
}

SdkConnection::SdkConnection(SdkHost& host, Log log) : host_(host), log_(std::move(log)) {}

SdkConnection::Output SdkConnection::Receive(std::span<const uint8_t> bytes) {
  Output out;
  while (!closed_ && !bytes.empty()) {
    const auto packet = framer_.Next(bytes);
    if (!framer_.Broken().empty()) {
      Close(framer_.Broken());
      break;
    }
    if (packet) {
      Handle(packet->device, packet->id, packet->body, out.reply);
      ++out.requests;
    }
  }
  out.close = closed_;
  return out;
}

void SdkConnection::Close(std::string_view why) {
  Complain(Cat(why, "; connection closed"));
  closed_ = true;
}

void SdkConnection::Complain(std::string_view what) const {
  if (!log_) return;
  log_(name_.empty() ? Cat("SDK client (unnamed): ", what) : Cat("SDK client \"", name_, "\": ", what));
}

void SdkConnection::Handle(uint32_t device, uint32_t id, std::span<const uint8_t> body,
                           std::vector<uint8_t>& reply) {
  if (IsLedUpdate(id)) {
    if (const std::string problem = leds_.Apply(host_, device, id, body); !problem.empty()) Complain(problem);
    return;
  }
  const PacketKind* kind = FindKind(id);
  if (const std::string problem = KindProblem(kind, id, version_, body); !problem.empty()) {
    Complain(problem);
    return;
  }
  switch (id) {
    case packet::kRequestControllerCount: {
      const auto answer = U32Body(host_.ControllerCount());
      const auto packet = EncodePacket(device, id, answer);
      reply.insert(reply.end(), packet.begin(), packet.end());
      return;
    }
    case packet::kRequestControllerData: return ControllerData(device, body, reply);
    case packet::kRequestProtocolVersion: return ProtocolVersionAsked(device, body, reply);
    case packet::kSetClientName: return ClientNameGiven(body);
    case packet::kRequestProfileList:
    case packet::kRequestPluginList: {
      const auto packet = EncodePacket(device, id, EmptyListBody());
      reply.insert(reply.end(), packet.begin(), packet.end());
      return;
    }
    case packet::kSaveProfile:
    case packet::kLoadProfile:
    case packet::kDeleteProfile: return Complain(Cat(kind->name, " ignored: this server keeps no profiles"));
    case packet::kPluginSpecific: return Complain(Cat(kind->name, " ignored: this server has no plugins"));
    case packet::kResizeZone: return Complain("RESIZEZONE ignored: the zones here have a fixed size");
    case packet::kSetCustomMode:
      if (Controller(device, kind->name)) host_.SetCustomMode(device);
      return;
    case packet::kUpdateMode:
    case packet::kSaveMode: return UpdateMode(device, kind->name, body);
  }
}

std::optional<ControllerDescription> SdkConnection::Controller(uint32_t index, std::string_view request) const {
  const uint32_t count = host_.ControllerCount();
  auto description = index < count ? host_.Describe(index) : std::nullopt;
  if (!description) Complain(Cat(request, ": controller ", index, " out of range (", count, " controllers); ignored"));
  return description;
}

void SdkConnection::ControllerData(uint32_t device, std::span<const uint8_t> body, std::vector<uint8_t>& reply) {
  if (body.size() != 0 && body.size() != 4) {
    Complain(Cat("REQUEST_CONTROLLER_DATA of ", body.size(), " bytes instead of 0 or 4; ignored"));
    return;
  }
  // The block is laid out for the version the request names, none meaning 0.
  uint32_t version = body.empty() ? 0 : wire::Reader(body).U32();
  if (version > kServerProtocolVersion) {
    Complain(Cat("REQUEST_CONTROLLER_DATA for protocol ", version, "; sent as ", kServerProtocolVersion));
    version = kServerProtocolVersion;
  }
  const auto controller = Controller(device, "REQUEST_CONTROLLER_DATA");
  if (!controller) return;
  const auto packet = EncodePacket(device, packet::kRequestControllerData, EncodeControllerData(*controller, version));
  reply.insert(reply.end(), packet.begin(), packet.end());
}

void SdkConnection::ProtocolVersionAsked(uint32_t device, std::span<const uint8_t> body, std::vector<uint8_t>& reply) {
  // The answer is the version both sides speak, so a client that takes the
  // server's number as it is stays within what it can read.
  version_ = std::min(wire::Reader(body).U32(), kServerProtocolVersion);
  const auto packet = EncodePacket(device, packet::kRequestProtocolVersion, U32Body(version_));
  reply.insert(reply.end(), packet.begin(), packet.end());
}

void SdkConnection::ClientNameGiven(std::span<const uint8_t> body) {
  const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
  const std::string_view name = text.substr(0, text.find('\0'));
  if (const std::string problem = NameProblem(name); !problem.empty()) {
    Complain(Cat("client name refused: ", problem));
    return;
  }
  name_ = name;
  host_.ClientNamed(name_);
}

bool IsLedUpdate(uint32_t id) {
  return id == packet::kUpdateLeds || id == packet::kUpdateZoneLeds || id == packet::kUpdateSingleLed;
}

namespace {

// The controller's LEDs for an LED update, or nothing and why.
std::optional<LedLayout> Layout(SdkLeds& leds, uint32_t index, std::string_view request, std::string& problem) {
  const uint32_t count = leds.ControllerCount();
  auto layout = index < count ? leds.Leds(index) : std::nullopt;
  if (!layout) problem = Cat(request, ": controller ", index, " out of range (", count, " controllers); ignored");
  return layout;
}

// The count and colours that end UPDATELEDS and UPDATEZONELEDS into
// `colours`; what is wrong when they do not fill the body exactly.
std::string ReadColourList(wire::Reader& in, uint32_t dataSize, size_t bodySize, std::vector<Colour>& colours) {
  colours.clear();
  const uint16_t count = in.U16();
  if (in.Failed()) return Cat("body of ", bodySize, " bytes is too short");
  if (dataSize != bodySize) return Cat("data size ", dataSize, " in a body of ", bodySize, " bytes");
  if (in.Remaining() != size_t{count} * 4) return Cat(count, " colours announced with ", in.Remaining(), " bytes of colour");
  in.ColoursInto(count, colours);
  return {};
}

}  // namespace

std::string LedUpdater::Apply(SdkLeds& leds, uint32_t device, uint32_t id, std::span<const uint8_t> body) {
  // LED updates are open to every protocol version.
  if (std::string problem = KindProblem(FindKind(id), id, 0, body); !problem.empty()) return problem;
  switch (id) {
    case packet::kUpdateLeds: return UpdateLeds(leds, device, body);
    case packet::kUpdateZoneLeds: return UpdateZoneLeds(leds, device, body);
    case packet::kUpdateSingleLed: return UpdateSingleLed(leds, device, body);
  }
  return Cat("packet id ", id, " is no LED update; ignored");
}

std::string LedUpdater::UpdateLeds(SdkLeds& leds, uint32_t device, std::span<const uint8_t> body) {
  wire::Reader in(body);
  const uint32_t dataSize = in.U32();
  if (const std::string problem = ReadColourList(in, dataSize, body.size(), colours_); !problem.empty())
    return Cat("UPDATELEDS: ", problem, "; ignored");
  std::string problem;
  const auto layout = Layout(leds, device, "UPDATELEDS", problem);
  if (!layout) return problem;
  if (colours_.size() > layout->leds)
    return Cat("UPDATELEDS: ", colours_.size(), " colours for controller ", device, " of ", layout->leds,
               " LEDs; ignored");
  leds.SetLeds(device, 0, colours_);
  return {};
}

std::string LedUpdater::UpdateZoneLeds(SdkLeds& leds, uint32_t device, std::span<const uint8_t> body) {
  wire::Reader in(body);
  const uint32_t dataSize = in.U32();
  const uint32_t zone = in.U32();
  if (const std::string problem = ReadColourList(in, dataSize, body.size(), colours_); !problem.empty())
    return Cat("UPDATEZONELEDS: ", problem, "; ignored");
  std::string problem;
  const auto layout = Layout(leds, device, "UPDATEZONELEDS", problem);
  if (!layout) return problem;
  if (zone >= layout->zoneLeds.size())
    return Cat("UPDATEZONELEDS: zone ", zone, " out of range (controller ", device, " has ", layout->zoneLeds.size(),
               " zones); ignored");
  const uint64_t first = std::accumulate(layout->zoneLeds.begin(), layout->zoneLeds.begin() + zone, uint64_t{0});
  const uint64_t zoneLeds = layout->zoneLeds[zone];
  if (colours_.size() > zoneLeds || first + colours_.size() > layout->leds)
    return Cat("UPDATEZONELEDS: ", colours_.size(), " colours for zone ", zone, " of ", zoneLeds,
               " LEDs on controller ", device, "; ignored");
  leds.SetLeds(device, static_cast<uint32_t>(first), colours_);
  return {};
}

std::string LedUpdater::UpdateSingleLed(SdkLeds& leds, uint32_t device, std::span<const uint8_t> body) {
  wire::Reader in(body);
  const int32_t led = in.I32();
  in.ColoursInto(1, colours_);
  std::string problem;
  const auto layout = Layout(leds, device, "UPDATESINGLELED", problem);
  if (!layout) return problem;
  if (led < 0 || uint32_t(led) >= layout->leds)
    return Cat("UPDATESINGLELED: LED ", led, " out of range (controller ", device, " has ", layout->leds,
               " LEDs); ignored");
  leds.SetLeds(device, static_cast<uint32_t>(led), colours_);
  return {};
}

void SdkConnection::UpdateMode(uint32_t device, std::string_view request, std::span<const uint8_t> body) {
  wire::Reader in(body);
  const uint32_t dataSize = in.U32();
  const int32_t mode = in.I32();
  in.Take(in.U16());  // the mode's name: the index says which mode
  in.I32();           // value
  in.U32();           // flags
  in.U32();           // speed minimum
  in.U32();           // speed maximum
  if (version_ >= 3) {
    in.U32();  // brightness minimum
    in.U32();  // brightness maximum
  }
  in.U32();  // colours minimum
  in.U32();  // colours maximum
  ModeSettings settings;
  settings.speed = in.U32();
  if (version_ >= 3) settings.brightness = in.U32();
  settings.direction = in.U32();
  settings.colourMode = in.U32();
  const uint16_t colourCount = in.U16();
  settings.colours = in.Colours(colourCount);
  if (in.Failed()) {
    Complain(Cat(request, ": the mode block runs past the ", body.size(), "-byte body; ignored"));
    return;
  }
  if (in.Remaining() != 0 || dataSize != body.size()) {
    Complain(Cat(request, ": data size ", dataSize, " and a mode block of ", body.size() - in.Remaining(),
                 " bytes in a body of ", body.size(), " bytes; ignored"));
    return;
  }
  const auto controller = Controller(device, request);
  if (!controller) return;
  if (mode < 0 || size_t(mode) >= controller->modes.size()) {
    Complain(Cat(request, ": mode ", mode, " out of range (controller ", device, " has ", controller->modes.size(),
                 " modes); ignored"));
    return;
  }
  const ModeDescription& described = controller->modes[size_t(mode)];
  if (settings.colours.size() > described.coloursMax) {
    Complain(Cat(request, ": ", settings.colours.size(), " colours for mode \"", described.name, "\", which takes ",
                 described.coloursMax, " at most; ignored"));
    return;
  }
  host_.SetMode(device, static_cast<uint32_t>(mode), settings);
}

}  // namespace talvo::sdk
