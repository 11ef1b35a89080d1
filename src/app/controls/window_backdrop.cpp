#include "app/controls/window_backdrop.h"

#include <QMetaObject>
#include <QPainter>
#include <QRegion>
#include <QWidget>

namespace talvo::app {

WindowBackdrop::InWindow WindowBackdrop::Place() const {
  // One walk up finds both (asked on every change of a picture).
  QPoint at;
  QWidget* w = owner_;
  for (; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) at += w->pos();
  return {w, QRect(at, owner_->size())};
}

bool WindowBackdrop::Current() const {
  if (copy_.isNull()) return false;
  const InWindow now = Place();
  return place_ == now.place && windowSize_ == now.window->size();
}

bool WindowBackdrop::Active() const { return owner_->testAttribute(Qt::WA_OpaquePaintEvent); }

void WindowBackdrop::Drop() {
  copy_ = QPixmap();
  owner_->setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool WindowBackdrop::Refresh(const std::function<void(QPainter&)>& still) {
  // Hidden, the window would show something else at this place (another
  // page, or nothing while the window is away).
  if (owner_->isWindow() || !owner_->isVisible()) {
    Drop();
    return false;
  }
  if (Current()) return true;
  // Drawn while translucent, with the owner drawing nothing, the window
  // shows exactly what lies beneath it.
  owner_->setAttribute(Qt::WA_OpaquePaintEvent, false);
  grabbing_ = true;
  const InWindow now = Place();
  place_ = now.place;
  windowSize_ = now.window->size();
  copy_ = now.window->grab(place_);
  grabbing_ = false;
  if (!copy_.isNull() && still) {
    QPainter painter(&copy_);
    still(painter);
  }
  owner_->setAttribute(Qt::WA_OpaquePaintEvent, !copy_.isNull());
  return !copy_.isNull();
}

void WindowBackdrop::Paint(QPainter& painter) { Paint(painter, QRegion(owner_->rect())); }

void WindowBackdrop::Blit(QPainter& painter, const QRect& part) const {
  const qreal ratio = copy_.devicePixelRatio();
  painter.drawPixmap(part, copy_, QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
}

void WindowBackdrop::FollowPlace() {
  if (Current()) return;
  owner_->setAttribute(Qt::WA_OpaquePaintEvent, false);
  QMetaObject::invokeMethod(owner_, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void WindowBackdrop::Paint(QPainter& painter, const QRegion& region) {
  for (const QRect& part : region) Blit(painter, part);
  FollowPlace();
}

void WindowBackdrop::PaintOver(QPainter& painter, const QRegion& region, std::span<const QRect> places,
                               const std::function<void(size_t, QPainter&)>& draw) {
  for (const QRect& part : region) {
    painter.setClipRect(part);
    Blit(painter, part);
    for (size_t i = 0; i < places.size(); ++i)
      if (places[i].intersects(part)) draw(i, painter);
  }
  FollowPlace();
}

}  // namespace talvo::app
