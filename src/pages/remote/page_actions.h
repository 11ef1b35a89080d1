// Requests from other programs, carried out through the pages' own setters:
// a lighting mode is chosen, a brightness set, a colour picked, a profile
// chosen as on the page, so files, pushes and what the page shows agree
// with a change made by hand.
//
// Every request is checked whole before anything changes: a request with
// one bad value changes nothing. Everything runs on the UI thread.
#pragma once

#include <array>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/peripheral.h"
#include "lighting/light_records.h"
#include "pages/lighting/lighting_page.h"
#include "pages/macros/macro_pages.h"
#include "pages/mouse/mouse_performance_page.h"
#include "pages/page_outcome.h"
#include "pages/profiles/profile_lists.h"
#include "pages/profiles/profile_page.h"
#include "profiles/profile_index.h"

namespace talvo::pages::remote {

using ::talvo::pages::Outcome;
using ::talvo::pages::Quoted;
using ::talvo::pages::Refusal;
using ::talvo::pages::kQuotedBytes;
using ::talvo::pages::profiles::KindName;
using ::talvo::pages::profiles::KindOfName;
using lighting::pages::LightingChange;
using lighting::pages::LightingState;
using mouse::DpiState;

inline constexpr std::array<device::Peripheral, 3> kPeripherals{device::Peripheral::Mouse, device::Peripheral::Keyboard,
                                                                device::Peripheral::Mousepad};
// "mouse", "keyboard", "mousepad".
std::string_view PeripheralName(device::Peripheral peripheral);
std::optional<device::Peripheral> PeripheralOfName(std::string_view name);

// "RRGGBB" in hex digits of either case, or with a leading '#'; nothing for
// anything else.
std::optional<lighting::Rgb> ParseHexColour(std::string_view text);
std::string HexColour(lighting::Rgb colour);

class PageActions {
 public:
  struct Setup {
    // The lighting tabs, in the order of device::kAllPeripherals.
    std::array<lighting::pages::LightingPage*, std::size(device::kAllPeripherals)> lighting;
    mouse::MousePerformancePage& performance;
    profiles::ProfilePage& profiles;
    macros::pages::MacroPages& macros;
    // Switches the device to onboard profile `index` (0-based), as its
    // onboard selector on the page does.
    std::function<void(device::Peripheral, int index)> selectOnboard;
    std::function<bool(device::Peripheral)> connected;
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
  // The onboard profile in use, 1 up to the device's count.
  int Onboard(device::Peripheral peripheral) const;
  // The profile chosen in the device's list of that kind; empty when none
  // is chosen or the device has no such list.
  std::string ProfileName(device::Peripheral peripheral, talvo::profiles::ProfileKind kind) const;
  DpiState Dpi() const { return s_.performance.Dpi(); }

  Outcome SetLighting(device::Peripheral peripheral, const LightingChange& change);
  Outcome SelectProfile(device::Peripheral peripheral, talvo::profiles::ProfileKind kind, std::string_view name);
  Outcome SelectOnboard(device::Peripheral peripheral, int number);
  // Stage 1 up to the last the performance page shows, dragged there as
  // the user drags its slider.
  Outcome SetDpi(int stage, int dpi) { return s_.performance.SetDpi(stage, dpi); }
  // The key profile and its macros into the device's memory, as the page's
  // store button does. Refused while a store of the device waits or works:
  // each one would queue a whole store sequence behind the others, so a
  // burst of them would keep the device and the progress display busy for
  // minutes.
  Outcome Store(device::Peripheral peripheral);

 private:
  lighting::pages::LightingPage& LightingOf(device::Peripheral peripheral) const {
    return *s_.lighting[device::IndexOf(peripheral)];
  }
  Outcome NeedConnected(device::Peripheral peripheral) const;

  Setup s_;
};

}  // namespace talvo::pages::remote
