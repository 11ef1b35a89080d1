// Registers the custom controls with the toolkit so layouts can name them.
#pragma once

#include <QComboBox>
#include <QShowEvent>
#include <QString>
#include <utility>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {

// A combo box whose pop-up list (a frame, the list with its viewport and
// scroll bars, two scroll arrows: nine styled widgets) is made when it is
// first needed: opening it, or Qt asking for the view. A plain QComboBox
// makes it on any new style or font, which every combo of a layout gets
// while the layout is put together and polished. Items, the current item
// and their notifications live in the model and need no list; a list made
// later takes the combo's style and font as it is made, so it looks the
// same. The class name stays QComboBox, for style sheets and automation.
class PopupOnDemandCombo : public QComboBox {
 public:
  explicit PopupOnDemandCombo(QWidget* parent = nullptr) : QComboBox(parent) {}

  bool HasPopup() const;

 protected:
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  bool shown_ = false;
};

// Every class name layouts may use, with its factory, in registration
// order: "CCircleProgressUI", "CChartViewUI", "CWndUI", "CDeviceKeyButtonUI",
// then "TintImage" and the element names "DeviceKeyButton" and
// "CircleProgress", which make the same controls as their classes, and
// "QComboBox", which makes a PopupOnDemandCombo. The factories resolve
// images through the given toolkit, which must outlive them.
std::vector<std::pair<QString, QtToolkit::ControlFactory>> CustomControlFactories(const QtToolkit& toolkit);

// Registers all of the above; call before any window is built.
void RegisterCustomControls(QtToolkit& toolkit);

}  // namespace talvo::app
