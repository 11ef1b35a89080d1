#include "colour_palette.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace talvo::app {

ColourPalette::ColourPalette(QWidget* parent) : QWidget(parent) {}

void ColourPalette::SetSelectColor(uint32_t argb) {
  selected_ = argb;
  update();
}

void ColourPalette::Pick(uint32_t argb) {
  SetSelectColor(argb);
  Q_EMIT colourPicked(argb);
}

// Hue runs left to right, lightness from white at the top to black at the
// bottom with full colour in the middle row.
uint32_t ColourPalette::ColourAt(QPoint p) const {
  const int w = std::max(1, width() - 1);
  const int h = std::max(1, height() - 1);
  const double hue = std::clamp(p.x(), 0, w) / double(w) * 0.9999;
  const double lightness = 1.0 - std::clamp(p.y(), 0, h) / double(h);
  return QColor::fromHslF(float(hue), 1.0f, float(lightness)).rgba();
}

void ColourPalette::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QImage field(size(), QImage::Format_ARGB32);
  for (int y = 0; y < field.height(); ++y)
    for (int x = 0; x < field.width(); ++x) field.setPixel(x, y, ColourAt({x, y}));
  painter.drawImage(0, 0, field);
  painter.setPen(QColor::fromRgba(selected_).lightnessF() > 0.5 ? Qt::black : Qt::white);
  painter.setBrush(QColor::fromRgba(selected_));
  painter.drawRect(rect().adjusted(2, 2, -2, -2).intersected(QRect(2, 2, 16, 16)));
}

void ColourPalette::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
    Pick(ColourAt(e->position().toPoint()));
}

}  // namespace talvo::app
