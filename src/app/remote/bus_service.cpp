#include "app/remote/bus_service.h"

#include <QDBusConnectionInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "app/toolkit/qt/language.h"
#include "app/toolkit/qt/skin_files.h"
#include "platform/debug.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace talvo::app {

namespace {

using pages::remote::Quoted;
using pages::remote::Refusal;

constexpr const char* kInvalidArgument = "org.talvo.Talvo1.Error.InvalidArgument";
constexpr const char* kFailed = "org.talvo.Talvo1.Error.Failed";

// The longest arguments looked at, in bytes of UTF-8: device and profile
// kind names and colours are a few letters, mode names a few words, profile
// names file names.
constexpr size_t kMaxWordBytes = 16;
constexpr size_t kMaxModeBytes = 64;

QString Str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

TalvoBusService::TalvoBusService(pages::remote::PageActions& actions, QObject* parent)
    : QObject(parent), actions_(actions) {}

TalvoBusService::~TalvoBusService() {
  if (!registered_) return;
  bus_.unregisterObject(QString::fromLatin1(kBusObjectPath));
  bus_.unregisterService(QString::fromLatin1(kBusServiceName));
}

bool TalvoBusService::Register(QDBusConnection bus) {
  if (!bus.isConnected()) {
    debug::Line("bus service: no session bus; talvoctl cannot reach this Talvo");
    return false;
  }
  if (!bus.registerObject(QString::fromLatin1(kBusObjectPath), this, QDBusConnection::ExportAllSlots)) {
    debug::Line("bus service: cannot register the object");
    return false;
  }
  if (!bus.registerService(QString::fromLatin1(kBusServiceName))) {
    debug::Line("bus service: another program holds " + std::string(kBusServiceName));
    bus.unregisterObject(QString::fromLatin1(kBusObjectPath));
    return false;
  }
  bus_ = bus;
  registered_ = true;
  return true;
}

void TalvoBusService::Refuse(const QString& errorName, const QString& message) {
  debug::Line("bus service: refused: " + message.toStdString());
  if (calledFromDBus()) sendErrorReply(errorName, message);
}

void TalvoBusService::Answer(const pages::remote::Outcome& outcome) {
  if (!outcome) return;
  Refuse(QString::fromLatin1(outcome->kind == Refusal::Kind::InvalidArgument ? kInvalidArgument : kFailed),
         Str(outcome->message));
}

std::optional<std::string> TalvoBusService::Argument(const QString& text, size_t maxBytes, const char* what) {
  // A UTF-16 unit is one to three bytes of UTF-8: a text longer in units is
  // refused before it is converted.
  if (size_t(text.size()) <= maxBytes) {
    std::string bytes = text.toStdString();
    if (bytes.size() <= maxBytes) return bytes;
  }
  Refuse(QString::fromLatin1(kInvalidArgument),
         Str(std::string(what) + " " + Quoted(text.left(qsizetype(pages::remote::kQuotedBytes) + 1).toStdString()) +
             " is longer than " + std::to_string(maxBytes) + " bytes"));
  return std::nullopt;
}

std::optional<device::Peripheral> TalvoBusService::DeviceOf(const QString& name) {
  const auto text = Argument(name, kMaxWordBytes, "the device name");
  if (!text) return std::nullopt;
  const auto peripheral = pages::remote::PeripheralOfName(*text);
  if (!peripheral) Refuse(QString::fromLatin1(kInvalidArgument), Str("no device named " + Quoted(*text)));
  return peripheral;
}

std::optional<std::string> TalvoBusService::EnglishText(std::string_view id) {
  if (!english_) {
    const QString file = QString::fromStdString((platform::ProgramFolder() / "skin" / "lan_en.xml").string());
    const auto bytes = ReadRegularFile(file);
    auto table = bytes ? ParseLanguage(*bytes, nullptr) : std::nullopt;
    if (!table) debug::Line("bus service: cannot read " + file.toStdString() + "; modes go by the window's names only");
    english_ = table ? std::move(*table) : LanguageTable{};
  }
  const auto it = english_->find(std::string(id));
  return it == english_->end() ? std::nullopt : std::optional<std::string>(it->second);
}

QString TalvoBusService::Status() {
  using pages::remote::PeripheralName;
  QJsonArray devices;
  for (device::Peripheral p : pages::remote::kPeripherals) {
    if (!actions_.Connected(p)) continue;
    const pages::remote::LightingState light = actions_.Lighting(p);
    const std::vector<std::string> modes = actions_.ModeNames(p);
    const std::string modeName = light.mode >= 0 && light.mode < int(modes.size()) ? modes[size_t(light.mode)] : "";
    QJsonObject profiles;
    for (auto kind : {profiles::ProfileKind::Key, profiles::ProfileKind::Lighting, profiles::ProfileKind::Device})
      if (profiles::FindCombo(p, kind))
        profiles[Str(pages::remote::KindName(kind))] = Str(actions_.ProfileName(p, kind));
    QJsonObject entry{
        {"device", Str(PeripheralName(p))},
        {"onboard", actions_.Onboard(p)},
        {"profiles", profiles},
        {"lighting", QJsonObject{{"mode", light.mode},
                                 {"mode_name", Str(modeName)},
                                 {"brightness", light.brightness},
                                 {"speed", light.speed},
                                 {"colour", Str(pages::remote::HexColour(light.colour))}}},
    };
    if (p == device::Peripheral::Mouse) {
      const pages::remote::DpiState dpi = actions_.Dpi();
      QJsonArray stages;
      for (int value : dpi.stages) stages.append(value);
      entry["dpi"] = QJsonObject{{"stage", dpi.activeStage}, {"stages", stages}};
    }
    devices.append(entry);
  }
  return QString::fromUtf8(QJsonDocument(QJsonObject{{"devices", devices}}).toJson(QJsonDocument::Compact));
}

void TalvoBusService::SelectProfile(const QString& device, const QString& kind, const QString& name) {
  const auto p = DeviceOf(device);
  if (!p) return;
  const auto kindText = Argument(kind, kMaxWordBytes, "the profile kind");
  if (!kindText) return;
  const auto k = pages::remote::KindOfName(*kindText);
  if (!k) return Refuse(QString::fromLatin1(kInvalidArgument), Str("no profile kind " + Quoted(*kindText)));
  if (const auto text = Argument(name, platform::kMaxFileNameBytes, "the profile name"))
    Answer(actions_.SelectProfile(*p, *k, *text));
}

void TalvoBusService::SelectOnboard(const QString& device, uint number) {
  if (const auto p = DeviceOf(device)) Answer(actions_.SelectOnboard(*p, int(std::min(number, 1000u))));
}

void TalvoBusService::SetLighting(const QString& device, const QString& mode, int brightness, int speed,
                                  const QString& colour) {
  const auto p = DeviceOf(device);
  if (!p) return;
  const auto modeText = Argument(mode, kMaxModeBytes, "the mode");
  const auto colourText = modeText ? Argument(colour, kMaxWordBytes, "the colour") : std::nullopt;
  if (!colourText) return;
  pages::remote::LightingChange change;
  if (!modeText->empty()) {
    change.mode = actions_.ModeOf(*p, *modeText, [this](std::string_view id) { return EnglishText(id); });
    if (!change.mode)
      return Refuse(QString::fromLatin1(kInvalidArgument),
                    Str("the " + std::string(pages::remote::PeripheralName(*p)) + " has no lighting mode " +
                        Quoted(*modeText)));
  }
  if (brightness != -1) change.brightness = brightness;
  if (speed != -1) change.speed = speed;
  if (!colourText->empty()) {
    change.colour = pages::remote::ParseHexColour(*colourText);
    if (!change.colour)
      return Refuse(QString::fromLatin1(kInvalidArgument), Str("colour " + Quoted(*colourText) + " is not RRGGBB"));
  }
  Answer(actions_.SetLighting(*p, change));
}

void TalvoBusService::SetDpi(uint stage, uint value) {
  Answer(actions_.SetDpi(int(std::min(stage, 1000u)), int(std::min(value, 1000000u))));
}

void TalvoBusService::Store(const QString& device) {
  if (const auto p = DeviceOf(device)) Answer(actions_.Store(*p));
}

}  // namespace talvo::app
