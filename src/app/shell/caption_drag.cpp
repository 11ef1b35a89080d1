#include "app/shell/caption_drag.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>
#include <QWindow>

namespace talvo::app {

CaptionDrag::CaptionDrag(QWidget* window, int bandHeight) : QObject(window), window_(window), band_(bandHeight) {
  window->installEventFilter(this);
  for (QWidget* child : window->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool CaptionDrag::IsDragSurface(const QWidget* w) {
  if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
      qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
      qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QTextEdit*>(w) ||
      qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractItemView*>(w))
    return false;
  // A label showing text is text the user may want to read or select; an
  // image-only label is decoration.
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text().isEmpty();
  return true;
}

bool CaptionDrag::InBand(QWidget* widget, const QPoint& local) const {
  if (!window_) return false;
  return widget->mapTo(window_, local).y() < band_;
}

bool CaptionDrag::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || !window_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton || !IsDragSurface(widget) || !InBand(widget, e->position().toPoint()))
        return false;
      if (window_->isMaximized()) return false;
      if (QWindow* handle = window_->windowHandle(); handle && handle->startSystemMove()) return true;
      dragging_ = true;
      grabOffset_ = e->globalPosition().toPoint() - window_->frameGeometry().topLeft();
      return true;
    }
    case QEvent::MouseMove:
      if (!dragging_) return false;
      window_->move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - grabOffset_);
      return true;
    case QEvent::MouseButtonRelease:
      if (!dragging_) return false;
      dragging_ = false;
      return true;
    case QEvent::MouseButtonDblClick: {
      auto* e = static_cast<QMouseEvent*>(event);
      if (e->button() != Qt::LeftButton || !IsDragSurface(widget) || !InBand(widget, e->position().toPoint()))
        return false;
      window_->isMaximized() ? window_->showNormal() : window_->showMaximized();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace talvo::app
