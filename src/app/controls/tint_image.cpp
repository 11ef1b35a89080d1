#include "app/controls/tint_image.h"

#include <QEvent>
#include <QMetaObject>
#include <QPainter>
#include <QStyleOption>

#include "app/controls/skin_image.h"

namespace talvo::app {

CTintImageUI::CTintImageUI(QWidget* parent, const QtToolkit* toolkit) : QWidget(parent), toolkit_(toolkit) {
  setAttribute(Qt::WA_StyledBackground);
}

void CTintImageUI::SetImage(const QString& image) {
  image_ = image;
  path_ = SkinImagePath(toolkit_, image);
  pictureRatio_ = 0;
  updateGeometry();
  update();
}

void CTintImageUI::SetChangerColor(uint32_t argb) {
  if (argb == colour_) return;
  colour_ = argb;
  ChangerChanged();
}

void CTintImageUI::SetChangerAlpha(int alpha) {
  if (alpha == alpha_) return;
  alpha_ = alpha;
  ChangerChanged();
}

void CTintImageUI::SetIsChangerColor(bool on) {
  if (on == tinted_) return;
  tinted_ = on;
  ChangerChanged();
}

const QImage& CTintImageUI::Picture() const {
  const qreal ratio = devicePixelRatioF();
  if (pictureRatio_ != ratio) {
    picture_ = LoadSkinImage(path_, ratio);
    pictureRatio_ = ratio;
    tintedPicture_ = QImage();
  }
  return picture_;
}

const QImage& CTintImageUI::TintedPicture() const {
  const QImage& picture = Picture();
  // Only the colour's red, green and blue tint.
  const uint32_t rgb = colour_ & 0xFFFFFF;
  if (tintedPicture_.isNull() || tintedColour_ != rgb) {
    tintedPicture_ = picture.isNull() ? QImage() : TintedImage(picture, QColor::fromRgb(rgb));
    tintedColour_ = rgb;
  }
  return tintedPicture_;
}

QRectF CTintImageUI::ImageRect() const {
  const QImage image = LoadSkinImage(path_);
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
  const QSizeF fitted = QSizeF(image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
  return {QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted};
}

QSize CTintImageUI::sizeHint() const {
  const QImage image = LoadSkinImage(path_);
  return image.isNull() ? QSize(16, 16) : image.size();
}

QRect CTintImageUI::PlaceInWindow() const { return QRect(mapTo(window(), QPoint()), size()); }

bool CTintImageUI::BackdropCurrent() const {
  return !backdrop_.isNull() && backdropPlace_ == PlaceInWindow() && backdropWindow_ == window()->size();
}

void CTintImageUI::DropBackdrop() {
  backdrop_ = QPixmap();
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool CTintImageUI::RefreshBackdrop() {
  // Hidden, the window would show something else at this place (another
  // page, or nothing while the window is away).
  if (isWindow() || !isVisible()) {
    DropBackdrop();
    return false;
  }
  if (BackdropCurrent()) return true;
  // Drawn while translucent, with this control drawing nothing, the window
  // shows exactly what lies beneath it.
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  grabbing_ = true;
  backdropPlace_ = PlaceInWindow();
  backdropWindow_ = window()->size();
  backdrop_ = window()->grab(backdropPlace_);
  grabbing_ = false;
  // The control's own styled background is as still as what lies beneath:
  // drawn into the copy once, not on every paint.
  if (!backdrop_.isNull()) {
    QPainter painter(&backdrop_);
    DrawStyledBackground(painter);
  }
  setAttribute(Qt::WA_OpaquePaintEvent, !backdrop_.isNull());
  return !backdrop_.isNull();
}

void CTintImageUI::ChangerChanged() {
  RefreshBackdrop();
  update();
}

void CTintImageUI::changeEvent(QEvent* event) {
  // A new style may change what lies beneath.
  if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange) DropBackdrop();
  QWidget::changeEvent(event);
}

void CTintImageUI::DrawStyledBackground(QPainter& painter) {
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void CTintImageUI::paintEvent(QPaintEvent*) {
  if (grabbing_) return;
  QPainter painter(this);
  if (testAttribute(Qt::WA_OpaquePaintEvent)) {
    painter.drawPixmap(0, 0, backdrop_);
    if (!BackdropCurrent()) {
      // Moved within the window since the copy was taken: this once the old
      // copy shows; translucent again, the next paint draws what is beneath
      // until the next change takes a new copy.
      setAttribute(Qt::WA_OpaquePaintEvent, false);
      QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
  } else {
    DrawStyledBackground(painter);
  }
  const QImage& image = Picture();
  if (image.isNull()) return;
  if (tinted_) {
    DrawAtStrength(painter, ImageRect(), TintedPicture(), alpha_);
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(ImageRect(), image);
  }
}

}  // namespace talvo::app
