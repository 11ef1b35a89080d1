#include "app/windows/device_access_notice.h"

#include <QCoreApplication>
#include <algorithm>
#include <filesystem>
#include <utility>

namespace talvo::app {
namespace {

constexpr const char* kRuleName = "70-talvo.rules";

}  // namespace

DeviceAccessNotice::DeviceAccessNotice(toolkit::Toolkit& toolkit, toolkit::Window& window, std::string rulePath)
    : toolkit_(toolkit), window_(window), rule_(std::move(rulePath)) {}

void DeviceAccessNotice::Denied(device::Peripheral peripheral) {
  if (std::find(waiting_.begin(), waiting_.end(), peripheral) == waiting_.end()) waiting_.push_back(peripheral);
  if (showing_) return;
  showing_ = true;
  while (!waiting_.empty()) {
    // The device stays listed while its box is open, so a denial told
    // meanwhile adds nothing.
    const std::string nameId = std::string(device::Prefix(waiting_.front())) + "_tab_text";
    const std::string pattern = toolkit_.LanguageText("message_text_30").value_or("message_text_30");
    toolkit_.ShowMessage(&window_, FormatText(pattern, toolkit_.LanguageText(nameId).value_or(nameId), rule_), false);
    waiting_.erase(waiting_.begin());
  }
  showing_ = false;
}

std::string DeviceAccessNotice::FormatText(std::string_view pattern, std::string_view device, std::string_view rule) {
  const std::string_view values[] = {device, rule};
  size_t next = 0;
  std::string text;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
      text += '%';
      ++i;
    } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next < std::size(values)) {
      text += values[next++];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

std::string DeviceAccessNotice::UdevRulePath() {
  const std::filesystem::path installed =
      std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / ".." / "lib" / "udev" /
      "rules.d" / kRuleName;
  std::error_code error;
  if (std::filesystem::is_regular_file(installed, error)) return installed.lexically_normal().string();
  if (std::filesystem::is_regular_file(TALVO_SOURCE_UDEV_RULE, error)) return TALVO_SOURCE_UDEV_RULE;
  return kRuleName;
}

}  // namespace talvo::app
