#include "app/controls/custom_controls.h"

#include <QAbstractItemView>
#include <QEvent>

#include "app/controls/chart_view.h"
#include "app/controls/circle_progress.h"
#include "app/controls/device_key_button.h"
#include "app/controls/tint_image.h"
#include "app/controls/wnd_host.h"

namespace talvo::app {

bool PopupOnDemandCombo::HasPopup() const { return findChild<QAbstractItemView*>() != nullptr; }

void PopupOnDemandCombo::changeEvent(QEvent* e) {
  // Before its first show a combo fitted then has laid nothing out: on a
  // new font QComboBox only drops its size hint, which that show computes
  // again, and a new style before polishing changes nothing it computed.
  // So these need only what any widget does with them.
  const bool font = e->type() == QEvent::FontChange;
  const bool style = e->type() == QEvent::StyleChange && !testAttribute(Qt::WA_WState_Polished);
  if ((font || style) && !shown_ && sizeAdjustPolicy() == AdjustToContentsOnFirstShow && !lineEdit() &&
      !HasPopup()) {
    QWidget::changeEvent(e);
    return;
  }
  QComboBox::changeEvent(e);
}

void PopupOnDemandCombo::showEvent(QShowEvent* e) {
  shown_ = true;
  QComboBox::showEvent(e);
}

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
      {QStringLiteral("QComboBox"), [](QWidget* parent) -> QWidget* { return new PopupOnDemandCombo(parent); }},
  };
}

void RegisterCustomControls(QtToolkit& toolkit) {
  for (auto& [name, factory] : CustomControlFactories(toolkit)) toolkit.RegisterControl(name, std::move(factory));
}

}  // namespace talvo::app
