#include "app/controls/key_picture.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTransform>
#include <cstring>
#include <optional>
#include <utility>

#include "app/controls/device_key_button.h"

namespace talvo::app {

// Draws keys on the canvas: in plain arithmetic where the key can, with one
// painter, begun at the first key that needs it, elsewhere.
class KeyPicture::Drawing {
 public:
  explicit Drawing(QImage& canvas) : canvas_(canvas) {}

  void Key(const Slot& slot, const QRect& clip) {
    if (canvas_.devicePixelRatio() == 1.0 && slot.key->ComposeOnto(canvas_, slot.place, clip)) return;
    if (!painter_) painter_.emplace(&canvas_);
    painter_->resetTransform();
    painter_->setClipRect(clip);
    painter_->setTransform(QTransform::fromTranslate(slot.place.x(), slot.place.y()));
    slot.key->PaintKey(*painter_, tints_);
  }

 private:
  QImage& canvas_;
  std::optional<QPainter> painter_;
  CDeviceKeyButtonUI::Tints tints_;
};

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
  // Over every key: opaque, it is repainted alone, and Qt sends no paint to
  // the keys beneath.
  if (parentWidget()->children().constLast() != this) raise();
  if (geometry() != parentWidget()->rect()) {
    setGeometry(parentWidget()->rect());
    slotsKnown_ = false;
  }
  if (!backdrop_.Refresh()) return;
  QRegion places;
  {
    Drawing drawing(canvas_);
    places = Catch(drawing);
    std::vector<size_t> changed;
    const std::vector<Slot>& slots = Slots();
    for (size_t k = 0; k < slots.size(); ++k)
      if (slots[k].key->TakeLightChange()) changed.push_back(k);
    // A running effect changes the same keys frame after frame: their
    // region, costly to join, is kept.
    if (changed != lastChanged_) {
      lastChanged_ = std::move(changed);
      lastPlaces_ = PlacesOf(lastChanged_);
    }
    if (lastPlaces_.rectCount() == 1) {
      Redraw(drawing, lastPlaces_.boundingRect());
    } else {
      // Each key's place: the copy, then every key that shows there.
      for (size_t k : lastChanged_) {
        Restore(slots[k].place);
        for (size_t i : slots[k].meets) drawing.Key(slots[i], slots[k].place);
      }
    }
    places += lastPlaces_;
  }
  update(places);
}

QRegion KeyPicture::PlacesOf(const std::vector<size_t>& keys) const {
  QRegion places;
  for (size_t k : keys) places += slots_[k].place;
  // Qt paints and shows a region rectangle by rectangle, each at a cost
  // near that of drawing a key; keys with gaps between them, and rows that
  // overlap, make more rectangles than keys. Where the keys cover at least
  // half of the rectangle around them, that one rectangle is drawn instead.
  const QRect around = places.boundingRect();
  qint64 covered = 0;
  for (const QRect& part : places) covered += qint64(part.width()) * part.height();
  return 2 * covered >= qint64(around.width()) * around.height() ? QRegion(around) : places;
}

void KeyPicture::RepaintPlace(const QRect& place) {
  const QRect area = place.translated(-pos());
  stale_ += area;
  // The key may have been shown, hidden or moved.
  slotsKnown_ = false;
  update(area);
}

QRegion KeyPicture::Catch(Drawing& drawing) {
  const QPixmap& copy = backdrop_.Copy();
  if (canvas_.isNull() || copyKey_ != copy.cacheKey()) {
    copyKey_ = copy.cacheKey();
    beneath_ = copy.toImage();
    if (beneath_.format() != QImage::Format_RGB32) beneath_.convertTo(QImage::Format_ARGB32_Premultiplied);
    canvas_ = beneath_.copy();
    stale_ = rect();
  }
  QRegion redrawn = std::exchange(stale_, QRegion());
  for (const QRect& area : redrawn) Redraw(drawing, area);
  return redrawn;
}

void KeyPicture::Redraw(Drawing& drawing, const QRect& area) {
  Restore(area);
  for (const Slot& slot : Slots())
    if (slot.place.intersects(area)) drawing.Key(slot, slot.place & area);
}

void KeyPicture::Restore(const QRect& area) {
  const QRect pixels = InCanvas(area);
  if (pixels.isEmpty()) return;
  const size_t bytes = size_t(pixels.width()) * sizeof(QRgb);
  uchar* out = canvas_.bits();
  for (int y = pixels.top(); y <= pixels.bottom(); ++y)
    std::memcpy(out + y * canvas_.bytesPerLine() + pixels.x() * sizeof(QRgb),
                beneath_.constScanLine(y) + pixels.x() * sizeof(QRgb), bytes);
}

QRect KeyPicture::InCanvas(const QRect& r) const {
  const qreal ratio = canvas_.devicePixelRatio();
  return QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toAlignedRect() & canvas_.rect();
}

const std::vector<KeyPicture::Slot>& KeyPicture::Slots() {
  if (std::exchange(slotsKnown_, true)) return slots_;
  slots_.clear();
  lastChanged_.clear();
  lastPlaces_ = QRegion();
  for (QObject* child : parentWidget()->children())
    if (auto* key = qobject_cast<CDeviceKeyButtonUI*>(child); key && !key->isHidden())
      slots_.push_back({key, key->geometry().translated(-pos()), {}});
  for (Slot& slot : slots_)
    for (size_t i = 0; i < slots_.size(); ++i)
      if (slots_[i].place.intersects(slot.place)) slot.meets.push_back(i);
  return slots_;
}

void KeyPicture::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) {
    backdrop_.Drop();
    canvas_ = QImage();
  }
  QWidget::changeEvent(e);
}

bool KeyPicture::eventFilter(QObject* watched, QEvent* e) {
  if (watched == parentWidget()) {
    if (e->type() == QEvent::LayoutRequest)
      for (QObject* child : parentWidget()->children())
        if (auto* key = qobject_cast<CDeviceKeyButtonUI*>(child)) key->FollowLook();
    if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildRemoved) slotsKnown_ = false;
    // A key gone leaves no trace to draw over: the canvas is drawn anew.
    if (e->type() == QEvent::ChildRemoved) canvas_ = QImage();
  }
  return QWidget::eventFilter(watched, e);
}

void KeyPicture::hideEvent(QHideEvent* e) {
  backdrop_.Drop();
  canvas_ = QImage();
  beneath_ = QImage();
  QWidget::hideEvent(e);
}

void KeyPicture::paintEvent(QPaintEvent* e) {
  if (backdrop_.Grabbing() || !backdrop_.Active()) return;
  {
    Drawing drawing(canvas_);
    Catch(drawing);
  }
  QPainter painter(this);
  // The canvas is what the picture shows, whole: copied, not blended.
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  const qreal ratio = canvas_.devicePixelRatio();
  for (const QRect& part : e->region())
    painter.drawImage(part, canvas_, QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
  backdrop_.FollowPlace();
}

}  // namespace talvo::app
