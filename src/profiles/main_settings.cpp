#include "profiles/main_settings.h"

#include "platform/ascii.h"
#include "platform/debug.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/system_settings.h"

namespace talvo::profiles {

namespace {

constexpr std::string_view kSection = "SKINIMAGE";
constexpr std::string_view kFlagsKey = "FLAGS";
constexpr std::string_view kImageKey = "IMAGE";
constexpr std::string_view kLanguageKey = "LANGUAGE";
constexpr std::string_view kSystemLanguage = "LANGUAGE";
constexpr int kChineseSystemValue = 2020;
constexpr size_t kMaxSkinImageName = 128;
constexpr std::string_view kSdkSection = "SDK";

bool WriteMain(std::string_view key, std::string_view value) {
  return platform::WriteIniString(MainIniPath(), kSection, key, value);
}

}  // namespace

std::filesystem::path MainIniPath() { return platform::DataFolder() / "main.ini"; }

bool HasSkinImage() { return platform::ReadIniInt(MainIniPath(), kSection, kFlagsKey, 0) == 1; }

std::string SkinImage() { return platform::ReadIniString(MainIniPath(), kSection, kImageKey, "0"); }

bool IsSkinImageName(std::string_view image) {
  if (image.size() > kMaxSkinImageName || !image.ends_with(".png")) return false;
  bool partStart = true;
  for (const char c : image) {
    if (c == '/') {
      if (partStart) return false;
      partStart = true;
      continue;
    }
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                         c == '_' || c == '-' || c == '.';
    if (!allowed || (partStart && c == '.')) return false;
    partStart = false;
  }
  return true;
}

std::string StartupSkinImage(std::string_view fallback) {
  std::string image = SkinImage();
  if (IsSkinImageName(image)) return image;
  debug::Line("main.ini IMAGE is not a skin image; showing the default background");
  return std::string(fallback);
}

bool StoreSkinImage(std::string_view image) {
  return WriteMain(kFlagsKey, "1") && WriteMain(kImageKey, image);
}

bool ResetSkinImage(std::string_view image) {
  return WriteMain(kFlagsKey, "0") && WriteMain(kImageKey, image);
}

Language StoredLanguage() {
  return platform::ReadIniInt(MainIniPath(), kSection, kLanguageKey, 0) == 0 ? Language::English
                                                                              : Language::Chinese;
}

bool StoreLanguage(Language language) {
  return WriteMain(kLanguageKey, language == Language::English ? "0" : "1");
}

std::string_view SystemLanguageValue(Language language) {
  return language == Language::English ? "1010" : "2020";
}

std::optional<Language> ImportSystemLanguage() {
  const auto value = platform::ReadSystemSetting(kSystemLanguage);
  if (!value) {
    debug::Line("system language setting could not be read; main.ini keeps its language");
    return std::nullopt;
  }
  const Language language =
      platform::LeadingNumber(*value) == kChineseSystemValue ? Language::Chinese : Language::English;
  if (!StoreLanguage(language)) return std::nullopt;
  return language;
}

bool ChooseLanguage(Language language) {
  const bool stored = StoreLanguage(language);
  if (platform::WriteSystemSetting(kSystemLanguage, SystemLanguageValue(language))) {
    debug::Line("system language setting written");
  }
  return stored;
}

bool IsLoopbackAddress(std::string_view address) {
  if (address == "::1") return true;
  if (!address.starts_with("127.")) return false;
  int parts = 0;
  int digits = 0;
  int value = 0;
  for (const char c : address) {
    if (c == '.') {
      if (digits == 0) return false;
      ++parts;
      digits = value = 0;
    } else if (c >= '0' && c <= '9' && digits < 3) {
      value = value * 10 + (c - '0');
      if (value > 255) return false;
      ++digits;
    } else {
      return false;
    }
  }
  return parts == 3 && digits > 0;
}

SdkServerSettings StoredSdkServer() {
  const std::filesystem::path ini = MainIniPath();
  SdkServerSettings settings;
  settings.enabled = platform::ReadIniInt(ini, kSdkSection, "ENABLED", 0) == 1;
  const std::string address = platform::ReadIniString(ini, kSdkSection, "ADDRESS", settings.address);
  if (IsLoopbackAddress(address))
    settings.address = address;
  else
    debug::Line("main.ini [SDK] ADDRESS is not a loopback address; the SDK server listens on 127.0.0.1");
  const int port = platform::ReadIniInt(ini, kSdkSection, "PORT", kDefaultSdkPort);
  if (port > 0 && port <= 65535) settings.port = uint16_t(port);
  return settings;
}

bool StoreSdkServerEnabled(bool enabled) {
  return platform::WriteIniString(MainIniPath(), kSdkSection, "ENABLED", enabled ? "1" : "0");
}

}  // namespace talvo::profiles
