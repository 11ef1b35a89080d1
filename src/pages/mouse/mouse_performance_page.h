// The mouse's performance page: DPI stages, report rate, pointer speed, wheel
// scroll lines and the restore-defaults button.
//
// The DPI stages and the report rate live in the live MouseSettingsRecord
// (bytes 14..19); a DPI change is pushed to the mouse by the 100 ms record
// push, the report rate is only saved. Pointer speed and wheel lines are the
// desktop settings the mouse profile carries; they reach the desktop through
// a PointerApplier so the UI thread never waits on it. Everything here runs
// on the UI thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/device_session.h"
#include "lighting/light_records.h"
#include "pages/mouse/pointer_applier.h"
#include "pages/page_outcome.h"
#include "platform/pointer_settings.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"
#include "transfer/mouse_transfer.h"

namespace talvo::mouse {

// Fields of the mouse's information block that scale the DPI sliders.
struct DpiScale {
  static constexpr size_t kSensorCode = 9;      // 16-bit little-endian
  static constexpr size_t kDpiStep = 11;        // DPI added per slider position
  static constexpr size_t kDpiSliderMax = 12;   // highest slider position
  static constexpr size_t kDpiBase = 13;        // 16-bit little-endian DPI of position 0

  uint16_t sensorCode = 0;
  uint8_t dpiStep = 0;
  uint8_t sliderMax = 0;
  uint16_t dpiBase = 0;

  static DpiScale From(const device::DeviceInfo& info);
  int Dpi(int position) const { return position * dpiStep + dpiBase; }
};

// The range a known sensor covers; its minimum is the DPI of position 0.
struct SensorRange {
  uint16_t sensorCode;
  uint16_t dpiBase;
  const char* minText;
  const char* maxText;
};
// Nothing for a sensor not in the table.
const SensorRange* FindSensorRange(uint16_t sensorCode);

// Text colours of the stage labels.
inline constexpr uint32_t kActiveStageColour = 0xFFF8A501;
inline constexpr uint32_t kStageColour = 0xFFFFFFFF;
inline constexpr uint32_t kUnknownStageColour = 0xFFFF0000;

// What the pointer-speed slider position stands for, and back.
inline constexpr int PointerSpeedOfPosition(int position) { return 2 * position + 2; }
inline constexpr int PositionOfPointerSpeed(int speed) { return speed / 2 - 1; }

inline constexpr int kDefaultPointerPosition = 4;
inline constexpr int kDefaultWheelLines = 3;

// The DPI the page shows.
struct DpiState {
  int activeStage = 0;      // 1-based, 0 when the mouse reports a stage the page has not
  std::vector<int> stages;  // DPI of each stage the page shows
};

class MousePerformancePage {
 public:
  // Every reference must outlive the page. The window is the main window,
  // which holds this page's controls.
  MousePerformancePage(toolkit::Window& window, device::DeviceSession& mouseSession,
                       transfer::MouseDeviceData& mouseData, profiles::LiveData& live, profiles::ProfileSaver& saver, lighting::LightPushFlags& pushFlags,
                       platform::PointerSettings& pointerSettings);

  // The page's share of refreshing the mouse pages, after every mouse read
  // and whenever the mouse records change: report rate and active stage from
  // block copy 0, the sensor's DPI range (also stored as the information
  // block's DPI base), the four stage sliders from the live record.
  void Refresh() {
    StoreDpiBase();
    Show();
  }
  // Stores the sensor's DPI base in the information block.
  void StoreDpiBase();
  // Shows what Refresh describes.
  void Show();

  // Shows the profile's pointer speed and wheel lines and applies both to
  // the desktop; for the profile operations after a mouse profile is loaded.
  void ShowAndApplyPointerSettings() {
    ShowPointerSettings();
    ApplyPointerSettings();
  }
  void ShowPointerSettings();
  void ApplyPointerSettings();

  DpiState Dpi() const;
  // Stage 1 up to the last the page shows (DpiStages), dragged to `dpi` and
  // let go as the user drags its slider: the stages the profile does not
  // keep show their value only while dragged. Refused unless the mouse is
  // there and `dpi` is a value of its range.
  ::talvo::pages::Outcome SetDpi(int stage, int dpi);
  // The DPI sliders the page has, stage 1 first.
  int DpiStages() const;
  // The mouse settings controls the page handles.
  static std::span<const ::talvo::pages::ControlBinding<MousePerformancePage>> Bindings();

  // The restore button: desktop speed 10 and 3 wheel lines, the mouse's own
  // factory defaults (command 13). The profile keeps its values.
  void RestoreDefaults();

  // Desktop requests made from profile values; usable by other callers that
  // change those values.
  void ApplyPointerSpeed() { applier_.ApplyPointerSpeed(); }
  void ApplyWheelLines() { applier_.ApplyWheelLines(); }
  // Returns once every desktop request made so far has been carried out.
  void WaitForPointerSettings() { applier_.WaitIdle(); }

 private:
  // Handlers of the bound controls; a DPI slider's row carries its stage.
  void OnDpiSliderSet(const toolkit::Notification& n, int stage);
  void OnDpiSliderMoved(const toolkit::Notification& n, int stage);
  void OnPointerSlider(const toolkit::Notification& n, int);
  void OnReportRateCombo(const toolkit::Notification& n, int);
  void OnWheelStep(const toolkit::Notification&, int up) { StepWheelLines(up != 0); }
  void OnDefaults(const toolkit::Notification&, int) { RestoreDefaults(); }
  void OnWheelText(const toolkit::Notification&, int) { OnWheelTextChanged(); }
  void OnWheelLeft(const toolkit::Notification&, int) { OnWheelEditLeft(); }

  void OnDpiChanged(int stage, int value);
  void OnDpiMoving(int stage, int value);
  void OnPointerSliderChanged(int position);
  void OnReportRateSelected(int item);
  void StepWheelLines(bool up);
  void OnWheelTextChanged();
  void OnWheelEditLeft();
  void ShowStageColours(int activeStage);
  void ShowDpi(int stage, int value);
  int WheelEditNumber();
  void SetText(std::string_view control, const std::string& text);
  void SaveLight();
  void SaveDevice();

  toolkit::Window& window_;
  device::DeviceSession& session_;
  transfer::MouseDeviceData& data_;
  profiles::LiveData& live_;
  profiles::ProfileSaver& saver_;
  lighting::LightPushFlags& pushFlags_;
  PointerApplier applier_;
};

}  // namespace talvo::mouse
