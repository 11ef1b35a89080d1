// "main.ini" in the data folder, section [SKINIMAGE]: the chosen background
// image and the interface language, plus the system-wide LANGUAGE setting
// that an installer or a language change leaves for the next start; section
// [SDK]: the lighting SDK server.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::profiles {

enum class Language { English, Chinese };

std::filesystem::path MainIniPath();

// FLAGS "1" means IMAGE holds a chosen background image. Missing values read
// as "0".
bool HasSkinImage();
std::string SkinImage();
bool StoreSkinImage(std::string_view image);  // FLAGS "1", IMAGE = image
bool ResetSkinImage(std::string_view image);  // FLAGS "0", IMAGE = image

// Whether a value is a name the skin chooser writes: a relative ".png" path
// in the skin folder made of ASCII letters, digits, '_', '-' and '.', its
// parts separated by single '/', none of them empty or starting with '.'.
// Anything else in main.ini was not written by us and is not shown.
bool IsSkinImageName(std::string_view image);

// The IMAGE to show at start-up: IMAGE when it is a skin image name, else
// fallback, with a debug line (main.ini is left as it is).
std::string StartupSkinImage(std::string_view fallback);

// main.ini LANGUAGE read as a number: 0 English (a missing or non-numeric
// value included, the natural choice where no installer set a language),
// anything else Chinese.
Language StoredLanguage();
bool StoreLanguage(Language language);  // "0" or "1"

// The system setting's value for a language: "1010" English, "2020" Chinese.
std::string_view SystemLanguageValue(Language language);

// Start-up: when the system setting LANGUAGE can be read, its leading number
// 2020 writes main.ini LANGUAGE "1" and anything else "0"; when it cannot be
// read a debug line says so and main.ini keeps its value. Returns the value
// written, if any.
std::optional<Language> ImportSystemLanguage();

// A language chosen from the menu: main.ini LANGUAGE, then the system
// setting (a debug line when that succeeds). Returns whether main.ini was
// written; a system setting that cannot be written is silent.
bool ChooseLanguage(Language language);

// The lighting SDK server: ENABLED "1" starts it with the program (off
// unless set), ADDRESS the loopback address it listens on, PORT its port.
// An address that is not a loopback address reads as 127.0.0.1: the server
// never listens where other machines could reach it.
inline constexpr uint16_t kDefaultSdkPort = 6742;
struct SdkServerSettings {
  bool enabled = false;
  std::string address = "127.0.0.1";
  uint16_t port = kDefaultSdkPort;
};
SdkServerSettings StoredSdkServer();
bool StoreSdkServerEnabled(bool enabled);
// 127.0.0.0/8 in dotted decimal, or ::1.
bool IsLoopbackAddress(std::string_view address);

}  // namespace talvo::profiles
