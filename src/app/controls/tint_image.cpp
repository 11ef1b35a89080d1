#include "app/controls/tint_image.h"

#include <QEvent>
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
  imageSize_.reset();
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
    tintedPicture_ = picture.isNull() ? QImage() : SharedTint(picture, rgb);
    tintedColour_ = rgb;
  }
  return tintedPicture_;
}

QRectF CTintImageUI::ImageRect() const {
  // Asked on every paint: the image's size is looked up once per image.
  if (!imageSize_) imageSize_ = LoadSkinImage(path_).size();
  if (imageSize_->width() <= 0 || imageSize_->height() <= 0) return {};
  const QSizeF fitted = QSizeF(*imageSize_).scaled(QSizeF(size()), Qt::KeepAspectRatio);
  return {QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted};
}

QSize CTintImageUI::sizeHint() const {
  const QImage image = LoadSkinImage(path_);
  return image.isNull() ? QSize(16, 16) : image.size();
}

void CTintImageUI::ChangerChanged() {
  // The control's own styled background is as still as what lies beneath:
  // drawn into the copy once, not on every paint.
  backdrop_.Refresh([this](QPainter& painter) { DrawStyledBackground(painter); });
  update();
}

void CTintImageUI::changeEvent(QEvent* event) {
  // A new style may change what lies beneath.
  if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange) backdrop_.Drop();
  QWidget::changeEvent(event);
}

void CTintImageUI::DrawStyledBackground(QPainter& painter) {
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void CTintImageUI::paintEvent(QPaintEvent*) {
  if (backdrop_.Grabbing()) return;
  QPainter painter(this);
  if (backdrop_.Active()) {
    backdrop_.Paint(painter);
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
