#include "pages/deferred_views.h"

#include <utility>

namespace talvo::pages {

void DeferredViews::Show(std::string_view page, std::string_view kind, std::function<void()> show) {
  if (window_.IsPageBuilt(page)) {
    show();
    return;
  }
  std::erase_if(waiting_, [&](const Waiting& w) { return w.page == page && w.kind == kind; });
  waiting_.push_back({std::string(page), std::string(kind), std::move(show)});
}

void DeferredViews::Built(std::string_view page) {
  std::vector<std::function<void()>> due;
  std::erase_if(waiting_, [&](Waiting& w) {
    if (w.page != page) return false;
    due.push_back(std::move(w.show));
    return true;
  });
  for (const auto& show : due) show();
}

}  // namespace talvo::pages
