#include "app/controls/key_picture.h"

#include <QEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QTransform>
#include <cstring>
#include <utility>

#include "app/controls/device_key_button.h"

namespace talvo::app {

// Draws a paint's parts: the copy beneath, then the keys that meet each.
// Where the paint lands in an image of the raster engine at one pixel a unit,
// the copy and the keys that can go straight into the window's pixels in
// plain arithmetic, with no picture of their own to copy from; elsewhere the
// painter draws them.
class KeyPicture::Drawing {
 public:
  Drawing(QPainter& painter, const QImage& beneath) : painter_(painter), beneath_(beneath) {
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine && engine->type() == QPaintEngine::Raster ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image || beneath.devicePixelRatio() != 1.0) return;
    auto* pixels = static_cast<QImage*>(device);
    const QTransform toDevice = painter.deviceTransform();
    const QPoint offset(qRound(toDevice.dx()), qRound(toDevice.dy()));
    if (toDevice.type() > QTransform::TxTranslate || QPointF(offset) != QPointF(toDevice.dx(), toDevice.dy()) ||
        pixels->devicePixelRatio() != 1.0 || pixels->format() != beneath.format())
      return;
    pixels_ = pixels;
    offset_ = offset;
    // Only where the engine lets this paint draw.
    allowed_ = engine->systemClip().translated(-offset);
  }

  // The parts of region this drawing may touch.
  QRegion Within(const QRegion& region) const {
    return pixels_ && !allowed_.isEmpty() ? region & allowed_ : region;
  }

  void Beneath(const QRect& part) {
    if (pixels_) {
      const QRect area = part & beneath_.rect() & pixels_->rect().translated(-offset_);
      if (area.isEmpty()) return;
      painter_.beginNativePainting();
      const size_t bytes = size_t(area.width()) * sizeof(QRgb);
      for (int y = area.top(); y <= area.bottom(); ++y)
        std::memcpy(pixels_->scanLine(y + offset_.y()) + (area.x() + offset_.x()) * sizeof(QRgb),
                    beneath_.constScanLine(y) + area.x() * sizeof(QRgb), bytes);
      painter_.endNativePainting();
      return;
    }
    const qreal ratio = beneath_.devicePixelRatio();
    painter_.resetTransform();
    painter_.setClipRect(part);
    painter_.setCompositionMode(QPainter::CompositionMode_Source);
    painter_.drawImage(QRectF(part), beneath_, QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio));
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }

  void Key(const Slot& slot, const QRect& clip) {
    if (pixels_) {
      painter_.beginNativePainting();
      const bool drawn = slot.key->ComposeOnto(*pixels_, slot.place.translated(offset_), clip.translated(offset_));
      painter_.endNativePainting();
      if (drawn) return;
    }
    painter_.resetTransform();
    painter_.setClipRect(clip);
    painter_.setTransform(QTransform::fromTranslate(slot.place.x(), slot.place.y()));
    slot.key->PaintKey(painter_, tints_);
  }

 private:
  QPainter& painter_;
  const QImage& beneath_;
  QImage* pixels_ = nullptr;  // the window's pixels, where drawn straight
  QPoint offset_;             // of this widget in them
  QRegion allowed_;
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
  const bool newCopy = TakeCopy();
  std::vector<size_t> changed;
  const std::vector<Slot>& slots = Slots();
  for (size_t k = 0; k < slots.size(); ++k)
    if (slots[k].key->TakeLightChange()) changed.push_back(k);
  // A running effect changes the same keys frame after frame: their region,
  // costly to join, is kept.
  if (changed != lastChanged_) {
    lastChanged_ = std::move(changed);
    lastPlaces_ = PlacesOf(lastChanged_);
  }
  if (newCopy)
    update();
  else
    update(lastPlaces_);
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
  // The key may have been shown, hidden or moved.
  slotsKnown_ = false;
  update(place.translated(-pos()));
}

bool KeyPicture::TakeCopy() {
  const QPixmap& copy = backdrop_.Copy();
  if (!beneath_.isNull() && copyKey_ == copy.cacheKey()) return false;
  copyKey_ = copy.cacheKey();
  beneath_ = copy.toImage();
  if (beneath_.format() != QImage::Format_RGB32) beneath_.convertTo(QImage::Format_ARGB32_Premultiplied);
  return true;
}

const std::vector<KeyPicture::Slot>& KeyPicture::Slots() {
  if (std::exchange(slotsKnown_, true)) return slots_;
  slots_.clear();
  lastChanged_.clear();
  lastPlaces_ = QRegion();
  for (QObject* child : parentWidget()->children())
    if (auto* key = qobject_cast<CDeviceKeyButtonUI*>(child); key && !key->isHidden())
      slots_.push_back({key, key->geometry().translated(-pos())});
  return slots_;
}

void KeyPicture::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) {
    backdrop_.Drop();
    beneath_ = QImage();
  }
  QWidget::changeEvent(e);
}

bool KeyPicture::eventFilter(QObject* watched, QEvent* e) {
  if (watched == parentWidget()) {
    if (e->type() == QEvent::LayoutRequest)
      for (QObject* child : parentWidget()->children())
        if (auto* key = qobject_cast<CDeviceKeyButtonUI*>(child)) key->FollowLook();
    if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildRemoved) slotsKnown_ = false;
    // A key gone leaves its place to the copy, wherever it was.
    if (e->type() == QEvent::ChildRemoved) update();
  }
  return QWidget::eventFilter(watched, e);
}

void KeyPicture::hideEvent(QHideEvent* e) {
  backdrop_.Drop();
  beneath_ = QImage();
  QWidget::hideEvent(e);
}

void KeyPicture::paintEvent(QPaintEvent* e) {
  if (backdrop_.Grabbing() || !backdrop_.Active()) return;
  TakeCopy();
  QPainter painter(this);
  Drawing drawing(painter, beneath_);
  const std::vector<Slot>& slots = Slots();
  for (const QRect& part : drawing.Within(e->region())) {
    drawing.Beneath(part);
    for (const Slot& slot : slots)
      if (slot.place.intersects(part)) drawing.Key(slot, slot.place & part);
  }
  backdrop_.FollowPlace();
}

}  // namespace talvo::app
