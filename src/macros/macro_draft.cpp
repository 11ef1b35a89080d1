#include "macros/macro_draft.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace talvo::macros {

void MacroDraft::Load(const std::vector<std::string>& actions) {
  steps_.clear();
  steps_.reserve(actions.size());
  for (const std::string& action : actions) steps_.push_back({action, false});
  dirty_ = false;
}

std::vector<std::string> MacroDraft::Actions() const {
  std::vector<std::string> actions;
  actions.reserve(steps_.size());
  std::transform(steps_.begin(), steps_.end(), std::back_inserter(actions),
                 [](const DraftStep& s) { return s.action; });
  return actions;
}

size_t MacroDraft::Insert(size_t at, DraftStep step) {
  dirty_ = true;
  at = std::min(at, steps_.size());
  steps_.insert(steps_.begin() + std::ptrdiff_t(at), std::move(step));
  return at;
}

void MacroDraft::Replace(size_t at, std::string action) {
  dirty_ = true;
  if (at < steps_.size()) steps_[at].action = std::move(action);
}

size_t MacroDraft::Move(size_t from, StepMove where) {
  dirty_ = true;
  if (from >= steps_.size()) return from;
  const size_t last = steps_.size() - 1;
  size_t to = from;
  switch (where) {
    case StepMove::Up: to = from == 0 ? 0 : from - 1; break;
    case StepMove::Down: to = std::min(last, from + 1); break;
    case StepMove::Top: to = 0; break;
    case StepMove::Bottom: to = last; break;
  }
  DraftStep moved = std::move(steps_[from]);
  steps_.erase(steps_.begin() + std::ptrdiff_t(from));
  steps_.insert(steps_.begin() + std::ptrdiff_t(to), std::move(moved));
  return to;
}

void MacroDraft::Remove(size_t at) {
  dirty_ = true;
  if (at < steps_.size()) steps_.erase(steps_.begin() + std::ptrdiff_t(at));
}

void MacroDraft::RemoveAll() {
  dirty_ = true;
  steps_.clear();
}

}  // namespace talvo::macros
