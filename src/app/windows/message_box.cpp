#include "app/windows/message_box.h"

#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <set>

#include "app/windows/program_chooser.h"

namespace talvo::app {

CMsgWnd::CMsgWnd(QtToolkit& toolkit) : window_(toolkit, *this) {}

CMsgWnd::~CMsgWnd() = default;

bool CMsgWnd::Create(toolkit::Window* parent) {
  if (!window_.Create(kLayout)) return false;
  dialog_ = qobject_cast<QDialog*>(window_.Widget());
  if (!dialog_) return false;
  PlaceDialog(*dialog_, parent);
  return true;
}

void CMsgWnd::SetContent(const std::string& title, const std::string& text, bool textIsId) {
  if (!title.empty()) {
    if (toolkit::Control* c = window_.FindControl("MessageTitle")) c->SetText(title);
  }
  if (!text.empty()) {
    if (toolkit::Control* c = window_.FindControl("MessageText")) {
      if (textIsId)
        c->SetTextId(text);
      else
        c->SetText(text);
    }
  }
}

void CMsgWnd::StartAutoClose() { window_.SetTimer(kAutoCloseTimer, kAutoCloseMs, true); }

int CMsgWnd::ShowModal() { return dialog_ ? dialog_->exec() : 0; }

void CMsgWnd::Notify(const toolkit::Notification& n) {
  if (n.type != "click" || !dialog_) return;
  const QString sender = QString::fromStdString(n.sender);
  auto is = [&](const char* name) { return sender.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
  if (is("confirm_btn"))
    dialog_->done(1);
  else if (is("closebtn") || is("cancel_btn"))
    dialog_->done(0);
}

void CMsgWnd::OnTimer(int id) {
  if (id != kAutoCloseTimer) return;
  window_.KillTimer(id);
  if (dialog_) dialog_->done(0);
}

void PlaceDialog(QDialog& dialog, toolkit::Window* parent) {
  dialog.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  QWidget* owner = WidgetOf(parent);
  if (owner) {
    // Kept on top of its owner without being its child, so the owner going
    // away can never take the dialog's widgets with it.
    dialog.winId();
    if (QWindow* ownerWindow = owner->window()->windowHandle())
      dialog.windowHandle()->setTransientParent(ownerWindow);
  }
  dialog.adjustSize();
  QRect area;
  if (owner)
    area = owner->window()->frameGeometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    area = screen->availableGeometry();
  if (area.isValid()) dialog.move(area.center() - dialog.rect().center());
}

namespace {

// Marks a text id as showing for the life of its box. Each box runs in its
// own nested event loop, so a cause that repeats while one is open (a cable
// plugged in and out) would otherwise stack box upon box.
class ShowingId {
 public:
  ShowingId(const std::string& text, bool textIsId) : id_(textIsId ? text : std::string()) {
    if (!id_.empty()) refused_ = !Showing().insert(id_).second;
  }
  ~ShowingId() {
    if (!id_.empty() && !refused_) Showing().erase(id_);
  }
  ShowingId(const ShowingId&) = delete;
  ShowingId& operator=(const ShowingId&) = delete;

  bool Refused() const { return refused_; }

 private:
  static std::set<std::string>& Showing() {
    static std::set<std::string> ids;  // UI thread only
    return ids;
  }

  std::string id_;
  bool refused_ = false;
};

}  // namespace

int ShowMessage(QtToolkit& toolkit, toolkit::Window* parent, const std::string& title,
                const std::string& text, bool textIsId) {
  const ShowingId showing(text, textIsId);
  if (showing.Refused()) return 0;
  CMsgWnd box(toolkit);
  if (!box.Create(parent)) return 0;
  box.SetContent(title, text, textIsId);
  return box.ShowModal();
}

void ShowMessageAutoClose(QtToolkit& toolkit, toolkit::Window* parent, const std::string& title,
                          const std::string& text, bool textIsId, bool autoClose) {
  const ShowingId showing(text, textIsId);
  if (showing.Refused()) return;
  CMsgWnd box(toolkit);
  if (!box.Create(parent)) return;
  box.SetContent(title, text, textIsId);
  if (autoClose) box.StartAutoClose();
  box.ShowModal();
}

int QtDialogs::ShowMessage(toolkit::Window* parent, const std::string& text, bool textIsId) {
  return talvo::app::ShowMessage(toolkit_, parent, {}, text, textIsId);
}

std::optional<std::string> QtDialogs::OpenFile(toolkit::Window* parent, const std::string& filter) {
  const QString path =
      QFileDialog::getOpenFileName(WidgetOf(parent), {}, {}, QString::fromStdString(filter));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> QtDialogs::SaveFile(toolkit::Window* parent, const std::string& filter,
                                               const std::string& suggestedName) {
  QFileDialog dialog(WidgetOf(parent), {}, QString::fromStdString(suggestedName), QString::fromStdString(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // A name typed without a suffix gets the filter's, e.g. "mac" of "(*.mac)".
  const QString pattern = QString::fromStdString(filter);
  if (const qsizetype dot = pattern.lastIndexOf(QStringLiteral("*.")); dot >= 0) {
    const qsizetype end = pattern.indexOf(QLatin1Char(')'), dot);
    dialog.setDefaultSuffix(pattern.mid(dot + 2, end < 0 ? -1 : end - dot - 2));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> QtDialogs::ChooseProgram(toolkit::Window* parent, const toolkit::ProgramLister& programs,
                                                    const std::string& filter) {
  CProgramChooser chooser(toolkit_, [this, filter](toolkit::Window* over) { return OpenFile(over, filter); });
  if (!chooser.Create(parent)) return OpenFile(parent, filter);
  chooser.List(programs);
  return chooser.ShowModal();
}

QWidget* WidgetOf(toolkit::Window* window) {
  auto* qt = dynamic_cast<QtWindow*>(window);
  return qt ? qt->Widget() : nullptr;
}

}  // namespace talvo::app
