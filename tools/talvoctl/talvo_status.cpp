#include "talvo_status.h"

#include <climits>
#include <cstdio>
#include <utility>

#include "platform/ipc_json.h"

namespace talvo::tools {
namespace {

using platform::JsonValue;

// Far above any real answer (a few hundred bytes per device) and nesting
// (four levels); beyond them the text is refused rather than read.
constexpr platform::JsonLimits kLimits{1 << 20, 16, 1 << 18};

bool ReadInt(const JsonValue* value, int& out) {
  const auto n = value ? value->Integer() : std::nullopt;
  if (!n || *n < INT_MIN || *n > INT_MAX) return false;
  out = static_cast<int>(*n);
  return true;
}

bool ReadText(const JsonValue* value, std::string& out) {
  const auto text = value ? value->String() : std::nullopt;
  if (!text) return false;
  out = *text;
  return true;
}

// A member that may be missing: true when it is, or when it is a text.
bool ReadOptionalText(const JsonValue* value, std::optional<std::string>& out) {
  return !value || ReadText(value, out.emplace());
}

bool ReadDpi(const JsonValue& value, DpiStatus& out) {
  const JsonValue* stages = value.Find("stages");
  if (!ReadInt(value.Find("stage"), out.stage) || !stages || stages->GetKind() != JsonValue::Kind::Array) return false;
  for (const JsonValue& item : stages->Items()) {
    if (!ReadInt(&item, out.stages.emplace_back())) return false;
  }
  return true;
}

bool ReadDevice(const JsonValue& value, DeviceStatus& out) {
  const JsonValue* profiles = value.Find("profiles");
  const JsonValue* lighting = value.Find("lighting");
  if (!profiles || profiles->GetKind() != JsonValue::Kind::Object || !lighting) return false;
  const bool read = ReadText(value.Find("device"), out.device) && ReadInt(value.Find("onboard"), out.onboard) &&
                    ReadOptionalText(profiles->Find("key"), out.keyProfile) &&
                    ReadOptionalText(profiles->Find("lighting"), out.lightingProfile) &&
                    ReadOptionalText(profiles->Find("device"), out.deviceProfile) &&
                    ReadInt(lighting->Find("mode"), out.mode) &&
                    ReadText(lighting->Find("mode_name"), out.modeName) &&
                    ReadInt(lighting->Find("brightness"), out.brightness) &&
                    ReadInt(lighting->Find("speed"), out.speed) &&
                    ReadText(lighting->Find("colour"), out.colour);
  if (!read) return false;
  if (const JsonValue* dpi = value.Find("dpi")) {
    if (dpi->GetKind() != JsonValue::Kind::Object || !ReadDpi(*dpi, out.dpi.emplace())) return false;
  }
  return true;
}

// "key \"Name\", lighting (none)": the kinds the device has, separated by commas.
std::string ProfileNames(const DeviceStatus& d) {
  std::string out;
  for (const auto& [kind, name] : {std::pair{"key", &d.keyProfile}, std::pair{"lighting", &d.lightingProfile},
                                   std::pair{"device", &d.deviceProfile}}) {
    if (!*name) continue;
    out += out.empty() ? "" : ", ";
    out += std::string(kind) + " " + ((*name)->empty() ? "(none)" : "\"" + Printable(**name) + "\"");
  }
  return out.empty() ? "none" : out;
}

}  // namespace

std::optional<TalvoStatus> ParseTalvoStatus(std::string_view json) {
  const std::optional<JsonValue> document = platform::ParseJson(json, kLimits);
  if (!document) return std::nullopt;
  const JsonValue* devices = document->Find("devices");
  if (!devices || devices->GetKind() != JsonValue::Kind::Array) return std::nullopt;
  TalvoStatus status;
  for (const JsonValue& item : devices->Items()) {
    if (!ReadDevice(item, status.devices.emplace_back())) return std::nullopt;
  }
  return status;
}

std::string FormatTalvoStatus(const TalvoStatus& status) {
  if (status.devices.empty()) return "no device connected\n";
  std::string out;
  for (const DeviceStatus& d : status.devices) {
    out += Printable(d.device) + ": onboard profile " + std::to_string(d.onboard) + "\n";
    out += "  lighting: " + Printable(d.modeName) + " (mode " + std::to_string(d.mode) + "), brightness " +
           std::to_string(d.brightness) + ", speed " + std::to_string(d.speed) + ", colour " + Printable(d.colour) +
           "\n";
    out += "  profiles: " + ProfileNames(d) + "\n";
    if (d.dpi) {
      out += "  dpi: stage " + std::to_string(d.dpi->stage);
      if (d.dpi->stage >= 1 && static_cast<size_t>(d.dpi->stage) <= d.dpi->stages.size()) {
        out += " (" + std::to_string(d.dpi->stages[d.dpi->stage - 1]) + " DPI)";
      }
      out += "; stages";
      for (int value : d.dpi->stages) out += " " + std::to_string(value);
      out += "\n";
    }
  }
  return out;
}

// The C1 controls are among them: UTF-8 writes them as c2 80..c2 9f.
std::string Printable(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[i + 1]) <= 0x9f) {
      out += '?';
      ++i;
    } else if (c < 0x20 || c == 0x7f) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string JsonQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace talvo::tools
