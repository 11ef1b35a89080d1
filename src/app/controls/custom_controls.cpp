#include "app/controls/custom_controls.h"

#include "app/controls/chart_view.h"
#include "app/controls/circle_progress.h"
#include "app/controls/device_key_button.h"
#include "app/controls/tint_image.h"
#include "app/controls/wnd_host.h"

namespace talvo::app {

std::vector<std::pair<QString, QtToolkit::ControlFactory>> CustomControlFactories(const QtToolkit& toolkit) {
  const QtToolkit* skin = &toolkit;
  const auto circle = [](QWidget* parent) -> QWidget* { return new CCircleProgressUI(parent); };
  const auto key = [skin](QWidget* parent) -> QWidget* { return new CDeviceKeyButtonUI(parent, skin); };
  return {
      {QStringLiteral("CCircleProgressUI"), circle},
      {QStringLiteral("CChartViewUI"), [skin](QWidget* parent) -> QWidget* { return new CChartViewUI(parent, skin); }},
      {QStringLiteral("CWndUI"), [](QWidget* parent) -> QWidget* { return new CWndUI(parent); }},
      {QStringLiteral("CDeviceKeyButtonUI"), key},
      {QStringLiteral("TintImage"), [skin](QWidget* parent) -> QWidget* { return new CTintImageUI(parent, skin); }},
      {QStringLiteral("DeviceKeyButton"), key},
      {QStringLiteral("CircleProgress"), circle},
  };
}

void RegisterCustomControls(QtToolkit& toolkit) {
  for (auto& [name, factory] : CustomControlFactories(toolkit)) toolkit.RegisterControl(name, std::move(factory));
}

}  // namespace talvo::app
