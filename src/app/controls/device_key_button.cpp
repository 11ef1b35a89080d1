#include "app/controls/device_key_button.h"

#include <QDynamicPropertyChangeEvent>
#include <QPainter>

#include "app/controls/skin_image.h"

namespace talvo::app {

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent, const QtToolkit* toolkit)
    : QPushButton(parent), toolkit_(toolkit) {}

void CDeviceKeyButtonUI::SetLight(uint32_t colour, int alpha, bool on) {
  SetLightColour(colour);
  SetLightAlpha(alpha);
  SetLightOn(on);
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
  if (keySetHidden_ == hidden) return;
  keySetHidden_ = hidden;
  update();
}

bool CDeviceKeyButtonUI::event(QEvent* e) {
  // The layout loader sets attributes as dynamic properties under the
  // layout's own spelling, after construction; so does any later change.
  if (e->type() == QEvent::DynamicPropertyChange)
    ApplyAttribute(static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName());
  return QPushButton::event(e);
}

void CDeviceKeyButtonUI::ApplyAttribute(const QByteArray& name) {
  const QByteArray key = name.toLower();
  QString* target = key == "lightimage" ? &lightImage_ : key == "keysetimage" ? &keySetImage_ : nullptr;
  if (!target) return;
  *target = property(name.constData()).toString();
  update();
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent* e) {
  QPushButton::paintEvent(e);
  const bool light = LightOn() && !lightImage_.isEmpty();
  const bool mark = !keySetHidden_ && !keySetImage_.isEmpty();
  if (!light && !mark) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const qreal ratio = devicePixelRatioF();
  if (light)
    DrawTinted(painter, rect(), LoadSkinImage(SkinImagePath(toolkit_, lightImage_), ratio), PageColour(LightColour()),
               LightAlpha());
  if (mark) {
    const QImage image = LoadSkinImage(SkinImagePath(toolkit_, keySetImage_), ratio);
    if (!image.isNull()) painter.drawImage(QRectF(rect()), image);
  }
}

}  // namespace talvo::app
