// Glyphs of the main window's device frames (skin/frame): the icons of the
// profile panels and the profile bar. Each glyph is drawn once on a 16-unit
// grid and saved at 16 px and, as "@2x", at 32 px, in the muted text colour
// so the button behind it carries hover and press states.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

#include "art_registry.h"

namespace {

const QColor kInk(0xc9, 0xce, 0xd6);
const QColor kAccent(0x1e, 0xc8, 0xff);

using Glyph = std::function<void(QPainter&)>;

QPen Stroke(const QColor& colour = kInk, qreal width = 1.5) {
  QPen pen(colour, width);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// A tray with an arrow: into the tray for import, out of it for export.
void Transfer(QPainter& p, bool in) {
  p.setPen(Stroke());
  p.drawPolyline(QPolygonF({QPointF(2.5, 10), QPointF(2.5, 13.5), QPointF(13.5, 13.5), QPointF(13.5, 10)}));
  const qreal tip = in ? 10 : 2;
  const qreal tail = in ? 2 : 10;
  p.drawLine(QPointF(8, tail), QPointF(8, tip));
  const qreal back = in ? tip - 3.2 : tip + 3.2;
  p.drawPolyline(QPolygonF({QPointF(4.8, back), QPointF(8, tip), QPointF(11.2, back)}));
}

const std::vector<std::pair<QString, Glyph>>& Glyphs() {
  static const std::vector<std::pair<QString, Glyph>> glyphs = {
      {"add",
       [](QPainter& p) {
         p.setPen(Stroke());
         p.drawLine(QPointF(8, 3), QPointF(8, 13));
         p.drawLine(QPointF(3, 8), QPointF(13, 8));
       }},
      {"delete",
       [](QPainter& p) {
         p.setPen(Stroke());
         p.drawLine(QPointF(2.5, 4.5), QPointF(13.5, 4.5));
         p.drawPolyline(QPolygonF({QPointF(6, 4.5), QPointF(6, 2.5), QPointF(10, 2.5), QPointF(10, 4.5)}));
         p.drawPolyline(QPolygonF({QPointF(4, 4.5), QPointF(4.8, 13.5), QPointF(11.2, 13.5), QPointF(12, 4.5)}));
         p.drawLine(QPointF(6.8, 7), QPointF(6.8, 11));
         p.drawLine(QPointF(9.2, 7), QPointF(9.2, 11));
       }},
      {"copy",
       [](QPainter& p) {
         p.setPen(Stroke());
         p.drawRoundedRect(QRectF(5.5, 5.5, 8, 8), 1.5, 1.5);
         p.drawPolyline(QPolygonF({QPointF(3.5, 10.5), QPointF(2.5, 10.5), QPointF(2.5, 2.5), QPointF(10.5, 2.5),
                                   QPointF(10.5, 3.5)}));
       }},
      {"import", [](QPainter& p) { Transfer(p, true); }},
      {"export", [](QPainter& p) { Transfer(p, false); }},
      {"reset",
       [](QPainter& p) {
         p.setPen(Stroke());
         // Three quarters of a circle with the arrow head at its open end.
         p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
         p.drawPolyline(QPolygonF({QPointF(8, 1), QPointF(8, 3), QPointF(10.2, 3.6)}));
         p.drawPolyline(QPolygonF({QPointF(5.6, 0.9), QPointF(8, 3), QPointF(5.8, 5.2)}));
       }},
      {"edit",
       [](QPainter& p) {
         p.setPen(Stroke());
         QPainterPath pencil;
         pencil.moveTo(3, 13);
         pencil.lineTo(3.6, 10.2);
         pencil.lineTo(10.6, 3.2);
         pencil.lineTo(12.8, 5.4);
         pencil.lineTo(5.8, 12.4);
         pencil.closeSubpath();
         p.drawPath(pencil);
         p.drawLine(QPointF(9.2, 4.6), QPointF(11.4, 6.8));
       }},
      {"save",
       [](QPainter& p) {
         p.setPen(Stroke(kInk, 1.8));
         p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4.5)}));
       }},
      {"browse",
       [](QPainter& p) {
         p.setPen(Stroke());
         p.drawPolygon(QPolygonF({QPointF(2, 4), QPointF(6, 4), QPointF(7.5, 5.5), QPointF(14, 5.5), QPointF(14, 13),
                                  QPointF(2, 13)}));
         p.drawLine(QPointF(2, 7.5), QPointF(14, 7.5));
       }},
      {"unlink",
       [](QPainter& p) {
         p.setPen(Stroke());
         // Two chain links pulled apart, with the break marked between them.
         p.drawRoundedRect(QRectF(1.5, 6, 6, 4), 2, 2);
         p.drawRoundedRect(QRectF(8.5, 6, 6, 4), 2, 2);
         p.drawLine(QPointF(8, 2), QPointF(8, 4));
         p.drawLine(QPointF(8, 12), QPointF(8, 14));
       }},
      {"link",
       [](QPainter& p) {
         p.setPen(Stroke());
         p.drawRoundedRect(QRectF(1.5, 6, 7, 4), 2, 2);
         p.drawRoundedRect(QRectF(7.5, 6, 7, 4), 2, 2);
       }},
      {"profiles",
       [](QPainter& p) {
         // Stacked layers: the profiles of a device.
         p.setPen(Stroke());
         p.drawPolygon(QPolygonF({QPointF(8, 2), QPointF(14, 5), QPointF(8, 8), QPointF(2, 5)}));
         p.drawPolyline(QPolygonF({QPointF(2, 8), QPointF(8, 11), QPointF(14, 8)}));
         p.drawPolyline(QPolygonF({QPointF(2, 11), QPointF(8, 14), QPointF(14, 11)}));
       }},
      {"spread",
       [](QPainter& p) {
         // Three sliders: open the profile tools.
         p.setPen(Stroke());
         p.drawLine(QPointF(2, 4), QPointF(14, 4));
         p.drawLine(QPointF(2, 8), QPointF(14, 8));
         p.drawLine(QPointF(2, 12), QPointF(14, 12));
         p.setPen(Qt::NoPen);
         p.setBrush(kAccent);
         p.drawEllipse(QPointF(10.5, 4), 1.9, 1.9);
         p.drawEllipse(QPointF(5, 8), 1.9, 1.9);
         p.drawEllipse(QPointF(9, 12), 1.9, 1.9);
       }},
      {"onboard",
       [](QPainter& p) {
         // A memory chip: the profiles kept in the mouse itself.
         p.setPen(Stroke());
         p.drawRoundedRect(QRectF(4, 4, 8, 8), 1.2, 1.2);
         for (qreal x : {6.0, 8.0, 10.0}) {
           p.drawLine(QPointF(x, 1.8), QPointF(x, 4));
           p.drawLine(QPointF(x, 12), QPointF(x, 14.2));
         }
         p.setPen(Qt::NoPen);
         p.setBrush(kAccent);
         p.drawRect(QRectF(6.5, 6.5, 3, 3));
       }},
  };
  return glyphs;
}

bool DrawFrameArt(const QDir& skin) {
  bool ok = true;
  for (const auto& [name, glyph] : Glyphs())
    ok &= talvo::skin_art::SaveBothScales(skin, "frame/" + name,
                                          [&](int scale) { return talvo::skin_art::RenderIcon(glyph, 16, scale); });
  return ok;
}

[[maybe_unused]] const bool registered = talvo::skin_art::RegisterAreaArt("frame", DrawFrameArt);

}  // namespace
