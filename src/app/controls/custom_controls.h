// Registers the custom controls with the toolkit so layouts can name them.
#pragma once

#include <QString>
#include <utility>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {

// Every class name layouts may use, with its factory, in registration
// order: "CCircleProgressUI", "CChartViewUI", "CWndUI", "CDeviceKeyButtonUI",
// then "TintImage" and the element names "DeviceKeyButton" and
// "CircleProgress", which make the same controls as their classes. The
// factories resolve images through the given toolkit, which must outlive
// them.
std::vector<std::pair<QString, QtToolkit::ControlFactory>> CustomControlFactories(const QtToolkit& toolkit);

// Registers all of the above; call before any window is built.
void RegisterCustomControls(QtToolkit& toolkit);

}  // namespace talvo::app
