#include "app/controls/key_picture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <utility>
#include <vector>

#include "app/controls/device_key_button.h"

namespace talvo::app {

KeyPicture::KeyPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(parent->rect());
  parent->installEventFilter(this);
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
  // Over every key: opaque, it is repainted alone, and Qt sends no paint to
  // the keys beneath.
  if (parentWidget()->children().constLast() != this) raise();
  if (geometry() != parentWidget()->rect()) setGeometry(parentWidget()->rect());
  backdrop_.Refresh();
  update(places.translated(-pos()));
}

void KeyPicture::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) backdrop_.Drop();
  QWidget::changeEvent(e);
}

bool KeyPicture::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::LayoutRequest && watched == parentWidget())
    for (QObject* child : parentWidget()->children())
      if (auto* key = qobject_cast<CDeviceKeyButtonUI*>(child)) key->FollowLook();
  return QWidget::eventFilter(watched, e);
}

void KeyPicture::hideEvent(QHideEvent* e) {
  backdrop_.Drop();
  QWidget::hideEvent(e);
}

void KeyPicture::paintEvent(QPaintEvent* e) {
  if (backdrop_.Grabbing() || !backdrop_.Active()) return;
  std::vector<CDeviceKeyButtonUI*> keys;
  std::vector<QRect> places;
  ShownChildren(*parentWidget(), pos(), e->region().boundingRect(), keys, places);
  QPainter painter(this);
  CDeviceKeyButtonUI::Tints tints;
  backdrop_.PaintOver(painter, e->region(), places, [&](size_t i, QPainter& p) { keys[i]->PaintKey(p, tints); });
}

}  // namespace talvo::app
