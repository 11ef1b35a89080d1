#include "app/controls/led_picture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QTransform>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/controls/tint_image.h"

namespace talvo::app {
namespace {

// The open batches, and the pictures whose changes wait for them (UI thread only).
int batches = 0;
std::vector<QPointer<LedPicture>> batched;

}  // namespace

LedPicture::LedPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
}

LedPicture* LedPicture::Of(QWidget* parent) {
  if (auto* picture = parent->findChild<LedPicture*>(QString(), Qt::FindDirectChildrenOnly)) return picture;
  return new LedPicture(parent);
}

void LedPicture::Queue() {
  if (std::exchange(queued_, true)) return;
  if (batches > 0) batched.emplace_back(this);
  else QMetaObject::invokeMethod(this, [this] { RepaintChanged(); }, Qt::QueuedConnection);
}

LedPicture::Batch::Batch() { ++batches; }

LedPicture::Batch::~Batch() {
  if (--batches > 0) return;
  // No batch is open now: a change made by a repaint would be queued.
  for (const QPointer<LedPicture>& picture : batched)
    if (picture) picture->RepaintChanged(When::Now);
  batched.clear();
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

void LedPicture::RepaintChanged(When when) {
  queued_ = false;
  const bool all = std::exchange(all_, false);
  QRect around;
  changed_.clear();
  for (QObject* child : parentWidget()->children()) {
    auto* led = qobject_cast<CTintImageUI*>(child);
    if (!led) continue;
    const bool changed = led->TakeLightChange();
    if (led->isHidden()) continue;
    around |= led->geometry();
    if (changed) changed_.push_back(led->geometry());
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
    changed_.assign(1, around);
  }
  const bool copied = backdrop_.Refresh([this](QPainter& painter) {
    // The LEDs' styled backgrounds are as still as what lies beneath.
    for (QObject* child : parentWidget()->children())
      if (auto* led = qobject_cast<CTintImageUI*>(child); led && !led->isHidden()) {
        painter.setTransform(QTransform::fromTranslate(led->x() - x(), led->y() - y()));
        led->PaintBackground(painter);
      }
  });
  if (!copied) return;
  if (when == When::Now) repaint(ChangedRegion());
  else update(ChangedRegion());
}

const QRegion& LedPicture::ChangedRegion() {
  for (QRect& place : changed_) place.translate(-pos());
  // An effect changes the same LEDs frame after frame: their region is
  // made again only when they differ.
  if (changed_ == regionPlaces_) return region_;
  regionPlaces_ = changed_;
  // Top to bottom, left to right: most places then join the region at its
  // end, without merging its bands again.
  std::ranges::sort(changed_, [](const QRect& a, const QRect& b) {
    return std::pair(a.top(), a.left()) < std::pair(b.top(), b.left());
  });
  region_ = QRegion();
  for (const QRect& place : changed_) region_ += place;
  return region_;
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
  leds_.clear();
  places_.clear();
  ShownChildren(*parentWidget(), pos(), e->region().boundingRect(), leds_, places_);
  const qreal ratio = devicePixelRatioF();
  QPainter painter(this);
  backdrop_.PaintOver(painter, e->region(), places_,
                      [&](size_t i, QPainter& p) { leds_[i]->PaintLight(p, ratio, places_[i].topLeft()); });
}

}  // namespace talvo::app
