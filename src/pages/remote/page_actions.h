// Requests from other programs, carried out as the user's actions on the
// pages: a lighting mode is chosen in the mode list, a brightness set on its
// slider, a colour picked on the palette, a profile chosen in its list. The
// page code that handles the user's action handles the request, so files,
// pushes and what the page shows agree with a change made by hand.
//
// Every request is checked whole before anything changes: a request with
// one bad value changes nothing. Everything runs on the UI thread.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/toolkit.h"
#include "device/device_link.h"
#include "lighting/light_records.h"
#include "profiles/live_data.h"
#include "profiles/profile_index.h"
#include "transfer/mouse_transfer.h"

namespace talvo::pages::remote {

// Why a request was refused: a value the request got wrong, or a state of
// the program or device that keeps it from being carried out.
struct Refusal {
  enum class Kind { InvalidArgument, Failed };
  Kind kind = Kind::InvalidArgument;
  std::string message;
};
// Nothing when carried out.
using Outcome = std::optional<Refusal>;

inline constexpr std::array<device::Peripheral, 3> kPeripherals{device::Peripheral::Mouse, device::Peripheral::Keyboard,
                                                                device::Peripheral::Mousepad};
// "mouse", "keyboard", "mousepad".
std::string_view PeripheralName(device::Peripheral peripheral);
std::optional<device::Peripheral> PeripheralOfName(std::string_view name);
// "key", "lighting", "device".
std::string_view KindName(talvo::profiles::ProfileKind kind);
std::optional<talvo::profiles::ProfileKind> KindOfName(std::string_view name);

// text in quotes for a message, cut after kQuotedBytes bytes (whole
// characters, "..." marking the cut): an argument may be megabytes long, and
// a reply or log line carries no more of it than a reader needs.
inline constexpr size_t kQuotedBytes = 40;
std::string Quoted(std::string_view text);

// "RRGGBB" in hex digits of either case, or with a leading '#'; nothing for
// anything else.
std::optional<lighting::Rgb> ParseHexColour(std::string_view text);
std::string HexColour(lighting::Rgb colour);

// A lighting page's settings as its controls show them. Brightness and speed
// are slider positions 0..4 (speed 4 the fastest).
struct LightingState {
  int mode = 0;
  int brightness = 0;
  int speed = 0;
  lighting::Rgb colour;
};

// What a lighting request changes; what is not given stays.
struct LightingChange {
  std::optional<int> mode;
  std::optional<int> brightness;
  std::optional<int> speed;
  std::optional<lighting::Rgb> colour;
};

struct DpiState {
  int activeStage = 0;      // 1-based, 0 when the mouse reports a stage the page has not
  std::vector<int> stages;  // DPI of each stage the page shows
};

class PageActions {
 public:
  struct Setup {
    toolkit::Window& window;
    // Hands a notification to the window as if the user had raised it.
    std::function<void(const toolkit::Notification&)> raise;
    talvo::profiles::LiveData& live;
    const transfer::MouseDeviceData& mouseData;
    std::function<bool(device::Peripheral)> connected;
    // A store of the device waits for its read or is on its way to it.
    std::function<bool(device::Peripheral)> storing;
  };
  explicit PageActions(Setup setup) : s_(std::move(setup)) {}

  bool Connected(device::Peripheral peripheral) const { return s_.connected(peripheral); }
  // The lighting modes the device's page offers, in order.
  std::vector<std::string> ModeNames(device::Peripheral peripheral) const;
  // The English text of a text id, whatever language the window shows.
  using EnglishText = std::function<std::optional<std::string>(std::string_view id)>;
  // The index of a mode given as its number, or its name (any case) as the
  // page shows it or, so that scripts work in every language, in English.
  std::optional<int> ModeOf(device::Peripheral peripheral, std::string_view numberOrName,
                            const EnglishText& english = {}) const;
  // From the device's record alone: cheap enough for every SDK update.
  LightingState Lighting(device::Peripheral peripheral) const;
  // The onboard profile in use, 1..5.
  int Onboard(device::Peripheral peripheral) const;
  // The profile chosen in the device's list of that kind; empty when none
  // is chosen or the device has no such list.
  std::string ProfileName(device::Peripheral peripheral, talvo::profiles::ProfileKind kind) const;
  DpiState Dpi() const;

  Outcome SetLighting(device::Peripheral peripheral, const LightingChange& change);
  Outcome SelectProfile(device::Peripheral peripheral, talvo::profiles::ProfileKind kind, std::string_view name);
  Outcome SelectOnboard(device::Peripheral peripheral, int number);
  // Stage 1 up to the last the performance page shows, dragged there as
  // the user drags its slider.
  Outcome SetDpi(int stage, int dpi);
  // The key profile and its macros into the device's memory, as the page's
  // store button does. Refused while a store of the device waits or works:
  // each one would queue a whole store sequence behind the others, so a
  // burst of them would keep the device and the progress display busy for
  // minutes.
  Outcome Store(device::Peripheral peripheral);

 private:
  toolkit::Control* Find(std::string_view name) const { return s_.window.FindControl(name); }
  void Raise(std::string type, toolkit::Control& control, int64_t wParam = 0);
  Outcome NeedConnected(device::Peripheral peripheral) const;
  // The DPI sliders the performance page has, stage 1 first.
  int DpiStages() const;

  Setup s_;
};

}  // namespace talvo::pages::remote
