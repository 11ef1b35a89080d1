#include "app/controls/tint_image.h"

#include <QPainter>
#include <QStyleOption>

#include "app/controls/skin_image.h"

namespace talvo::app {

CTintImageUI::CTintImageUI(QWidget* parent, const QtToolkit* toolkit) : QWidget(parent), toolkit_(toolkit) {
  setAttribute(Qt::WA_StyledBackground);
}

void CTintImageUI::SetImage(const QString& image) {
  image_ = image;
  updateGeometry();
  update();
}

void CTintImageUI::SetChangerColor(uint32_t argb) {
  colour_ = argb;
  update();
}

void CTintImageUI::SetChangerAlpha(int alpha) {
  alpha_ = alpha;
  update();
}

void CTintImageUI::SetIsChangerColor(bool on) {
  tinted_ = on;
  update();
}

QRectF CTintImageUI::ImageRect() const {
  const QImage image = LoadSkinImage(SkinImagePath(toolkit_, image_));
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return {};
  const QSizeF fitted = QSizeF(image.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
  return {QPointF((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted};
}

QSize CTintImageUI::sizeHint() const {
  const QImage image = LoadSkinImage(SkinImagePath(toolkit_, image_));
  return image.isNull() ? QSize(16, 16) : image.size();
}

void CTintImageUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  const QImage image = LoadSkinImage(SkinImagePath(toolkit_, image_), devicePixelRatioF());
  if (image.isNull()) return;
  if (tinted_) {
    DrawTinted(painter, ImageRect(), image, QColor::fromRgb(colour_ & 0xFFFFFF), alpha_);
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(ImageRect(), image);
  }
}

}  // namespace talvo::app
