#include "app/controls/key_picture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include "app/controls/device_key_button.h"

namespace talvo::app {

KeyPicture::KeyPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(parent->rect());
}

KeyPicture* KeyPicture::Of(QWidget* parent) {
  if (auto* picture = parent->findChild<KeyPicture*>(QString(), Qt::FindDirectChildrenOnly)) return picture;
  return new KeyPicture(parent);
}

void KeyPicture::LightChanged(const QWidget* key) { changed_ += key->geometry(); }

void KeyPicture::RepaintChanged() {
  if (changed_.isEmpty()) return;
  // Beneath every key: the keys' own repaints then reach it.
  if (parentWidget()->children().constFirst() != this) lower();
  if (geometry() != parentWidget()->rect()) setGeometry(parentWidget()->rect());
  backdrop_.Refresh();
  update(changed_.translated(-pos()));
  changed_ = QRegion();
}

void KeyPicture::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) backdrop_.Drop();
  QWidget::changeEvent(e);
}

void KeyPicture::paintEvent(QPaintEvent* e) {
  if (backdrop_.Grabbing() || !backdrop_.Active()) return;
  QPainter painter(this);
  backdrop_.Paint(painter);
  for (QObject* child : parentWidget()->children()) {
    auto* key = qobject_cast<CDeviceKeyButtonUI*>(child);
    if (!key || key->isHidden()) continue;
    const QRect place = key->geometry().translated(-pos());
    if (!e->region().intersects(place)) continue;
    painter.save();
    painter.translate(place.topLeft());
    painter.setClipRect(QRect(QPoint(), place.size()), Qt::IntersectClip);
    key->PaintKey(painter);
    painter.restore();
  }
}

}  // namespace talvo::app
