#include "app/controls/wnd_host.h"

#include <QEvent>

namespace talvo::app {

CWndUI::CWndUI(QWidget* parent) : QWidget(parent) {}

void CWndUI::Attach(QWidget* hosted) {
  window_.clear();
  widget_ = hosted;
  if (widget_) widget_->setAttribute(Qt::WA_ShowWithoutActivating);
  WatchAncestors();
  Place();
}

void CWndUI::Attach(QWindow* hosted) {
  widget_.clear();
  window_ = hosted;
  if (window_) window_->setFlag(Qt::WindowDoesNotAcceptFocus);
  WatchAncestors();
  Place();
}

// Moving, hiding or showing any ancestor moves, hides or shows this control
// without telling it; the ancestors are watched instead.
void CWndUI::WatchAncestors() {
  for (const QPointer<QWidget>& w : watched_)
    if (w) w->removeEventFilter(this);
  watched_.clear();
  if (!widget_ && !window_) return;
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    w->installEventFilter(this);
    watched_.append(w);
  }
}

QRect CWndUI::HostedGeometry() const {
  const QWidget* parent = widget_ ? widget_->parentWidget() : nullptr;
  if (parent && parent->window() == window()) return {mapTo(parent, QPoint(0, 0)), size()};
  return {mapToGlobal(QPoint(0, 0)), size()};
}

void CWndUI::Place() {
  const bool shown = isVisible();
  if (widget_) {
    widget_->setGeometry(HostedGeometry());
    widget_->setVisible(shown);
  } else if (window_) {
    window_->setGeometry(HostedGeometry());
    window_->setVisible(shown);
  }
}

bool CWndUI::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
      Place();
      break;
    case QEvent::ParentChange:
      WatchAncestors();
      Place();
      break;
    default:
      break;
  }
  return QWidget::event(e);
}

bool CWndUI::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
      Place();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, e);
}

}  // namespace talvo::app
