#include "app/windows/program_chooser.h"

#include <QDialog>
#include <QHeaderView>
#include <QThreadPool>
#include <QTreeWidget>
#include <mutex>

#include "app/windows/message_box.h"
#include "platform/ascii.h"

namespace talvo::app {

// Where a worker's rows go: the chooser while it lives. The worker may
// outlast it (the display server can be slow), so it is told through here.
struct CProgramChooser::Delivery {
  std::mutex mutex;
  CProgramChooser* chooser = nullptr;
};

CProgramChooser::CProgramChooser(QtToolkit& toolkit, Browse browse)
    : window_(toolkit, *this), browse_(std::move(browse)), delivery_(std::make_shared<Delivery>()) {
  delivery_->chooser = this;
}

CProgramChooser::~CProgramChooser() {
  const std::lock_guard lock(delivery_->mutex);
  delivery_->chooser = nullptr;
}

bool CProgramChooser::Create(toolkit::Window* parent) {
  if (!window_.Create(kLayout)) return false;
  dialog_ = qobject_cast<QDialog*>(window_.Widget());
  if (!dialog_) return false;
  if (auto* list = dialog_->findChild<QTreeWidget*>(QStringLiteral("programs_list"))) {
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, dialog_, [this, list](QTreeWidgetItem* item) {
      const int row = list->indexOfTopLevelItem(item);
      if (row >= 0 && size_t(row) < rows_.size()) Choose(rows_[size_t(row)].link);
    });
  }
  PlaceDialog(*dialog_, parent);
  return true;
}

void CProgramChooser::List(const toolkit::ProgramLister& programs) {
  if (!programs) {
    ShowRows({});
    return;
  }
  QThreadPool::globalInstance()->start([programs, delivery = delivery_] {
    std::vector<toolkit::ProgramRow> rows = programs();
    const std::lock_guard lock(delivery->mutex);
    if (!delivery->chooser) return;
    QMetaObject::invokeMethod(
        delivery->chooser->dialog_,
        [delivery, rows = std::move(rows)]() mutable {
          // The chooser is only ever destroyed on this thread, so it is
          // still there when the pointer says so.
          CProgramChooser* chooser = nullptr;
          {
            const std::lock_guard lock(delivery->mutex);
            chooser = delivery->chooser;
          }
          if (chooser) chooser->ShowRows(std::move(rows));
        },
        Qt::QueuedConnection);
  });
}

void CProgramChooser::ShowRows(std::vector<toolkit::ProgramRow> rows) {
  rows_ = std::move(rows);
  if (toolkit::Control* list = window_.FindControl("programs_list")) {
    const QtWindow::Mute quiet(window_);
    list->RemoveAllItems();
    for (const toolkit::ProgramRow& row : rows_) list->SetItemColumnText(list->AddItem(row.name), 1, row.link);
  }
  if (toolkit::Control* state = window_.FindControl("programs_state_text")) {
    state->SetTextId("program_chooser_empty_text");
    state->SetVisible(rows_.empty());
  }
  if (toolkit::Control* ok = window_.FindControl("confirm_btn")) ok->SetEnabled(false);
}

std::optional<std::string> CProgramChooser::ShowModal() {
  if (!dialog_) return std::nullopt;
  dialog_->exec();
  return chosen_;
}

void CProgramChooser::Notify(const toolkit::Notification& n) {
  if (!dialog_) return;
  auto is = [&](std::string_view name) { return platform::EqualsIgnoreCase(n.sender, name); };
  if (n.type == "itemselect" && is("programs_list")) {
    if (toolkit::Control* ok = window_.FindControl("confirm_btn"))
      ok->SetEnabled(n.wParam >= 0 && size_t(n.wParam) < rows_.size());
    return;
  }
  if (n.type != "click") return;
  if (is("confirm_btn")) {
    const toolkit::Control* list = window_.FindControl("programs_list");
    const int row = list ? list->CurrentIndex() : -1;
    if (row >= 0 && size_t(row) < rows_.size()) Choose(rows_[size_t(row)].link);
  } else if (is("browse_btn")) {
    // A cancelled file dialog leaves the chooser open.
    if (auto path = browse_ ? browse_(&window_) : std::nullopt) Choose(std::move(*path));
  } else if (is("closebtn") || is("cancel_btn")) {
    dialog_->done(0);
  }
}

void CProgramChooser::Choose(std::string link) {
  chosen_ = std::move(link);
  dialog_->done(1);
}

}  // namespace talvo::app
