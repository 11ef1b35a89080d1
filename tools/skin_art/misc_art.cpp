// Artwork of the mousepad lighting page (skin/mp), the cursor-macro page
// (skin/cursor) and the DPI page (skin/dpi). Every picture is drawn at a
// logical size and once more at twice that size for high-density screens.
//
// The LED spots of the mousepad picture lie on a 7 x 5 grid, the shape the
// mousepad's LED numbering follows: LEDs 0..4 down the left edge, 5..9 along
// the bottom, 10..14 up the right edge. MousePad_deng.xml places its LED
// previews on the same centres (kPadLedX / kPadLedY below).

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdint>

#include "art_registry.h"

namespace {

using talvo::skin_art::Hash;
using talvo::skin_art::SaveBothScales;

constexpr QColor kAccent(0x1e, 0xc8, 0xff);

// Mousepad picture, logical pixels.
constexpr int kPadWidth = 360;
constexpr int kPadHeight = 280;
constexpr int kPadLedX0 = 24;    // centre of grid column 0
constexpr int kPadLedDx = 52;    // column pitch (7 columns)
constexpr int kPadLedY0 = 44;    // centre of grid row 0
constexpr int kPadLedDy = 54;    // row pitch (5 rows)
constexpr int kLedSize = 22;     // the LED preview image

QImage Canvas(int w, int h, int scale) {
  QImage img(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

// The centre of LED n in picture coordinates.
QPointF PadLed(int n) {
  int column = 0, row = 0;
  if (n <= 4) {
    row = n;
  } else if (n <= 9) {
    column = n - 4;
    row = 4;
  } else {
    column = 6;
    row = 14 - n;
  }
  return {double(kPadLedX0 + column * kPadLedDx), double(kPadLedY0 + row * kPadLedDy)};
}

QImage Mousepad(int scale) {
  QImage img = Canvas(kPadWidth, kPadHeight, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);

  const QRectF body(6, 14, kPadWidth - 12, kPadHeight - 20);
  QPainterPath outline;
  outline.addRoundedRect(body, 18, 18);

  // Soft drop shadow under the pad.
  for (int i = 6; i >= 1; --i) {
    QPainterPath shadow;
    shadow.addRoundedRect(body.translated(0, 3).adjusted(-i, -i + 2, i, i), 18 + i, 18 + i);
    p.fillPath(shadow, QColor(0, 0, 0, 10));
  }

  // Cloth: a dark surface lit from the top left.
  QLinearGradient cloth(body.topLeft(), body.bottomRight());
  cloth.setColorAt(0, QColor(0x25, 0x29, 0x30));
  cloth.setColorAt(0.55, QColor(0x1b, 0x1e, 0x23));
  cloth.setColorAt(1, QColor(0x15, 0x17, 0x1b));
  p.fillPath(outline, cloth);

  // Weave: a faint seeded grain, then fine diagonal threads.
  p.save();
  p.setClipPath(outline);
  p.setPen(Qt::NoPen);
  for (int y = int(body.top()); y < int(body.bottom()); y += 2) {
    for (int x = int(body.left()); x < int(body.right()); x += 2) {
      const uint32_t h = Hash(uint32_t(x) * 7919U + uint32_t(y) * 104729U);
      const int a = int(h & 0x0f);
      if (a > 9) p.fillRect(QRectF(x, y, 1, 1), QColor(255, 255, 255, a - 6));
    }
  }
  p.setPen(QPen(QColor(255, 255, 255, 7), 0.6));
  for (int d = -kPadHeight; d < kPadWidth; d += 5) p.drawLine(QPointF(d, kPadHeight), QPointF(d + kPadHeight, 0));
  // Highlight sweeping across the upper half.
  QRadialGradient sheen(QPointF(body.left() + body.width() * 0.3, body.top()), body.width() * 0.8);
  sheen.setColorAt(0, QColor(255, 255, 255, 18));
  sheen.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillRect(body, sheen);

  // Brand mark in the middle: two stacked chevrons in dim accent.
  const QPointF centre(body.center().x(), body.center().y() - 14);
  for (int i = 0; i < 2; ++i) {
    QPainterPath chevron;
    const double w = 26, top = centre.y() - 14 + i * 11;
    chevron.moveTo(centre.x() - w, top);
    chevron.lineTo(centre.x(), top + w * 0.75);
    chevron.lineTo(centre.x() + w, top);
    p.setPen(QPen(QColor(0x1e, 0xc8, 0xff, i == 0 ? 60 : 100), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
  }
  p.restore();

  // Stitched edge.
  QPainterPath stitch;
  stitch.addRoundedRect(body.adjusted(3.5, 3.5, -3.5, -3.5), 15, 15);
  QPen stitchPen(QColor(0x4a, 0x50, 0x5a, 170), 1.0, Qt::CustomDashLine, Qt::RoundCap);
  stitchPen.setDashPattern({2.5, 2.0});
  p.setPen(stitchPen);
  p.setBrush(Qt::NoBrush);
  p.drawPath(stitch);
  p.setPen(QPen(QColor(0x3a, 0x3f, 0x48), 1.2));
  p.drawPath(outline);

  // The light strip: a frosted band along the left, bottom and right edges.
  QPainterPath strip;
  strip.moveTo(PadLed(0).x(), PadLed(0).y() - 16);
  strip.lineTo(PadLed(4));
  strip.lineTo(PadLed(10));
  strip.lineTo(PadLed(14).x(), PadLed(14).y() - 16);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x0f, 0x11, 0x14), 19, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(strip);
  p.setPen(QPen(QColor(0x2b, 0x30, 0x38), 15, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(strip);
  p.setPen(QPen(QColor(0x34, 0x3a, 0x44), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(strip);

  // LED windows in the strip, dark until a preview lights them.
  for (int n = 0; n < 15; ++n) {
    const QPointF c = PadLed(n);
    QRadialGradient well(c, 6.5);
    well.setColorAt(0, QColor(0x4c, 0x53, 0x5e));
    well.setColorAt(0.7, QColor(0x2a, 0x2f, 0x37));
    well.setColorAt(1, QColor(0x16, 0x19, 0x1d));
    p.setPen(Qt::NoPen);
    p.setBrush(well);
    p.drawEllipse(c, 6.5, 6.5);
  }

  // Cable hub at the top edge with the cable leaving upwards.
  const QRectF hub(kPadWidth / 2.0 - 30, 6, 60, 16);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x0f, 0x11, 0x14));
  p.drawRoundedRect(QRectF(kPadWidth / 2.0 - 4, 0, 8, 8), 2, 2);
  QLinearGradient hubFill(hub.topLeft(), hub.bottomLeft());
  hubFill.setColorAt(0, QColor(0x3a, 0x3f, 0x48));
  hubFill.setColorAt(1, QColor(0x22, 0x26, 0x2c));
  p.setBrush(hubFill);
  p.setPen(QPen(QColor(0x4a, 0x50, 0x5a), 1));
  p.drawRoundedRect(hub, 7, 7);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1e, 0xc8, 0xff, 160));
  p.drawRoundedRect(QRectF(hub.center().x() - 9, hub.center().y() - 1.2, 18, 2.4), 1.2, 1.2);
  return img;
}

// A white light with a soft halo; previews tint it with the LED's colour.
QImage LedDot(int scale) {
  QImage img = Canvas(kLedSize, kLedSize, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  const QPointF c(kLedSize / 2.0, kLedSize / 2.0);
  QRadialGradient halo(c, kLedSize / 2.0);
  halo.setColorAt(0, QColor(255, 255, 255, 255));
  halo.setColorAt(0.3, QColor(255, 255, 255, 235));
  halo.setColorAt(0.5, QColor(255, 255, 255, 110));
  halo.setColorAt(0.75, QColor(255, 255, 255, 35));
  halo.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(halo);
  p.drawEllipse(c, kLedSize / 2.0, kLedSize / 2.0);
  return img;
}

// Small crosshair for the cursor-macro slot tabs.
QImage Crosshair(int scale, const QColor& ink) {
  constexpr int kSize = 18;
  QImage img = Canvas(kSize, kSize, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  const QPointF c(kSize / 2.0, kSize / 2.0);
  p.setPen(QPen(ink, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, 5.8, 5.8);
  p.setPen(QPen(ink, 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c.x(), 1.5), QPointF(c.x(), 5.5));
  p.drawLine(QPointF(c.x(), kSize - 1.5), QPointF(c.x(), kSize - 5.5));
  p.drawLine(QPointF(1.5, c.y()), QPointF(5.5, c.y()));
  p.drawLine(QPointF(kSize - 1.5, c.y()), QPointF(kSize - 5.5, c.y()));
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawEllipse(c, 1.4, 1.4);
  return img;
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(from, to);
  const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
  QPainterPath head;
  head.moveTo(to + QPointF(std::cos(angle) * 3, std::sin(angle) * 3));
  head.lineTo(to + QPointF(std::cos(angle + 2.5) * 7, std::sin(angle + 2.5) * 7));
  head.lineTo(to + QPointF(std::cos(angle - 2.5) * 7, std::sin(angle - 2.5) * 7));
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(head);
}

// What one bullet does: from the aim point the pointer moves sideways and
// up or down; the dotted trail shows a typical pull-down pattern.
QImage BulletAxes(int scale) {
  constexpr int kSize = 132;
  QImage img = Canvas(kSize, kSize, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  const QPointF c(kSize / 2.0, kSize / 2.0);

  QRadialGradient disc(c, kSize / 2.0);
  disc.setColorAt(0, QColor(0x1e, 0xc8, 0xff, 28));
  disc.setColorAt(1, QColor(0x1e, 0xc8, 0xff, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(disc);
  p.drawEllipse(c, kSize / 2.0, kSize / 2.0);
  p.setBrush(Qt::NoBrush);
  for (int r = 18; r <= 54; r += 18) {
    p.setPen(QPen(QColor(0x34, 0x39, 0x42), 1));
    p.drawEllipse(c, r, r);
  }
  QPen grid(QColor(0x34, 0x39, 0x42), 1, Qt::DashLine);
  p.setPen(grid);
  p.drawLine(QPointF(c.x(), 6), QPointF(c.x(), kSize - 6));
  p.drawLine(QPointF(6, c.y()), QPointF(kSize - 6, c.y()));

  const QColor muted(0x9a, 0xa1, 0xac);
  Arrow(p, c, QPointF(c.x() - 46, c.y()), muted);
  Arrow(p, c, QPointF(c.x() + 46, c.y()), muted);
  Arrow(p, c, QPointF(c.x(), c.y() - 46), muted);
  Arrow(p, c, QPointF(c.x(), c.y() + 46), muted);

  // Trail: each dot one bullet further, pulling down and drifting.
  QPointF at = c;
  for (int i = 0; i < 9; ++i) {
    const double dx = (i % 3 == 1 ? -3.0 : 2.0) + (i > 5 ? -2.0 : 0.0);
    at += QPointF(dx, 5.2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1e, 0xc8, 0xff, 230 - i * 18));
    p.drawEllipse(at, 2.6 - i * 0.12, 2.6 - i * 0.12);
  }
  p.setPen(QPen(kAccent, 2));
  p.setBrush(QColor(0x16, 0x18, 0x1c));
  p.drawEllipse(c, 5, 5);
  return img;
}

// Side view for the lift-off distance: the mouse above the desk with the
// gap at which the sensor stops tracking.
QImage LiftOff(int scale) {
  constexpr int kW = 120;
  constexpr int kH = 56;
  QImage img = Canvas(kW, kH, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);

  // Desk.
  QLinearGradient desk(QPointF(0, 46), QPointF(0, kH));
  desk.setColorAt(0, QColor(0x3a, 0x3f, 0x48));
  desk.setColorAt(1, QColor(0x1e, 0x21, 0x26, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(desk);
  p.drawRect(QRectF(4, 46, kW - 8, kH - 46));
  p.setPen(QPen(QColor(0x54, 0x5b, 0x66), 1.5));
  p.drawLine(QPointF(4, 46), QPointF(kW - 4, 46));

  // Mouse shell in profile, raised off the desk.
  QPainterPath shell;
  shell.moveTo(14, 34);
  shell.cubicTo(16, 16, 40, 8, 62, 9);
  shell.cubicTo(84, 10, 96, 22, 96, 34);
  shell.closeSubpath();
  QLinearGradient fill(QPointF(0, 8), QPointF(0, 34));
  fill.setColorAt(0, QColor(0x4a, 0x50, 0x5a));
  fill.setColorAt(1, QColor(0x26, 0x2a, 0x31));
  p.setBrush(fill);
  p.setPen(QPen(QColor(0x5c, 0x63, 0x6e), 1));
  p.drawPath(shell);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1e, 0xc8, 0xff, 150));
  p.drawRoundedRect(QRectF(50, 14, 20, 2.4), 1.2, 1.2);

  // Sensor beam and the height marker.
  p.setBrush(QColor(0x1e, 0xc8, 0xff, 60));
  QPainterPath beam;
  beam.moveTo(52, 34);
  beam.lineTo(58, 34);
  beam.lineTo(62, 46);
  beam.lineTo(48, 46);
  beam.closeSubpath();
  p.drawPath(beam);
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(55, 34), 2, 2);
  const QColor marker(0xe6, 0xe8, 0xec);
  p.setPen(QPen(marker, 1.2));
  p.drawLine(QPointF(106, 34), QPointF(106, 46));
  p.drawLine(QPointF(102, 34), QPointF(110, 34));
  p.drawLine(QPointF(102, 46), QPointF(110, 46));
  return img;
}

// Chevron for stepping to the previous (left) or next (right) bullet.
QImage Chevron(int scale, bool right) {
  constexpr int kSize = 14;
  QImage img = Canvas(kSize, kSize, scale);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  QPainterPath path;
  const double tip = right ? 9.5 : 4.5, back = right ? 5.0 : 9.0;
  path.moveTo(back, 2.5);
  path.lineTo(tip, kSize / 2.0);
  path.lineTo(back, kSize - 2.5);
  p.setPen(QPen(QColor(0xe6, 0xe8, 0xec), 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(path);
  return img;
}

bool DrawAll(const QDir& skin) {
  bool ok = SaveBothScales(skin, "mp/mousepad", Mousepad);
  ok = SaveBothScales(skin, "mp/led", LedDot) && ok;
  ok = SaveBothScales(skin, "cursor/axes", BulletAxes) && ok;
  ok = SaveBothScales(skin, "dpi/liftoff", LiftOff) && ok;
  ok = SaveBothScales(skin, "cursor/slot", [](int s) { return Crosshair(s, QColor(0x9a, 0xa1, 0xac)); }) && ok;
  ok = SaveBothScales(skin, "cursor/slot_on", [](int s) { return Crosshair(s, kAccent); }) && ok;
  ok = SaveBothScales(skin, "cursor/prev", [](int s) { return Chevron(s, false); }) && ok;
  ok = SaveBothScales(skin, "cursor/next", [](int s) { return Chevron(s, true); }) && ok;
  return ok;
}

[[maybe_unused]] const bool registered = talvo::skin_art::RegisterAreaArt("misc", DrawAll);

}  // namespace
