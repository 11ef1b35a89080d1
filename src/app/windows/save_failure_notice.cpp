#include "app/windows/save_failure_notice.h"

#include <algorithm>
#include <system_error>

#include "platform/files.h"

namespace talvo::app {

SaveFailureNotice::SaveFailureNotice(toolkit::Toolkit& toolkit, toolkit::Window& window, const std::filesystem::path& dataFolder)
    : toolkit_(toolkit), window_(window) {
  platform::SetSaveFailureHandler(dataFolder,
                                  [this](const std::filesystem::path& folder, int error) { Heard(folder, error); });
}

SaveFailureNotice::~SaveFailureNotice() { platform::SetSaveFailureHandler({}, {}); }

std::string SaveFailureNotice::FormatText(std::string_view pattern, const std::vector<std::filesystem::path>& folders,
                                          int error) {
  std::string where;
  for (const auto& folder : folders) {
    if (!where.empty()) where += ", ";
    where += folder.string();
  }
  const std::string values[] = {where, std::error_code(error, std::generic_category()).message()};
  std::string text;
  size_t next = 0;
  while (!pattern.empty()) {
    const size_t at = pattern.find("%s");
    if (at == std::string_view::npos || next == std::size(values)) break;
    text.append(pattern.substr(0, at));
    text.append(values[next++]);
    pattern.remove_prefix(at + 2);
  }
  text.append(pattern);
  return text;
}

void SaveFailureNotice::Heard(const std::filesystem::path& folder, int error) {
  {
    const std::lock_guard lock(pending_->mutex);
    pending_->failures.emplace_back(folder, error);
    if (pending_->scheduled) return;
    pending_->scheduled = true;
  }
  // The notice and the window both live on the UI thread, so a notice that
  // is gone when the work runs is seen there before it is used.
  toolkit_.Post([this, alive = std::weak_ptr<Pending>(pending_)] {
    if (alive.lock()) ShowPending();
  });
}

void SaveFailureNotice::ShowPending() {
  // A box already open shows nothing new; its loop below takes what came.
  if (showing_) return;
  showing_ = true;
  const std::string pattern = toolkit_.LanguageText("message_text_21").value_or("message_text_21");
  for (;;) {
    std::vector<std::pair<std::filesystem::path, int>> failures;
    {
      const std::lock_guard lock(pending_->mutex);
      failures.swap(pending_->failures);
      pending_->scheduled = false;
    }
    if (failures.empty()) break;
    std::vector<int> reasons;
    for (const auto& [folder, error] : failures)
      if (std::find(reasons.begin(), reasons.end(), error) == reasons.end()) reasons.push_back(error);
    for (const int reason : reasons) {
      std::vector<std::filesystem::path> folders;
      for (const auto& [folder, error] : failures)
        if (error == reason && std::find(folders.begin(), folders.end(), folder) == folders.end())
          folders.push_back(folder);
      toolkit_.ShowMessage(&window_, FormatText(pattern, folders, reason), false);
    }
  }
  showing_ = false;
}

}  // namespace talvo::app
