// What the three lighting pages share: the swatch colours, colour
// conversions, reading a colour edit, and small control operations over the
// toolkit that tolerate a control missing from the layout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "toolkit/toolkit.h"
#include "platform/ascii.h"
#include "lighting/light_records.h"

namespace talvo::lighting::pages {

// The colours of the 16 swatch buttons "<dev>_Deng_color_btn_0".."_15".
inline constexpr std::array<Rgb, 16> kSwatchColours{{
    {255, 0, 0}, {0, 246, 255}, {108, 255, 0}, {126, 0, 255},
    {0, 138, 255}, {36, 0, 255}, {173, 254, 0}, {254, 84, 0},
    {254, 131, 0}, {131, 0, 231}, {183, 0, 172}, {254, 179, 0},
    {254, 245, 0}, {255, 0, 0}, {255, 0, 246}, {33, 179, 9},
}};

// Palettes report and take opaque ARGB colours; the records keep RGB bytes.
constexpr Rgb RgbOfArgb(uint32_t argb) {
  return {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)};
}
constexpr uint32_t ArgbOf(Rgb c) {
  return 0xFF000000u | uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | uint32_t{c.blue};
}

// A colour component typed into an R, G or B edit, read as its leading
// decimal number: no number is 0, a number above 255 is cut to 255 (and the
// edit then shows "255"), a negative number keeps its low byte.
struct EditComponent {
  uint8_t value = 0;
  bool cut = false;
};
EditComponent ReadColourEdit(std::string_view text);

Rgb WithComponent(Rgb c, int component, uint8_t value);

// The brightness and speed sliders run 0..kSliderMax. The record keeps the
// brightness as the position and counts speed down from the right end (the
// right end is speed 0, the fastest).
inline constexpr int kSliderMax = 4;
// A position a slider reported; past its ends counts as the nearest end.
int SliderPosition(int64_t position);
inline int SliderOfSpeed(uint8_t speed) { return kSliderMax - int{speed}; }

// The page's controls by name. Every operation skips a control the layout
// lacks; programmatic changes never notify, so the page never hears its own
// updates.
class PageView {
 public:
  explicit PageView(toolkit::Window& window) : window_(window) {}

  toolkit::Control* Find(std::string_view name) const { return window_.FindControl(name); }
  void Show(std::string_view name, bool on);
  // A part entry of a mode table: 1 shown, 0 hidden, anything else unchanged.
  void ShowPart(std::string_view name, int8_t state);
  void Check(std::string_view name, bool selected);
  bool IsSelected(std::string_view name) const;
  void SetBk(std::string_view name, Rgb c);
  void SetPalette(std::string_view name, Rgb c);
  void SetSlider(std::string_view name, int value);
  void SelectItem(std::string_view name, int index);
  int CurrentIndex(std::string_view name) const;
  void SetText(std::string_view name, const std::string& text);
  void SetTextId(std::string_view name, const std::string& id);
  // The three edits "<editPrefix>R/G/B" show the components with "%d".
  void ShowComponents(std::string_view editPrefix, Rgb c);
  // The component typed into the colour edit a "textchanged" notification
  // came from (ReadColourEdit); a cut number leaves the edit showing "255".
  // Nothing when the edit is missing.
  std::optional<uint8_t> TypedComponent(const toolkit::Notification& n);

 private:
  toolkit::Window& window_;
};

}  // namespace talvo::lighting::pages
