// Icons of the macro editor pages (skin/macro): the macro list buttons, the
// recorder, the step-list tools, the mouse-action inserts and the picture
// shown while no step is chosen. Each icon is drawn on a 16-unit grid and
// saved at 16 and 32 pixels (name.png, name@2x.png), so the strokes stay
// crisp on both densities.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <vector>

#include "art_registry.h"

namespace {

using talvo::skin_art::RenderIcon;
using talvo::skin_art::SaveBothScales;

const QColor kInk(0xc9, 0xce, 0xd6);     // icon strokes on raised buttons
const QColor kAccent(0x1e, 0xc8, 0xff);  // direction and confirmation marks
const QColor kRecord(0xff, 0x4d, 0x5e);  // the recorder's dot
const QColor kDanger(0xff, 0x6b, 0x6b);  // removal marks

using Drawing = std::function<void(QPainter&)>;

QPen Stroke(const QColor& colour, qreal width = 1.6) {
  QPen pen(colour, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

bool SaveBoth(const QDir& skin, const QString& name, int side, const Drawing& draw) {
  return SaveBothScales(skin, "macro/" + name, [&](int scale) { return RenderIcon(draw, side, scale); });
}

// An arrow from `from` to `to` with a head of the given size.
void Arrow(QPainter& p, QPointF from, QPointF to, qreal head, const QColor& colour) {
  p.setPen(Stroke(colour));
  p.drawLine(from, to);
  QLineF shaft(to, from);
  QLineF left = shaft;
  left.setLength(head);
  left.setAngle(shaft.angle() + 40);
  QLineF right = shaft;
  right.setLength(head);
  right.setAngle(shaft.angle() - 40);
  p.drawLine(left);
  p.drawLine(right);
}

void Bar(QPainter& p, qreal y, const QColor& colour) {
  p.setPen(Stroke(colour));
  p.drawLine(QPointF(3.5, y), QPointF(12.5, y));
}

void Plus(QPainter& p) {
  p.setPen(Stroke(kInk, 1.8));
  p.drawLine(QPointF(8, 3), QPointF(8, 13));
  p.drawLine(QPointF(3, 8), QPointF(13, 8));
}

void Minus(QPainter& p) {
  p.setPen(Stroke(kInk, 1.8));
  p.drawLine(QPointF(3, 8), QPointF(13, 8));
}

// An open tray with an arrow going into it (import) or out of it (export).
void Tray(QPainter& p, bool inward) {
  p.setPen(Stroke(kInk));
  QPainterPath tray;
  tray.moveTo(2.5, 9.5);
  tray.lineTo(2.5, 13.5);
  tray.lineTo(13.5, 13.5);
  tray.lineTo(13.5, 9.5);
  p.drawPath(tray);
  if (inward)
    Arrow(p, QPointF(8, 2), QPointF(8, 10), 3.5, kAccent);
  else
    Arrow(p, QPointF(8, 10), QPointF(8, 2), 3.5, kAccent);
}

void Check(QPainter& p) {
  p.setPen(Stroke(kAccent, 2.0));
  QPainterPath mark;
  mark.moveTo(3, 8.5);
  mark.lineTo(6.5, 12);
  mark.lineTo(13, 4.5);
  p.drawPath(mark);
}

void RecordDot(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(kRecord.red(), kRecord.green(), kRecord.blue(), 70));
  p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
  p.setBrush(kRecord);
  p.drawEllipse(QPointF(8, 8), 4.2, 4.2);
}

// A mouse outline with its wheel and the split between the buttons.
void Mouse(QPainter& p, const QColor& body, const QColor& wheel) {
  p.setPen(Stroke(body, 1.4));
  p.drawRoundedRect(QRectF(4, 1.8, 8, 12.4), 4, 4);
  p.drawLine(QPointF(8, 1.8), QPointF(8, 6.2));
  p.drawLine(QPointF(4, 6.6), QPointF(12, 6.6));
  p.setPen(Stroke(wheel, 1.6));
  p.drawLine(QPointF(8, 3.4), QPointF(8, 4.6));
}

void Trash(QPainter& p, const QColor& colour) {
  p.setPen(Stroke(colour, 1.4));
  p.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
  p.drawLine(QPointF(6.2, 4), QPointF(6.8, 2.2));
  p.drawLine(QPointF(6.8, 2.2), QPointF(9.2, 2.2));
  p.drawLine(QPointF(9.2, 2.2), QPointF(9.8, 4));
  QPainterPath can;
  can.moveTo(4, 4);
  can.lineTo(4.8, 13.8);
  can.lineTo(11.2, 13.8);
  can.lineTo(12, 4);
  p.drawPath(can);
  p.drawLine(QPointF(6.6, 6.5), QPointF(6.8, 11.5));
  p.drawLine(QPointF(9.4, 6.5), QPointF(9.2, 11.5));
}

// Three list lines struck through: every step goes.
void ClearAll(QPainter& p) {
  p.setPen(Stroke(kInk, 1.4));
  for (qreal y : {4.0, 8.0, 12.0}) p.drawLine(QPointF(2.5, y), QPointF(8.5, y));
  p.setPen(Stroke(kDanger, 1.8));
  p.drawLine(QPointF(10, 6), QPointF(14, 10));
  p.drawLine(QPointF(14, 6), QPointF(10, 10));
}

// The picture of the empty step editor: a step list card with a pointer
// resting on one row.
void StepHint(QPainter& p) {
  const QColor panel(0x26, 0x2a, 0x31);
  const QColor border(0x34, 0x39, 0x42);
  const QColor line(0x4a, 0x50, 0x5a);
  p.setPen(QPen(border, 1.2));
  p.setBrush(panel);
  p.drawRoundedRect(QRectF(8, 10, 44, 40), 6, 6);
  p.setBrush(Qt::NoBrush);
  for (int row = 0; row < 4; ++row) {
    const qreal y = 18.5 + row * 8.5;
    const bool chosen = row == 1;
    if (chosen) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x12, 0x3b, 0x4a));
      p.drawRoundedRect(QRectF(11, y - 3.5, 38, 7), 2.5, 2.5);
      p.setBrush(Qt::NoBrush);
    }
    p.setPen(Stroke(chosen ? kAccent : line, 1.6));
    p.drawLine(QPointF(15, y), QPointF(chosen ? 36 : 32, y));
    p.setPen(Stroke(chosen ? QColor(0x8c, 0xe3, 0xff) : line, 1.6));
    p.drawLine(QPointF(41, y), QPointF(45, y));
  }
  // Pointer arrow, tip on the chosen row.
  QPainterPath pointer;
  pointer.moveTo(38, 27);
  pointer.lineTo(38, 45);
  pointer.lineTo(42.2, 41);
  pointer.lineTo(45.2, 47.8);
  pointer.lineTo(48, 46.6);
  pointer.lineTo(45, 40);
  pointer.lineTo(50.5, 39.6);
  pointer.closeSubpath();
  p.setPen(QPen(QColor(0x16, 0x18, 0x1c), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(0xe6, 0xe8, 0xec));
  p.drawPath(pointer);
}

bool DrawMacroArt(const QDir& skin) {
  struct Icon {
    const char* name;
    Drawing draw;
  };
  const std::vector<Icon> icons = {
      {"add", Plus},
      {"remove", Minus},
      {"import", [](QPainter& p) { Tray(p, true); }},
      {"export", [](QPainter& p) { Tray(p, false); }},
      {"rename", Check},
      {"record", RecordDot},
      {"mouse", [](QPainter& p) { Mouse(p, kInk, kAccent); }},
      {"up", [](QPainter& p) { Arrow(p, QPointF(8, 13), QPointF(8, 3), 4, kInk); }},
      {"down", [](QPainter& p) { Arrow(p, QPointF(8, 3), QPointF(8, 13), 4, kInk); }},
      {"top",
       [](QPainter& p) {
         Bar(p, 2.5, kAccent);
         Arrow(p, QPointF(8, 14), QPointF(8, 6), 3.6, kInk);
       }},
      {"bottom",
       [](QPainter& p) {
         Bar(p, 13.5, kAccent);
         Arrow(p, QPointF(8, 2), QPointF(8, 10), 3.6, kInk);
       }},
      {"delete", [](QPainter& p) { Trash(p, kInk); }},
      {"clear", ClearAll},
      {"press",
       [](QPainter& p) {
         Bar(p, 13.5, kInk);
         Arrow(p, QPointF(8, 2), QPointF(8, 10), 3.6, kAccent);
       }},
      {"release",
       [](QPainter& p) {
         Bar(p, 13.5, kInk);
         Arrow(p, QPointF(8, 10), QPointF(8, 2), 3.6, kAccent);
       }},
      {"move_left", [](QPainter& p) { Arrow(p, QPointF(13, 8), QPointF(3, 8), 4, kAccent); }},
      {"move_right", [](QPainter& p) { Arrow(p, QPointF(3, 8), QPointF(13, 8), 4, kAccent); }},
      {"move_up", [](QPainter& p) { Arrow(p, QPointF(8, 13), QPointF(8, 3), 4, kAccent); }},
      {"move_down", [](QPainter& p) { Arrow(p, QPointF(8, 3), QPointF(8, 13), 4, kAccent); }},
  };
  bool ok = true;
  for (const Icon& icon : icons) ok = SaveBoth(skin, icon.name, 16, icon.draw) && ok;
  ok = SaveBoth(skin, "step_hint", 60, StepHint) && ok;
  return ok;
}

static const bool registered = talvo::skin_art::RegisterAreaArt("macro", DrawMacroArt);

}  // namespace
