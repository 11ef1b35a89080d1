// The message box every feature uses to report or confirm by text id, and the
// Qt implementation of the toolkit's Dialogs.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "app/toolkit/qt/qt_toolkit.h"
#include "toolkit/toolkit.h"

class QDialog;

namespace talvo::app {

// Layout "XML_MSG": "MessageTitle", "MessageText", and the buttons
// "closebtn" (0), "confirm_btn" (1), "cancel_btn" (0).
class CMsgWnd final : public toolkit::WindowHandler {
 public:
  static constexpr const char* kLayout = "XML_MSG";
  static constexpr int kAutoCloseTimer = 1;
  static constexpr int kAutoCloseMs = 500;

  explicit CMsgWnd(QtToolkit& toolkit);
  ~CMsgWnd() override;

  // False when the layout cannot be loaded or has no dialog at its root.
  bool Create(toolkit::Window* parent);
  // Each is applied only when not empty; the text as a text id when textIsId.
  void SetContent(const std::string& title, const std::string& text, bool textIsId);
  // Starts the timer that closes the box with 0 at its first tick.
  void StartAutoClose();
  // Runs the box modally and returns the code it was closed with.
  int ShowModal();

  void Notify(const toolkit::Notification& n) override;
  void OnTimer(int id) override;

 private:
  QtWindow window_;
  QDialog* dialog_ = nullptr;
};

// 1 confirmed, 0 cancelled, closed or when the box cannot be shown. While a
// box with a text id is open, the same id is not shown again: the call
// returns 0 at once. Literal texts are always shown.
int ShowMessage(QtToolkit& toolkit, toolkit::Window* parent, const std::string& title,
                const std::string& text, bool textIsId);
void ShowMessageAutoClose(QtToolkit& toolkit, toolkit::Window* parent, const std::string& title,
                          const std::string& text, bool textIsId, bool autoClose);

// Message box and file dialogs on real windows; interchangeable with the
// automation's scripted dialogs.
class QtDialogs final : public toolkit::Dialogs {
 public:
  explicit QtDialogs(QtToolkit& toolkit) : toolkit_(toolkit) {}

  int ShowMessage(toolkit::Window* parent, const std::string& text, bool textIsId) override;
  std::optional<std::string> OpenFile(toolkit::Window* parent, const std::string& filter) override;
  std::optional<std::string> SaveFile(toolkit::Window* parent, const std::string& filter,
                                      const std::string& suggestedName) override;
  std::optional<std::string> ChooseProgram(toolkit::Window* parent, const toolkit::ProgramLister& programs,
                                           const std::string& filter) override;

 private:
  QtToolkit& toolkit_;
};

// A dialog of Talvo's own look over its owner: frameless, kept above the
// owner's window and centred on it (on the screen without one).
void PlaceDialog(QDialog& dialog, toolkit::Window* parent);

// The widget of a toolkit window, or null for none or another toolkit's.
QWidget* WidgetOf(toolkit::Window* window);

}  // namespace talvo::app
