#include "app/automation/automation_request.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

namespace talvo::app {
namespace {

constexpr int kMaxWaitMs = 10 * 60 * 1000;

struct BadArgument {};

const std::pair<std::string_view, Command> kCommands[] = {
    {"ready", Command::Ready},         {"click", Command::Click},
    {"select", Command::Select},       {"check", Command::Check},
    {"set_value", Command::SetValue},  {"type", Command::Type},
    {"focus", Command::Focus},         {"blur", Command::Blur},
    {"hover", Command::Hover},         {"pick_colour", Command::PickColour},
    {"key", Command::Key},             {"mouse_button", Command::MouseButton},
    {"get", Command::Get},             {"menu", Command::Menu},
    {"tray", Command::Tray},           {"window", Command::Window},
    {"messages", Command::Messages},   {"answers", Command::Answers},
    {"dialogs", Command::Dialogs},     {"foreground", Command::Foreground},
    {"system", Command::System},       {"wait", Command::Wait},
    {"screenshot", Command::Screenshot}, {"sim", Command::Sim},
    {"quit", Command::Quit},
};

const std::pair<std::string_view, SimOp> kSimOps[] = {
    {"plug", SimOp::Plug},       {"unplug", SimOp::Unplug}, {"notify", SimOp::Notify},
    {"traffic", SimOp::Traffic}, {"clear", SimOp::Clear},   {"memory", SimOp::Memory},
    {"poke", SimOp::Poke},       {"fault", SimOp::Fault},   {"deny_open", SimOp::DenyOpen},
};

// Typed access to the arguments; a missing or mistyped one throws
// BadArgument, which the parser turns into the reply.
class Args {
 public:
  explicit Args(const QJsonObject& o) : o_(o) {}

  std::string String(const char* key) const {
    const QJsonValue v = o_.value(QLatin1String(key));
    if (!v.isString()) throw BadArgument{};
    return v.toString().toStdString();
  }
  std::string NonEmptyString(const char* key) const {
    std::string s = String(key);
    if (s.empty()) throw BadArgument{};
    return s;
  }
  bool Bool(const char* key, std::optional<bool> fallback = std::nullopt) const {
    const QJsonValue v = o_.value(QLatin1String(key));
    if (v.isUndefined() && fallback) return *fallback;
    if (!v.isBool()) throw BadArgument{};
    return v.toBool();
  }
  int64_t Integer(const char* key, int64_t min, int64_t max) const {
    return IntegerOf(o_.value(QLatin1String(key)), min, max);
  }
  int64_t Integer(const char* key, int64_t min, int64_t max, int64_t fallback) const {
    const QJsonValue v = o_.value(QLatin1String(key));
    return v.isUndefined() ? fallback : IntegerOf(v, min, max);
  }
  static int64_t IntegerOf(const QJsonValue& v, int64_t min, int64_t max) {
    if (!v.isDouble()) throw BadArgument{};
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < double(min) || d > double(max)) throw BadArgument{};
    return int64_t(d);
  }
  QJsonArray Array(const char* key) const {
    const QJsonValue v = o_.value(QLatin1String(key));
    if (!v.isArray()) throw BadArgument{};
    return v.toArray();
  }

 private:
  const QJsonObject& o_;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<uint8_t> HexBytes(const std::string& hex) {
  if (hex.empty() || hex.size() % 2 != 0) throw BadArgument{};
  std::vector<uint8_t> out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) throw BadArgument{};
    out.push_back(uint8_t(hi << 4 | lo));
  }
  return out;
}

uint32_t Argb(const std::string& hex) {
  if (hex.size() != 8) throw BadArgument{};
  uint32_t v = 0;
  for (char c : hex) {
    const int d = HexDigit(c);
    if (d < 0) throw BadArgument{};
    v = v << 4 | uint32_t(d);
  }
  return v;
}

void ParseSim(const Args& a, Request& r) {
  const std::string op = a.String("op");
  bool known = false;
  for (const auto& [n, o] : kSimOps)
    if (n == op) r.op = o, known = true;
  if (!known) throw BadArgument{};
  const auto device = sim::DeviceKindFromName(a.String("device"));
  if (!device) throw BadArgument{};
  r.device = *device;
  switch (r.op) {
    case SimOp::Plug: case SimOp::Unplug: case SimOp::Traffic: case SimOp::Clear: break;
    case SimOp::Notify: r.usage = int(a.Integer("usage", 0, 0xFFFF)); break;
    case SimOp::Memory: r.area = a.NonEmptyString("area"); break;
    case SimOp::DenyOpen: r.on = a.Bool("denied"); break;
    case SimOp::Poke:
      r.area = a.NonEmptyString("area");
      r.offset = a.Integer("offset", 0, std::numeric_limits<int32_t>::max());
      r.bytes = HexBytes(a.String("hex"));
      break;
    case SimOp::Fault: {
      const auto fault = sim::FaultFromName(a.String("fault"));
      if (!fault) throw BadArgument{};
      r.fault = *fault;
      r.count = int(a.Integer("count", 0, std::numeric_limits<int32_t>::max()));
      r.after = int(a.Integer("after", 0, std::numeric_limits<int32_t>::max(), 0));
      break;
    }
  }
}

void ParseArguments(const Args& a, Request& r) {
  constexpr int64_t kIntMin = std::numeric_limits<int>::min(), kIntMax = std::numeric_limits<int>::max();
  switch (r.command) {
    case Command::Ready: case Command::Window: case Command::Messages: case Command::System:
    case Command::Quit:
      break;
    case Command::Click: case Command::Get: case Command::Focus: case Command::Blur:
      r.name = a.NonEmptyString("name");
      break;
    case Command::Select:
      r.name = a.NonEmptyString("name");
      r.index = int(a.Integer("index", 0, kIntMax));
      break;
    case Command::Check:
      r.name = a.NonEmptyString("name");
      r.on = a.Bool("on");
      break;
    case Command::SetValue:
      r.name = a.NonEmptyString("name");
      r.value = int(a.Integer("value", kIntMin, kIntMax));
      r.moving = a.Bool("moving", false);
      break;
    case Command::Type:
      r.name = a.NonEmptyString("name");
      r.text = a.String("text");
      break;
    case Command::Hover:
      r.name = a.NonEmptyString("name");
      r.on = a.Bool("enter");
      break;
    case Command::PickColour:
      r.name = a.NonEmptyString("name");
      r.argb = Argb(a.String("argb"));
      break;
    case Command::Key:
      r.vk = int(a.Integer("vk", 0, 0xFFFF));
      r.down = a.Bool("down");
      r.extended = a.Bool("extended", false);
      break;
    case Command::MouseButton:
      r.message = int(a.Integer("message", 0, 0xFFFF));
      break;
    case Command::Menu:
      r.text = a.NonEmptyString("item");
      break;
    case Command::Tray:
      r.text = a.String("button");
      if (r.text != "left" && r.text != "right") throw BadArgument{};
      break;
    case Command::Answers:
      for (const QJsonValue& v : a.Array("values")) r.values.push_back(int(Args::IntegerOf(v, kIntMin, kIntMax)));
      break;
    case Command::Dialogs:
      for (const QJsonValue& v : a.Array("paths")) {
        if (!v.isString()) throw BadArgument{};
        r.paths.push_back(v.toString().toStdString());
      }
      break;
    case Command::Foreground: case Command::Screenshot:
      r.text = a.NonEmptyString("path");
      break;
    case Command::Wait:
      r.ms = int(a.Integer("ms", 0, kMaxWaitMs));
      break;
    case Command::Sim:
      ParseSim(a, r);
      break;
  }
}

ParsedRequest Failure(const char* error) {
  ParsedRequest p;
  p.error = error;
  return p;
}

}  // namespace

ParsedRequest ParseRequest(QByteArrayView line) {
  if (line.size() > kMaxRequestLine) return Failure("bad argument");
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return Failure("bad argument");
  const QJsonObject o = doc.object();
  const QJsonValue cmd = o.value(QLatin1String("cmd"));
  if (!cmd.isString()) return Failure("bad argument");
  const std::string name = cmd.toString().toStdString();
  ParsedRequest p;
  bool known = false;
  for (const auto& [n, c] : kCommands)
    if (n == name) p.request.command = c, known = true;
  if (!known) return Failure("unknown command");
  try {
    ParseArguments(Args(o), p.request);
  } catch (const BadArgument&) {
    return Failure("bad argument");
  }
  p.ok = true;
  return p;
}

}  // namespace talvo::app
