#include "pages/mouse/mouse_performance_page.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

#include "device/device_commands.h"
#include "platform/ascii.h"

namespace talvo::mouse {
namespace {

using device::Peripheral;
using lighting::MouseSettingsRecord;

constexpr std::array<SensorRange, 4> kSensorRanges{{
    {0x3325, 200, "200", "5000"},
    {0x3050, 250, "250", "4000"},
    {0x3360, 100, "100", "12000"},
    {0x3310, 50, "50", "5000"},
}};

// Sliders and labels of all six stages; stages 5 and 6 only follow their own
// slider while it is dragged.
constexpr int kShownStages = 6;
constexpr int kStoredStages = int(MouseSettingsRecord::kDpiStages);

// Block copy 0 bytes the page shows.
constexpr size_t kBlockReportRate = MouseSettingsRecord::kReportRate;
constexpr size_t kBlockActiveStage = MouseSettingsRecord::kActiveDpiStage;

std::string StageName(int stage, const char* suffix) { return "ms_DPI" + std::to_string(stage) + suffix; }

int ToInt(int64_t v) { return int(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

}  // namespace

DpiScale DpiScale::From(const device::DeviceInfo& info) {
  const auto& b = info.bytes;
  return {uint16_t(b[kSensorCode] | b[kSensorCode + 1] << 8), b[kDpiStep], b[kDpiSliderMax],
          uint16_t(b[kDpiBase] | b[kDpiBase + 1] << 8)};
}

const SensorRange* FindSensorRange(uint16_t sensorCode) {
  for (const auto& range : kSensorRanges)
    if (range.sensorCode == sensorCode) return &range;
  return nullptr;
}

MousePerformancePage::MousePerformancePage(toolkit::Window& window, device::DeviceSession& mouseSession,
                                           transfer::MouseDeviceData& mouseData, profiles::LiveData& live,
                                           profiles::ProfileSaver& saver,
                                           lighting::LightPushFlags& pushFlags,
                                           platform::PointerSettings& pointerSettings)
    : window_(window),
      session_(mouseSession),
      data_(mouseData),
      live_(live),
      saver_(saver),
      pushFlags_(pushFlags),
      applier_(pointerSettings, live.mouseLight) {}

void MousePerformancePage::StoreDpiBase() {
  if (const SensorRange* range = FindSensorRange(DpiScale::From(data_.info).sensorCode)) {
    data_.info.bytes[DpiScale::kDpiBase] = uint8_t(range->dpiBase & 0xFF);
    data_.info.bytes[DpiScale::kDpiBase + 1] = uint8_t(range->dpiBase >> 8);
  }
}

void MousePerformancePage::Show() {
  const auto block = data_.blocks.Copy(0);
  if (toolkit::Control* combo = window_.FindControl("ms_report_fct_combo"))
    combo->SelectItem(block[kBlockReportRate], false);

  if (const SensorRange* range = FindSensorRange(DpiScale::From(data_.info).sensorCode)) {
    for (int stage = 1; stage <= kShownStages; ++stage) {
      SetText(StageName(stage, "_min"), range->minText);
      SetText(StageName(stage, "_max"), range->maxText);
    }
  }

  const DpiScale scale = DpiScale::From(data_.info);
  for (int stage = 1; stage <= kStoredStages; ++stage) {
    const int value = live_.mouseLight.record.dpiStage(size_t(stage));
    if (toolkit::Control* slider = window_.FindControl(StageName(stage, "_slider"))) {
      slider->SetMinValue(0);
      slider->SetMaxValue(scale.sliderMax);
      slider->SetValue(value);
    }
    ShowDpi(stage, value);
  }

  ShowStageColours(block[kBlockActiveStage]);
}

void MousePerformancePage::ShowPointerSettings() {
  if (toolkit::Control* slider = window_.FindControl("ms_point_speed_slider"))
    slider->SetValue(PositionOfPointerSpeed(live_.mouseLight.pointerSpeed()));
  SetText("ms_gunlun_speed_edit", std::to_string(live_.mouseLight.wheelLines()));
}

void MousePerformancePage::ApplyPointerSettings() {
  applier_.ApplyPointerSpeed();
  applier_.ApplyWheelLines();
}

std::span<const ::talvo::pages::ControlBinding<MousePerformancePage>> MousePerformancePage::Bindings() {
  using namespace ::talvo::pages;
  using P = MousePerformancePage;
  // The record keeps four stages: the last two sliders only show while
  // dragged. The pointer slider acts only when let go.
  static constexpr std::array<ControlBinding<P>, 17> kBindings{{
      {Exact("click", "ms_gunlun_speed_up_btn", 1), &P::OnWheelStep},
      {Exact("click", "ms_gunlun_speed_down_btn", 0), &P::OnWheelStep},
      {Exact("click", "ms_one_profile_default"), &P::OnDefaults},
      {Exact("itemselect", "ms_report_fct_combo"), &P::OnReportRateCombo},
      {Exact("valuechanged", "ms_DPI1_slider", 1), &P::OnDpiSliderSet},
      {Exact("valuechanged", "ms_DPI2_slider", 2), &P::OnDpiSliderSet},
      {Exact("valuechanged", "ms_DPI3_slider", 3), &P::OnDpiSliderSet},
      {Exact("valuechanged", "ms_DPI4_slider", 4), &P::OnDpiSliderSet},
      {Exact("valuechanged", "ms_point_speed_slider"), &P::OnPointerSlider},
      {Exact("movevaluechanged", "ms_DPI1_slider", 1), &P::OnDpiSliderMoved},
      {Exact("movevaluechanged", "ms_DPI2_slider", 2), &P::OnDpiSliderMoved},
      {Exact("movevaluechanged", "ms_DPI3_slider", 3), &P::OnDpiSliderMoved},
      {Exact("movevaluechanged", "ms_DPI4_slider", 4), &P::OnDpiSliderMoved},
      {Exact("movevaluechanged", "ms_DPI5_slider", 5), &P::OnDpiSliderMoved},
      {Exact("movevaluechanged", "ms_DPI6_slider", 6), &P::OnDpiSliderMoved},
      {Exact("textchanged", "ms_gunlun_speed_edit"), &P::OnWheelText},
      {Exact("killfocus", "ms_gunlun_speed_edit"), &P::OnWheelLeft},
  }};
  static_assert(kStoredStages == 4 && kShownStages == 6, "one slider row per stage");
  return kBindings;
}

void MousePerformancePage::OnDpiSliderSet(const toolkit::Notification& n, int stage) {
  OnDpiChanged(stage, ToInt(n.wParam));
}

void MousePerformancePage::OnDpiSliderMoved(const toolkit::Notification& n, int stage) {
  OnDpiMoving(stage, ToInt(n.wParam));
}

void MousePerformancePage::OnPointerSlider(const toolkit::Notification& n, int) {
  OnPointerSliderChanged(ToInt(n.wParam));
}

void MousePerformancePage::OnReportRateCombo(const toolkit::Notification& n, int) {
  OnReportRateSelected(ToInt(n.wParam));
}

void MousePerformancePage::RestoreDefaults() {
  if (toolkit::Control* slider = window_.FindControl("ms_point_speed_slider")) slider->SetValue(kDefaultPointerPosition);
  applier_.SetSpeed(platform::kPointerSpeedNeutral);
  SetText("ms_gunlun_speed_edit", std::to_string(kDefaultWheelLines));
  applier_.SetWheelLines(kDefaultWheelLines);
  // The mouse restores itself; an absent mouse has nothing to restore.
  session_.Run([](device::CDeviceLink& link) { device::RestoreDefaults(link); });
}

void MousePerformancePage::OnDpiChanged(int stage, int value) {
  ShowDpi(stage, value);
  live_.mouseLight.record.SetDpiStage(size_t(stage), uint8_t(value & 0xFF));
  pushFlags_.Mark(Peripheral::Mouse);
  SaveLight();
  SaveDevice();
}

void MousePerformancePage::OnDpiMoving(int stage, int value) { ShowDpi(stage, value); }

int MousePerformancePage::DpiStages() const {
  int stages = 0;
  while (stages < kShownStages && window_.FindControl(StageName(stages + 1, "_slider"))) ++stages;
  return stages;
}

DpiState MousePerformancePage::Dpi() const {
  const DpiScale scale = DpiScale::From(data_.info);
  const int active = data_.blocks.Copy(0)[kBlockActiveStage];
  const int stages = DpiStages();
  DpiState state{.activeStage = active < stages ? active + 1 : 0, .stages = {}};
  // The stages the profile keeps, then those only the sliders hold.
  for (int stage = 1; stage <= stages; ++stage)
    state.stages.push_back(scale.Dpi(stage <= kStoredStages ? live_.mouseLight.record.dpiStage(size_t(stage))
                                                            : window_.FindControl(StageName(stage, "_slider"))->Value()));
  return state;
}

::talvo::pages::Outcome MousePerformancePage::SetDpi(int stage, int dpi) {
  using ::talvo::pages::Refusal;
  const int stages = DpiStages();
  if (stages == 0) return Refusal::Failed("the mouse's DPI sliders are missing");
  if (stage < 1 || stage > stages) return Refusal::Invalid("DPI stages are numbered 1 to " + std::to_string(stages));
  if (!session_.Link().IsConnected()) return Refusal::Failed("the mouse is not connected");
  const DpiScale scale = DpiScale::From(data_.info);
  if (scale.dpiStep == 0) return Refusal::Failed("the mouse's DPI range is not known yet");
  const int offset = dpi - scale.dpiBase;
  if (offset < 0 || offset % scale.dpiStep != 0 || offset / scale.dpiStep > scale.sliderMax)
    return Refusal::Invalid("the mouse takes " + std::to_string(scale.Dpi(0)) + " to " +
                            std::to_string(scale.Dpi(scale.sliderMax)) + " DPI in steps of " +
                            std::to_string(scale.dpiStep));
  const int position = offset / scale.dpiStep;
  window_.FindControl(StageName(stage, "_slider"))->SetValue(position);
  // Dragged, then let go, as the slider tells the page.
  OnDpiMoving(stage, position);
  if (stage <= kStoredStages) OnDpiChanged(stage, position);
  return std::nullopt;
}

void MousePerformancePage::OnPointerSliderChanged(int position) {
  // Bounded here, not only by the applier: the profiles are saved right
  // away, before the applier's thread could store its clamped value.
  const int speed = std::clamp(PointerSpeedOfPosition(std::clamp(position, 0, INT_MAX / 2 - 1)),
                               platform::kPointerSpeedMin, platform::kPointerSpeedMax);
  live_.mouseLight.SetPointerSpeed(uint8_t(speed));
  applier_.ApplyPointerSpeed();
  SaveLight();
  SaveDevice();
}

void MousePerformancePage::OnReportRateSelected(int item) {
  if (item < 0) return;
  // Saved only: the record push leaves this byte out, and the next read
  // shows the mouse's own report rate again.
  live_.mouseLight.record.SetReportRate(uint8_t(item & 0xFF));
  SaveLight();
}

void MousePerformancePage::StepWheelLines(bool up) {
  int lines = WheelEditNumber();
  if (up) {
    lines = std::min(std::max(lines, platform::kWheelLinesMin) + 1, platform::kWheelLinesMax);
  } else {
    lines = std::max(std::min(lines, platform::kWheelLinesMax) - 1, platform::kWheelLinesMin);
  }
  SetText("ms_gunlun_speed_edit", std::to_string(lines));
  live_.mouseLight.SetWheelLines(uint8_t(lines));
  applier_.ApplyWheelLines();
  SaveLight();
  SaveDevice();
}

void MousePerformancePage::OnWheelTextChanged() {
  const int lines = WheelEditNumber();
  if (lines > platform::kWheelLinesMax) SetText("ms_gunlun_speed_edit", std::to_string(platform::kWheelLinesMax));
  else if (lines < platform::kWheelLinesMin) SetText("ms_gunlun_speed_edit", std::to_string(platform::kWheelLinesMin));
}

void MousePerformancePage::OnWheelEditLeft() {
  // Typing keeps the text in range; a text set some other way is bounded
  // here so the profile never carries a count the desktop cannot take.
  const int lines = std::clamp(WheelEditNumber(), platform::kWheelLinesMin, platform::kWheelLinesMax);
  live_.mouseLight.SetWheelLines(uint8_t(lines));
  applier_.ApplyWheelLines();
  SaveDevice();
}

void MousePerformancePage::ShowStageColours(int activeStage) {
  if (activeStage >= 0 && activeStage < kShownStages) {
    for (int stage = 1; stage <= kShownStages; ++stage) {
      const uint32_t colour = stage == activeStage + 1 ? kActiveStageColour : kStageColour;
      for (const char* part : {"_label_rank", "_label_value"})
        if (toolkit::Control* label = window_.FindControl(StageName(stage, part))) label->SetTextColor(colour);
    }
    return;
  }
  // A stage the page has no row for: stage 1 in red, the stored stages white.
  for (int stage = 1; stage <= kStoredStages; ++stage) {
    const uint32_t colour = stage == 1 ? kUnknownStageColour : kStageColour;
    for (const char* part : {"_label_rank", "_label_value"})
      if (toolkit::Control* label = window_.FindControl(StageName(stage, part))) label->SetTextColor(colour);
  }
}

void MousePerformancePage::ShowDpi(int stage, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", DpiScale::From(data_.info).Dpi(value));
  SetText(StageName(stage, "_label_value"), text);
}

int MousePerformancePage::WheelEditNumber() {
  const toolkit::Control* edit = window_.FindControl("ms_gunlun_speed_edit");
  return edit ? platform::LeadingNumber(edit->Text()) : 0;
}

void MousePerformancePage::SetText(std::string_view control, const std::string& text) {
  if (toolkit::Control* c = window_.FindControl(control)) c->SetText(text);
}

void MousePerformancePage::SaveLight() { saver_.Mark(Peripheral::Mouse, profiles::ProfileKind::Lighting); }
void MousePerformancePage::SaveDevice() { saver_.Mark(Peripheral::Mouse, profiles::ProfileKind::Device); }

}  // namespace talvo::mouse
