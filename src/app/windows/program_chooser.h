// The program chooser a profile is linked through: the programs that have
// windows now, listed off the UI thread and shown when they arrive, and a
// way to browse for a file instead.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/toolkit/qt/qt_toolkit.h"
#include "toolkit/toolkit.h"

class QDialog;

namespace talvo::app {

// Layout "XML_PROGRAMS": "programs_list" (name and link columns),
// "programs_state_text" (listing, or that there is none), and the buttons
// "browse_btn", "confirm_btn" (enabled while a row is chosen), "cancel_btn"
// and "closebtn". A double click on a row chooses it.
class CProgramChooser final : public toolkit::WindowHandler {
 public:
  static constexpr const char* kLayout = "XML_PROGRAMS";
  // Opens the file dialog over the chooser's window.
  using Browse = std::function<std::optional<std::string>(toolkit::Window* over)>;

  CProgramChooser(QtToolkit& toolkit, Browse browse);
  ~CProgramChooser() override;
  CProgramChooser(const CProgramChooser&) = delete;
  CProgramChooser& operator=(const CProgramChooser&) = delete;

  // False when the layout cannot be loaded or has no dialog at its root.
  bool Create(toolkit::Window* parent);
  // Calls programs on a worker; its rows show once it returns, unless the
  // chooser is gone by then. Nothing is listed without a lister.
  void List(const toolkit::ProgramLister& programs);
  void ShowRows(std::vector<toolkit::ProgramRow> rows);
  // Runs the chooser modally: the chosen row's link or the browsed path,
  // nothing when cancelled.
  std::optional<std::string> ShowModal();

  void Notify(const toolkit::Notification& n) override;

 private:
  struct Delivery;

  void Choose(std::string link);

  QtWindow window_;
  Browse browse_;
  QDialog* dialog_ = nullptr;
  std::vector<toolkit::ProgramRow> rows_;
  std::optional<std::string> chosen_;
  std::shared_ptr<Delivery> delivery_;
};

}  // namespace talvo::app
