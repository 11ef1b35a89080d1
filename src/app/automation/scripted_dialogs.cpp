#include "app/automation/scripted_dialogs.h"

#include <utility>

#include "app/toolkit/qt/qt_toolkit.h"

namespace talvo::app {

int ScriptedDialogs::ShowMessage(toolkit::Window* parent, const std::string& text, bool textIsId) {
  Message m;
  if (textIsId) {
    m.textId = text;
    // Resolved as the window would display it: its handler first, then the
    // language file.
    if (auto* qt = dynamic_cast<QtWindow*>(parent))
      m.text = qt->ResolveText(QString::fromStdString(text)).toStdString();
    else if (parent)
      m.text = parent->GetToolkit().LanguageText(text).value_or(text);
    else
      m.text = text;
  } else {
    m.text = text;
  }
  messages_.push_back(std::move(m));
  if (answers_.empty()) return 1;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<std::string> ScriptedDialogs::OpenFile(toolkit::Window*, const std::string&) { return NextPath(); }

std::optional<std::string> ScriptedDialogs::SaveFile(toolkit::Window*, const std::string&, const std::string&) {
  return NextPath();
}

std::optional<std::string> ScriptedDialogs::ChooseProgram(toolkit::Window*, const toolkit::ProgramLister&,
                                                          const std::string&) {
  return NextPath();
}

void ScriptedDialogs::QueueAnswers(const std::vector<int>& answers) {
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void ScriptedDialogs::QueuePaths(const std::vector<std::string>& paths) {
  paths_.insert(paths_.end(), paths.begin(), paths.end());
}

std::vector<ScriptedDialogs::Message> ScriptedDialogs::TakeMessages() { return std::exchange(messages_, {}); }

std::optional<std::string> ScriptedDialogs::NextPath() {
  if (paths_.empty()) return std::nullopt;
  std::string path = std::move(paths_.front());
  paths_.pop_front();
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace talvo::app
