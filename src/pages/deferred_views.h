// Shows the program's data on pages that are built only when first shown or
// looked into: a page not built yet is not built to show data no one sees;
// what it would have shown is shown once it is built, the latest of each
// kind only, in the order asked.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/toolkit.h"

namespace talvo::pages {

class DeferredViews {
 public:
  explicit DeferredViews(toolkit::Window& window) : window_(window) {}

  // Runs `show` now when `page` is built; else keeps it, in place of an
  // earlier one of the same `kind` for that page, until it is.
  void Show(std::string_view page, std::string_view kind, std::function<void()> show);
  // The page was built: what waited for it runs.
  void Built(std::string_view page);

 private:
  struct Waiting {
    std::string page;
    std::string kind;
    std::function<void()> show;
  };
  toolkit::Window& window_;
  std::vector<Waiting> waiting_;
};

}  // namespace talvo::pages
