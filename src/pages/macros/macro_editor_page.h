// The macro editor of the mouse page or of the keyboard page (twins: the
// controls carry "ms_" or "kb_"): the device's macro list with its file
// operations, the step list of the chosen macro with the step editor, the
// insert bars and the recorder. Everything runs on the UI thread.
//
// The steps live in a draft the step list is drawn from; nothing is written
// before save or rename. While the draft is open for editing the save/cancel
// bar is shown and the name list is disabled.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/deferred_views.h"
#include "pages/control_bindings.h"
#include "toolkit/toolkit.h"
#include "device/peripheral.h"
#include "keys/key_map.h"
#include "macros/macro_action.h"
#include "macros/macro_draft.h"
#include "macros/macro_recorder.h"
#include "platform/input_capture.h"
#include "profiles/profile_saver.h"

namespace talvo::macros::pages {

class MacroEditorPage final : public platform::CaptureSink {
 public:
  struct Setup {
    device::Peripheral peripheral;
    std::filesystem::path folder;         // the device's data folder
    std::filesystem::path programFolder;  // where the cursor-macro files come from
    keys::DeviceKeyMaps& keyMaps;         // the device's live key maps
    size_t keyCount;                      // keys of the device that may play a macro
    profiles::ProfileSaver& saver;
    platform::InputCapture& capture;
    MacroRecorder::Clock clock;  // monotonic ms; the steady clock when empty
    // Runs when macro names or key records changed, so key labels follow.
    std::function<void()> keysChanged;
  };

  MacroEditorPage(toolkit::Window& window, Setup setup);
  ~MacroEditorPage() override;
  MacroEditorPage(const MacroEditorPage&) = delete;
  MacroEditorPage& operator=(const MacroEditorPage&) = delete;

  // Reads the device's macro list into the name list and the key page's
  // macro choice, and shows the last macro, each once its page is built.
  void Load(::talvo::pages::DeferredViews& views);

  // The controls the mouse's or the keyboard's editor handles.
  static std::span<const ::talvo::pages::ControlBinding<MacroEditorPage>> Bindings(device::Peripheral peripheral);

  bool Editing() const;
  bool Recording() const { return recording_; }
  const std::vector<std::string>& Names() const { return names_; }
  // The action strings of the step list, in order.
  std::vector<std::string> Steps() const;

  // Recorded input while recording.
  void OnCaptureKey(int message, const platform::CapturedKey& key) override;
  void OnCaptureMouse(int message, int mouseMessage) override;

 private:
  std::string Name(std::string_view suffix) const { return prefix_ + std::string(suffix); }
  toolkit::Control* Find(std::string_view suffix) const;
  void SetVisible(std::string_view suffix, bool on);
  void SetEnabled(std::string_view suffix, bool on);
  int Selected() const;   // selected macro, -1 for none
  int StepIndex() const;  // selected step, -1 for none

  // Handlers of the bound controls; index: the row's number where it has one.
  void OnAdd(const toolkit::Notification&, int) { AddMacro(); }
  void OnRemove(const toolkit::Notification&, int) { Delete(); }
  void OnImport(const toolkit::Notification&, int) { Import(); }
  void OnExport(const toolkit::Notification&, int) { Export(); }
  void OnRename(const toolkit::Notification&, int) { Rename(); }
  void OnSave(const toolkit::Notification&, int) { Save(); }
  void OnCancel(const toolkit::Notification&, int) { CancelEdit(); }
  void OnRecord(const toolkit::Notification&, int) { ToggleRecording(); }
  void OnMove(const toolkit::Notification&, int where) { MoveStep(StepMove(where)); }
  void OnDeleteStep(const toolkit::Notification&, int) { DeleteStep(); }
  void OnDeleteAllSteps(const toolkit::Notification&, int) { DeleteAllSteps(); }
  void OnInsertBar(const toolkit::Notification& n, int button);
  void OnInsertStep(const toolkit::Notification&, int tableRow) { InsertMouseStep(size_t(tableRow), {}); }
  void OnInsertMove(const toolkit::Notification& n, int move);
  void OnMacroChosen(const toolkit::Notification& n, int) { SelectMacro(int(n.wParam), int(n.lParam)); }
  void OnStepChosen(const toolkit::Notification& n, int) { StepClicked(int(n.wParam)); }
  void OnKeyChosen(const toolkit::Notification& n, int);
  void OnUpOrDownChosen(const toolkit::Notification& n, int);
  void OnMouseEventChosen(const toolkit::Notification& n, int);
  void OnDelayEdit(const toolkit::Notification& n, int edit);
  void OnDistanceEdit(const toolkit::Notification& n, int);
  void OnMoveEdit(const toolkit::Notification& n, int move);
  void OnMouseEventsShown(const toolkit::Notification& n, int);

  // List operations.
  void FillLists();
  void FillList(toolkit::Control* list);
  // The loaded list on the page, the last macro shown.
  void ShowLoaded();
  void EnableMacroControls(bool on);
  void SelectMacro(int index, int previous);
  void ShowSteps(std::string_view macroName);
  void AddMacro();
  void Rename();
  void Save();
  void Delete();
  void Import();
  void Export();

  // The step list.
  void EnterEditing();
  void CancelEdit();
  void ToggleRecording();
  void StepClicked(int row);
  void ApplyToStep(const std::function<void(MacroAction&)>& change);
  void InsertMouseStep(size_t tableRow, std::string_view distanceEdit);
  void ToggleInsertBar(std::string_view button);
  void MoveStep(StepMove where);
  void DeleteStep();
  void DeleteAllSteps();
  void AfterListOperation();
  void AppendRecorded(const Recorded& recorded);
  // Draws the draft into the step list: every row, or row `row` (its height,
  // texts and styles).
  void DrawSteps();
  void DrawStep(int row);
  // The edit's number within 0..max, written back when its text says
  // anything else.
  int ClampedEdit(std::string_view suffix, int max);

  toolkit::Window& window_;
  Setup setup_;
  std::string prefix_;
  std::vector<std::string> names_;
  MacroDraft draft_;
  MacroRecorder recorder_;
  bool recording_ = false;
  bool renaming_ = false;
};

}  // namespace talvo::macros::pages
