#include "app/controls/device_key_button.h"

#include <QDynamicPropertyChangeEvent>
#include <QHash>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "app/controls/skin_image.h"

namespace talvo::app {

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent, const QtToolkit* toolkit)
    : QPushButton(parent), toolkit_(toolkit), picture_(parent ? KeyPicture::Of(parent) : nullptr) {
  // Checked from code reaches no event of the key.
  connect(this, &QAbstractButton::toggled, this, &CDeviceKeyButtonUI::FollowLook);
}

void CDeviceKeyButtonUI::SetLight(uint32_t colour, int alpha, bool on) {
  lightColour_ = colour;
  lightAlpha_ = alpha;
  lightOn_ = on;
  LightChanged();
}

void CDeviceKeyButtonUI::SetLightColour(uint colour) {
  lightColour_ = colour;
  LightChanged();
}

void CDeviceKeyButtonUI::SetLightAlpha(int alpha) {
  lightAlpha_ = alpha;
  LightChanged();
}

void CDeviceKeyButtonUI::SetLightOn(bool on) {
  lightOn_ = on;
  LightChanged();
}

void CDeviceKeyButtonUI::LightChanged() {
  lightChanged_ = true;
  if (picture_) picture_->LightChanged();
}

void CDeviceKeyButtonUI::RepaintLights() {
  if (picture_)
    picture_->RepaintChanged();
  else
    update();
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
  if (keySetHidden_ == hidden) return;
  keySetHidden_ = hidden;
  update();
  FollowLook();
}

void CDeviceKeyButtonUI::FollowLook() {
  if (!picture_ || !picture_->PaintsKeys() || picture_->isHidden()) {
    shown_.reset();
    return;
  }
  const Shown now{PresentLook(), keySetHidden_, isHidden(), geometry()};
  if (shown_ == now) return;
  if (shown_ && shown_->place != now.place) picture_->RepaintPlace(shown_->place);
  picture_->RepaintPlace(now.place);
  shown_ = now;
}

bool CDeviceKeyButtonUI::event(QEvent* e) {
  // The layout loader sets attributes as dynamic properties under the
  // layout's own spelling, after construction; so does any later change.
  if (e->type() == QEvent::DynamicPropertyChange)
    ApplyAttribute(static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName());
  if (e->type() == QEvent::ParentChange) picture_ = parentWidget() ? KeyPicture::Of(parentWidget()) : nullptr;
  const bool handled = QPushButton::event(e);
  // Hover, press, focus, a style, shown or hidden: the key's own repaint
  // would not reach the picture over it.
  if (e->type() != QEvent::Paint) FollowLook();
  return handled;
}

void CDeviceKeyButtonUI::ApplyAttribute(const QByteArray& name) {
  const QByteArray key = name.toLower();
  QString* target = key == "lightimage" ? &lightImage_ : key == "keysetimage" ? &keySetImage_ : nullptr;
  if (!target) return;
  *target = property(name.constData()).toString();
  lightPath_ = SkinImagePath(toolkit_, lightImage_);
  keySetPath_ = SkinImagePath(toolkit_, keySetImage_);
  fittedLight_ = QImage();
  update();
  FollowLook();
}

void CDeviceKeyButtonUI::changeEvent(QEvent* e) {
  if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange || e->type() == QEvent::FontChange)
    look_ = QPixmap();
  QPushButton::changeEvent(e);
}

CDeviceKeyButtonUI::LookKey CDeviceKeyButtonUI::PresentLook() const {
  return {isDown(), isChecked(), underMouse(), hasFocus(), isEnabled(), isActiveWindow(),
          text(),   size(),      devicePixelRatioF()};
}

const QPixmap& CDeviceKeyButtonUI::Look() {
  const LookKey key = PresentLook();
  if (look_.isNull() || !(key == lookKey_)) {
    QStyleOptionButton option;
    initStyleOption(&option);
    QImage canvas((QSizeF(size()) * key.ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(key.ratio);
    canvas.fill(Qt::transparent);
    {
      // As the button would paint itself: the widget's font and text colour.
      QStylePainter painter(&canvas, this);
      painter.setFont(font());
      painter.setPen(palette().color(foregroundRole()));
      painter.drawControl(QStyle::CE_PushButton, option);
    }
    // A copy without the canvas's paint engine, which an image keeps for
    // life once painted on: some KiB a key, for every key of a picture.
    look_ = QPixmap::fromImage(canvas.copy());
    lookKey_ = key;
  }
  return look_;
}

const QImage& CDeviceKeyButtonUI::FittedLight() {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (fittedSize_ != pixels) fittedLight_ = QImage();
  if (fittedLight_.isNull() && !pixels.isEmpty()) {
    // Kept for the process, as the skin images are: a few key sizes.
    static QHash<QString, QImage> fitted;
    const QString key = QStringLiteral("%1|%2x%3").arg(lightPath_).arg(pixels.width()).arg(pixels.height());
    auto found = fitted.find(key);
    if (found == fitted.end()) {
      const QImage image = LoadSkinImage(lightPath_, ratio);
      found = fitted.insert(key, image.isNull() ? QImage()
                                                : image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                                      .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    fittedLight_ = *found;
    fittedSize_ = pixels;
  }
  return fittedLight_;
}

const QImage& CDeviceKeyButtonUI::Tints::Of(const QImage& light, QColor colour) {
  for (const Tinted& t : tinted_)
    if (t.light == light.cacheKey() && t.colour == colour.rgb()) return t.image;
  tinted_.push_back({light.cacheKey(), colour.rgb(), TintedImage(light, colour)});
  return tinted_.back().image;
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent*) {
  if (picture_ && picture_->PaintsKeys()) return;
  QPainter painter(this);
  Tints tints;
  PaintKey(painter, tints);
}

void CDeviceKeyButtonUI::PaintKey(QPainter& painter, Tints& tints) {
  painter.drawPixmap(0, 0, Look());
  if (LightOn() && LightAlpha() > 0 && !lightPath_.isEmpty())
    DrawAtStrength(painter, rect(), tints.Of(FittedLight(), PageColour(LightColour())), LightAlpha());
  if (!keySetHidden_ && !keySetPath_.isEmpty()) {
    const QImage image = LoadSkinImage(keySetPath_, devicePixelRatioF());
    if (image.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(rect()), image);
  }
}

}  // namespace talvo::app
