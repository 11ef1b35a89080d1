// The mouse pictures in skin/ms: the top-down mouse of the button page with
// one pair of overlays per button zone (a faint outline while idle, the zone
// lit in the accent colour under the pointer), and the darker outline of the
// lighting page with a socket for each of its 20 LEDs, the white LED dot the
// preview tints and the chevrons of its direction buttons.
//
// All shapes are defined once in the 300 x 380 body space; the overlays are
// the size of the button picture, so a control covering the whole picture
// shows exactly its zone. The layouts place their controls on the same
// numbers (callout rows in Mouse_key.xml, LED centres in Mouse_deng.xml).

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <functional>

#include "art_registry.h"

namespace {

using talvo::skin_art::SaveBothScales;

constexpr int kKeyWidth = 300;
constexpr int kKeyHeight = 380;
// The lighting picture is the same body drawn smaller, to leave room for the
// settings beside it.
constexpr double kDengScale = 0.8;
constexpr int kLedSize = 24;

const QColor kAccent(0x1e, 0xc8, 0xff);

// The shell seen from above, front at the top; the left flank carries the
// two thumb buttons.
QPainterPath Body() {
  QPainterPath right;
  right.moveTo(150, 14);
  right.cubicTo(205, 14, 232, 36, 238, 70);
  right.cubicTo(244, 100, 248, 130, 246, 170);
  right.cubicTo(244, 205, 236, 225, 236, 250);
  right.cubicTo(238, 280, 246, 300, 244, 320);
  right.cubicTo(240, 360, 200, 368, 150, 368);
  // The left side mirrors the right one, walked back up.
  const QPainterPath left = QTransform(-1, 0, 0, 1, kKeyWidth, 0).map(right);
  QPainterPath body = right;
  body.connectPath(left.toReversed());
  body.closeSubpath();
  return body.simplified();
}

// Everything in front of the seam between the main buttons and the palm.
QPainterPath AboveSeam() {
  QPainterPath p;
  p.moveTo(0, 0);
  p.lineTo(kKeyWidth, 0);
  p.lineTo(kKeyWidth, 190);
  p.quadTo(150, 166, 0, 190);
  p.closeSubpath();
  return p;
}

QPainterPath RoundRect(qreal x, qreal y, qreal w, qreal h, qreal r) {
  QPainterPath p;
  p.addRoundedRect(QRectF(x, y, w, h), r, r);
  return p;
}

// The channel between the main buttons that holds the wheel and DPI buttons.
QPainterPath Channel() { return RoundRect(133, 44, 34, 130, 12); }

QPainterPath MainButton(bool leftSide) {
  QPainterPath half;
  half.addRect(0, 0, 148, 46);
  half.addRect(0, 0, 132, 400);
  half = half.simplified();
  if (!leftSide) half = QTransform(-1, 0, 0, 1, kKeyWidth, 0).map(half);
  return Body().intersected(AboveSeam()).intersected(half);
}

enum Zone { kLeft, kWheel, kRight, kForward, kBack, kDpi, kDpi1, kZoneCount };

// File names of the zones, in the order of the mouse's keys 0..6.
constexpr std::array<const char*, kZoneCount> kZoneNames = {"left", "wheel", "right", "forward",
                                                            "back", "dpi",   "dpi1"};

QPainterPath ZonePath(int zone) {
  switch (zone) {
    case kLeft: return MainButton(true);
    case kRight: return MainButton(false);
    case kWheel: return RoundRect(140, 56, 20, 52, 9);
    case kDpi: return RoundRect(140, 119, 20, 16, 5);
    case kDpi1: return RoundRect(140, 140, 20, 16, 5);
    case kForward: return RoundRect(50, 192, 17, 40, 8);
    default: return RoundRect(55, 238, 17, 40, 8);
  }
}

// Leader lines from a zone to its callout at the picture's edge, as
// polylines in body space. The layout puts the key's option at the end.
struct Leader {
  std::array<QPointF, 3> points;
};

constexpr qreal kLeftEnd = 36;
constexpr qreal kRightEnd = 264;

std::array<Leader, kZoneCount> Leaders() {
  return {{
      {{QPointF(100, 112), QPointF(100, 112), QPointF(kLeftEnd, 112)}},  // left: row 112
      {{QPointF(150, 56), QPointF(168, 36), QPointF(kRightEnd, 36)}},    // wheel: row 36
      {{QPointF(200, 112), QPointF(200, 112), QPointF(kRightEnd, 112)}}, // right: row 112
      {{QPointF(58, 212), QPointF(50, 212), QPointF(kLeftEnd, 212)}},    // forward: row 212
      {{QPointF(63, 258), QPointF(55, 258), QPointF(kLeftEnd, 258)}},    // back: row 258
      {{QPointF(160, 127), QPointF(186, 188), QPointF(kRightEnd, 188)}}, // dpi: row 188
      {{QPointF(160, 148), QPointF(180, 236), QPointF(kRightEnd, 236)}}, // dpi1: row 236
  }};
}

QImage Canvas(int width, int height, qreal scale) {
  QImage image(int(std::lround(width * scale)), int(std::lround(height * scale)),
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void Begin(QPainter& p, qreal scale) {
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
}

// A soft shadow under a shape: widening strokes of falling strength.
void SoftShadow(QPainter& p, const QPainterPath& shape, QPointF offset, int steps, qreal alpha) {
  const QPainterPath moved = shape.translated(offset);
  for (int i = steps; i >= 1; --i) {
    QPen pen(QColor(0, 0, 0, int(alpha * (1.0 - qreal(i) / (steps + 1)))), i * 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    p.strokePath(moved, pen);
  }
  p.fillPath(moved, QColor(0, 0, 0, int(alpha)));
}

void FillShell(QPainter& p, const QPainterPath& body, QColor top, QColor bottom) {
  QLinearGradient fill(0, 14, 0, 368);
  fill.setColorAt(0, top);
  fill.setColorAt(1, bottom);
  p.fillPath(body, fill);
  // A sheen on the front left, as from a lamp above the desk.
  QRadialGradient sheen(QPointF(105, 70), 150);
  sheen.setColorAt(0, QColor(255, 255, 255, 26));
  sheen.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillPath(body, sheen);
}

void DrawWheel(QPainter& p, const QPainterPath& wheel) {
  const QRectF r = wheel.boundingRect();
  QLinearGradient rubber(r.left(), 0, r.right(), 0);
  rubber.setColorAt(0, QColor(0x1a, 0x1d, 0x22));
  rubber.setColorAt(0.5, QColor(0x3a, 0x40, 0x4a));
  rubber.setColorAt(1, QColor(0x1a, 0x1d, 0x22));
  p.fillPath(wheel, rubber);
  p.save();
  p.setClipPath(wheel);
  p.setPen(QPen(QColor(0x12, 0x14, 0x17, 200), 1.2));
  for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 5) p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
  p.restore();
  p.strokePath(wheel, QPen(QColor(0x4a, 0x51, 0x5c), 1.0));
}

void DrawSmallButton(QPainter& p, const QPainterPath& shape) {
  const QRectF r = shape.boundingRect();
  QLinearGradient face(0, r.top(), 0, r.bottom());
  face.setColorAt(0, QColor(0x3a, 0x40, 0x4a));
  face.setColorAt(1, QColor(0x24, 0x28, 0x2f));
  p.fillPath(shape, face);
  p.strokePath(shape, QPen(QColor(0x0e, 0x10, 0x13), 1.0));
}

// The palm's light bar, brightest in the middle.
void DrawLightBar(QPainter& p, qreal alpha) {
  const QPainterPath bar = RoundRect(147, 214, 6, 118, 3);
  QLinearGradient light(0, 214, 0, 332);
  light.setColorAt(0, QColor(0x1e, 0xc8, 0xff, 0));
  light.setColorAt(0.5, QColor(0x1e, 0xc8, 0xff, int(230 * alpha)));
  light.setColorAt(1, QColor(0x7a, 0x5c, 0xff, 0));
  for (int i = 4; i >= 1; --i) p.strokePath(bar, QPen(QColor(0x1e, 0xc8, 0xff, int(14 * alpha * (5 - i))), i * 3.0));
  p.fillPath(bar, light);
}

QImage KeyPicture(qreal scale) {
  QImage image = Canvas(kKeyWidth, kKeyHeight, scale);
  QPainter p(&image);
  Begin(p, scale);
  const QPainterPath body = Body();
  SoftShadow(p, body, QPointF(0, 6), 6, 90);
  FillShell(p, body, QColor(0x2b, 0x30, 0x38), QColor(0x19, 0x1c, 0x21));

  // Main buttons: a lighter face, parted from the shell by dark seams.
  for (bool leftSide : {true, false}) {
    const QPainterPath button = MainButton(leftSide);
    QLinearGradient face(0, 14, 0, 190);
    face.setColorAt(0, QColor(0x34, 0x3a, 0x44));
    face.setColorAt(1, QColor(0x25, 0x29, 0x30));
    p.fillPath(button, face);
    p.strokePath(button, QPen(QColor(0x0e, 0x10, 0x13), 2.0));
  }
  p.fillPath(Channel(), QColor(0x0f, 0x11, 0x14));
  p.strokePath(Channel(), QPen(QColor(0x2c, 0x30, 0x38), 1.0));
  DrawWheel(p, ZonePath(kWheel));
  DrawSmallButton(p, ZonePath(kDpi));
  DrawSmallButton(p, ZonePath(kDpi1));
  for (int zone : {kForward, kBack}) {
    SoftShadow(p, ZonePath(zone), QPointF(1, 2), 3, 70);
    DrawSmallButton(p, ZonePath(zone));
  }
  DrawLightBar(p, 0.7);
  // Rim light around the shell.
  p.strokePath(body, QPen(QColor(0x4a, 0x51, 0x5c), 1.2));

  // Leader lines: dark underlay so they read over the buttons, then the line.
  for (const Leader& leader : Leaders()) {
    QPainterPath line(leader.points[0]);
    line.lineTo(leader.points[1]);
    line.lineTo(leader.points[2]);
    p.strokePath(line, QPen(QColor(0x0e, 0x10, 0x13, 160), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.strokePath(line, QPen(QColor(0x6a, 0x72, 0x7e), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0e, 0x10, 0x13));
    p.drawEllipse(leader.points[0], 3.5, 3.5);
    p.setBrush(QColor(0x9a, 0xa1, 0xac));
    p.drawEllipse(leader.points[0], 2.2, 2.2);
  }
  return image;
}

QImage ZoneOverlay(int zone, bool down, qreal scale) {
  QImage image = Canvas(kKeyWidth, kKeyHeight, scale);
  QPainter p(&image);
  Begin(p, scale);
  const QPainterPath shape = ZonePath(zone);
  if (down) {
    for (int i = 5; i >= 1; --i) p.strokePath(shape, QPen(QColor(0x1e, 0xc8, 0xff, 12 * (6 - i)), i * 2.5));
    QLinearGradient fill(0, shape.boundingRect().top(), 0, shape.boundingRect().bottom());
    fill.setColorAt(0, QColor(0x1e, 0xc8, 0xff, 130));
    fill.setColorAt(1, QColor(0x1e, 0xc8, 0xff, 70));
    p.fillPath(shape, fill);
    p.strokePath(shape, QPen(kAccent, 1.6));
  } else {
    p.strokePath(shape, QPen(QColor(0xe6, 0xe8, 0xec, 46), 1.2));
  }
  return image;
}

// LED centres in body space, by LED number. Three rows run from front to
// back: the left flank (0..6), the right flank (7..13) and the spine (19 at
// the nose, 18 in the wheel, then 14..17 down the palm; the DPI buttons take
// the spine's third place). LEDs on one cross row share a colour step.
constexpr std::array<QPointF, 20> kLeds = {{
    {76, 70},  {69, 112}, {67, 154}, {70, 196}, {77, 238}, {75, 280}, {70, 322},
    {224, 70}, {231, 112}, {233, 154}, {230, 196}, {223, 238}, {225, 280}, {230, 322},
    {150, 196}, {150, 238}, {150, 280}, {150, 322}, {150, 82}, {150, 34},
}};

QImage LightingPicture(qreal scale) {
  QImage image = Canvas(int(std::ceil(kKeyWidth * kDengScale)), int(std::ceil(kKeyHeight * kDengScale)), scale);
  QPainter p(&image);
  Begin(p, scale);
  p.scale(kDengScale, kDengScale);
  const QPainterPath body = Body();
  SoftShadow(p, body, QPointF(0, 6), 6, 90);
  FillShell(p, body, QColor(0x22, 0x26, 0x2d), QColor(0x15, 0x17, 0x1b));
  for (bool leftSide : {true, false}) p.strokePath(MainButton(leftSide), QPen(QColor(0x0c, 0x0d, 0x10), 2.0));
  p.fillPath(Channel(), QColor(0x0d, 0x0f, 0x12));
  DrawWheel(p, RoundRect(140, 57, 20, 50, 9));
  DrawSmallButton(p, ZonePath(kDpi));
  DrawSmallButton(p, ZonePath(kDpi1));
  for (int zone : {kForward, kBack}) DrawSmallButton(p, ZonePath(zone));
  // Light guides along the flanks: the strips the LEDs sit in.
  QPainterPathStroker guide;
  guide.setWidth(9);
  guide.setCapStyle(Qt::RoundCap);
  for (int row : {0, 7}) {
    QPainterPath strip(kLeds[row]);
    for (int i = 1; i < 7; ++i) strip.lineTo(kLeds[row + i]);
    p.fillPath(guide.createStroke(strip), QColor(0x0d, 0x0f, 0x12));
  }
  p.fillPath(RoundRect(145, 188, 10, 142, 5), QColor(0x0d, 0x0f, 0x12));
  p.strokePath(body, QPen(QColor(0x3a, 0x40, 0x4a), 1.4));
  // Sockets that show where an unlit LED sits.
  for (const QPointF& led : kLeds) {
    p.setPen(QPen(QColor(0x34, 0x39, 0x42), 1.0));
    p.setBrush(QColor(0x0a, 0x0b, 0x0d));
    p.drawEllipse(led, 4.5, 4.5);
  }
  return image;
}

// A white dot with a soft halo; the preview tints it with the LED's colour.
QImage LedDot(qreal scale) {
  QImage image = Canvas(kLedSize, kLedSize, scale);
  QPainter p(&image);
  Begin(p, scale);
  const QPointF c(kLedSize / 2.0, kLedSize / 2.0);
  QRadialGradient halo(c, kLedSize / 2.0);
  halo.setColorAt(0, QColor(255, 255, 255, 255));
  halo.setColorAt(0.25, QColor(255, 255, 255, 235));
  halo.setColorAt(0.45, QColor(255, 255, 255, 110));
  halo.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(halo);
  p.drawEllipse(c, kLedSize / 2.0, kLedSize / 2.0);
  return image;
}

// Chevrons for the direction buttons of the lighting page.
QImage Arrow(bool pointsLeft, qreal scale) {
  QImage image = Canvas(14, 14, scale);
  QPainter p(&image);
  Begin(p, scale);
  QPainterPath chevron(QPointF(5, 2.5));
  chevron.lineTo(9.5, 7);
  chevron.lineTo(5, 11.5);
  if (pointsLeft) chevron = QTransform(-1, 0, 0, 1, 14, 0).map(chevron);
  p.strokePath(chevron, QPen(QColor(0xe6, 0xe8, 0xec), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  return image;
}

bool DrawMouseArt(const QDir& skin) {
  bool ok = true;
  const auto both = [&](const QString& name, const std::function<QImage(int scale)>& draw) {
    ok = SaveBothScales(skin, "ms/" + name, draw) && ok;
  };
  both("key_mouse", KeyPicture);
  for (int zone = 0; zone < kZoneCount; ++zone) {
    const QString base = QStringLiteral("key_%1_").arg(kZoneNames[zone]);
    both(base + "normal", [zone](qreal s) { return ZoneOverlay(zone, false, s); });
    both(base + "down", [zone](qreal s) { return ZoneOverlay(zone, true, s); });
  }
  both("deng_mouse", LightingPicture);
  both("led", LedDot);
  both("arrow_left", [](qreal s) { return Arrow(true, s); });
  both("arrow_right", [](qreal s) { return Arrow(false, s); });
  return ok;
}

const bool registered = talvo::skin_art::RegisterAreaArt("mouse", DrawMouseArt);

}  // namespace
