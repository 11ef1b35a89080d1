#include "app/controls/circle_progress.h"

#include <QPainter>
#include <algorithm>

namespace talvo::app {

namespace {
constexpr int kRingInset = 10;
}  // namespace

CCircleProgressUI::CCircleProgressUI(QWidget* parent) : QProgressBar(parent) {
  setTextVisible(false);
}

QColor CCircleProgressUI::BkColor() const {
  // "talvoBkColor" is where the toolkit keeps a background colour set by code.
  if (const uint argb = property("talvoBkColor").toUInt()) return QColor::fromRgba(argb);
  return bk_;
}

void CCircleProgressUI::SetBkColor(const QColor& c) {
  bk_ = c;
  update();
}

void CCircleProgressUI::SetForeColor(const QColor& c) {
  fore_ = c;
  update();
}

double CCircleProgressUI::SweepDegrees() const {
  // A reset bar holds minimum - 1: no progress.
  const int range = maximum() - minimum();
  if (range == 0 || value() < minimum()) return 0.0;
  return std::clamp(double(value()) / range * 360.0, 0.0, 360.0);
}

void CCircleProgressUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const QRectF box(rect());
  painter.setBrush(BkColor());
  painter.drawEllipse(box);
  // Qt counts angles anticlockwise from three o'clock in 1/16 degree: the
  // pie starts straight down and grows clockwise.
  painter.setBrush(fore_);
  painter.drawPie(box, -90 * 16, -qRound(SweepDegrees() * 16));
  painter.setBrush(Qt::white);
  painter.drawEllipse(box.adjusted(kRingInset, kRingInset, -kRingInset, -kRingInset));
}

}  // namespace talvo::app
