// Message boxes and file dialogs that never block: while automation is on,
// their results come from queues the automation client fills.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"

namespace talvo::app {

class ScriptedDialogs final : public toolkit::Dialogs {
 public:
  struct Message {
    std::string textId;  // empty when the text was given as plain text
    std::string text;    // as displayed
  };

  // Records the message and returns the next queued answer, 1 when none.
  int ShowMessage(toolkit::Window* parent, const std::string& text, bool textIsId) override;
  // The next queued path; cancelled when none is queued or it is empty.
  std::optional<std::string> OpenFile(toolkit::Window* parent, const std::string& filter) override;
  std::optional<std::string> SaveFile(toolkit::Window* parent, const std::string& filter,
                                      const std::string& suggestedName) override;
  // The next queued path or link text, as the file dialog would give it.
  std::optional<std::string> ChooseProgram(toolkit::Window* parent, const toolkit::ProgramLister& programs,
                                           const std::string& filter) override;

  void QueueAnswers(const std::vector<int>& answers);
  void QueuePaths(const std::vector<std::string>& paths);
  // The messages shown since the last call, oldest first.
  std::vector<Message> TakeMessages();

 private:
  std::optional<std::string> NextPath();

  std::deque<int> answers_;
  std::deque<std::string> paths_;
  std::vector<Message> messages_;
};

}  // namespace talvo::app
