#include "app/controls/key_picture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <utility>

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

void KeyPicture::RepaintChanged() {
  if (!std::exchange(changed_, false)) return;
  QRegion places;
  for (QObject* child : parentWidget()->children())
    if (auto* key = qobject_cast<CDeviceKeyButtonUI*>(child); key && key->TakeLightChange()) places += key->geometry();
  // Beneath every key: the keys' own repaints then reach it.
  if (parentWidget()->children().constFirst() != this) lower();
  if (geometry() != parentWidget()->rect()) setGeometry(parentWidget()->rect());
  backdrop_.Refresh();
  update(places.translated(-pos()));
}

void KeyPicture::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) backdrop_.Drop();
  QWidget::changeEvent(e);
}

void KeyPicture::paintEvent(QPaintEvent* e) {
  if (backdrop_.Grabbing() || !backdrop_.Active()) return;
  QPainter painter(this);
  CDeviceKeyButtonUI::Tints tints;
  // Part by part, each clipped to a rectangle: drawing under a clip of many
  // rectangles takes the raster engine's slow path for every image.
  for (const QRect& part : e->region()) {
    painter.resetTransform();
    painter.setClipRect(part);
    backdrop_.Paint(painter, part);
    for (QObject* child : parentWidget()->children()) {
      auto* key = qobject_cast<CDeviceKeyButtonUI*>(child);
      if (!key || key->isHidden()) continue;
      const QRect place = key->geometry().translated(-pos());
      if (!place.intersects(part)) continue;
      painter.setTransform(QTransform::fromTranslate(place.x(), place.y()));
      key->PaintKey(painter, tints);
    }
  }
}

}  // namespace talvo::app
