// Tells the user that saves into the data folder fail, instead of letting a
// page show changes as kept that never reach the disk: "message_text_21"
// with the folder and the system's reason. Each folder and kind of failure
// is told once, and again only after a save there has succeeded (see
// platform::SaveFailureNotices). Failures are heard on any thread and shown
// on the UI thread; those that arrive together (a first start that writes
// every device folder) share one box per reason.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/toolkit.h"

namespace talvo::app {

class SaveFailureNotice {
 public:
  // Starts hearing the failed saves under dataFolder.
  SaveFailureNotice(toolkit::Toolkit& toolkit, toolkit::Window& window, const std::filesystem::path& dataFolder);
  // Stops hearing; boxes not yet shown are dropped.
  ~SaveFailureNotice();

  SaveFailureNotice(const SaveFailureNotice&) = delete;
  SaveFailureNotice& operator=(const SaveFailureNotice&) = delete;

  // The box text: the language's "message_text_21" with "%s" replaced by the
  // folders (joined with ", ") and then by the reason.
  static std::string FormatText(std::string_view pattern, const std::vector<std::filesystem::path>& folders,
                                int error);

 private:
  struct Pending {
    std::mutex mutex;
    std::vector<std::pair<std::filesystem::path, int>> failures;
    bool scheduled = false;
  };

  void Heard(const std::filesystem::path& folder, int error);
  void ShowPending();

  toolkit::Toolkit& toolkit_;
  toolkit::Window& window_;
  std::shared_ptr<Pending> pending_ = std::make_shared<Pending>();
  bool showing_ = false;
};

}  // namespace talvo::app
