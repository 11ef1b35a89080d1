#include "app/controls/led_picture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <utility>
#include <vector>

#include "app/controls/tint_image.h"

namespace talvo::app {

LedPicture::LedPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
}

LedPicture* LedPicture::Of(QWidget* parent) {
  if (auto* picture = parent->findChild<LedPicture*>(QString(), Qt::FindDirectChildrenOnly)) return picture;
  return new LedPicture(parent);
}

void LedPicture::Queue() {
  if (!std::exchange(queued_, true)) QMetaObject::invokeMethod(this, &LedPicture::RepaintChanged, Qt::QueuedConnection);
}

void LedPicture::LightChanged() { Queue(); }

void LedPicture::LedsChanged() {
  // Without a copy the LEDs paint themselves, and the next change finds
  // where they are.
  if (!backdrop_.Active()) return;
  all_ = true;
  Queue();
}

bool LedPicture::PaintsLed(const CTintImageUI& led) const {
  return backdrop_.Grabbing() || (backdrop_.Active() && geometry().contains(led.geometry()));
}

void LedPicture::RepaintChanged() {
  queued_ = false;
  const bool all = std::exchange(all_, false);
  QRect around;
  QRegion places;
  for (QObject* child : parentWidget()->children()) {
    auto* led = qobject_cast<CTintImageUI*>(child);
    if (!led) continue;
    const bool changed = led->TakeLightChange();
    if (led->isHidden()) continue;
    around |= led->geometry();
    if (changed) places += led->geometry();
  }
  if (around.isEmpty()) {
    backdrop_.Drop();
    update();
    return;
  }
  // Over every LED: opaque, it is repainted alone, and Qt sends no paint to
  // the LEDs beneath.
  if (parentWidget()->children().constLast() != this) raise();
  if (all || geometry() != around) {
    // What lies beneath, or the LEDs' own backgrounds, may differ now.
    backdrop_.Drop();
    setGeometry(around);
    places = around;
  }
  const bool copied = backdrop_.Refresh([this](QPainter& painter) {
    // The LEDs' styled backgrounds are as still as what lies beneath.
    for (QObject* child : parentWidget()->children())
      if (auto* led = qobject_cast<CTintImageUI*>(child); led && !led->isHidden()) {
        painter.setTransform(QTransform::fromTranslate(led->x() - x(), led->y() - y()));
        led->PaintBackground(painter);
      }
  });
  if (copied) update(places.translated(-pos()));
}

void LedPicture::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) backdrop_.Drop();
  QWidget::changeEvent(e);
}

void LedPicture::hideEvent(QHideEvent* e) {
  backdrop_.Drop();
  QWidget::hideEvent(e);
}

void LedPicture::paintEvent(QPaintEvent* e) {
  if (backdrop_.Grabbing() || !backdrop_.Active()) return;
  std::vector<CTintImageUI*> leds;
  std::vector<QRect> places;
  ShownChildren(*parentWidget(), pos(), e->region().boundingRect(), leds, places);
  QPainter painter(this);
  backdrop_.PaintOver(painter, e->region(), places, [&](size_t i, QPainter& p) { leds[i]->PaintLight(p); });
}

}  // namespace talvo::app
