// The steps of the macro open in an editor, as action strings in play order,
// and whether an editing session is open on them: from the first step opened,
// changed, inserted, moved, removed or recorded until they are saved or set
// back from the macro's file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvo::macros {

struct DraftStep {
  std::string action;
  bool recordedClick = false;  // recorded from a mouse click: drawn a shorter row
};

enum class StepMove { Up, Down, Top, Bottom };

class MacroDraft {
 public:
  // The steps as stored; the session is closed.
  void Load(const std::vector<std::string>& actions);
  void Clear() { Load({}); }

  const std::vector<DraftStep>& Steps() const { return steps_; }
  std::vector<std::string> Actions() const;
  size_t Size() const { return steps_.size(); }

  bool Dirty() const { return dirty_; }
  // Opens the session without a change (a step opened for editing).
  void Touch() { dirty_ = true; }
  // The steps are stored: the session closes.
  void Saved() { dirty_ = false; }

  // Each opens the session. Indices beyond the steps do nothing (Insert
  // appends); the results are where the step now is.
  size_t Insert(size_t at, DraftStep step);
  void Replace(size_t at, std::string action);
  size_t Move(size_t from, StepMove where);
  void Remove(size_t at);
  void RemoveAll();

 private:
  std::vector<DraftStep> steps_;
  bool dirty_ = false;
};

}  // namespace talvo::macros
