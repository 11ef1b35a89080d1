#include "app/controls/tint_image.h"

#include <QEvent>
#include <QStyle>
#include <QPainter>
#include <QStyleOption>
#include <utility>

#include "app/controls/skin_image.h"

namespace talvo::app {

CTintImageUI::CTintImageUI(QWidget* parent, const QtToolkit* toolkit)
    : QWidget(parent), toolkit_(toolkit), ledPicture_(parent ? LedPicture::Of(parent) : nullptr) {
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

const QImage& CTintImageUI::Picture(qreal ratio) const {
  if (pictureRatio_ != ratio) {
    picture_ = LoadSkinImage(path_, ratio);
    pictureRatio_ = ratio;
    tintedPicture_ = QImage();
  }
  return picture_;
}

const QImage& CTintImageUI::TintedPicture(qreal ratio) const {
  const QImage& picture = Picture(ratio);
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
  if (!ledPicture_) {
    update();
    return;
  }
  // Colour and strength come one after the other: the picture, told of the
  // first, repaints the LED with both.
  if (std::exchange(lightChanged_, true)) return;
  ledPicture_->LightChanged();
  if (!ledPicture_->PaintsLed(*this)) update();
}

bool CTintImageUI::event(QEvent* event) {
  switch (event->type()) {
    case QEvent::ParentChange:
      ledPicture_ = parentWidget() ? LedPicture::Of(parentWidget()) : nullptr;
      // A change the old picture was told of is the new one's to repaint.
      if (lightChanged_ && ledPicture_) ledPicture_->LightChanged();
      break;
    // Shown, hidden, moved or restyled: the picture over it follows.
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
      if (ledPicture_) ledPicture_->LedsChanged();
      break;
    default:
      break;
  }
  return QWidget::event(event);
}

void CTintImageUI::PaintBackground(QPainter& painter) const {
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void CTintImageUI::PaintLight(QPainter& painter, qreal ratio, QPoint at) const {
  const QImage& image = Picture(ratio);
  if (image.isNull()) return;
  const QRectF target = ImageRect().translated(at);
  if (tinted_) {
    DrawAtStrength(painter, target, TintedPicture(ratio), alpha_);
    return;
  }
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image);
  painter.restore();
}

void CTintImageUI::paintEvent(QPaintEvent*) {
  if (ledPicture_ && ledPicture_->PaintsLed(*this)) return;
  QPainter painter(this);
  PaintBackground(painter);
  PaintLight(painter, devicePixelRatioF());
}

}  // namespace talvo::app
