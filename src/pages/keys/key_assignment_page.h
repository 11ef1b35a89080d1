// The key assignment view of the mouse page or of the keyboard page (twins:
// the controls carry "ms_" or "kb_"): a key of the device picture is chosen,
// the function panel shows what it does, and every change of the panel is
// written into the current profile's key-map record, after which all keys
// are labelled again and the profile files are marked for saving. The device
// gets the record when the profile is stored on it. Runs on the UI thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/peripheral.h"
#include "keys/key_map.h"
#include "keys/position_map.h"
#include "pages/keys/key_function_rows.h"
#include "platform/input_capture.h"
#include "profiles/live_data.h"
#include "profiles/profile_saver.h"

namespace talvo::keys::pages {

class KeyAssignmentPage final : public platform::CaptureSink {
 public:
  struct Setup {
    device::Peripheral peripheral;
    profiles::LiveData& live;
    profiles::ProfileSaver& saver;
    platform::InputCapture& capture;
    // The keyboard's positions on its picture; unused by the mouse.
    const PositionMap& positions;
    // Keys the device has: 7 for the mouse; the keyboard's count once read.
    std::function<size_t()> keyCount;
    // Whether the live records may be edited now: false while a device
    // attached has not been read, whose read would overwrite an edit. Always
    // when empty.
    std::function<bool()> ready;
    std::filesystem::path macroIndexFile;  // macro names for the labels
  };

  KeyAssignmentPage(toolkit::Window& window, Setup setup);
  ~KeyAssignmentPage() override;
  KeyAssignmentPage(const KeyAssignmentPage&) = delete;
  KeyAssignmentPage& operator=(const KeyAssignmentPage&) = delete;

  // The controls the mouse's or the keyboard's page handles.
  static std::span<const ::talvo::pages::ControlBinding<KeyAssignmentPage>> Bindings(device::Peripheral peripheral);

  // Labels every key from the current profile's record.
  void RelabelKeys();
  // After a read or a profile load: labels again and shows the selected
  // key's function as the record now has it (a key chosen while the device
  // was being read is shown now).
  void Refresh();
  // Another option was chosen (the key tab left): the single-key capture
  // ends.
  void EndCapture();

  std::optional<size_t> SelectedKey() const { return selectedKey_; }

  // The single-key capture's keys: the key becomes the selected key's
  // function.
  void OnCaptureKey(int message, const platform::CapturedKey& key) override;
  void OnCaptureMouse(int, int) override {}

 private:
  std::string Name(std::string_view suffix) const { return prefix_ + std::string(suffix); }
  toolkit::Control* Find(std::string_view suffix) const;
  toolkit::Control* Combo(int number) const { return Find("key_fct_combo_" + std::to_string(number)); }
  toolkit::Control* Edit(int number) const { return Find("key_fct_edit_" + std::to_string(number)); }
  bool Mouse() const { return setup_.peripheral == device::Peripheral::Mouse; }
  KeyMapRecord* Record();

  // The mouse's keys are options; the keyboard's are buttons of its picture.
  void OnKeyOption(const toolkit::Notification& n, int key);
  void OnPictureKey(const toolkit::Notification& n, int position);
  void OnFunctionCombo(const toolkit::Notification& n, int);
  void OnValueCombo(const toolkit::Notification& n, int number);
  void OnValueEdit(const toolkit::Notification&, int number) { OnEditChanged(number); }
  void OnSave(const toolkit::Notification&, int) { ApplyFunction(); }
  void OnDefault(const toolkit::Notification&, int) { RestoreDefault(); }

  void SelectKey(size_t key);
  void ShowFunction(KeyFunction function);
  void DrawPanel(const PanelState& panel);
  // The panel as the row's combos and edits show it.
  PanelState ReadPanel(const FunctionRow& row) const;
  // Writes back each edit whose text differs from the panel's: the
  // numbers held within their limits.
  void ShowHeldNumbers(const PanelState& panel);
  void ShowChoice(std::optional<Choice> choice);
  void ChooseFunction(int item);
  void ApplyFunction();
  std::optional<KeyFunction> PanelFunction();
  void OnEditChanged(int number);
  void RestoreDefault();
  void Changed();
  void StartCapture();

  toolkit::Window& window_;
  Setup setup_;
  std::string prefix_;
  std::optional<size_t> selectedKey_;
  // Chosen while the device was being read; selected once it has been.
  std::optional<size_t> waitingKey_;
  std::optional<Choice> choice_;
  KeyFunction pending_;  // the single-key function shown or captured
  bool capturing_ = false;
};

}  // namespace talvo::keys::pages
