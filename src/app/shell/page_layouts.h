// Which layout file each page element of the main layout is built from, and
// the custom controls the layouts name by element. The main window builds
// its pages through this; tests that build the real pages use it too.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "toolkit/toolkit.h"
#include "platform/ascii.h"

namespace talvo::app {

inline toolkit::CreatedControl PageControl(std::string_view element) {
  static constexpr std::pair<std::string_view, std::string_view> kPages[] = {
      {"kb_Key_UI", "keyboard_key.xml"},   {"kb_Deng_UI", "keyboard_deng.xml"}, {"kb_Macro_UI", "keyboard_macro.xml"},
      {"MS_Deng_UI", "Mouse_deng.xml"},    {"MS_Macro_UI", "Mouse_macro.xml"},  {"MS_Key_UI", "Mouse_key.xml"},
      {"MP_deng_UI", "MousePad_deng.xml"}, {"MS_DPI_UI", "Mouse_DPI.xml"},      {"MS_CURSOR_UI", "Mouse_cursor.xml"},
      {"kb_CURSOR_UI", "Mouse_cursor.xml"}};
  for (const auto& [name, file] : kPages)
    if (platform::EqualsIgnoreCase(element, name)) return toolkit::CreatedControl::FromLayout(std::string(file));
  if (platform::EqualsIgnoreCase(element, "CircleProgress")) return toolkit::CreatedControl::FromClass("CCircleProgressUI");
  if (platform::EqualsIgnoreCase(element, "DeviceKeyButton")) return toolkit::CreatedControl::FromClass("CDeviceKeyButtonUI");
  return {};
}

}  // namespace talvo::app
